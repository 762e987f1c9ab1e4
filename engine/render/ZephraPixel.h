#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraRenderDivide.h"
#include "engine/render/ZephraRenderSetup.h"

// The per-pixel arithmetic of the renderer: the keyed pixel (matte and corrected,
// unpremultiplied foreground) and the helpers shared with the output stage. Integer
// arithmetic and table lookups only.
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

// Where the keying pass reads one chunk: the images that take part and the offset of the
// chunk's first pixel in each. Images the loop does not use are never touched.
template <typename T>
struct ChunkInputs {
    Plane<const T> fg, ref, hold, garbage;
    std::ptrdiff_t fgAt, refAt, holdAt, garbageAt;
};

// The keyed pixel for pixels 0 .. n - 1 of a chunk: matte, hold-out share and corrected
// colour (without the optional foreground matrix, which the caller applies to the whole
// chunk). Done in three passes over the chunk so that the pure arithmetic in the middle
// runs without table lookups and the compiler can do it several pixels at a time:
//   1. read the samples, look up colour, projection and screen amount (steps 1 to 3);
//   2. screen subtraction, raw alpha, hold-out, and the choice of unpremultiply divisor
//      (steps 4 to 7);
//   3. matte and garbage matte (steps 9, 10), then unpremultiply and colour correction
//      (steps 7, 8).
// Views that show only the matte (matte, status) never read the colour: without Colour
// the chunk's colour is left unwritten and the unpremultiply and correction are skipped.
// Views that composite by the matte do not show the colour of a pixel whose matte is 0:
// with clearColourShown false a chunk whose mattes are all 0 leaves its colour unwritten too.
// Always inlined into the row loop, so that what it reads of the tables stays in registers
// from one chunk to the next.
template <typename T, bool Ref, bool Hold, bool Garbage, bool Colour, int Step>
[[gnu::always_inline]] inline void keyChunk(const KeyTables& t, const ChunkInputs<T>& in,
                                            KeyedChunk& out, int n, bool clearColourShown) {
    int f[4][kChunk];  // rows 0 to 2 the colour, internal units; row 3 the screen amount
    int(&f0)[kChunk] = f[0];
    int(&f1)[kChunk] = f[1];
    int(&f2)[kChunk] = f[2];
    int(&s)[kChunk] = f[3];
    int k0[kChunk], k1[kChunk], k2[kChunk];  // screen colour to remove (reference only)
    int h[kChunk];                           // hold-out strength, 0 where the sample is 0
    int g[kChunk];                           // garbage keep factor, 4096 where the sample is 0
    int entry[kChunk];                       // unpremultiply table entry
    int a[kChunk];                           // raw alpha after steps 5 to 7

    // Pass 1: lookups.
    {
        const T* const fr = redOf<Step>(in.fg);
        const T* const fgr = greenOf<Step>(in.fg);
        const T* const fb = in.fg.b;
        const std::ptrdiff_t step = pixelStepOf<Step>(in.fg);
        const std::int16_t* const lut0 = t.fgLut[0];
        const std::int16_t* const lut1 = t.fgLut[1];
        const std::int16_t* const lut2 = t.fgLut[2];
        const std::int16_t* const scr0 = t.fgScreenLut[0];
        const std::int16_t* const scr1 = t.fgScreenLut[1];
        const std::int16_t* const scr2 = t.fgScreenLut[2];
        const std::int16_t* const screenLut = t.screenLut;
        // The colour and the screen amount are written through one pointer at fixed
        // distances, so that the four outputs take one register, not four.
        int* const fs = f[0];
#pragma GCC unroll 4
        for (int i = 0; i < n; ++i) {
            scalarLookups();
            const std::ptrdiff_t at = in.fgAt + i * step;
            const unsigned c0 = fr[at], c1 = fgr[at], c2 = fb[at];
            // 1. colour in internal units; 2. screen projection
            fs[i] = lut0[c0];
            fs[kChunk + i] = lut1[c1];
            fs[2 * kChunk + i] = lut2[c2];
            const int p = scr0[c0] + scr1[c1] + scr2[c2];
            // 3. screen amount S and the screen colour K to remove
            if constexpr (Ref) {
                const std::ptrdiff_t refAt = in.refAt + i * pixelStepOf<Step>(in.ref);
                const unsigned r0 = redOf<Step>(in.ref)[refAt];
                const unsigned r1 = greenOf<Step>(in.ref)[refAt];
                const unsigned r2 = in.ref.b[refAt];
                int q = t.refScreenLut[0][r0] + t.refScreenLut[1][r1] + t.refScreenLut[2][r2];
                if (q <= 0) {
                    // A reference pixel without a positive projection says nothing about
                    // the screen here: stand in the screen colour itself.
                    k0[i] = t.refFallbackInt[0];
                    k1[i] = t.refFallbackInt[1];
                    k2[i] = t.refFallbackInt[2];
                    q = t.refFallbackSum;
                } else {
                    k0[i] = t.refLut[0][r0];
                    k1[i] = t.refLut[1][r1];
                    k2[i] = t.refLut[2][r2];
                }
                if (p <= 0) {
                    fs[3 * kChunk + i] = 0;
                } else {
                    // p < 3 * 32768, so p * 4096 < 2^29.
                    const int ratio = (p * kOne) / q;
                    fs[3 * kChunk + i] = ratio > kMaxScreen ? kMaxScreen : ratio;
                }
            } else {
                const unsigned low = p < 0 ? 0u : unsigned(p);
                fs[3 * kChunk + i] = screenLut[low > 4095u ? 4095u : low];
            }
        }
        // The mattes in a loop of their own, so that the loop above keeps its pointers in
        // registers. A hold-out strength of 0 and a garbage keep factor of 4096 change
        // nothing in steps 6 and 10, exactly like a matte sample of 0 that skips them.
        if constexpr (Hold) {
            const T* const samples = in.hold.a;
            const std::ptrdiff_t holdStep = pixelStepOf<Step>(in.hold);
            const std::int16_t* const holdLut = t.holdLut;
#pragma GCC unroll 4
            for (int i = 0; i < n; ++i) {
                scalarLookups();
                const unsigned sample = samples[in.holdAt + i * holdStep];
                h[i] = sample != 0 ? holdLut[sample] : 0;
            }
        }
        if constexpr (Garbage) {
            const T* const samples = in.garbage.a;
            const std::ptrdiff_t garbageStep = pixelStepOf<Step>(in.garbage);
            const std::int16_t* const garbageLut = t.garbageLut;
#pragma GCC unroll 4
            for (int i = 0; i < n; ++i) {
                scalarLookups();
                const unsigned sample = samples[in.garbageAt + i * garbageStep];
                g[i] = sample != 0 ? garbageLut[sample] : kOne;
            }
        }
    }

    // Pass 2: arithmetic only.
    {
        const int sk0 = t.screenInt[0], sk1 = t.screenInt[1], sk2 = t.screenInt[2];
        const int rep0 = t.replaceInt[0], rep1 = t.replaceInt[1], rep2 = t.replaceInt[2];
        for (int i = 0; i < n; ++i) {
            const int si = s[i];
            const int kk0 = Ref ? k0[i] : sk0;
            const int kk1 = Ref ? k1[i] : sk1;
            const int kk2 = Ref ? k2[i] : sk2;
            // 4. screen subtraction (no upper clamp here)
            int v0 = f0[i] - shiftDown12(si * kk0 + kHalf);
            int v1 = f1[i] - shiftDown12(si * kk1 + kHalf);
            int v2 = f2[i] - shiftDown12(si * kk2 + kHalf);
            v0 = v0 < 0 ? 0 : v0;
            v1 = v1 < 0 ? 0 : v1;
            v2 = v2 < 0 ? 0 : v2;
            // 5. raw alpha
            int ai = si > kOne ? 0 : kOne - si;
            // 6. hold-out: give back alpha and replace the removed screen by the replace
            // colour. An opaque pixel (A = 4096) gets D = 0 and keeps its colour (which
            // is at most 16383 here), just as if the step were skipped.
            int d = 0;
            if constexpr (Hold) {
                d = shiftDown12((kOne - ai) * h[i]);
                v0 += shiftDown12(d * rep0);
                v1 += shiftDown12(d * rep1);
                v2 += shiftDown12(d * rep2);
                v0 = v0 > kWhite ? kWhite : v0;
                v1 = v1 > kWhite ? kWhite : v1;
                v2 = v2 > kWhite ? kWhite : v2;
                ai += d;
            }
            out.d[i] = d;
            f0[i] = v0;
            f1[i] = v1;
            f2[i] = v2;
            // 7. unpremultiply: if the brightest channel X exceeds the alpha, the alpha is
            // raised to it and the colour scaled so that X becomes 1.0 (F * 16383 / X,
            // 1 <= X <= 16383); otherwise the colour is divided by the alpha (F * 4096 / A).
            // With A = 0 in the second case X * 4096 <= 0, so every F is already 0, and
            // entry 0 of the table keeps it 0.
            int x = v0 > v1 ? v0 : v1;
            x = x > v2 ? x : v2;
            const bool brightest = x * kOne > ai * kWhite;
            entry[i] = brightest ? UnpremultiplyTable::kBrightestBase + x : ai;
            a[i] = brightest ? divideBy16383(x * kOne) : ai;
        }
    }

    // Pass 3: lookups again.
    const std::int16_t* const matteLut = t.matteLut;
    const auto matteOf = [&](int i) {
        // 9. matte
        int m = matteLut[unsigned(a[i])];
        // 10. garbage matte: keep factor G, M = G - (1 - M) * G
        if constexpr (Garbage) m = g[i] - shiftDown12((kOne - m) * g[i]);
        return m;
    };
    const std::int16_t* const cor0 = t.fgCorrectLut[0];
    const std::int16_t* const cor1 = t.fgCorrectLut[1];
    const std::int16_t* const cor2 = t.fgCorrectLut[2];
    const std::uint64_t* const reciprocal = kUnpremultiply.m;
    const auto colourOf = [&](int i) {
        // 7. unpremultiply, finished: the quotients are below 16384 and are used as indices
        // as they come.
        constexpr int shift = UnpremultiplyTable::shift;
        const std::uint64_t scale = reciprocal[unsigned(entry[i])];
        const std::uint64_t u0 = (std::uint64_t(std::uint32_t(f0[i])) * scale) >> shift;
        const std::uint64_t u1 = (std::uint64_t(std::uint32_t(f1[i])) * scale) >> shift;
        const std::uint64_t u2 = (std::uint64_t(std::uint32_t(f2[i])) * scale) >> shift;
        // 8. colour correction
        out.v[0][i] = cor0[u0];
        out.v[1][i] = cor1[u1];
        out.v[2][i] = cor2[u2];
    };
    // Only the composites look at the chunk as a whole.
    out.clear = false;
    out.opaque = false;
    if (Colour && clearColourShown) {
        // Every colour is shown: matte and colour in one loop.
#pragma GCC unroll 4
        for (int i = 0; i < n; ++i) {
            scalarLookups();
            if constexpr (Colour) colourOf(i);
            out.m[i] = matteOf(i);
        }
        return;
    }
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        out.m[i] = matteOf(i);
    }
    if constexpr (Colour) {
        // A chunk of clean screen needs no colour.
        int visible = 0, translucent = 0;
        for (int i = 0; i < n; ++i) {
            visible |= out.m[i];
            translucent |= out.m[i] ^ kOne;
        }
        out.clear = visible == 0;
        out.opaque = translucent == 0;
        if (out.clear) return;
#pragma GCC unroll 4
        for (int i = 0; i < n; ++i) {
            scalarLookups();
            colourOf(i);
        }
    }
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
