// makeLuts: its results and messages, the flag-driven partial rebuild, heap-table reuse,
// allocation failures and unusable maxima.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tables_support.h"

namespace {

using tables_test::differing;
using tables_test::makeEngine;
using tables_test::snapshot;

void countCall(void* data) { ++*static_cast<int*>(data); }

// ---- results and messages ----

struct ResultCase {
    const char* name;
    std::function<void(VRFZephraTable&)> setup;
    int result;
    const char* message;
};

TEST(MakeLutsResults, ResultsAndMessages) {
    const ResultCase cases[] = {
        {"defaults", [](VRFZephraTable&) {}, 0, ""},
        {"screen zero", [](VRFZephraTable& e) { e.setScreen(0, 0, 0); }, 2,
         "Zephra: Screen colour is zero\n"},
        {"grey screen", [](VRFZephraTable& e) { e.setScreen(0.5f, 0.5f, 0.5f); }, 2,
         "Zephra: illegal screen colour\n"},
        {"two equal top channels with the midtone balance at 1",
         [](VRFZephraTable& e) {
             e.setScreen(1, 1, 0);
             e.setBalance(1, 1.0f);
         },
         2, "Zephra: illegal screen colour\n"},
        {"neutral with a zero working component",
         [](VRFZephraTable& e) {
             e.setColourspace(0);
             e.neutral[1] = 0.0f;  // not reachable through the setters
         },
         1, ""},
        {"all-zero working neutral counts as grey",
         [](VRFZephraTable& e) {
             e.setColourspace(2);
             e.neutral[0] = e.neutral[1] = e.neutral[2] = 0.0f;
         },
         0, ""},
        {"neutral is checked before the screen",
         [](VRFZephraTable& e) {
             e.setColourspace(0);
             e.setScreen(0, 0, 0);
             e.neutral[2] = 0.0f;
         },
         1, ""},
        {"fg maximum 0", [](VRFZephraTable& e) { e.setFgMax(0); }, 3, ""},
        {"bg maximum negative", [](VRFZephraTable& e) { e.setBgMax(-255); }, 3, ""},
        {"dst maximum beyond 16 bits", [](VRFZephraTable& e) { e.setDstMax(65536); }, 3, ""},
        {"hold maximum 0 with the hold-out input on", [](VRFZephraTable& e) { e.setHMatteMax(0); },
         3, ""},
        {"hold maximum 0 with the hold-out input off",
         [](VRFZephraTable& e) {
             e.setHMatteMax(0);
             e.useHold(0);
         },
         0, ""},
        {"ref maximum 0 without a reference",
         [](VRFZephraTable& e) {
             e.setRefMax(0);
             e.useRef(0);
         },
         0, ""},
        {"screen check comes before the maxima",
         [](VRFZephraTable& e) {
             e.setGMatteMax(-1);
             e.setScreen(0, 0, 0);
         },
         2, "Zephra: Screen colour is zero\n"},
    };
    for (const ResultCase& rc : cases) {
        SCOPED_TRACE(rc.name);
        auto e = makeEngine();
        rc.setup(*e);
        int calls = 0;
        e->installCallback(countCall, &calls);
        for (int attempt = 0; attempt < 2; ++attempt) {  // the message comes every time
            testing::internal::CaptureStderr();
            EXPECT_EQ(e->makeLuts(), rc.result);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), rc.message);
        }
        EXPECT_EQ(e->staleAll, rc.result == 0 ? 0 : 1);
        EXPECT_EQ(calls, 0);  // no failure here frees tables
        if (rc.result != 0) {
            Ztile tile{};
            EXPECT_EQ(e->render(2, 4, 4, &tile), 0);  // stale: nothing rendered
        }
    }
}

TEST(MakeLutsResults, SecondRunWithoutChangeDoesNothing) {
    auto e = makeEngine();
    ASSERT_EQ(e->makeLuts(), 0);
    e->fgLut[0][3] = -1;  // would be rewritten by any rebuild
    e->matteLut[7] = -1;
    EXPECT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->fgLut[0][3], -1);
    EXPECT_EQ(e->matteLut[7], -1);
}

TEST(MakeLutsResults, FailedRunKeepsTheFlagsOfTablesItDidNotReach) {
    auto e = makeEngine();
    ASSERT_EQ(e->makeLuts(), 0);
    e->setNeutral(0.3f, 0.5f, 0.5f);
    e->setScreen(0, 0, 0);
    testing::internal::CaptureStderr();
    ASSERT_EQ(e->makeLuts(), 2);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(e->keyStale + e->fgLutStale + e->outLutStale + e->staleAll, 4);
    e->setScreen(0, 0, 1);
    ASSERT_EQ(e->makeLuts(), 0);
    auto fresh = makeEngine();
    fresh->setNeutral(0.3f, 0.5f, 0.5f);
    ASSERT_EQ(fresh->makeLuts(), 0);
    EXPECT_EQ(differing(snapshot(*e), snapshot(*fresh)), std::vector<std::string>{});
}

// ---- partial rebuild ----

// Poison that no table entry can legitimately hold in these configurations.
constexpr std::int16_t kPoison16 = 0x7A5B;
constexpr int kPoisonInt = -777777;

// Overwrites every table with poison; afterwards, names the tables that hold no poison
// any more (rebuilt) and fails on tables that were only partly rewritten.
struct Poisoner {
    VRFZephraTable& e;

    std::vector<std::pair<std::string, std::pair<void*, std::size_t>>> tables16() {
        std::vector<std::pair<std::string, std::pair<void*, std::size_t>>> t;
        const char* rgb = "rgb";
        for (int c = 0; c < 3; ++c) {
            const std::string ch(1, rgb[c]);
            t.push_back({"fgLut." + ch, {e.fgLut[c], e.fgMax + 1u}});
            t.push_back({"bgLut." + ch, {e.bgLut[c], e.bgMax + 1u}});
            t.push_back({"fgScreenLut." + ch, {e.fgScreenLut[c], e.fgMax + 1u}});
            t.push_back({"fgCorrectLut." + ch, {e.fgCorrectLut[c], 16384u}});
            t.push_back({"outLut." + ch, {e.outLut[c], 16384u}});
            if (e.useRefOn) {
                t.push_back({"refLut." + ch, {e.refLut[c], e.refMax + 1u}});
                t.push_back({"refScreenLut." + ch, {e.refScreenLut[c], e.refMax + 1u}});
            }
        }
        if (!e.useRefOn) t.push_back({"screenLut", {e.screenLut, 4096u}});
        t.push_back({"holdLut", {e.holdLut, e.hMatteMax + 1u}});
        t.push_back({"garbageLut", {e.garbageLut, e.gMatteMax + 1u}});
        t.push_back({"matteLut", {e.matteLut, 4097u}});
        t.push_back({"backgroundInt", {e.backgroundInt, 3u}});
        return t;
    }
    std::vector<std::pair<std::string, std::pair<int*, std::size_t>>> tablesInt() {
        std::vector<std::pair<std::string, std::pair<int*, std::size_t>>> t = {
            {"satMatrix", {&e.satMatrix[0][0][0], 18u}},
            {"screenInt", {e.screenInt, 3u}},
            {"replaceInt", {e.replaceInt, 3u}},
        };
        if (e.useRefOn) t.push_back({"refFallbackInt", {e.refFallbackInt, 3u}});
        return t;
    }

    void poison() {
        for (auto& [name, t] : tables16()) {
            auto* p = static_cast<std::int16_t*>(t.first);
            std::fill(p, p + t.second, kPoison16);
        }
        for (auto& [name, t] : tablesInt()) std::fill(t.first, t.first + t.second, kPoisonInt);
    }

    std::vector<std::string> rebuilt() {
        std::vector<std::string> names;
        auto judge = [&](const std::string& name, std::size_t poisoned, std::size_t n) {
            EXPECT_TRUE(poisoned == 0 || poisoned == n) << name << " partly rebuilt";
            if (poisoned == 0) names.push_back(name);
        };
        for (auto& [name, t] : tables16()) {
            auto* p = static_cast<std::int16_t*>(t.first);
            judge(name, std::count(p, p + t.second, kPoison16), t.second);
        }
        for (auto& [name, t] : tablesInt()) {
            judge(name, std::count(t.first, t.first + t.second, kPoisonInt), t.second);
        }
        std::sort(names.begin(), names.end());
        return names;
    }
};

std::vector<std::string> perChannel(std::initializer_list<const char*> tables) {
    std::vector<std::string> names;
    for (const char* t : tables) {
        for (const char* ch : {".r", ".g", ".b"}) names.push_back(std::string(t) + ch);
    }
    return names;
}

struct RebuildCase {
    const char* name;
    bool reference;
    std::function<void(VRFZephraTable&)> change;
    std::vector<std::string> rebuilt;  // besides the tables every run rebuilds
};

// Configuration shared by the engine under test and its freshly built twin.
void configure(VRFZephraTable& e, bool reference) {
    e.useRef(reference ? 1 : 0);
    e.setScreen(0.2f, 0.7f, 0.3f);
    e.setNeutral(0.45f, 0.5f, 0.55f);
    e.setGain(2, 0.25f);
}

TEST(MakeLutsRebuild, AChangeRebuildsExactlyItsTablesAndMatchesAFreshBuild) {
    const auto workingSpace =
        perChannel({"fgScreenLut", "fgLut", "bgLut", "fgCorrectLut", "outLut"});
    auto withScreenLut = [](std::vector<std::string> v) {
        v.push_back("screenLut");
        return v;
    };
    const RebuildCase cases[] = {
        {"screen", false, [](VRFZephraTable& e) { e.setScreen(0.1f, 0.9f, 0.2f); },
         withScreenLut(perChannel({"fgScreenLut"}))},
        {"midtone balance", false, [](VRFZephraTable& e) { e.setBalance(1, 0.7f); },
         perChannel({"fgScreenLut"})},
        {"midtone point", false, [](VRFZephraTable& e) { e.setMp(0.3f, 0.4f, 0.5f); },
         perChannel({"fgScreenLut"})},
        {"gain", false, [](VRFZephraTable& e) { e.setGain(0, -0.5f); },
         perChannel({"fgScreenLut"})},
        {"neutral", false, [](VRFZephraTable& e) { e.setNeutral(0.5f, 0.5f, 0.4f); },
         withScreenLut(workingSpace)},
        {"colour space", false, [](VRFZephraTable& e) { e.setColourspace(2); },
         withScreenLut(workingSpace)},
        {"fg exposure", false, [](VRFZephraTable& e) { e.setExposure(1.2f, 1, 1, 0); },
         perChannel({"fgCorrectLut"})},
        {"bg gamma", false, [](VRFZephraTable& e) { e.setGamma(1, 2, 1, 1); },
         perChannel({"bgLut"})},
        {"fg saturation", false, [](VRFZephraTable& e) { e.setSaturation(0.5f, 0); },
         perChannel({"fgCorrectLut"})},
        {"dst maximum", false, [](VRFZephraTable& e) { e.setDstMax(1023); },
         perChannel({"outLut"})},
        {"screen range", false, [](VRFZephraTable& e) { e.setScreenRange(0.3f); }, {}},
        {"replace", false, [](VRFZephraTable& e) { e.setReplace(0.1f, 0.2f, 0.3f); }, {}},
        {"background", false, [](VRFZephraTable& e) { e.setBackground(0.1f, 0.2f, 0.3f); }, {}},
        {"view", false, [](VRFZephraTable& e) { e.setView(2); }, {}},
        {"midtone balance, reference", true, [](VRFZephraTable& e) { e.setBalance(1, 0.7f); },
         perChannel({"fgScreenLut"})},
        {"fg offset, reference", true, [](VRFZephraTable& e) { e.setOffset(0.1f, 0, 0, 0); },
         perChannel({"fgCorrectLut"})},
        {"view, reference", true, [](VRFZephraTable& e) { e.setView(5); }, {}},
    };
    for (const RebuildCase& rc : cases) {
        SCOPED_TRACE(rc.name);
        auto e = makeEngine();
        configure(*e, rc.reference);
        ASSERT_EQ(e->makeLuts(), 0);

        // Rebuilt on every run that gets past the checks.
        std::vector<std::string> expected = rc.rebuilt;
        for (const char* t :
             {"matteLut", "satMatrix", "screenInt", "replaceInt", "backgroundInt"}) {
            expected.push_back(t);
        }
        if (rc.reference) {
            const auto ref = perChannel({"refLut", "refScreenLut"});
            expected.insert(expected.end(), ref.begin(), ref.end());
            expected.push_back("refFallbackInt");
        }
        std::sort(expected.begin(), expected.end());

        Poisoner poisoner{*e};
        poisoner.poison();
        rc.change(*e);
        ASSERT_EQ(e->makeLuts(), 0);
        EXPECT_EQ(poisoner.rebuilt(), expected);

        // Without poison, the partial rebuild equals a full build of the same parameters:
        // the tables a change skips really do not depend on it.
        auto partial = makeEngine();
        configure(*partial, rc.reference);
        ASSERT_EQ(partial->makeLuts(), 0);
        rc.change(*partial);
        ASSERT_EQ(partial->makeLuts(), 0);
        auto fresh = makeEngine();
        configure(*fresh, rc.reference);
        rc.change(*fresh);
        ASSERT_EQ(fresh->makeLuts(), 0);
        EXPECT_EQ(differing(snapshot(*partial), snapshot(*fresh)), std::vector<std::string>{});
    }
}

TEST(MakeLutsRebuild, HeapTablesAreReusedUntilAMaximumChanges) {
    auto e = makeEngine();
    ASSERT_EQ(e->makeLuts(), 0);
    const std::int16_t* fg = e->fgLut[1];
    const std::int16_t* hold = e->holdLut;
    e->setNeutral(0.3f, 0.4f, 0.5f);
    e->setColourspace(2);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->fgLut[1], fg);
    EXPECT_EQ(e->holdLut, hold);

    // A new hold-out maximum frees every heap table; the correction of set 0 is not
    // rebuilt, all the others are.
    Poisoner poisoner{*e};
    poisoner.poison();
    e->setHMatteMax(1023);
    ASSERT_EQ(e->makeLuts(), 0);
    const std::vector<std::string> rebuilt = poisoner.rebuilt();
    EXPECT_EQ(std::count(rebuilt.begin(), rebuilt.end(), "fgCorrectLut.g"), 0);
    EXPECT_EQ(std::count(rebuilt.begin(), rebuilt.end(), "outLut.g"), 1);
    EXPECT_EQ(std::count(rebuilt.begin(), rebuilt.end(), "holdLut"), 1);
    EXPECT_EQ(e->holdLut[1023], 4096);
}

TEST(MakeLutsRebuild, MatteTablesFollowTheirSwitches) {
    auto e = makeEngine();
    e->useHold(0);
    e->useGarbage(0);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->holdLut, nullptr);
    EXPECT_EQ(e->garbageLut, nullptr);
    EXPECT_EQ(e->holdLutStale, 1);  // still owed once the input is switched on
    e->useGarbage(1);
    ASSERT_EQ(e->makeLuts(), 0);
    ASSERT_NE(e->garbageLut, nullptr);
    EXPECT_EQ(e->garbageLut[0], 4096);
    EXPECT_EQ(e->holdLut, nullptr);
}

// ---- allocation failures ----

struct Gate {
    int allowed;                       // allocations that succeed before the refusal
    int seen = 0;                      // allocations asked for
    std::vector<std::size_t> refused;  // sizes refused
};

bool gateAllows(void* data, std::size_t bytes) {
    auto* g = static_cast<Gate*>(data);
    if (g->seen++ < g->allowed) return true;
    g->refused.push_back(bytes);
    return false;
}

TEST(MakeLutsAllocation, EveryFailedAllocationGivesResult3AndARetrySucceeds) {
    for (bool reference : {false, true}) {
        SCOPED_TRACE(reference);
        // Distinct maxima tell the allocations apart: tables are 2-byte entries, the
        // projection scratch array 4-byte entries.
        auto sizes = [](VRFZephraTable& e) {
            e.setFgMax(300);
            e.setBgMax(200);
            e.setRefMax(400);
        };
        int total = 0;
        for (int allowed = 0;; ++allowed) {
            SCOPED_TRACE(allowed);
            auto e = makeEngine();
            e->useRef(reference);
            sizes(*e);
            Gate gate{allowed, 0, {}};
            e->allocGate = gateAllows;
            e->allocGateData = &gate;
            int calls = 0;
            e->installCallback(countCall, &calls);
            const int result = e->makeLuts();
            if (gate.refused.empty()) {
                EXPECT_EQ(result, 0);
                total = allowed;
                break;
            }
            EXPECT_EQ(result, 3);
            EXPECT_EQ(e->staleAll, 1);
            const bool scratch = gate.refused.front() == (reference ? 401u : 301u) * 4;
            if (scratch) {
                // The scratch array: nothing freed, nothing notified, the key still owed.
                EXPECT_EQ(calls, 0);
                EXPECT_EQ(e->keyStale, 1);
                EXPECT_NE(e->fgLut[0], nullptr);
            } else {
                // A heap table: all of them freed through nukeTables, which notifies.
                EXPECT_EQ(calls, 1);
                for (int c = 0; c < 3; ++c) {
                    EXPECT_EQ(e->fgLut[c], nullptr);
                    EXPECT_EQ(e->refScreenLut[c], nullptr);
                }
                EXPECT_EQ(e->holdLut, nullptr);
                EXPECT_EQ(e->garbageLut, nullptr);
            }
            // With memory back, the same engine builds exactly a fresh engine's tables.
            e->allocGate = nullptr;
            ASSERT_EQ(e->makeLuts(), 0);
            auto fresh = makeEngine();
            fresh->useRef(reference);
            sizes(*fresh);
            ASSERT_EQ(fresh->makeLuts(), 0);
            EXPECT_EQ(differing(snapshot(*e), snapshot(*fresh)), std::vector<std::string>{});
        }
        // Nine per-channel tables (fifteen with a reference), two matte tables, scratch.
        EXPECT_EQ(total, reference ? 18 : 12);
    }
}

TEST(MakeLutsAllocation, UnusableMaximumAllocatesNothing) {
    auto e = makeEngine();
    ASSERT_EQ(e->makeLuts(), 0);
    e->setFgMax(0);
    Gate gate{1000, 0, {}};
    e->allocGate = gateAllows;
    e->allocGateData = &gate;
    EXPECT_EQ(e->makeLuts(), 3);
    EXPECT_EQ(gate.seen, 0);
    EXPECT_EQ(e->fgLut[0], nullptr);
    e->setFgMax(255);
    EXPECT_EQ(e->makeLuts(), 0);
}

}  // namespace
