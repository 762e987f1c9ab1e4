// The renderer's per-pixel divisions against plain division, for every operand the pixel
// code can produce.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/render/ZephraRenderDivide.h"

namespace {

using zephra::DivisorMultiplier;

// Counts operands whose unpremultiply, formed as the pixel loops form it (one scale per
// divisor, one multiply per colour), differs from f * c / d, for every d in 1 .. maxDivisor
// and every f in 0 .. 16383. Plain integer arithmetic, one division-free check per operand:
// q is right when q * d <= f * c < (q + 1) * d.
long long mismatches(int c, int maxDivisor) {
    long long bad = 0;
    for (int d = 1; d <= maxDivisor; ++d) {
        const double scale = zephra::portable::unpremultiplyScale(c, d);
        for (int f = 0; f <= 16383; ++f) {
            const std::int64_t q = zephra::portable::unpremultiplied(f, scale);
            const std::int64_t n = std::int64_t(f) * c;
            bad += (q * d > n) | (n >= (q + 1) * d);
        }
    }
    return bad;
}

// Both divisions over the whole range of F, wider than the colours reach (F <= X when scaling
// to the brightest channel, F * 4096 <= A * 16383 otherwise), in case a caller's tables step
// outside: F * 16383 / X for scaling to the brightest channel and F * 4096 / A for
// unpremultiplying.
TEST(RenderDivide, UnpremultiplyIsExactForEveryOperand) {
    EXPECT_EQ(mismatches(16383, 16383), 0);
    EXPECT_EQ(mismatches(4096, 4096), 0);
}

// The raised alpha of a colour brighter than its alpha: X * 4096 / 16383 for every
// brightest channel, and every numerator of the range besides.
TEST(RenderDivide, DivisionBy16383IsExactOverTheWholeRange) {
    long long bad = 0;
    for (int n = 0; n <= 16383 * 4096; ++n) bad += zephra::portable::divideBy16383(n) != n / 16383;
    EXPECT_EQ(bad, 0);
}

// The condition of the exactness argument for every background maximum: the multiplier's
// excess e = m * d - 2^s stays below 2^s / 2^28, so no numerator below 2^28 can carry the
// quotient over, and the multiplier fits the 32 bits the loops give it. Checked for every
// 16-bit maximum and a spread of larger ones.
TEST(RenderDivide, BackgroundAlphaDividerConditionHoldsForEveryMaximum) {
    auto holds = [](std::uint32_t d) {
        const DivisorMultiplier div = zephra::exactDivider(d);
        // Recomputed from the shift alone, in 64 bits: a multiplier cut short by its 32-bit
        // field shows up as an excess out of range.
        const std::uint64_t scaled = std::uint64_t(1) << div.shift;
        const std::uint64_t full = (scaled + d - 1) / d;
        const std::uint64_t e = std::uint64_t(div.multiplier) * d - scaled;
        const std::uint64_t limit = std::uint64_t(1) << (div.shift - zephra::kDividendBits);
        return full == div.multiplier && e < d && e < limit;
    };
    for (std::uint32_t d = 1; d <= 65536; ++d) ASSERT_TRUE(holds(d)) << d;
    for (std::uint32_t d = 65537; d < 0x7FFFFFFFu - 1000003u; d += 1000003u)
        ASSERT_TRUE(holds(d)) << d;
    EXPECT_TRUE(holds(0x7FFFFFFFu));
}

// And directly: every numerator (4096 - M) * a the composite alpha can form, for the usual
// maxima and a few odd ones.
TEST(RenderDivide, BackgroundAlphaDividerMatchesDivisionOnEveryNumerator) {
    for (std::uint32_t d : {1u, 2u, 3u, 7u, 100u, 255u, 256u, 1023u, 4095u, 65535u}) {
        const DivisorMultiplier div = zephra::exactDivider(d);
        const std::uint32_t aStep = d > 4096 ? 97 : 1;  // every alpha sample up to 4096
        long long bad = 0;
        for (std::uint32_t a = 0; a <= d; a += (a < 4096 ? 1 : aStep))
            for (std::uint32_t k = 0; k <= 4096; ++k) {
                const std::uint32_t n = k * a;
                bad += zephra::portable::divideExactly(div, n) != n / d;
            }
        EXPECT_EQ(bad, 0) << "bgMax " << d;
    }
}

}  // namespace
