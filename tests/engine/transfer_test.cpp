// The transfer functions between colour spaces and the working space.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/tables/ZephraTransfer.h"

namespace {

using zephra::fromWork;
using zephra::toWork;

TEST(Transfer, FromWorkInvertsToWorkInEverySpace) {
    for (int cs : {0, 1, 2, 9, -1}) {
        SCOPED_TRACE(cs);
        for (int i = 0; i <= 1000; ++i) {
            const double v = i / 1000.0;
            const double x = toWork(v, cs);
            // The video toe and power segment meet only to about 2e-4 at the break 0.081.
            const double tolerance = cs == 2 && std::fabs(v - 0.081) < 1e-3 ? 3e-4 : 2e-6;
            EXPECT_NEAR(fromWork(x, cs), v, tolerance) << v;
        }
    }
}

TEST(Transfer, ToWorkIsMonotoneFromZeroToOne) {
    for (int cs : {0, 1, 2}) {
        SCOPED_TRACE(cs);
        double previous = -1.0;
        for (int i = 0; i <= 65535; ++i) {
            const double x = toWork(i / 65535.0, cs);
            // Apart from the small step where the video segments meet.
            ASSERT_GE(x, previous - (cs == 2 ? 2e-4 : 0.0)) << i;
            previous = x;
        }
        EXPECT_EQ(toWork(1.0, cs), 1.0);
    }
}

TEST(Transfer, KnownPoints) {
    // Log: one decade per 0.4901961 code values below white.
    EXPECT_FLOAT_EQ(toWork(0.0, 1), std::pow(10.0f, -2.04f));
    EXPECT_EQ(fromWork(0.0, 1), 0.0);
    EXPECT_EQ(fromWork(1.0, 1), 1.0);
    // Video: 0.081 itself still takes the linear toe before the power 0.6, given as the
    // float parameter or as the double quotient 81 / 1000.
    EXPECT_EQ(toWork(0.081f, 2), zephra::powf32(0.081f / 4.5, 0.6));
    EXPECT_EQ(toWork(81 / 1000.0, 2), zephra::powf32(0.081 / 4.5, 0.6));
    EXPECT_EQ(toWork(0.0, 2), 0.0);
    EXPECT_EQ(fromWork(0.0, 2), 0.0);
    // The two video segments meet, up to a step of under 2e-4 at the break.
    EXPECT_NEAR(toWork(0.0810001, 2), toWork(0.081, 2), 2e-4);
    // Unknown ids are linear.
    EXPECT_EQ(toWork(0.3, 3), 0.3);
    EXPECT_EQ(fromWork(0.3, -7), 0.3);
}

TEST(Transfer, SaturatingTruncation) {
    struct Case {
        double x;
        int lo, hi, expected;
    };
    const Case cases[] = {{2.7, 0, 10, 2},     {-2.7, -10, 10, -2},  {-0.7, 0, 10, 0},
                          {1e30, 0, 10, 10},   {-1e30, -5, 5, -5},   {NAN, 3, 10, 3},
                          {INFINITY, 0, 7, 7}, {-INFINITY, 0, 7, 0}, {10.0, 0, 10, 10}};
    for (const Case& c : cases) EXPECT_EQ(zephra::truncSat(c.x, c.lo, c.hi), c.expected) << c.x;
}

}  // namespace
