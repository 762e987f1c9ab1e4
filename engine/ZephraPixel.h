#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ZephraRenderDivide.h"
#include "engine/ZephraRenderSetup.h"

// The per-pixel arithmetic of the renderer: the keyed pixel (matte and corrected,
// unpremultiplied foreground), the background-only pixel and the output stage of every
// view. Integer arithmetic and table lookups only.
//
// Number formats: mattes have 12 fraction bits (4096 = 1.0), colours are internal units
// (16383 = 1.0). Fixed-point products are shifted right arithmetically (toward minus
// infinity); divisions truncate toward zero.

namespace zephra {

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

// One row of a Q12 colour matrix applied to three internal-unit values, rounded, then held
// to 0 .. 16383. The sum is formed in 64 bits: the matrix entries carry the neutral-weight
// ratios and can be large enough for a 32-bit sum to overflow.
inline int matrixRow(const int row[3], int c0, int c1, int c2) {
    const std::int64_t sum =
        std::int64_t(row[0]) * c0 + std::int64_t(row[1]) * c1 + std::int64_t(row[2]) * c2 + kHalf;
    return clampColour(shiftDown12(sum));
}

// A Q12 fraction scaled to output units, rounded: (dstMax * M + 2048) >> 12. The product is
// formed in 64 bits so that no dstMax can overflow it.
inline std::int64_t scaleToOutput(int dstMax, int m) {
    return shiftDown12(std::int64_t(dstMax) * m + kHalf);
}

// What the keyed pixel hands to the output stage.
struct Keyed {
    int v[3];  // corrected unpremultiplied colour, internal units
    int m;     // matte, Q12
    int d;     // hold-out share, Q12 (0 without hold-out)
};

// The input samples of one keyed pixel. Samples that the loop's inputs do not provide
// stay 0 and are never used.
struct KeyedInput {
    unsigned fg[3];
    unsigned ref[3];
    unsigned hold;
    unsigned garbage;
};

template <bool Ref, bool Hold, bool Garbage>
inline Keyed keyPixel(const KeyTables& t, const KeyedInput& in) {
    // 1. colour in internal units; 2. screen projection
    int f[3];
    int p = 0;
    for (int c = 0; c < 3; ++c) {
        f[c] = t.fgLut[c][in.fg[c]];
        p += t.fgScreenLut[c][in.fg[c]];
    }

    // 3. screen amount S and the screen colour K to remove
    int s;
    int k[3];
    if constexpr (Ref) {
        int q = 0;
        for (int c = 0; c < 3; ++c) {
            k[c] = t.refLut[c][in.ref[c]];
            q += t.refScreenLut[c][in.ref[c]];
        }
        if (q <= 0) {
            // A reference pixel without a positive projection says nothing about the
            // screen here: stand in the screen colour itself.
            for (int c = 0; c < 3; ++c) k[c] = t.refFallbackInt[c];
            q = t.refFallbackSum;
        }
        if (p <= 0) {
            s = 0;
        } else {
            // p < 3 * 32768, so p * 4096 < 2^29.
            const int ratio = (p * kOne) / q;
            s = ratio > kMaxScreen ? kMaxScreen : ratio;
        }
    } else {
        const int index = p < 0 ? 0 : (p > 4095 ? 4095 : p);
        s = t.screenLut[index];
        for (int c = 0; c < 3; ++c) k[c] = t.screenInt[c];
    }

    // 4. screen subtraction (no upper clamp here)
    for (int c = 0; c < 3; ++c) {
        const int v = f[c] - shiftDown12(s * k[c] + kHalf);
        f[c] = v < 0 ? 0 : v;
    }

    // 5. raw alpha
    int a = s > kOne ? 0 : kOne - s;

    // 6. hold-out: give back alpha and replace the removed screen by the replace colour
    int d = 0;
    if constexpr (Hold) {
        if (a != kOne && in.hold != 0) {
            const int h = t.holdLut[in.hold];
            d = shiftDown12((kOne - a) * h);
            for (int c = 0; c < 3; ++c) {
                const int v = f[c] + shiftDown12(d * t.replaceInt[c]);
                f[c] = v > kWhite ? kWhite : v;
            }
            a += d;
        }
    }

    // 7. unpremultiply; afterwards every f is in 0 .. 16383 and a in 0 .. 4096
    int x = f[0] > f[1] ? f[0] : f[1];
    x = x > f[2] ? x : f[2];
    if (x * kOne > a * kWhite) {
        // The brightest channel exceeds the alpha: raise the alpha to it and scale the
        // colour so that this channel becomes 1.0. Here 0 <= f <= x and 1 <= x <= 16383.
        a = (x * kOne) / kWhite;
        for (int c = 0; c < 3; ++c) f[c] = int(kDivideByBrightest.quotient(unsigned(f[c]), x));
    } else if (a > 0) {
        // Here 0 <= f <= 16383 and 1 <= a <= 4096.
        for (int c = 0; c < 3; ++c) f[c] = int(kDivideByAlpha.quotient(unsigned(f[c]), a));
    }

    // 8. colour correction, then the optional foreground matrix (clamped only with it)
    Keyed out;
    for (int c = 0; c < 3; ++c) out.v[c] = t.fgCorrectLut[c][f[c]];
    if (t.matrix0) {
        const int v0 = out.v[0], v1 = out.v[1], v2 = out.v[2];
        for (int c = 0; c < 3; ++c) out.v[c] = matrixRow(t.mat0[c], v0, v1, v2);
    }

    // 9. matte
    int m = t.matteLut[a];

    // 10. garbage matte: keep factor G, M = G - (1 - M) * G
    if constexpr (Garbage) {
        if (in.garbage != 0) {
            const int g = t.garbageLut[in.garbage];
            m = g - shiftDown12((kOne - m) * g);
        }
    }
    out.m = m;
    out.d = d;
    return out;
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
        for (int c = 0; c < 3; ++c) b[c] = matrixRow(t.mat1[c], b0, b1, b2);
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

// Output stage of one keyed pixel. bgAt is used by the composite view only.
template <typename T, bool AlphaOut>
inline void writeKeyed(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t at,
                       const Plane<const T>& bg, std::ptrdiff_t bgAt, const Keyed& k) {
    int m = k.m;
    const int view = t.view;
    if (view == kViewMatte) {
        const std::int64_t value = scaleToOutput(t.dstMax, m);
        put(dst.r, at, value);
        put(dst.g, at, value);
        put(dst.b, at, value);
    } else if (view == kViewStatus) {
        // Black where transparent, blue where opaque, green rising from a quarter to full
        // with a partial matte; red from a quarter up with the hold-out share.
        const std::int64_t q = t.dstMax / 4;
        const std::int64_t span = std::int64_t(t.dstMax) - q;
        if (m == 0) {
            put(dst.r, at, 0);
            put(dst.g, at, 0);
            put(dst.b, at, 0);
        } else if (m == kOne) {
            put(dst.r, at, q + shiftDown12(span * k.d));
            put(dst.g, at, 0);
            put(dst.b, at, t.dstMax);
        } else {
            put(dst.r, at, q + shiftDown12(span * k.d));
            put(dst.g, at, q + shiftDown12(span * m));
            put(dst.b, at, 0);
        }
    } else if (view == kViewComposite) {
        int b[3];
        backgroundColour(t, bg, bgAt, b);
        int o[3];
        for (int c = 0; c < 3; ++c) o[c] = blend(k.v[c], b[c], m);
        if constexpr (AlphaOut) {
            // The background alpha is read before any output sample of the pixel is written
            // (dst may share its memory with bg).
            const unsigned ba = bg.a[bgAt];
            if (ba != 0) m += int(t.bgAlphaDiv.divide(unsigned(kOne - m) * ba));
        }
        putColour(t, dst, at, o);
    } else if (view == kViewFlat) {
        int o[3];
        for (int c = 0; c < 3; ++c) o[c] = blend(k.v[c], t.backgroundInt[c], m);
        putColour(t, dst, at, o);
    } else {
        putColour(t, dst, at, k.v);
    }
    if constexpr (AlphaOut) put(dst.a, at, scaleToOutput(t.dstMax, m));
}

}  // namespace zephra
