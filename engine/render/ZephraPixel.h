#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraRenderDivide.h"
#include "engine/render/ZephraRenderSetup.h"

// The per-pixel arithmetic the keying passes (ZephraKeyingPasses.h) and the output stage
// share: fixed-point helpers, colour matrices, the images' layouts, the background colour and
// the stores. Integer arithmetic and table lookups only.
//
// Number formats: mattes have 12 fraction bits (4096 = 1.0), colours are internal units
// (16383 = 1.0). Fixed-point products are shifted right arithmetically (toward minus
// infinity); divisions truncate toward zero.

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

constexpr int kOne = 4096;         // 1.0 with 12 fraction bits
constexpr int kHalf = 2048;        // rounding term of a rounded Q12 product
constexpr int kWhite = 16383;      // 1.0 in internal units
constexpr int kMaxScreen = 16384;  // largest screen amount

// Arithmetic right shift by 12 of any value, negative ones included: floor(v / 4096).
// Written without shifting a negative operand (for v < 0, ~v = -v - 1 >= 0 and
// floor(v / 4096) = ~(~v / 4096)); compilers turn it into one arithmetic shift.
template <typename I>
constexpr I shiftDown12(I v) {
    return v >= 0 ? I(v >> 12) : I(~(~v >> 12));
}

constexpr int clampColour(std::int64_t v) {
    return v <= 0 ? 0 : (v > kWhite - 1 ? kWhite : int(v));
}

// One row of a Q12 colour matrix applied to three colour values, rounded, then held to
// 0 .. 16383. Sum is the width of the row sum: 64 bits always suffice, 32 bits where the
// matrix says so (see ColourMatrix).
template <typename Sum>
inline int matrixRow(const int row[3], int c0, int c1, int c2) {
    const Sum sum = Sum(row[0]) * c0 + Sum(row[1]) * c1 + Sum(row[2]) * c2 + kHalf;
    return clampColour(shiftDown12(sum));
}

// Marks a loop of table lookups as one to keep scalar: the empty statement stops the
// compiler from turning it into emulated gathers, which with the host's constant pixel step
// it would otherwise do at a cost of several more instructions per sample.
inline void scalarLookups() { asm volatile(""); }

// A colour matrix applied to n colours held channel by channel, in sums of type Sum.
template <typename Sum>
inline void applyMatrixRows(const int (&mat)[3][3], int (&colour)[3][kChunk], int n) {
    for (int i = 0; i < n; ++i) {
        const int c0 = colour[0][i], c1 = colour[1][i], c2 = colour[2][i];
        colour[0][i] = matrixRow<Sum>(mat[0], c0, c1, c2);
        colour[1][i] = matrixRow<Sum>(mat[1], c0, c1, c2);
        colour[2][i] = matrixRow<Sum>(mat[2], c0, c1, c2);
    }
}

inline void applyMatrix(const ColourMatrix& mat, int (&colour)[3][kChunk], int n) {
    if (mat.narrowSums)
        applyMatrixRows<std::int32_t>(mat.row, colour, n);
    else
        applyMatrixRows<std::int64_t>(mat.row, colour, n);
}

// A Q12 fraction scaled to output units, rounded: (dstMax * M + 2048) >> 12, as far as an
// output sample keeps it. A sample keeps the low 8 or 16 bits of the result, which are bits
// 12 to 27 of dstMax * M + 2048; arithmetic in 32 bits that wraps gets those bits exactly
// right for every dstMax and M, as the exact product in 64 bits would. In 32 bits the vector
// units do eight of them at a time.
constexpr std::uint32_t scaleToOutput(int dstMax, int m) {
    return (std::uint32_t(dstMax) * std::uint32_t(m) + std::uint32_t(kHalf)) >> 12;
}

// The host's layout: every image that takes part is interleaved A, B, G, R pixels of four
// samples. The loops compiled for it (Step == kHostStep) know the step, so that one scaled
// index reaches the same pixel in every image, and the order, so that one pointer reaches
// all four samples of a pixel; Step 0 takes each image's own step and channel pointers.
constexpr int kHostStep = 4;

template <int Step, typename P>
constexpr std::ptrdiff_t pixelStepOf(const P& plane) {
    return Step > 0 ? std::ptrdiff_t(Step) : plane.pixelStep;
}

// An image's channels as the loops address them: in the host layout green, red and alpha
// are blue's pointer plus a constant. Alpha is asked for only where the loop reads or writes
// it, which is where the layout check has made sure it sits there.
template <int Step, typename P>
constexpr auto redOf(const P& plane) {
    return Step == kHostStep ? plane.b + 2 : plane.r;
}
template <int Step, typename P>
constexpr auto greenOf(const P& plane) {
    return Step == kHostStep ? plane.b + 1 : plane.g;
}
template <int Step, typename P>
constexpr auto alphaOf(const P& plane) {
    return Step == kHostStep ? plane.b - 1 : plane.a;
}

// The corrected background colour of one bg pixel, internal units.
template <typename T>
inline void backgroundColour(const KeyTables& t, const Plane<const T>& bg, std::ptrdiff_t at,
                             int b[3]) {
    b[0] = t.bgLut[0][bg.r[at]];
    b[1] = t.bgLut[1][bg.g[at]];
    b[2] = t.bgLut[2][bg.b[at]];
    if (t.matrix1) {
        const int b0 = b[0], b1 = b[1], b2 = b[2];
        const ColourMatrix& mat = t.mat1;
        for (int c = 0; c < 3; ++c)
            b[c] = mat.narrowSums ? matrixRow<std::int32_t>(mat.row[c], b0, b1, b2)
                                  : matrixRow<std::int64_t>(mat.row[c], b0, b1, b2);
    }
}

// Stores one output sample: 16-bit tiles take the value, 8-bit tiles its low byte.
template <typename T, typename V>
inline void put(T* channel, std::ptrdiff_t at, V value) {
    channel[at] = static_cast<T>(value);
}

template <typename T>
inline void putColour(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t at, const int o[3]) {
    put(dst.r, at, t.outLut[0][o[0]]);
    put(dst.g, at, t.outLut[1][o[1]]);
    put(dst.b, at, t.outLut[2][o[2]]);
}

// Over: O = K + (V - K) * M, rounded.
inline int blend(int v, int k, int m) { return k + shiftDown12((v - k) * m + kHalf); }

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
