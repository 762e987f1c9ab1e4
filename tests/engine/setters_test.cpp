// Setters: clamping, the exact-equality change test and the callback; the maximum setters
// and their nukeTables. Installing the callback and destruction are in
// the C interface's callback contract.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "tables_support.h"

namespace {

using tables_test::makeEngine;
using tables_test::parametersOf;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

int VRFZephraTable::*const kFlagFields[] = {
    &VRFZephraTable::staleAll,       &VRFZephraTable::keyStale,
    &VRFZephraTable::screenLutStale, &VRFZephraTable::fgLutStale,
    &VRFZephraTable::bgLutStale,     &VRFZephraTable::fgCorrectStale,
    &VRFZephraTable::holdLutStale,   &VRFZephraTable::garbageLutStale,
    &VRFZephraTable::outLutStale};

// One bit per flag of kFlagFields, in its order.
constexpr unsigned kAllFlags = (1u << 9) - 1;
constexpr unsigned kFgCorrectFlag = 1u << 5;

unsigned flagsOf(const VRFZephraTable& e) {
    unsigned bits = 0;
    for (unsigned i = 0; i < 9; ++i) bits |= (e.*kFlagFields[i] != 0 ? 1u << i : 0u);
    return bits;
}

void clearFlags(VRFZephraTable& e) {
    for (auto f : kFlagFields) e.*f = 0;
}

void countCall(void* data) { ++*static_cast<int*>(data); }

// Parameters compare bit for bit, so a stored NaN is seen as such.
bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// One row per rule the setters follow: the call, and what it leaves, set directly on a fresh
// engine. Which tables a change makes stale is checked by comparing partial rebuilds with
// fresh builds (table_ranges_test).
struct SetterCase {
    const char* rule;
    void (*call)(VRFZephraTable&);
    void (*expected)(VRFZephraTable&);
    bool changes;  // false: the call does nothing at all
};

TEST(Setters, ClampStoreFlagAndNotifyOncePerEffectiveChange) {
    using E = VRFZephraTable;
    const SetterCase cases[] = {
        {"colours clamp each channel into 0..1", [](E& e) { e.setScreen(-1, 0.5f, 2); },
         [](E& e) { e.screen[0] = 0, e.screen[1] = 0.5f, e.screen[2] = 1; }, true},
        {"a value clamped to the current one is no change", [](E& e) { e.setScreen(0, 0, 1.7f); },
         [](E&) {}, false},
        {"a change in the last channel alone is a change", [](E& e) { e.setMp(0.5f, 0.5f, 0.25f); },
         [](E& e) { e.mp[2] = 0.25f; }, true},
        {"NaN is stored, and is a change every time", [](E& e) { e.setBalance(2, kNaN); },
         [](E& e) { e.balance[2] = kNaN; }, true},
        {"a channel index out of range is ignored", [](E& e) { e.setBalance(3, 0.25f); }, [](E&) {},
         false},
        {"gains clamp into -1..1", [](E& e) { e.setGain(1, -2); }, [](E& e) { e.gain[1] = -1; },
         true},
        {"the neutral colour's floor is 0.001", [](E& e) { e.setNeutral(0, 0, 0); },
         [](E& e) { e.neutral[0] = e.neutral[1] = e.neutral[2] = 0.001f; }, true},
        {"saturation clamps into 0..3", [](E& e) { e.setSaturation(5, 0); },
         [](E& e) { e.saturation[0] = 3; }, true},
        {"a set number above 1 is set 1", [](E& e) { e.setSaturation(-1, 9); },
         [](E& e) { e.saturation[1] = 0; }, true},
        {"a set number below 0 is set 0; exposure is not clamped",
         [](E& e) { e.setExposure(-5, 2, 40, -4); },
         [](E& e) { e.exposure[0][0] = -5, e.exposure[0][1] = 2, e.exposure[0][2] = 40; }, true},
        {"switches take any int", [](E& e) { e.useGarbage(7); }, [](E& e) { e.useGarbageOn = 7; },
         true},
        {"the current value again is no change", [](E& e) { e.setView(0); }, [](E&) {}, false},
    };
    for (const SetterCase& sc : cases) {
        SCOPED_TRACE(sc.rule);
        auto e = makeEngine(), expected = makeEngine();
        sc.expected(*expected);
        int calls = 0;
        e->installCallback(countCall, &calls);
        // The same call twice: a stored NaN never equals itself, so it changes again; anything
        // else is current after the first call and the second does nothing at all.
        const std::vector<float> after = parametersOf(*expected);
        const bool nan =
            std::any_of(after.begin(), after.end(), [](float x) { return std::isnan(x); });
        for (int round = 0; round < 2; ++round) {
            clearFlags(*e);
            calls = 0;
            sc.call(*e);
            const bool changed = sc.changes && (round == 0 || nan);
            EXPECT_TRUE(sameBits(parametersOf(*e), after)) << "round " << round;
            EXPECT_EQ(e->staleAll, changed ? 1 : 0) << "round " << round;
            EXPECT_EQ(flagsOf(*e) != 0u, changed) << "round " << round;
            EXPECT_EQ(calls, changed ? 1 : 0) << "round " << round;
        }
    }
}

struct MaxSetter {
    const char* name;
    void (VRFZephraTable::*set)(int);
    int VRFZephraTable::*field;
};

const MaxSetter kMaxSetters[] = {
    {"fg", &VRFZephraTable::setFgMax, &VRFZephraTable::fgMax},
    {"bg", &VRFZephraTable::setBgMax, &VRFZephraTable::bgMax},
    {"ref", &VRFZephraTable::setRefMax, &VRFZephraTable::refMax},
    {"garbage", &VRFZephraTable::setGMatteMax, &VRFZephraTable::gMatteMax},
    {"hold", &VRFZephraTable::setHMatteMax, &VRFZephraTable::hMatteMax},
};

struct MaxProbe {
    const VRFZephraTable* engine;
    int VRFZephraTable::*field;
    std::vector<int> seen;  // the maximum in force at each callback
};

void recordMax(void* data) {
    auto* p = static_cast<MaxProbe*>(data);
    p->seen.push_back(p->engine->*(p->field));
}

TEST(Setters, MaximumChangeFreesTablesAndNotifiesBeforeStoring) {
    for (const MaxSetter& m : kMaxSetters) {
        SCOPED_TRACE(m.name);
        auto e = makeEngine();
        ASSERT_EQ(e->makeLuts(), 0);
        MaxProbe probe{e.get(), m.field, {}};
        e->installCallback(recordMax, &probe);
        clearFlags(*e);

        ((*e).*m.set)(65535);
        EXPECT_EQ((*e).*m.field, 65535);
        EXPECT_EQ(probe.seen, std::vector<int>{255});  // notified under the old maximum
        // Every heap-table flag, but not the correction of set 0, which lives in the object.
        EXPECT_EQ(flagsOf(*e), kAllFlags & ~kFgCorrectFlag);
        EXPECT_EQ(e->fgLut[0], nullptr);
        EXPECT_EQ(e->refScreenLut[2], nullptr);
        EXPECT_EQ(e->holdLut, nullptr);

        clearFlags(*e);
        ((*e).*m.set)(65535);  // same value: nothing at all
        EXPECT_EQ(probe.seen.size(), 1u);
        EXPECT_EQ(flagsOf(*e), 0u);
        e->installCallback(nullptr, nullptr);
    }
}

}  // namespace
