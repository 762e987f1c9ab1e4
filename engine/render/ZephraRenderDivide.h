#pragma once

#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraRenderSetup.h"

// Exact integer division for the renderer's per-pixel divisions: the background alpha's by
// multiply-and-shift, the unpremultiply's in double precision.
//
// The multiply-and-shift argument: write C * 2^s = q * d - e with m = ceil(C * 2^s / d),
// so e = m * d - C * 2^s lies in 0 .. d - 1. Then for an integer f >= 0
//     f * m / 2^s = (f * C + f * e / 2^s) / d,
// and as long as f * e < 2^s the added term is below 1: it cannot carry f * C past the next
// multiple of d, so floor(f * m / 2^s) = floor(f * C / d), the truncated quotient.
// The tests check the condition for every divisor and compare every reachable operand with
// the plain division.

namespace zephra {

// floor(n / d) for one divisor d >= 1 fixed per call and any n < 2^28, as (n * m) >> s with
// s = 28 + ceil(log2 d): e < d <= 2^(s - 28) and n < 2^28 give n * e < 2^s. The multiplier
// m <= 2^29 fits 32 bits, so the product is one 32 x 32 -> 64-bit multiply, which vector
// units do several lanes at a time. Used for the background alpha: the numerator
// (4096 - M) * sample is below 4096 * 65536 = 2^28 for any 8- or 16-bit sample.
constexpr int kDividendBits = 28;

constexpr DivisorMultiplier exactDivider(std::uint32_t d) {
    int log2d = 0;
    while (log2d < 32 && (std::uint64_t(1) << log2d) < d) ++log2d;
    const int shift = kDividendBits + log2d;
    const std::uint64_t scaled = std::uint64_t(1) << shift;
    return DivisorMultiplier{std::uint32_t((scaled + d - 1) / d), shift};
}

}  // namespace zephra

// The divisions as the pixel loops use them, compiled with each instruction set's loops.
namespace zephra {
namespace ZEPHRA_RENDER_ISA {

// floor(n / 16383) for n in 0 .. 16383 * 4096 with shifts and adds only:
// n / (2^14 - 1) = (n + n / 2^14 + ...) / 2^14, and for this range the first correction
// term plus 1 is always enough (the tests check every n).
constexpr int divideBy16383(int n) { return (n + (n >> 14) + 1) >> 14; }

// The unpremultiply's two divisions, F * 4096 / A (A 1 .. 4096) and F * 16383 / X
// (X 1 .. 16383), truncated, as one multiply in double precision by the pixel's scale:
//     floor(F * C / d) = trunc(F * fl(C / d) + 2^-20)
// for every F >= 0 with F * C < 2^28 and every d in 1 .. 16383. One rounded division per
// pixel serves all three colours, and the vector units do it several pixels at a time.
//
// Why it is exact: the quotient t = F * C / d is below 2^28. The scale, the product and the
// sum each round by at most 2^-53 of their size, so the sum lies within 2^-23 of t + 2^-20
// (also when the multiply and add are fused, and in x87's wider registers, whose roundings
// are smaller). Either t is an integer k, or it lies between k + 1/d and k + 1 - 1/d; as
// 2^-20 + 2^-23 < 1/16383 <= 1/d, the sum lies strictly between k and k + 1 in both cases,
// and truncating it gives k. The tests check every F up to 16383 with every d besides.
constexpr double kQuotientBias = 1.0 / double(1 << 20);

// C / d, rounded, for d >= 1.
inline double unpremultiplyScale(int dividend, int divisor) {
    return double(dividend) / double(divisor);
}

inline int unpremultiplied(int f, double scale) { return int(double(f) * scale + kQuotientBias); }

// floor(n / d) for n < 2^28 and the divisor of `div`.
constexpr std::uint32_t divideExactly(DivisorMultiplier div, std::uint32_t n) {
    return std::uint32_t((std::uint64_t(n) * div.multiplier) >> div.shift);
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
