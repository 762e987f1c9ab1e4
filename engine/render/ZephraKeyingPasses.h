#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraPixel.h"
#include "engine/render/ZephraRenderDivide.h"
#include "engine/render/ZephraRenderSetup.h"

// The keyed pixel for the pixels of one chunk: matte, hold-out share and corrected colour
// (without the optional foreground matrix, which the caller applies to the whole chunk).
// Done in passes over the chunk so that the pure arithmetic in the middle runs without table
// lookups and the compiler can do it several pixels at a time:
//   1. read the samples, look up colour, projection and screen amount (steps 1 to 3), then
//      the hold-out and garbage samples;
//   2. screen subtraction, raw alpha, hold-out, and the choice of unpremultiply divisor
//      (steps 4 to 7);
//   3. matte and garbage matte (steps 9, 10), then unpremultiply and colour correction
//      (steps 7, 8).
// Every pass is forced inline into the row loop, so that what it reads of the tables stays
// in registers from one chunk to the next.

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

#define ZEPHRA_KEYING_PASS [[gnu::always_inline]] inline

// Where the keying reads one chunk: the images that take part and the offset of the
// chunk's first pixel in each, and which mattes have one and the same sample, not 0, all
// through the chunk. Images the loop does not use are never touched.
template <typename T>
struct ChunkInputs {
    Plane<const T> fg, ref, hold, garbage;
    std::ptrdiff_t fgAt, refAt, holdAt, garbageAt;
    bool holdUniform, garbageUniform;
};

// What one pass hands to the next, channel by channel.
struct KeyingScratch {
    int f[4][kChunk];      // rows 0 to 2 the colour, internal units; row 3 the screen amount
    int k[3][kChunk];      // screen colour to remove (reference only)
    int h[kChunk];         // hold-out strength, 0 where the sample is 0
    int g[kChunk];         // garbage keep factor, 4096 where the sample is 0
    int dividend[kChunk];  // the unpremultiply F * C / d: C, 4096 or 16383
    int divisor[kChunk];   // and d, 1 .. 16383
    int a[kChunk];         // raw alpha after steps 5 to 7
};

// Pass 1: the foreground's colour in internal units, its screen projection and the screen
// amount, and with a reference plate the screen colour to remove.
template <typename T, bool Ref, int Step>
ZEPHRA_KEYING_PASS void lookUpColourAndScreen(const KeyTables& t, const ChunkInputs<T>& in,
                                              KeyingScratch& s, int n) {
    const T* const fr = redOf<Step>(in.fg);
    const T* const fgr = greenOf<Step>(in.fg);
    const T* const fb = in.fg.b;
    const std::ptrdiff_t step = pixelStepOf<Step>(in.fg);
    const ColourPair* const pairs0 = t.fgColourPairs[0];
    const ColourPair* const pairs1 = t.fgColourPairs[1];
    const ColourPair* const pairs2 = t.fgColourPairs[2];
    const std::int16_t* const screenLut = t.screenLut;
    // The colour and the screen amount are written through one pointer at fixed
    // distances, so that the four outputs take one register, not four.
    int* const fs = s.f[0];
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        const std::ptrdiff_t at = in.fgAt + i * step;
        const unsigned c0 = fr[at], c1 = fgr[at], c2 = fb[at];
        // 1. colour in internal units; 2. screen projection, both from one entry per channel
        const ColourPair pair0 = pairs0[c0], pair1 = pairs1[c1], pair2 = pairs2[c2];
        fs[i] = pairedColour(pair0);
        fs[kChunk + i] = pairedColour(pair1);
        fs[2 * kChunk + i] = pairedColour(pair2);
        const int p = pairedProjection(pair0) + pairedProjection(pair1) + pairedProjection(pair2);
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
                s.k[0][i] = t.refFallbackInt[0];
                s.k[1][i] = t.refFallbackInt[1];
                s.k[2][i] = t.refFallbackInt[2];
                q = t.refFallbackSum;
            } else {
                s.k[0][i] = t.refLut[0][r0];
                s.k[1][i] = t.refLut[1][r1];
                s.k[2][i] = t.refLut[2][r2];
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
}

// Pass 1, the mattes: one matte's samples through its table, and where a sample is 0 the
// value that changes nothing (a hold-out strength of 0 and a garbage keep factor of 4096
// change nothing in steps 6 and 10, exactly like a matte sample of 0 that skips them).
// A function of its own, not inlined into the row loop: there its table, samples and output
// would compete for registers with everything the row loop keeps, and lose them to the
// stack; here all three and the step stay in registers for the whole chunk. The entry at 0
// is read whatever the sample (every table has it), so that the choice is a select, not a
// branch.
template <typename T, int Step>
[[gnu::noinline]] void lookUpMatte(const std::int16_t* __restrict lut, const T* __restrict samples,
                                   std::ptrdiff_t step, int valueAtZero, int* __restrict out,
                                   int n) {
    if constexpr (Step > 0) step = Step;
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        const unsigned sample = samples[i * step];
        const int value = lut[sample];
        out[i] = sample != 0 ? value : valueAtZero;
    }
}

// Pass 1 for a matte whose samples in the chunk are all one value, not 0: its entry, looked
// up once.
template <typename T>
ZEPHRA_KEYING_PASS void fillMatte(const std::int16_t* lut, const T* samples, int (&out)[kChunk],
                                  int n) {
    const int value = lut[unsigned(samples[0])];
    for (int i = 0; i < n; ++i) out[i] = value;
}

// Pass 1 for one matte: its value for every pixel of the chunk.
template <typename T, int Step>
ZEPHRA_KEYING_PASS void lookUpMatteChunk(const std::int16_t* lut, const Plane<const T>& matte,
                                         std::ptrdiff_t at, bool uniform, int valueAtZero,
                                         int (&out)[kChunk], int n) {
    if (uniform)
        fillMatte(lut, matte.a + at, out, n);
    else
        lookUpMatte<T, Step>(lut, matte.a + at, pixelStepOf<Step>(matte), valueAtZero, out, n);
}

// Pass 2: arithmetic only. Leaves the colour after the screen subtraction and hold-out in
// rows 0 to 2 of s.f, the unpremultiply's dividend and divisor and alpha, and with Shares the
// hold-out share in d (only the status view shows it; the others leave d unwritten).
template <bool Ref, bool Hold, bool Shares>
ZEPHRA_KEYING_PASS void subtractScreen(const KeyTables& t, KeyingScratch& s, int (&d)[kChunk],
                                       int n) {
    int(&f0)[kChunk] = s.f[0];
    int(&f1)[kChunk] = s.f[1];
    int(&f2)[kChunk] = s.f[2];
    const int(&screen)[kChunk] = s.f[3];
    const int sk0 = t.screenInt[0], sk1 = t.screenInt[1], sk2 = t.screenInt[2];
    const int rep0 = t.replaceInt[0], rep1 = t.replaceInt[1], rep2 = t.replaceInt[2];
    for (int i = 0; i < n; ++i) {
        const int si = screen[i];
        const int kk0 = Ref ? s.k[0][i] : sk0;
        const int kk1 = Ref ? s.k[1][i] : sk1;
        const int kk2 = Ref ? s.k[2][i] : sk2;
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
        int share = 0;
        if constexpr (Hold) {
            share = shiftDown12((kOne - ai) * s.h[i]);
            v0 += shiftDown12(share * rep0);
            v1 += shiftDown12(share * rep1);
            v2 += shiftDown12(share * rep2);
            v0 = v0 > kWhite ? kWhite : v0;
            v1 = v1 > kWhite ? kWhite : v1;
            v2 = v2 > kWhite ? kWhite : v2;
            ai += share;
        }
        if constexpr (Shares) d[i] = share;
        f0[i] = v0;
        f1[i] = v1;
        f2[i] = v2;
        // 7. unpremultiply: if the brightest channel X exceeds the alpha, the alpha is
        // raised to it and the colour scaled so that X becomes 1.0 (F * 16383 / X,
        // 1 <= X <= 16383); otherwise the colour is divided by the alpha (F * 4096 / A).
        // With A = 0 in the second case X * 4096 <= 0, so every F is already 0, and any
        // divisor keeps it 0: it takes 1.
        int x = v0 > v1 ? v0 : v1;
        x = x > v2 ? x : v2;
        const bool brightest = x * kOne > ai * kWhite;
        s.dividend[i] = brightest ? kWhite : kOne;
        s.divisor[i] = brightest ? x : (ai > 0 ? ai : 1);
        s.a[i] = brightest ? divideBy16383(x * kOne) : ai;
    }
}

// Pass 3 for one pixel: 9. the matte; 10. the garbage matte with keep factor G,
// M = G - (1 - M) * G.
template <bool Garbage>
ZEPHRA_KEYING_PASS int matteOf(const std::int16_t* matteLut, const KeyingScratch& s, int i) {
    int m = matteLut[unsigned(s.a[i])];
    if constexpr (Garbage) m = s.g[i] - shiftDown12((kOne - m) * s.g[i]);
    return m;
}

// Pass 3 before the colour correction: 7. the unpremultiply, finished, in place in rows 0 to
// 2 of s.f. Arithmetic only, several pixels at a time.
ZEPHRA_KEYING_PASS void unpremultiply(KeyingScratch& s, int n) {
    int(&f0)[kChunk] = s.f[0];
    int(&f1)[kChunk] = s.f[1];
    int(&f2)[kChunk] = s.f[2];
    for (int i = 0; i < n; ++i) {
        const double scale = unpremultiplyScale(s.dividend[i], s.divisor[i]);
        f0[i] = unpremultiplied(f0[i], scale);
        f1[i] = unpremultiplied(f1[i], scale);
        f2[i] = unpremultiplied(f2[i], scale);
    }
}

// Pass 3 for one pixel: 8. the colour correction of the unpremultiplied colour (the
// quotients are below 16384 and are used as indices as they come).
struct ColourCorrection {
    const std::int16_t* channel[3];
};

ZEPHRA_KEYING_PASS ColourCorrection colourCorrectionOf(const KeyTables& t) {
    return {{t.fgCorrectLut[0], t.fgCorrectLut[1], t.fgCorrectLut[2]}};
}

ZEPHRA_KEYING_PASS void correctColour(const ColourCorrection& c, const KeyingScratch& s,
                                      int (&v)[3][kChunk], int i) {
    v[0][i] = c.channel[0][unsigned(s.f[0][i])];
    v[1][i] = c.channel[1][unsigned(s.f[1][i])];
    v[2][i] = c.channel[2][unsigned(s.f[2][i])];
}

// Pass 3, every colour shown: matte and colour in one loop.
template <bool Garbage>
ZEPHRA_KEYING_PASS void matteAndColourPass(const KeyTables& t, KeyingScratch& s, KeyedChunk& out,
                                           int n) {
    unpremultiply(s, n);
    const std::int16_t* const matteLut = t.matteLut;
    const ColourCorrection correction = colourCorrectionOf(t);
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        correctColour(correction, s, out.v, i);
        out.m[i] = matteOf<Garbage>(matteLut, s, i);
    }
}

// Pass 3, the mattes alone.
template <bool Garbage>
ZEPHRA_KEYING_PASS void mattePass(const KeyTables& t, const KeyingScratch& s, KeyedChunk& out,
                                  int n) {
    const std::int16_t* const matteLut = t.matteLut;
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        out.m[i] = matteOf<Garbage>(matteLut, s, i);
    }
}

// Pass 3, the colours alone.
ZEPHRA_KEYING_PASS void colourPass(const KeyTables& t, KeyingScratch& s, KeyedChunk& out, int n) {
    unpremultiply(s, n);
    const ColourCorrection correction = colourCorrectionOf(t);
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        correctColour(correction, s, out.v, i);
    }
}

// Whether the chunk's mattes are all 0 (clean screen) or all 4096 (solid foreground).
ZEPHRA_KEYING_PASS void classifyMattes(KeyedChunk& out, int n) {
    int visible = 0, translucent = 0;
    for (int i = 0; i < n; ++i) {
        visible |= out.m[i];
        translucent |= out.m[i] ^ kOne;
    }
    out.clear = visible == 0;
    out.opaque = translucent == 0;
}

// The keyed pixels 0 .. n - 1 of a chunk.
// Views that show only the matte (matte, status) never read the colour: without Colour
// the chunk's colour is left unwritten and the unpremultiply and correction are skipped.
// Views that composite by the matte do not show the colour of a pixel whose matte is 0:
// with clearColourShown false a chunk whose mattes are all 0 leaves its colour unwritten too.
template <typename T, bool Ref, bool Hold, bool Garbage, bool Colour, int Step>
ZEPHRA_KEYING_PASS void keyChunk(const KeyTables& t, const ChunkInputs<T>& in, KeyedChunk& out,
                                 int n, bool clearColourShown) {
    KeyingScratch s;
    lookUpColourAndScreen<T, Ref, Step>(t, in, s, n);
    if constexpr (Hold)
        lookUpMatteChunk<T, Step>(t.holdLut, in.hold, in.holdAt, in.holdUniform, 0, s.h, n);
    if constexpr (Garbage)
        lookUpMatteChunk<T, Step>(t.garbageLut, in.garbage, in.garbageAt, in.garbageUniform, kOne,
                                  s.g, n);
    // The views that show the colour never show the hold-out share.
    subtractScreen<Ref, Hold, !Colour>(t, s, out.d, n);

    // Only the composites look at the chunk as a whole.
    out.clear = false;
    out.opaque = false;
    if (Colour && clearColourShown) {
        matteAndColourPass<Garbage>(t, s, out, n);
        return;
    }
    mattePass<Garbage>(t, s, out, n);
    if constexpr (Colour) {
        // A chunk of clean screen needs no colour.
        classifyMattes(out, n);
        if (out.clear) return;
        colourPass(t, s, out, n);
    }
}

#undef ZEPHRA_KEYING_PASS

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
