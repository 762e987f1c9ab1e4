// The shared parameter transfer's rounding against the host's own 4-decimal rounding: the node
// and the Python module must hand the engine exactly the values the host's rounding gives.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>

#include "host/KeyerParams.h"
#include "sdk/base/PXiMath.h"

namespace {

float floatOfBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint32_t bitsOf(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void expectSameRounding(float v) {
    ASSERT_EQ(bitsOf(keyerRound(v)), bitsOf(PXiRound(v, 4))) << "value " << v;
}

TEST(KeyerRound, MatchesTheHostsRoundingBitForBit) {
    const float special[] = {0.0f,
                             -0.0f,
                             0.00005f,
                             -0.00005f,
                             0.12345f,
                             0.9f,
                             1e-30f,
                             8388607.5f,
                             8388608.0f,
                             -8388608.0f,
                             std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()};
    for (float v : special) expectSameRounding(v);
    // Every float from 0 to 2 in steps of 1024 ulps covers the range parameters live in,
    // including the values that lie next to a half of the fourth decimal.
    for (std::uint32_t bits = 0; bits <= bitsOf(2.0f); bits += 1024) {
        expectSameRounding(floatOfBits(bits));
        expectSameRounding(-floatOfBits(bits));
    }
    // Decimal texts as scripts write them: k / 100000 lands on both sides of every half.
    for (int k = -300000; k <= 300000; ++k) expectSameRounding(static_cast<float>(k / 100000.0));
    // And any bit pattern at all.
    std::mt19937 random(19);
    for (int i = 0; i < 200000; ++i) expectSameRounding(floatOfBits(random()));
}

}  // namespace
