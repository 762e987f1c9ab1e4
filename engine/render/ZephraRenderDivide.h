#pragma once

#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraRenderSetup.h"

// Exact integer division by multiply-and-shift for the renderer's per-pixel divisions.
//
// All of them share one argument. Write C * 2^s = q * d - e with m = ceil(C * 2^s / d),
// so e = m * d - C * 2^s lies in 0 .. d - 1. Then for an integer f >= 0
//     f * m / 2^s = (f * C + f * e / 2^s) / d,
// and as long as f * e < 2^s the added term is below 1: it cannot carry f * C past the next
// multiple of d, so floor(f * m / 2^s) = floor(f * C / d), the truncated quotient.
// The tests check the condition for every divisor and compare every reachable operand with
// the plain division.

namespace zephra {

// floor(f * C / d) for f in 0 .. 16383 and d in 1 .. 16383, as (f * m) >> 28 with
// m = ceil(C * 2^28 / d): f < 2^14 and e < d <= 16383 < 2^14 give f * e < 2^28. The largest
// product is below 2^14 * (C * 2^28 + 2^14), comfortably inside 64 bits for C <= 16383.
//
// Both divisions of the unpremultiply share one table, so that a pixel picks its entry by
// index alone: entry A (1 .. 4096) gives F * 4096 / A, entry kBrightestBase + X
// (X 1 .. 16383) gives F * 16383 / X. Entries 0 and kBrightestBase are 0; the renderer
// divides nothing by 0 (entry 0 only ever meets F = 0).
struct UnpremultiplyTable {
    static constexpr int shift = 28;
    static constexpr int kBrightestBase = 4097;
    std::uint64_t m[kBrightestBase + 16384];

    constexpr UnpremultiplyTable() : m() {
        for (int d = 1; d <= 4096; ++d) m[d] = multiplier(4096, d);
        for (int d = 1; d <= 16383; ++d) m[kBrightestBase + d] = multiplier(16383, d);
    }
    static constexpr std::uint64_t multiplier(std::uint64_t c, std::uint64_t d) {
        return ((c << shift) + d - 1) / d;
    }
};
inline constexpr UnpremultiplyTable kUnpremultiply{};

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

// floor(n / d) for n < 2^28 and the divisor of `div`.
constexpr std::uint32_t divideExactly(DivisorMultiplier div, std::uint32_t n) {
    return std::uint32_t((std::uint64_t(n) * div.multiplier) >> div.shift);
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
