// The transfer functions between colour spaces and the working space.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/ZephraTransfer.h"

namespace {

using zephra::fromWork;
using zephra::toWork;

TEST(Transfer, FromWorkInvertsToWorkInEverySpace) {
    for (int cs : {0, 1, 2, 9, -1}) {
        SCOPED_TRACE(cs);
        for (int i = 0; i <= 1000; ++i) {
            const float v = static_cast<float>(i) / 1000.0f;
            const float x = toWork(v, cs);
            // The video toe and power segment meet only to about 2e-4 at the break 0.081.
            const float tolerance = cs == 2 && std::fabs(v - 0.081f) < 1e-3f ? 3e-4f : 2e-5f;
            EXPECT_NEAR(fromWork(x, cs), v, tolerance) << v;
        }
    }
}

TEST(Transfer, ToWorkIsMonotoneFromZeroToOne) {
    for (int cs : {0, 1, 2}) {
        SCOPED_TRACE(cs);
        float previous = -1.0f;
        for (int i = 0; i <= 65535; ++i) {
            const float x = toWork(static_cast<float>(i) / 65535.0f, cs);
            // Apart from the small step where the video segments meet.
            ASSERT_GE(x, previous - (cs == 2 ? 2e-4f : 0.0f)) << i;
            previous = x;
        }
        EXPECT_EQ(toWork(1.0f, cs), 1.0f);
    }
}

TEST(Transfer, KnownPoints) {
    // Log: one decade per 0.4901961 code values below white.
    EXPECT_FLOAT_EQ(toWork(0.0f, 1), std::pow(10.0f, -2.04f));
    EXPECT_EQ(fromWork(0.0f, 1), 0.0f);
    // Video: 0.081 itself still takes the linear toe before the power 0.6.
    EXPECT_EQ(toWork(0.081f, 2), zephra::powf32(0.081f / 4.5f, 0.6f));
    EXPECT_EQ(toWork(0.0f, 2), 0.0f);
    EXPECT_EQ(fromWork(0.0f, 2), 0.0f);
    // The two video segments meet, up to a step of under 2e-4 at the break.
    EXPECT_NEAR(toWork(0.0810001f, 2), toWork(0.081f, 2), 2e-4f);
    // Unknown ids are linear.
    EXPECT_EQ(toWork(0.3f, 3), 0.3f);
    EXPECT_EQ(fromWork(0.3f, -7), 0.3f);
}

TEST(Transfer, SaturatingTruncation) {
    struct Case {
        double x;
        int lo, hi, expected;
    };
    const Case cases[] = {{2.7, 0, 10, 2},     {-2.7, -10, 10, -2},  {-0.7, 0, 10, 0},
                          {1e30, 0, 10, 10},   {-1e30, -5, 5, -5},   {NAN, 3, 10, 3},
                          {INFINITY, 0, 7, 7}, {-INFINITY, 0, 7, 0}, {10.0, 0, 10, 10}};
    for (const Case& c : cases) {
        EXPECT_EQ(zephra::truncSat(c.x, c.lo, c.hi), c.expected) << c.x;
        EXPECT_EQ(zephra::truncSat(static_cast<float>(c.x), c.lo, c.hi), c.expected) << c.x;
    }
}

}  // namespace
