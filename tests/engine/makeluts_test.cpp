// makeLuts: its results and messages, allocation failures and unusable maxima. Partial
// rebuilds are compared with fresh builds over random changes (table_ranges_test).

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
        // Distinct maxima tell the allocations apart: tables are 2-byte entries (the colour
        // pairs 4-byte entries, 65536 of them above 255), the projection scratch array 4-byte
        // entries.
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
                    EXPECT_EQ(e->fgColourPairs[c], nullptr);
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
        // Twelve per-channel tables (eighteen with a reference), two matte tables, scratch.
        EXPECT_EQ(total, reference ? 21 : 15);
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
