// The tables' known values: identities in linear, the log and video end points, the
// default blue-screen projection, the balance curves, the matte stretch, the hold-out and
// garbage tables, the reference fallbacks, the correction tables and the saturation
// matrices.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/tables/ZephraTransfer.h"
#include "tables_support.h"

namespace {

using tables_test::makeEngine;

// trunc(num / den + 0.5) for non-negative num, den > 0, exactly.
int roundDiv(long long num, long long den) { return static_cast<int>((2 * num + den) / (2 * den)); }

double rounded(double x) { return std::floor(x + 0.5); }

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
    // With all neutral weights 1 the input, background and output tables are the exact
    // rational identities, rounded half up, for every entry; at 16 bits too, where a
    // single-precision quotient i / max would put some entries one unit off. An unknown
    // colour-space id acts as linear.
    for (int colourspace : {0, 7}) {
        for (int max : {1, 2, 6, 255, 1000, 4095, 65535}) {
            SCOPED_TRACE(testing::Message() << "colour space " << colourspace << ", max " << max);
            auto e = plainEngine(colourspace, max);
            ASSERT_EQ(e->makeLuts(), 0);
            for (int c = 0; c < 3; ++c) {
                for (int i = 0; i <= max; ++i) {
                    ASSERT_EQ(e->fgLut[c][i], roundDiv(16383LL * i, max)) << c << " " << i;
                    ASSERT_EQ(e->bgLut[c][i], roundDiv(16383LL * i, max)) << c << " " << i;
                }
                for (int i = 0; i <= 16383; ++i) {
                    ASSERT_EQ(e->outLut[c][i], roundDiv(1LL * max * i, 16383)) << c << " " << i;
                    ASSERT_EQ(e->fgCorrectLut[c][i], i) << c << " " << i;
                }
            }
        }
    }
}

TEST(WorkedTables, ReferenceInputIdentityAt16Bit) {
    auto e = plainEngine(0, 65535);
    e->useRef(1);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i <= 65535; ++i) {
            ASSERT_EQ(e->refLut[c][i], roundDiv(16383LL * i, 65535)) << c << " " << i;
        }
    }
}

TEST(WorkedTables, LogEndPoints) {
    auto e = plainEngine(1, 255);
    e->setNeutral(0.25f, 0.5f, 1.0f);
    ASSERT_EQ(e->makeLuts(), 0);
    const double n[3] = {zephra::toWork(0.25f, 1), zephra::toWork(0.5f, 1), 1.0};
    const double black = zephra::toWork(0.0, 1);  // 10 raised to -2.04
    EXPECT_NEAR(black, std::pow(10.0, -2.04), 1e-8);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        // The weights are floats; white has the working value 1 exactly.
        const double weight = static_cast<float>(n[0] / n[c]);
        EXPECT_EQ(e->fgLut[c][255], static_cast<int>(16383.0 * weight + 0.5));
        EXPECT_EQ(e->fgLut[c][0], static_cast<int>(16383.0 * weight * black + 0.5));
        EXPECT_EQ(e->outLut[c][0], 0);
    }
    EXPECT_EQ(e->fgLut[0][255], 16383);
    EXPECT_EQ(e->fgLut[0][0], 149);  // 16383 * 10^-2.04 = 149.41
    // Round trip of the full-weight channel: a sample through fgLut and outLut comes back.
    for (int i = 0; i <= 255; ++i) EXPECT_EQ(e->outLut[0][e->fgLut[0][i]], i) << i;
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

TEST(WorkedTables, OutLutClampsBeyondFullScale) {
    // With a weight below 1 the top internal values decode above 1.0: clamped to dstMax.
    for (int cs : {0, 1, 2}) {
        auto e = plainEngine(cs, 255);
        e->setNeutral(0.2f, 0.8f, 0.8f);
        ASSERT_EQ(e->makeLuts(), 0);
        EXPECT_EQ(e->outLut[1][16383], 255);
        EXPECT_EQ(e->outLut[1][e->fgLut[1][255]], 255);
        EXPECT_LT(e->fgLut[1][255], 16383);
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

TEST(WorkedTables, MatteStretchWidensMonotonicallyWithScreenRange) {
    auto e = plainEngine(1, 255);
    int previousZeros = 0;
    for (float range = 0.0f; range <= 1.0f; range += 0.05f) {
        e->setScreenRange(range);
        ASSERT_EQ(e->makeLuts(), 0);
        int zeros = 0;
        for (int i = 0; i <= 4096; ++i) {
            if (i > 0) {
                ASSERT_GE(e->matteLut[i], e->matteLut[i - 1]);
            }
            zeros += e->matteLut[i] == 0;
        }
        EXPECT_EQ(e->matteLut[4096], 4096);
        EXPECT_GE(zeros, previousZeros) << range;
        previousZeros = zeros;
    }
}

TEST(WorkedTables, EqualBalancesGiveConstantCurves) {
    // Equal balances and no gain: each projection table is q * 4096 * toWork(i / max),
    // q being the channel's coefficient times its neutral weight.
    auto e = plainEngine(1, 1023);
    e->setScreen(0.05f, 0.8f, 0.4f);  // a green screen: high 1, low 0, middle 2
    for (int b = 0; b < 3; ++b) e->setBalance(b, 0.25f);
    e->setNeutral(0.4f, 0.5f, 0.6f);
    ASSERT_EQ(e->makeLuts(), 0);

    float n[3], w[3], sw[3];
    for (int c = 0; c < 3; ++c) n[c] = zephra::toWork(e->neutral[c], 1);
    for (int c = 0; c < 3; ++c) {
        w[c] = std::min({n[0], n[1], n[2]}) / n[c];
        sw[c] = zephra::toWork(e->screen[c], 1) * w[c];
    }
    const double strength = (sw[1] - sw[0]) * 0.75 + (sw[1] - sw[2]) * 0.25;
    const double k = sw[1] / strength;
    const double q[3] = {-k * 0.75 * w[0], k * w[1], -k * 0.25 * w[2]};
    for (int c = 0; c < 3; ++c) {
        for (int i = 0; i <= 1023; ++i) {
            const double expected = 4096.0 * q[c] * zephra::toWork(i / 1023.0, 1);
            ASSERT_NEAR(e->fgScreenLut[c][i], expected, 1.5) << c << " " << i;
        }
    }
}

TEST(WorkedTables, GainsShapeOnlyTheHighChannel) {
    auto flat = plainEngine(0, 255);
    auto gained = plainEngine(0, 255);
    gained->setGain(1, 0.5f);
    ASSERT_EQ(flat->makeLuts(), 0);
    ASSERT_EQ(gained->makeLuts(), 0);
    for (int i = 0; i <= 255; ++i) {
        EXPECT_EQ(gained->fgScreenLut[0][i], flat->fgScreenLut[0][i]);
        EXPECT_EQ(gained->fgScreenLut[1][i], flat->fgScreenLut[1][i]);
    }
    // At the midtone knot (i = trunc(256 * 0.5) = 128) the curve is q + (g/2 + 4g + g/2)/6
    // with q = 1: 1 + 5/12.
    EXPECT_EQ(gained->fgScreenLut[2][128],
              static_cast<int>(4096.0 * (1.0 + 5.0 / 12.0) * 128 / 255 + 0.5));
    // At sample 0 the curve starts at q + g/12, times toWork(0) = 0.
    EXPECT_EQ(gained->fgScreenLut[2][0], 0);
    EXPECT_GT(gained->fgScreenLut[2][200], flat->fgScreenLut[2][200]);
}

TEST(WorkedTables, ShadowAndHighlightBalancesTradeMiddleAgainstLow) {
    // The middle and low curves move by opposite amounts: their sum stays that of equal
    // balances, up to the rounding of each entry.
    auto flat = plainEngine(2, 255);
    auto shifted = plainEngine(2, 255);
    shifted->setBalance(0, 1.0f);
    shifted->setBalance(2, 0.1f);
    ASSERT_EQ(flat->makeLuts(), 0);
    ASSERT_EQ(shifted->makeLuts(), 0);
    bool moved = false;
    for (int i = 0; i <= 255; ++i) {
        const int sumFlat = flat->fgScreenLut[0][i] + flat->fgScreenLut[1][i];
        const int sumShifted = shifted->fgScreenLut[0][i] + shifted->fgScreenLut[1][i];
        EXPECT_NEAR(sumShifted, sumFlat, 1) << i;
        EXPECT_EQ(shifted->fgScreenLut[2][i], flat->fgScreenLut[2][i]);
        moved = moved || shifted->fgScreenLut[1][i] != flat->fgScreenLut[1][i];
    }
    EXPECT_TRUE(moved);
}

TEST(WorkedTables, MidtonePointAtZeroEmptiesTheFirstSegments) {
    auto e = plainEngine(0, 255);
    e->setMp(0, 0, 0);
    e->setGain(0, 1.0f);  // the shadow gain then never shows: the curve starts at the midtone
    e->setGain(1, -0.5f);
    ASSERT_EQ(e->makeLuts(), 0);
    auto ref = plainEngine(0, 255);
    ref->setMp(0, 0, 0);
    ref->setGain(1, -0.5f);
    ASSERT_EQ(ref->makeLuts(), 0);
    // Entry 0 is the knot value (C2 + 4 C3 + C4) / 6, which holds the shadow gain at one
    // twelfth; from the third segment on the shadow gain is gone.
    for (int i = 1; i <= 255; ++i) {
        ASSERT_NEAR(e->fgScreenLut[2][i], ref->fgScreenLut[2][i],
                    i < 128 ? 4096.0 * (1.0 / 12) * i / 255 + 1 : 0)
            << i;
    }
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

TEST(WorkedTables, ReferenceFallbacksAndMatte) {
    auto e = plainEngine(0, 255);
    e->useRef(1);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->refScreenLut[2][255], 4096);
    EXPECT_EQ(e->refFallbackSum, 4096);
    EXPECT_EQ(e->refFallbackInt[0], 0);
    EXPECT_EQ(e->refFallbackInt[1], 0);
    EXPECT_EQ(e->refFallbackInt[2], 16383);
    for (int i = 0; i <= 255; ++i) EXPECT_EQ(e->refLut[1][i], e->fgLut[1][i]);
    // The screen's projection over its own reference is exactly 1: no stretch at all.
    for (int i = 0; i <= 4096; ++i) EXPECT_EQ(e->matteLut[i], i);

    // Gains of -1 take all weight off the high channel: the screen's own reference
    // projection is negative and the fallback sum becomes 1.
    for (int g = 0; g < 3; ++g) e->setGain(g, -1.0f);
    e->setScreen(0.2f, 0.3f, 0.9f);
    ASSERT_EQ(e->makeLuts(), 0);
    EXPECT_EQ(e->refFallbackSum, 1);
    EXPECT_EQ(e->refFallbackInt[1], e->refLut[1][static_cast<int>(255 * 0.3f + 0.5f)]);
}

TEST(WorkedTables, CorrectionExamples) {
    auto e = plainEngine(0, 255);
    e->setOffset(0.5f, 0.5f, 0.5f, 0);
    e->setExposure(1, -1, 1, 0);
    e->setGamma(2, 1, 1, 0);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int i = 0; i <= 16383; ++i) {
        // Offset 0.5: trunc(16383 * min(1, i / 16383 + 0.5) + 0.5), white from 8192 up.
        const double offsetOnly = 16383.0 * std::min(1.0, i / 16383.0 + 0.5) + 0.5;
        ASSERT_EQ(e->fgCorrectLut[2][i], static_cast<int>(offsetOnly)) << i;
        if (i >= 8192) {
            ASSERT_EQ(e->fgCorrectLut[2][i], 16383) << i;
        }
        // A negative exposure with offset 0.5 drives the channel to 0.5 - x, clamped.
        ASSERT_NEAR(e->fgCorrectLut[1][i], rounded(16383.0 * std::max(0.0, 0.5 - i / 16383.0)), 1);
        // Gamma 2: the square root, plus the offset.
        ASSERT_NEAR(e->fgCorrectLut[0][i],
                    rounded(16383.0 * std::min(1.0, std::sqrt(i / 16383.0) + 0.5)), 1);
    }
    e->setOffset(0, 0, 0, 0);
    e->setExposure(-0.5f, 1, 1, 0);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int i = 0; i <= 16383; ++i) ASSERT_EQ(e->fgCorrectLut[0][i], 0);
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

TEST(WorkedTables, SaturationOneIsIdentityForAnyNeutral) {
    auto e = plainEngine(1, 255);
    e->setNeutral(0.1f, 0.7f, 0.4f);
    e->setSaturation(0.0f, 1);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(e->satMatrix[0][i][j], i == j ? 4096 : 0);
    }
    // With saturation 0 the weights carry across: entry (i, j) scales by w[i] / w[j].
    const int lumaGreen = e->satMatrix[1][1][1];
    EXPECT_GT(e->satMatrix[1][0][1], lumaGreen);  // red has the smallest working neutral
    EXPECT_LT(e->satMatrix[1][1][0], 1225);
}

}  // namespace
