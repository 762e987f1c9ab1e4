// Setters: clamping, the exact-equality change test, the flags each change raises and the
// callback; the maximum setters and their nukeTables; construction defaults.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <vector>

#include "tables_support.h"

namespace {

using tables_test::makeEngine;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

enum FlagBit : unsigned {
    kStaleAll = 1u << 0,
    kKey = 1u << 1,
    kScreenLut = 1u << 2,
    kFgLut = 1u << 3,
    kBgLut = 1u << 4,
    kFgCorrect = 1u << 5,
    kHoldLut = 1u << 6,
    kGarbageLut = 1u << 7,
    kOutLut = 1u << 8,
};
constexpr unsigned kWorkingSpace = kKey | kScreenLut | kFgLut | kBgLut | kFgCorrect | kOutLut;

int VRFZephraTable::*const kFlagFields[] = {
    &VRFZephraTable::staleAll,       &VRFZephraTable::keyStale,
    &VRFZephraTable::screenLutStale, &VRFZephraTable::fgLutStale,
    &VRFZephraTable::bgLutStale,     &VRFZephraTable::fgCorrectStale,
    &VRFZephraTable::holdLutStale,   &VRFZephraTable::garbageLutStale,
    &VRFZephraTable::outLutStale};

unsigned flagsOf(const VRFZephraTable& e) {
    unsigned bits = 0;
    for (unsigned i = 0; i < 9; ++i) bits |= (e.*kFlagFields[i] != 0 ? 1u << i : 0u);
    return bits;
}

void clearFlags(VRFZephraTable& e) {
    for (auto f : kFlagFields) e.*f = 0;
}

void countCall(void* data) { ++*static_cast<int*>(data); }

// Stored values compare bit for bit, so a stored NaN is seen as such.
bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

struct SetterCase {
    const char* name;
    std::function<void(VRFZephraTable&)> call;
    std::function<std::vector<float>(const VRFZephraTable&)> stored;
    std::vector<float> expected;  // stored after the call
    unsigned flags;               // flags raised by the call; 0: no change at all
};

std::vector<float> v3(const float (&a)[3]) { return {a[0], a[1], a[2]}; }
std::vector<float> vi(int v) { return {static_cast<float>(v)}; }

const std::vector<SetterCase>& setterCases() {
    using E = VRFZephraTable;
    static const std::vector<SetterCase> cases = {
        {"screen clamps into the current value",
         [](E& e) { e.setScreen(0, 0, 1.7f); },
         [](const E& e) { return v3(e.screen); },
         {0, 0, 1},
         0},
        {"screen clamps each channel",
         [](E& e) { e.setScreen(-1, 0.5f, 2); },
         [](const E& e) { return v3(e.screen); },
         {0, 0.5f, 1},
         kKey | kScreenLut},
        {"screen NaN is stored",
         [](E& e) { e.setScreen(kNaN, 0, 1); },
         [](const E& e) { return v3(e.screen); },
         {kNaN, 0, 1},
         kKey | kScreenLut},
        {"screenRange clamps",
         [](E& e) { e.setScreenRange(2); },
         [](const E& e) { return std::vector<float>{e.screenRange}; },
         {1},
         kStaleAll},
        {"screenRange same",
         [](E& e) { e.setScreenRange(-0.5f); },
         [](const E& e) { return std::vector<float>{e.screenRange}; },
         {0},
         0},
        {"replace clamps",
         [](E& e) { e.setReplace(0.25f, 1.5f, -3); },
         [](const E& e) { return v3(e.replace); },
         {0.25f, 1, 0},
         kStaleAll},
        {"background clamps",
         [](E& e) { e.setBackground(2, 0.75f, -1); },
         [](const E& e) { return v3(e.background); },
         {1, 0.75f, 0},
         kStaleAll},
        {"background same",
         [](E& e) { e.setBackground(-2, 0, -0.0f); },
         [](const E& e) { return v3(e.background); },
         {0, 0, 0},
         0},
        {"mp clamps",
         [](E& e) { e.setMp(0.2f, 3, 0.5f); },
         [](const E& e) { return v3(e.mp); },
         {0.2f, 1, 0.5f},
         kKey},
        {"neutral floor is 0.001",
         [](E& e) { e.setNeutral(0, 0, 0); },
         [](const E& e) { return v3(e.neutral); },
         {0.001f, 0.001f, 0.001f},
         kWorkingSpace},
        {"neutral same",
         [](E& e) { e.setNeutral(0.5f, 0.5f, 0.5f); },
         [](const E& e) { return v3(e.neutral); },
         {0.5f, 0.5f, 0.5f},
         0},
        {"balance clamps",
         [](E& e) { e.setBalance(1, 1.5f); },
         [](const E& e) { return v3(e.balance); },
         {0.5f, 1, 0.5f},
         kKey},
        {"balance NaN",
         [](E& e) { e.setBalance(2, kNaN); },
         [](const E& e) { return v3(e.balance); },
         {0.5f, 0.5f, kNaN},
         kKey},
        {"balance index -1 ignored",
         [](E& e) { e.setBalance(-1, 0.25f); },
         [](const E& e) { return v3(e.balance); },
         {0.5f, 0.5f, 0.5f},
         0},
        {"balance index 3 ignored",
         [](E& e) { e.setBalance(3, kNaN); },
         [](const E& e) { return v3(e.balance); },
         {0.5f, 0.5f, 0.5f},
         0},
        {"gain clamps low",
         [](E& e) { e.setGain(1, -2); },
         [](const E& e) { return v3(e.gain); },
         {0, -1, 0},
         kKey},
        {"gain index 3 ignored",
         [](E& e) { e.setGain(3, 0.5f); },
         [](const E& e) { return v3(e.gain); },
         {0, 0, 0},
         0},
        {"exposure set 7 is set 1",
         [](E& e) { e.setExposure(2, 2, 2, 7); },
         [](const E& e) { return v3(e.exposure[1]); },
         {2, 2, 2},
         kBgLut},
        {"exposure set -4 is set 0, unclamped",
         [](E& e) { e.setExposure(-5, 2, 40, -4); },
         [](const E& e) { return v3(e.exposure[0]); },
         {-5, 2, 40},
         kFgCorrect},
        {"exposure same",
         [](E& e) { e.setExposure(1, 1, 1, 1); },
         [](const E& e) { return v3(e.exposure[1]); },
         {1, 1, 1},
         0},
        {"gamma unclamped",
         [](E& e) { e.setGamma(-1, 0, 5, 1); },
         [](const E& e) { return v3(e.gamma[1]); },
         {-1, 0, 5},
         kBgLut},
        {"gamma NaN",
         [](E& e) { e.setGamma(1, kNaN, 1, 0); },
         [](const E& e) { return v3(e.gamma[0]); },
         {1, kNaN, 1},
         kFgCorrect},
        {"offset set 0",
         [](E& e) { e.setOffset(0.5f, -0.5f, 9, 0); },
         [](const E& e) { return v3(e.offset[0]); },
         {0.5f, -0.5f, 9},
         kFgCorrect},
        {"offset same",
         [](E& e) { e.setOffset(0, 0, 0, 3); },
         [](const E& e) { return v3(e.offset[1]); },
         {0, 0, 0},
         0},
        {"saturation clamps to 3",
         [](E& e) { e.setSaturation(5, 0); },
         [](const E& e) {
             return std::vector<float>{e.saturation[0], e.saturation[1]};
         },
         {3, 1},
         kFgCorrect},
        {"saturation clamps to 0, set 9 is 1",
         [](E& e) { e.setSaturation(-1, 9); },
         [](const E& e) {
             return std::vector<float>{e.saturation[0], e.saturation[1]};
         },
         {1, 0},
         kBgLut},
        {"useHold off",
         [](E& e) { e.useHold(0); },
         [](const E& e) { return vi(e.useHoldOn); },
         {0},
         kStaleAll},
        {"useHold same",
         [](E& e) { e.useHold(1); },
         [](const E& e) { return vi(e.useHoldOn); },
         {1},
         0},
        {"useGarbage any int",
         [](E& e) { e.useGarbage(7); },
         [](const E& e) { return vi(e.useGarbageOn); },
         {7},
         kStaleAll},
        {"useRef off",
         [](E& e) { e.useRef(0); },
         [](const E& e) { return vi(e.useRefOn); },
         {0},
         kKey | kScreenLut},
        {"view any id",
         [](E& e) { e.setView(-3); },
         [](const E& e) { return vi(e.view); },
         {-3},
         kStaleAll},
        {"view same", [](E& e) { e.setView(0); }, [](const E& e) { return vi(e.view); }, {0}, 0},
        {"colourspace any id",
         [](E& e) { e.setColourspace(7); },
         [](const E& e) { return vi(e.colourspace); },
         {7},
         kWorkingSpace},
        {"colourspace same",
         [](E& e) { e.setColourspace(1); },
         [](const E& e) { return vi(e.colourspace); },
         {1},
         0},
        {"dstMax",
         [](E& e) { e.setDstMax(65535); },
         [](const E& e) { return vi(e.dstMax); },
         {65535},
         kOutLut},
        {"dstMax same",
         [](E& e) { e.setDstMax(255); },
         [](const E& e) { return vi(e.dstMax); },
         {255},
         0},
    };
    return cases;
}

bool hasNaN(const std::vector<float>& v) {
    for (float x : v) {
        if (std::isnan(x)) return true;
    }
    return false;
}

TEST(Setters, ClampStoreFlagAndNotifyOncePerEffectiveChange) {
    for (const SetterCase& sc : setterCases()) {
        SCOPED_TRACE(sc.name);
        auto e = makeEngine();
        int calls = 0;
        e->installCallback(countCall, &calls);
        clearFlags(*e);

        sc.call(*e);
        EXPECT_TRUE(sameBits(sc.stored(*e), sc.expected));
        const unsigned expectedFlags = sc.flags == 0 ? 0u : (sc.flags | kStaleAll);
        EXPECT_EQ(flagsOf(*e), expectedFlags);
        EXPECT_EQ(calls, sc.flags == 0 ? 0 : 1);

        // The same call again: a stored NaN never equals itself, so it changes again;
        // anything else is now current and the call does nothing at all.
        clearFlags(*e);
        calls = 0;
        sc.call(*e);
        const bool again = hasNaN(sc.expected) && sc.flags != 0;
        EXPECT_EQ(flagsOf(*e), again ? expectedFlags : 0u);
        EXPECT_EQ(calls, again ? 1 : 0);
        EXPECT_TRUE(sameBits(sc.stored(*e), sc.expected));
    }
}

TEST(Setters, ThreeValueSettersCompareAllChannels) {
    // A change in the last channel alone is a change.
    auto e = makeEngine();
    clearFlags(*e);
    e->setMp(0.5f, 0.5f, 0.25f);
    EXPECT_EQ(flagsOf(*e), kStaleAll | kKey);
    EXPECT_EQ(e->mp[2], 0.25f);
}

TEST(Setters, ConstructionDefaults) {
    auto e = makeEngine();
    EXPECT_EQ(flagsOf(*e), 0x1FFu);
    for (int max : {e->fgMax, e->bgMax, e->refMax, e->dstMax, e->gMatteMax, e->hMatteMax}) {
        EXPECT_EQ(max, 255);
    }
    EXPECT_EQ(v3(e->balance), (std::vector<float>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(v3(e->screen), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(v3(e->mp), (std::vector<float>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(v3(e->replace), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(v3(e->background), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(v3(e->neutral), (std::vector<float>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(v3(e->gain), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(e->view, 0);
    EXPECT_EQ(e->useHoldOn, 1);
    EXPECT_EQ(e->useGarbageOn, 1);
    EXPECT_EQ(e->useRefOn, 1);
    EXPECT_EQ(e->screenRange, 0.0f);
    EXPECT_EQ(e->colourspace, 1);
    for (int s = 0; s < 2; ++s) {
        EXPECT_EQ(v3(e->exposure[s]), (std::vector<float>{1, 1, 1}));
        EXPECT_EQ(v3(e->offset[s]), (std::vector<float>{0, 0, 0}));
        EXPECT_EQ(v3(e->gamma[s]), (std::vector<float>{1, 1, 1}));
        EXPECT_EQ(e->saturation[s], 1.0f);
    }
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(e->fgLut[c], nullptr);
        EXPECT_EQ(e->bgLut[c], nullptr);
        EXPECT_EQ(e->refLut[c], nullptr);
        EXPECT_EQ(e->fgScreenLut[c], nullptr);
        EXPECT_EQ(e->refScreenLut[c], nullptr);
    }
    EXPECT_EQ(e->holdLut, nullptr);
    EXPECT_EQ(e->garbageLut, nullptr);
    EXPECT_EQ(e->callback, nullptr);
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
        EXPECT_EQ(flagsOf(*e), 0x1FFu & ~kFgCorrect);
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

struct SizeLog {
    std::vector<std::size_t> bytes;
};

bool logSize(void* data, std::size_t bytes) {
    static_cast<SizeLog*>(data)->bytes.push_back(bytes);
    return true;
}

TEST(Setters, NewMaximumSizesTheNextAllocation) {
    auto e = makeEngine();
    int calls = 0;
    e->installCallback(countCall, &calls);
    e->useRef(0);
    e->useHold(0);
    e->useGarbage(0);
    calls = 0;
    e->setFgMax(65535);  // nothing allocated yet: frees nothing, still notifies
    EXPECT_EQ(calls, 1);
    SizeLog log;
    e->allocGate = logSize;
    e->allocGateData = &log;
    calls = 0;
    ASSERT_EQ(e->makeLuts(), 0);
    // Per channel fgLut, bgLut, fgScreenLut; then the projection scratch array.
    const std::vector<std::size_t> expected = {65536 * 2, 256 * 2,   65536 * 2, 65536 * 2,
                                               256 * 2,   65536 * 2, 65536 * 2, 256 * 2,
                                               65536 * 2, 65536 * 4};
    EXPECT_EQ(log.bytes, expected);
    EXPECT_EQ(e->fgLut[2][65535], 16383);
    EXPECT_EQ(calls, 0);  // a successful makeLuts never notifies
}

TEST(Setters, InstallCallbackNeitherNotifiesNorRaisesFlags) {
    auto e = makeEngine();
    clearFlags(*e);
    int calls = 0;
    e->installCallback(countCall, &calls);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(flagsOf(*e), 0u);
    e->installCallback(nullptr, &calls);  // null switches notification off
    e->setView(4);
    EXPECT_EQ(calls, 0);
}

TEST(Setters, DestructionNotifiesOnce) {
    int calls = 0;
    {
        auto e = makeEngine();
        ASSERT_EQ(e->makeLuts(), 0);
        e->installCallback(countCall, &calls);
    }
    EXPECT_EQ(calls, 1);
}

}  // namespace
