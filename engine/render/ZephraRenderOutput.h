#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraPixel.h"
#include "engine/render/ZephraRenderSetup.h"

// The output stage of the keyed pixels, one chunk of a row at a time: what each view writes
// from the corrected colour, the matte and the hold-out share. The view is fixed for the
// whole call, so it picks one of these writers once instead of being tested per pixel; each
// pixel gets exactly what the per-pixel test of the views 2, 5, 0, 1, then the
// unpremultiplied foreground, would give it.

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

// Writes pixels 0 .. n - 1 of the chunk; dst pixel i is at dstAt + i * dst.pixelStep and,
// in the composite, bg pixel i at bgAt + i * bg.pixelStep.
template <typename T>
using ChunkWriter = void (*)(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                             const Plane<const T>& bg, std::ptrdiff_t bgAt, const KeyedChunk& k,
                             int n);

// The alphas of a chunk in output units (see scaleToOutput), several pixels at a time.
inline void alphaToOutput(int dstMax, const int (&matte)[kChunk], std::uint32_t (&alpha)[kChunk],
                          int n) {
    for (int i = 0; i < n; ++i) alpha[i] = scaleToOutput(dstMax, matte[i]);
}

// Writes colours through the output tables and, with the alpha output on, the alphas
// already in output units.
template <typename T, bool AlphaOut, int Step>
void putChunk(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
              const int (&colour)[3][kChunk], const std::uint32_t (&alpha)[kChunk], int n) {
    // Copied into locals: 8-bit output stores may alias any memory, so values read
    // through a reference would be fetched again after every store.
    T* const r = redOf<Step>(dst);
    T* const g = greenOf<Step>(dst);
    T* const b = dst.b;
    T* const a = AlphaOut ? alphaOf<Step>(dst) : nullptr;
    const std::ptrdiff_t step = pixelStepOf<Step>(dst);
    const std::uint16_t* const out0 = t.outLut[0];
    const std::uint16_t* const out1 = t.outLut[1];
    const std::uint16_t* const out2 = t.outLut[2];
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        const std::ptrdiff_t at = dstAt + i * step;
        put(r, at, out0[unsigned(colour[0][i])]);
        put(g, at, out1[unsigned(colour[1][i])]);
        put(b, at, out2[unsigned(colour[2][i])]);
        if constexpr (AlphaOut) put(a, at, alpha[i]);
    }
}

// Every writer has the ChunkWriter signature. Everything they read besides the chunk and the
// images is copied into locals first: 8-bit output stores may alias any memory, so values
// read through a reference would be fetched again after every store.

// The matte view: the matte in every channel. Looks nothing up, so that the compiler may
// write several pixels at a time.
template <typename T, bool AlphaOut, int Step>
void writeMatte(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                const Plane<const T>&, std::ptrdiff_t, const KeyedChunk& k, int n) {
    T* const r = redOf<Step>(dst);
    T* const g = greenOf<Step>(dst);
    T* const b = dst.b;
    T* const a = AlphaOut ? alphaOf<Step>(dst) : nullptr;
    const std::ptrdiff_t step = pixelStepOf<Step>(dst);
    const int dstMax = t.dstMax;
    for (int i = 0; i < n; ++i) {
        const std::ptrdiff_t at = dstAt + i * step;
        const std::uint32_t value = scaleToOutput(dstMax, k.m[i]);
        put(r, at, value);
        put(g, at, value);
        put(b, at, value);
        if constexpr (AlphaOut) put(a, at, value);
    }
}

// The status view: black where transparent, blue where opaque, green rising from a quarter
// to full with a partial matte; red from a quarter up with the hold-out share.
template <typename T, bool AlphaOut, int Step>
void writeStatus(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                 const Plane<const T>&, std::ptrdiff_t, const KeyedChunk& k, int n) {
    T* const r = redOf<Step>(dst);
    T* const g = greenOf<Step>(dst);
    T* const b = dst.b;
    T* const a = AlphaOut ? alphaOf<Step>(dst) : nullptr;
    const std::ptrdiff_t step = pixelStepOf<Step>(dst);
    const int dstMax = t.dstMax;
    const std::int64_t q = dstMax / 4;
    const std::int64_t span = std::int64_t(dstMax) - q;
    for (int i = 0; i < n; ++i) {
        const std::ptrdiff_t at = dstAt + i * step;
        const int m = k.m[i];
        if (m == 0) {
            put(r, at, 0);
            put(g, at, 0);
            put(b, at, 0);
        } else if (m == kOne) {
            put(r, at, q + shiftDown12(span * k.d[i]));
            put(g, at, 0);
            put(b, at, dstMax);
        } else {
            put(r, at, q + shiftDown12(span * k.d[i]));
            put(g, at, q + shiftDown12(span * m));
            put(b, at, 0);
        }
        if constexpr (AlphaOut) put(a, at, scaleToOutput(dstMax, m));
    }
}

// The composite: the keyed colour over the corrected background plate, the alpha over the
// background's alpha.
template <typename T, bool AlphaOut, int Step>
void writeComposite(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                    const Plane<const T>& bg, std::ptrdiff_t bgAt, const KeyedChunk& k, int n) {
    const int dstMax = t.dstMax;
    std::uint32_t alpha[kChunk];
    if (k.opaque) {
        // Solid foreground: the blend with M = 4096 gives V exactly, and the background
        // alpha is weighed by 4096 - M = 0. Nothing of the background is read.
        if constexpr (AlphaOut) alphaToOutput(dstMax, k.m, alpha, n);
        putChunk<T, AlphaOut, Step>(t, dst, dstAt, k.v, alpha, n);
        return;
    }
    // The corrected background of the whole chunk first (all of a pixel's bg samples
    // are read before its output is written, so dst may share bg's memory).
    const std::ptrdiff_t bgStep = pixelStepOf<Step>(bg);
    const T* const bgR = redOf<Step>(bg);
    const T* const bgG = greenOf<Step>(bg);
    const T* const bgB = bg.b;
    const T* const bgA = AlphaOut ? alphaOf<Step>(bg) : nullptr;
    const std::int16_t* const bgLut0 = t.bgLut[0];
    const std::int16_t* const bgLut1 = t.bgLut[1];
    const std::int16_t* const bgLut2 = t.bgLut[2];
    int back[3][kChunk];
    unsigned backAlpha[kChunk];
#pragma GCC unroll 4
    for (int i = 0; i < n; ++i) {
        scalarLookups();
        const std::ptrdiff_t at = bgAt + i * bgStep;
        back[0][i] = bgLut0[bgR[at]];
        back[1][i] = bgLut1[bgG[at]];
        back[2][i] = bgLut2[bgB[at]];
        if constexpr (AlphaOut) backAlpha[i] = bgA[at];
    }
    if (t.matrix1) applyMatrix(t.mat1, back, n);
    // Arithmetic only, several pixels at a time: the alpha over the background alpha,
    // m + (4096 - m) * ba / bgMax (a sample of 0 adds nothing either way), then the
    // blend, which takes the matte before the background alpha joins it.
    if constexpr (AlphaOut) {
        const DivisorMultiplier bgMaxDivisor = t.bgAlphaDiv;
        for (int i = 0; i < n; ++i) {
            const int m = k.m[i];
            const std::uint32_t over =
                divideExactly(bgMaxDivisor, unsigned(kOne - m) * backAlpha[i]);
            alpha[i] = scaleToOutput(dstMax, m + int(over));
        }
    }
    if (k.clear) {
        // Clean screen: the blend with M = 0 gives K exactly, (V - K) * 0 + 2048 rounding
        // down to 0; the keyed colour was left out.
        putChunk<T, AlphaOut, Step>(t, dst, dstAt, back, alpha, n);
        return;
    }
    int o[3][kChunk];
    for (int i = 0; i < n; ++i) {
        const int m = k.m[i];
        o[0][i] = blend(k.v[0][i], back[0][i], m);
        o[1][i] = blend(k.v[1][i], back[1][i], m);
        o[2][i] = blend(k.v[2][i], back[2][i], m);
    }
    putChunk<T, AlphaOut, Step>(t, dst, dstAt, o, alpha, n);
}

// Over a flat colour: the keyed colour over the engine's background colour.
template <typename T, bool AlphaOut, int Step>
void writeOverFlat(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                   const Plane<const T>&, std::ptrdiff_t, const KeyedChunk& k, int n) {
    const int k0 = t.backgroundInt[0], k1 = t.backgroundInt[1], k2 = t.backgroundInt[2];
    int o[3][kChunk];
    std::uint32_t alpha[kChunk];
    if constexpr (AlphaOut) alphaToOutput(t.dstMax, k.m, alpha, n);
    if (k.clear) {
        // Clean screen: the flat colour itself (see the composite); the keyed colour was
        // left out.
        for (int i = 0; i < n; ++i) {
            o[0][i] = k0;
            o[1][i] = k1;
            o[2][i] = k2;
        }
    } else {
        for (int i = 0; i < n; ++i) {
            const int m = k.m[i];
            o[0][i] = blend(k.v[0][i], k0, m);
            o[1][i] = blend(k.v[1][i], k1, m);
            o[2][i] = blend(k.v[2][i], k2, m);
        }
    }
    putChunk<T, AlphaOut, Step>(t, dst, dstAt, o, alpha, n);
}

// The unpremultiplied foreground: the keyed colour as it is, the matte as alpha.
template <typename T, bool AlphaOut, int Step>
void writeUnpremultiplied(const KeyTables& t, const Plane<T>& dst, std::ptrdiff_t dstAt,
                          const Plane<const T>&, std::ptrdiff_t, const KeyedChunk& k, int n) {
    std::uint32_t alpha[kChunk];
    if constexpr (AlphaOut) alphaToOutput(t.dstMax, k.m, alpha, n);
    putChunk<T, AlphaOut, Step>(t, dst, dstAt, k.v, alpha, n);
}

// The writer for the engine's view: 2 matte, 5 status, 0 composite, 1 flat colour, and
// every other id the unpremultiplied foreground.
template <typename T, bool AlphaOut, int Step>
ChunkWriter<T> chunkWriterFor(int view) {
    if (view == kViewMatte) return &writeMatte<T, AlphaOut, Step>;
    if (view == kViewStatus) return &writeStatus<T, AlphaOut, Step>;
    if (view == kViewComposite) return &writeComposite<T, AlphaOut, Step>;
    if (view == kViewFlat) return &writeOverFlat<T, AlphaOut, Step>;
    return &writeUnpremultiplied<T, AlphaOut, Step>;
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
