// Properties over random parameter sets: every table stays within the range the renderer
// relies on, for every value the setters admit (NaN and infinities included), and a run of
// partial rebuilds always ends with exactly the tables of a fresh build.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/tables/ZephraInputTables.h"
#include "tables_support.h"

namespace {

using tables_test::differing;
using tables_test::makeEngine;
using tables_test::snapshot;

// Rounds of the random tests. The 32-bit test programs run under user-mode emulation,
// where building tables costs some forty times as much; they get fewer rounds (about 15 s)
// and the 64-bit builds the full count.
constexpr bool kEmulatedBuild = sizeof(void*) == 4;
constexpr int kRangeRounds = kEmulatedBuild ? 25 : 150;
constexpr int kRebuildRounds = kEmulatedBuild ? 15 : 60;

class RandomParams {
public:
    explicit RandomParams(unsigned seed) : rng_(seed) {}

    // Mostly ordinary values, sometimes out of range, extreme or not a number.
    float value(float lo, float hi) {
        const int pick = std::uniform_int_distribution<int>(0, 19)(rng_);
        switch (pick) {
            case 0:
                return std::numeric_limits<float>::quiet_NaN();
            case 1:
                return std::numeric_limits<float>::infinity();
            case 2:
                return -std::numeric_limits<float>::infinity();
            case 3:
                return std::uniform_real_distribution<float>(-1e6f, 1e6f)(rng_);
            case 4:
                return std::numeric_limits<float>::denorm_min();
            case 5:
                return 0.0f;
            case 6:
                return hi;
            case 7:
                return std::uniform_real_distribution<float>(lo - 1, hi + 1)(rng_);
            default:
                return std::uniform_real_distribution<float>(lo, hi)(rng_);
        }
    }
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return pick(0, 99) < percent; }

    // One random setter call.
    void change(VRFZephraTable& e) {
        switch (pick(0, 17)) {
            case 0:
                e.setScreen(value(0, 1), value(0, 1), value(0, 1));
                break;
            case 1:
                e.setScreenRange(value(0, 1));
                break;
            case 2:
                e.setReplace(value(0, 1), value(0, 1), value(0, 1));
                break;
            case 3:
                e.setBackground(value(0, 1), value(0, 1), value(0, 1));
                break;
            case 4:
                e.setMp(value(0, 1), value(0, 1), value(0, 1));
                break;
            case 5:
                e.setNeutral(value(0, 1), value(0, 1), value(0, 1));
                break;
            case 6:
                e.setBalance(pick(-1, 3), value(0, 1));
                break;
            case 7:
                e.setGain(pick(-1, 3), value(-1, 1));
                break;
            case 8:
                e.setExposure(value(0, 2), value(0, 2), value(0, 2), pick(-1, 2));
                break;
            case 9:
                e.setGamma(value(0, 3), value(0, 3), value(0, 3), pick(-1, 2));
                break;
            case 10:
                e.setOffset(value(-1, 1), value(-1, 1), value(-1, 1), pick(-1, 2));
                break;
            case 11:
                e.setSaturation(value(0, 3), pick(-1, 2));
                break;
            case 12:
                e.setColourspace(pick(-1, 3));
                break;
            case 13:
                e.useRef(pick(0, 1));
                break;
            case 14:
                e.useHold(pick(0, 1));
                break;
            case 15:
                e.useGarbage(pick(0, 1));
                break;
            case 16:
                e.setView(pick(0, 5));
                break;
            default: {
                const int m = chance(50) ? 255 : 1023;
                switch (pick(0, 5)) {
                    case 0:
                        e.setFgMax(m);
                        break;
                    case 1:
                        e.setBgMax(m);
                        break;
                    case 2:
                        e.setRefMax(m);
                        break;
                    case 3:
                        e.setHMatteMax(m);
                        break;
                    case 4:
                        e.setGMatteMax(m);
                        break;
                    default:
                        e.setDstMax(m);
                        break;
                }
                break;
            }
        }
    }

    // Maxima of 8 or 16 bits (16 bits less often: they cost the most to build).
    int max() { return chance(25) ? 65535 : (chance(80) ? 255 : pick(1, 4000)); }

private:
    std::mt19937 rng_;
};

void expectWithin(const char* name, const std::int16_t* t, int n, int lo, int hi) {
    for (int i = 0; i < n; ++i) {
        ASSERT_GE(t[i], lo) << name << "[" << i << "]";
        ASSERT_LE(t[i], hi) << name << "[" << i << "]";
    }
}

void expectRenderRanges(const VRFZephraTable& e) {
    for (int c = 0; c < 3; ++c) {
        expectWithin("fgLut", e.fgLut[c], e.fgMax + 1, 0, 16383);
        expectWithin("bgLut", e.bgLut[c], e.bgMax + 1, 0, 16383);
        expectWithin("fgCorrectLut", e.fgCorrectLut[c], 16384, 0, 16383);
        for (int i = 0; i <= 16383; ++i) ASSERT_LE(e.outLut[c][i], e.dstMax);
        EXPECT_GE(e.screenInt[c], 0);
        EXPECT_LE(e.screenInt[c], 16383);
        EXPECT_GE(e.replaceInt[c], 0);
        EXPECT_LE(e.replaceInt[c], 16383);
        EXPECT_GE(e.backgroundInt[c], 0);
        EXPECT_LE(e.backgroundInt[c], 16383);
        if (e.useRefOn) {
            expectWithin("refLut", e.refLut[c], e.refMax + 1, 0, 16383);
            EXPECT_GE(e.refFallbackInt[c], 0);
            EXPECT_LE(e.refFallbackInt[c], 16383);
        }
    }
    if (e.useRefOn) {
        EXPECT_GE(e.refFallbackSum, 1);
    } else {
        expectWithin("screenLut", e.screenLut, 4096, 0, 16384);
    }
    expectWithin("matteLut", e.matteLut, 4097, 0, 4096);
    if (e.useHoldOn) expectWithin("holdLut", e.holdLut, e.hMatteMax + 1, 0, 4096);
    if (e.useGarbageOn) expectWithin("garbageLut", e.garbageLut, e.gMatteMax + 1, 0, 4096);
}

TEST(TableRanges, EveryAdmittedParameterSetGivesInRangeTables) {
    RandomParams rnd(20240611u);
    int built = 0;
    for (int round = 0; round < kRangeRounds; ++round) {
        SCOPED_TRACE(round);
        auto e = makeEngine();
        e->setFgMax(rnd.max());
        e->setBgMax(rnd.max());
        e->setRefMax(rnd.max());
        e->setDstMax(rnd.chance(50) ? 255 : 65535);
        e->setHMatteMax(rnd.max());
        e->setGMatteMax(rnd.max());
        for (int n = rnd.pick(1, 30); n > 0; --n) rnd.change(*e);
        testing::internal::CaptureStderr();
        const int result = e->makeLuts();
        testing::internal::GetCapturedStderr();
        ASSERT_TRUE(result == 0 || result == 2) << result;
        if (result != 0) continue;
        ++built;
        expectRenderRanges(*e);
        if (HasFatalFailure()) return;
    }
    // Most sets pass the screen checks; a screen colour made grey or zero stops a few.
    EXPECT_GT(built, kRangeRounds * 2 / 3);
}

TEST(TableRanges, PartialRebuildsEndWithAFreshBuildsTables) {
    RandomParams rnd(77u);
    for (int round = 0; round < kRebuildRounds; ++round) {
        SCOPED_TRACE(round);
        // The engine under test lives through many changes and builds; its twin receives
        // the same calls (a generator with the same seed) and builds once, at the end.
        auto e = makeEngine();
        RandomParams calls(1000u + round);
        int total = 0;
        int result = 0;
        for (int steps = rnd.pick(1, 12); steps > 0; --steps) {
            for (int n = rnd.pick(1, 3); n > 0; --n, ++total) calls.change(*e);
            testing::internal::CaptureStderr();
            result = e->makeLuts();
            testing::internal::GetCapturedStderr();
        }
        auto twin = makeEngine();
        RandomParams replay(1000u + round);
        for (int n = 0; n < total; ++n) replay.change(*twin);
        testing::internal::CaptureStderr();
        ASSERT_EQ(twin->makeLuts(), result);
        testing::internal::GetCapturedStderr();
        if (result == 0) {
            EXPECT_EQ(differing(snapshot(*e), snapshot(*twin)), std::vector<std::string>{});
            // The renderer's colour pairs follow their tables through the partial rebuilds,
            // over every entry (those above the maximum too).
            const std::size_t entries = zephra::inputTableEntries(e->fgMax);
            for (int c = 0; c < 3; ++c)
                EXPECT_TRUE(std::equal(e->fgColourPairs[c], e->fgColourPairs[c] + entries,
                                       twin->fgColourPairs[c]))
                    << c;
        }
    }
}

}  // namespace
