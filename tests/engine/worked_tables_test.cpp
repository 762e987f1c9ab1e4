// The tables' known values, worked out independently of the table code: identities in
// linear, the video toe, the default blue-screen projection, the matte stretch, the hold-out
// and garbage tables, the gamma threshold and the saturation matrices. Every other parameter
// set is pinned by the table digests and bounded by the random range checks.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/tables/ZephraTransfer.h"
#include "tables_support.h"

namespace {

using tables_test::makeEngine;

// trunc(num / den + 0.5) for non-negative num, den > 0, exactly.
int roundDiv(long long num, long long den) { return static_cast<int>((2 * num + den) / (2 * den)); }

// An engine without optional inputs, in the given colour space, with equal maxima.
std::unique_ptr<VRFZephraTable> plainEngine(int colourspace, int max) {
    auto e = makeEngine();
    e->setColourspace(colourspace);
    e->useRef(0);
    for (auto set : {&VRFZephraTable::setFgMax, &VRFZephraTable::setBgMax,
                     &VRFZephraTable::setDstMax, &VRFZephraTable::setHMatteMax,
                     &VRFZephraTable::setGMatteMax, &VRFZephraTable::setRefMax}) {
        ((*e).*set)(max);
    }
    return e;
}

TEST(WorkedTables, LinearGreyNeutralGivesExactIdentitiesAtEveryDepth) {
    // With all neutral weights 1 the input, background, reference and output tables are the exact
    // rational identities, rounded half up, for every entry; at 16 bits too, where a
    // single-precision quotient i / max would put some entries one unit off. An unknown
    // colour-space id acts as linear.
    for (int colourspace : {0, 7}) {
        for (int max : {1, 2, 6, 255, 1000, 4095, 65535}) {
            SCOPED_TRACE(testing::Message() << "colour space " << colourspace << ", max " << max);
            auto e = plainEngine(colourspace, max);
            e->useRef(1);
            ASSERT_EQ(e->makeLuts(), 0);
            for (int c = 0; c < 3; ++c) {
                for (int i = 0; i <= max; ++i) {
                    ASSERT_EQ(e->fgLut[c][i], roundDiv(16383LL * i, max)) << c << " " << i;
                    ASSERT_EQ(e->bgLut[c][i], roundDiv(16383LL * i, max)) << c << " " << i;
                    ASSERT_EQ(e->refLut[c][i], roundDiv(16383LL * i, max)) << c << " " << i;
                }
                for (int i = 0; i <= 16383; ++i) {
                    ASSERT_EQ(e->outLut[c][i], roundDiv(1LL * max * i, 16383)) << c << " " << i;
                    ASSERT_EQ(e->fgCorrectLut[c][i], i) << c << " " << i;
                }
            }
        }
    }
}

TEST(WorkedTables, VideoBreakTakesTheToe) {
    // A sample at exactly 0.081 of its maximum is still on the linear toe: 0.081 / 4.5
    // raised to 0.6. The power segment would give about three units less.
    auto e = plainEngine(2, 1000);
    ASSERT_EQ(e->makeLuts(), 0);
    const double toe = zephra::powf32(0.081 / 4.5, 0.6);
    const double power = zephra::powf32(zephra::powf32((0.081 + 0.099) / 1.099, 2.2222223f), 0.6);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(e->fgLut[c][81], static_cast<int>(16383.0 * toe + 0.5));
        EXPECT_GE(e->fgLut[c][81] - static_cast<int>(16383.0 * power + 0.5), 2);
    }
}

TEST(WorkedTables, DefaultBlueScreenProjection) {
    // High channel 2 with coefficient 1, the others -1/2 each, at 8 and 16 bits; the
    // negative entries are truncated toward zero after adding 0.5.
    for (int max : {255, 65535}) {
        SCOPED_TRACE(max);
        auto e = plainEngine(0, max);
        ASSERT_EQ(e->makeLuts(), 0);
        for (int i = 0; i <= max; ++i) {
            ASSERT_EQ(e->fgScreenLut[2][i], roundDiv(4096LL * i, max)) << i;
            const long long side = (max - 4096LL * i) / (2LL * max);
            ASSERT_EQ(e->fgScreenLut[1][i], side) << i;
            ASSERT_EQ(e->fgScreenLut[0][i], side) << i;
        }
        for (int i = 0; i < 4096; ++i) ASSERT_EQ(e->screenLut[i], i);
        EXPECT_EQ(e->screenInt[2], 16383);
        EXPECT_EQ(e->screenInt[0], 0);
    }
}

TEST(WorkedTables, MatteStretchForScreenRangeZeroAndOne) {
    auto e = plainEngine(0, 255);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->matteLut[0], 0);
    for (int i = 1; i <= 4096; ++i) {
        EXPECT_EQ(e->matteLut[i], std::min(4096, roundDiv((i - 1) * 4096LL, 4094))) << i;
    }
    EXPECT_EQ(e->matteLut[1], 0);
    EXPECT_EQ(e->matteLut[2048], 2048);
    EXPECT_EQ(e->matteLut[4095], 4096);
    EXPECT_EQ(e->matteLut[4096], 4096);

    e->setScreenRange(1);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int i = 0; i <= 4096; ++i) EXPECT_EQ(e->matteLut[i], i <= 2048 ? 0 : 4096) << i;
}

TEST(WorkedTables, HoldAndGarbageTables) {
    auto e = plainEngine(1, 255);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->holdLut[0], 0);
    EXPECT_EQ(e->holdLut[128], 2056);
    EXPECT_EQ(e->holdLut[255], 4096);
    EXPECT_EQ(e->garbageLut[0], 4096);
    EXPECT_EQ(e->garbageLut[255], 0);
    for (int max : {1, 255, 1023, 65535}) {
        SCOPED_TRACE(max);
        e->setHMatteMax(max);
        e->setGMatteMax(max);
        ASSERT_EQ(e->makeLuts(), 0);
        for (int i = 0; i <= max; ++i) {
            ASSERT_EQ(e->holdLut[i], roundDiv(4096LL * i, max));
            ASSERT_EQ(e->garbageLut[i], 4096 - e->holdLut[i]);
        }
    }
}

TEST(WorkedTables, NonPositiveGammaIsAThresholdAtWhite) {
    for (float gamma : {0.0f, -0.0f, -1.0f, -1e30f}) {
        SCOPED_TRACE(gamma);
        auto e = plainEngine(0, 255);
        e->setGamma(gamma, gamma, gamma, 0);
        e->setGamma(gamma, gamma, gamma, 1);
        ASSERT_EQ(e->makeLuts(), 0);
        for (int i = 0; i < 16383; ++i) ASSERT_EQ(e->fgCorrectLut[0][i], 0) << i;
        EXPECT_EQ(e->fgCorrectLut[0][16383], 16383);
        for (int i = 0; i < 255; ++i) ASSERT_EQ(e->bgLut[0][i], 0) << i;
        EXPECT_EQ(e->bgLut[0][255], 16383);
    }
    // The threshold is the limit of small positive gammas.
    auto e = plainEngine(0, 255);
    e->setGamma(1e-3f, 1e-3f, 1e-3f, 0);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->fgCorrectLut[0][16000], 0);
    EXPECT_EQ(e->fgCorrectLut[0][16383], 16383);
}

TEST(WorkedTables, SaturationMatrices) {
    struct Case {
        float saturation;
        int row0[3], row1[3];
    };
    const Case cases[] = {
        {0.0f, {1225, 2404, 467}, {1225, 2404, 467}},
        {1.0f, {4096, 0, 0}, {0, 4096, 0}},
        {3.0f, {9839, -4808, -933}, {-2448, 7479, -933}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.saturation);
        auto e = plainEngine(0, 255);
        e->setSaturation(c.saturation, 0);
        e->setSaturation(c.saturation, 1);
        ASSERT_EQ(e->makeLuts(), 0);
        for (int k = 0; k < 2; ++k) {
            for (int j = 0; j < 3; ++j) {
                EXPECT_EQ(e->satMatrix[k][0][j], c.row0[j]);
                EXPECT_EQ(e->satMatrix[k][1][j], c.row1[j]);
            }
        }
    }
    // Neutral (0.001, 1, 1) weighs the channels (1, 0.001, 0.001): the rows carry the ratios,
    // entries whose row sums leave the 32-bit range.
    auto wide = plainEngine(0, 255);
    wide->setNeutral(0.001f, 1.0f, 1.0f);
    wide->setSaturation(0.0f, 0);
    ASSERT_EQ(wide->makeLuts(), 0);
    const int red[3] = {1225, 2404352, 466944}, greenAndBlue[3] = {1, 2404, 467};
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(wide->satMatrix[0][0][j], red[j]);
        EXPECT_EQ(wide->satMatrix[0][1][j], greenAndBlue[j]);
        EXPECT_EQ(wide->satMatrix[0][2][j], greenAndBlue[j]);
    }
}

}  // namespace
