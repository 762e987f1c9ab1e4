// The renderer's multiply-and-shift divisions against plain division, for every operand
// the pixel code can produce.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/render/ZephraRenderDivide.h"

namespace {

using zephra::DivisorMultiplier;
using zephra::UnpremultiplyTable;

// The unpremultiply as the pixel loops form it: (f * m) >> shift with the entry's multiplier.
std::uint64_t unpremultiplied(std::uint32_t f, int entry) {
    return (std::uint64_t(f) * zephra::kUnpremultiply.m[entry]) >> UnpremultiplyTable::shift;
}

// Counts operands whose multiply-and-shift quotient differs from f * C / d, for d in
// 1 .. maxDivisor (table entry base + d) and f in 0 .. fMax(d). Plain unsigned arithmetic,
// one division-free check per operand: q is right when q * d <= f * C < (q + 1) * d.
long long mismatches(int base, std::uint64_t c, int maxDivisor, int (*fMax)(int)) {
    long long bad = 0;
    for (int d = 1; d <= maxDivisor; ++d) {
        const int top = fMax(d);
        for (int f = 0; f <= top; ++f) {
            const std::uint64_t q = unpremultiplied(std::uint32_t(f), base + d);
            const std::uint64_t n = std::uint64_t(f) * c;
            bad += (q * std::uint64_t(d) > n) | (n >= (q + 1) * std::uint64_t(d));
        }
    }
    return bad;
}

// Both tables of multipliers over every operand they meet: F * 16383 / X for scaling to the
// brightest channel (0 <= F <= X <= 16383), and F * 4096 / A for unpremultiplying, over the
// whole 0 .. 16383 range of F (wider than the colours an alpha admits, in case a caller's
// tables step outside). The empty entries meet only a colour of 0 and must keep it 0.
TEST(RenderDivide, MultiplierTablesAreExactForEveryOperand) {
    EXPECT_EQ(mismatches(UnpremultiplyTable::kBrightestBase, 16383, 16383, [](int d) { return d; }),
              0);
    EXPECT_EQ(mismatches(0, 4096, 4096, [](int) { return 16383; }), 0);
    for (int entry : {0, UnpremultiplyTable::kBrightestBase})
        for (std::uint32_t f : {0u, 1u, 16383u})
            EXPECT_EQ(unpremultiplied(f, entry), 0u) << entry << " " << f;
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
