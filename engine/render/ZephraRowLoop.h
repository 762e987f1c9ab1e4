#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraKeyingPasses.h"
#include "engine/render/ZephraPixel.h"
#include "engine/render/ZephraRenderOutput.h"
#include "engine/render/ZephraRenderSetup.h"

// The row loop of the renderer, compiled for every combination of sample type and the
// four per-call choices (reference plate, hold-out matte, garbage matte, alpha output), so
// that none of them is tested per pixel. Rows are keyed in chunks: the keying pass fills a
// small buffer with each pixel's colour, matte and share, the colour matrix (if in use)
// runs over the buffer, and the writer of the call's view writes the chunk.

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

// What the samples of one matte in a chunk have in common. All 0: the matte changes nothing
// there (a hold-out strength of 0 and a garbage keep factor of 4096 change nothing), so the
// chunk keys as it would without it and skips its lookups and arithmetic. All one other
// value, as inside a solid or flat matte: one lookup serves the whole chunk. n >= 1.
enum class MatteRun { clear, uniform, varied };

template <typename T, int Step>
[[gnu::always_inline]] inline MatteRun matteRunOf(const Plane<const T>& matte, std::ptrdiff_t at,
                                                  int n) {
    const T* const samples = matte.a + at;
    const std::ptrdiff_t step = pixelStepOf<Step>(matte);
    const unsigned first = samples[0];
    unsigned differ = 0;
    for (int i = 0; i < n; ++i) differ |= samples[i * step] ^ first;
    if (differ != 0) return MatteRun::varied;
    return first == 0 ? MatteRun::clear : MatteRun::uniform;
}

// Asks for an image's samples of the chunk kPrefetchChunks ahead in the same row, host layout
// only. A matte is read once per pixel and nowhere near the other images in memory: the
// processor's own prefetching, busy with the foreground, background and output, leaves its
// loads waiting on memory in large frames. A matte's samples are asked for with the hint
// that they are read once.
constexpr int kPrefetchChunks = 2;
constexpr int kCacheLine = 64;
constexpr int kReadOnce = 0;  // __builtin_prefetch's locality: no temporal locality

template <typename T, int Step, int Locality>
[[gnu::always_inline]] inline void prefetchAhead(const T* channel, std::ptrdiff_t at, int x0,
                                                 int width) {
    if constexpr (Step == kHostStep) {
        constexpr std::ptrdiff_t ahead = std::ptrdiff_t(kPrefetchChunks) * kChunk * Step;
        constexpr std::ptrdiff_t chunkSamples = std::ptrdiff_t(kChunk) * Step;
        constexpr std::ptrdiff_t lineSamples = kCacheLine / sizeof(T);
        if (x0 + (kPrefetchChunks + 1) * kChunk > width) return;
        const T* const samples = channel + at + ahead;
        for (std::ptrdiff_t i = 0; i < chunkSamples; i += lineSamples)
            __builtin_prefetch(samples + i, 0, Locality);
    }
}

// One chunk keyed for the view: the keyed pixel, then the foreground matrix where the colour
// shows.
template <typename T, bool Ref, bool Hold, bool Garbage, int Step>
[[gnu::always_inline]] inline void keyChunkForView(const KeyTables& t, const ChunkInputs<T>& in,
                                                   KeyedChunk& chunk, int n, bool colourShown,
                                                   bool clearColourShown) {
    if (colourShown) {
        keyChunk<T, Ref, Hold, Garbage, true, Step>(t, in, chunk, n, clearColourShown);
        if (t.matrix0 && !(chunk.clear && !clearColourShown)) applyMatrix(t.mat0, chunk.v, n);
    } else {
        keyChunk<T, Ref, Hold, Garbage, false, Step>(t, in, chunk, n, false);
    }
}

// The keyed rows of a tile with a foreground. Step == kHostStep: every image that takes part
// is in the host's layout (see kHostStep).
template <typename T, bool Ref, bool Hold, bool Garbage, bool AlphaOut, int Step>
void keyRows(const KeyTables& t, const TileSetup<T>& tile, int width, int height) {
    const Plane<T> dst = tile.dst;
    const Plane<const T> bg = tile.bg;
    const Plane<const T> fg = tile.fg;
    const Plane<const T> ref = tile.ref;
    const Plane<const T> hold = tile.hold;
    const Plane<const T> garbage = tile.garbage;
    ChunkInputs<T> in{fg, ref, hold, garbage, 0, 0, 0, 0, false, false};
    const ChunkWriter<T> write = chunkWriterFor<T, AlphaOut, Step>(t.view);
    // The matte and status views write nothing of the keyed colour; the composites show
    // nothing of it where the matte is 0.
    const bool colourShown = t.view != kViewMatte && t.view != kViewStatus;
    const bool clearColourShown = t.view != kViewComposite && t.view != kViewFlat;
    KeyedChunk chunk;
    for (int y = 0; y < height; ++y) {
        const std::ptrdiff_t dstRow = std::ptrdiff_t(y) * dst.rowStep;
        const std::ptrdiff_t fgRow = std::ptrdiff_t(y) * fg.rowStep;
        const std::ptrdiff_t bgRow = std::ptrdiff_t(y) * bg.rowStep;
        const std::ptrdiff_t refRow = Ref ? std::ptrdiff_t(y) * ref.rowStep : 0;
        const std::ptrdiff_t holdRow = Hold ? std::ptrdiff_t(y) * hold.rowStep : 0;
        const std::ptrdiff_t garbageRow = Garbage ? std::ptrdiff_t(y) * garbage.rowStep : 0;
        for (int x0 = 0; x0 < width; x0 += kChunk) {
            const int n = width - x0 < kChunk ? width - x0 : kChunk;
            // The keying reads every input sample of the chunk before the writer writes
            // any of its outputs: each pixel's samples are still read before its own
            // outputs are written.
            const std::ptrdiff_t x = x0;
            in.fgAt = fgRow + x * pixelStepOf<Step>(fg);
            if constexpr (Ref) in.refAt = refRow + x * pixelStepOf<Step>(ref);
            if constexpr (Hold) in.holdAt = holdRow + x * pixelStepOf<Step>(hold);
            if constexpr (Garbage) in.garbageAt = garbageRow + x * pixelStepOf<Step>(garbage);
            if constexpr (Hold) prefetchAhead<T, Step, kReadOnce>(hold.a, in.holdAt, x0, width);
            if constexpr (Garbage)
                prefetchAhead<T, Step, kReadOnce>(garbage.a, in.garbageAt, x0, width);
            // A matte that is 0 throughout the chunk drops out: the chunk takes the loop
            // compiled without it.
            const MatteRun holdRun =
                Hold ? matteRunOf<T, Step>(hold, in.holdAt, n) : MatteRun::clear;
            const MatteRun garbageRun =
                Garbage ? matteRunOf<T, Step>(garbage, in.garbageAt, n) : MatteRun::clear;
            in.holdUniform = holdRun == MatteRun::uniform;
            in.garbageUniform = garbageRun == MatteRun::uniform;
            const bool holdUsed = holdRun != MatteRun::clear;
            const bool garbageUsed = garbageRun != MatteRun::clear;
            if (holdUsed && garbageUsed)
                keyChunkForView<T, Ref, Hold, Garbage, Step>(t, in, chunk, n, colourShown,
                                                             clearColourShown);
            else if (holdUsed)
                keyChunkForView<T, Ref, Hold, false, Step>(t, in, chunk, n, colourShown,
                                                           clearColourShown);
            else if (garbageUsed)
                keyChunkForView<T, Ref, false, Garbage, Step>(t, in, chunk, n, colourShown,
                                                              clearColourShown);
            else
                keyChunkForView<T, Ref, false, false, Step>(t, in, chunk, n, colourShown,
                                                            clearColourShown);
            write(t, dst, dstRow + std::ptrdiff_t(x0) * pixelStepOf<Step>(dst), bg,
                  bgRow + std::ptrdiff_t(x0) * pixelStepOf<Step>(bg), chunk, n);
        }
    }
}

// The rows of a tile without a foreground: the corrected background in every view.
template <typename T, bool AlphaOut>
void backgroundRows(const KeyTables& t, const TileSetup<T>& tile, int width, int height) {
    const Plane<T> dst = tile.dst;
    const Plane<const T> bg = tile.bg;
    const int dstMax = t.dstMax;
    const std::int64_t bgMax = t.bgMax;
    for (int y = 0; y < height; ++y) {
        std::ptrdiff_t at = std::ptrdiff_t(y) * dst.rowStep;
        std::ptrdiff_t bgAt = std::ptrdiff_t(y) * bg.rowStep;
        for (int x = 0; x < width; ++x, at += dst.pixelStep, bgAt += bg.pixelStep) {
            int b[3];
            backgroundColour(t, bg, bgAt, b);
            if constexpr (AlphaOut) {
                // bg alpha * dstMax / bgMax, product in 64 bits. A background without
                // an alpha channel (possible outside the composite view) is opaque.
                const std::int64_t alpha =
                    bg.a ? std::int64_t(bg.a[bgAt]) * dstMax / bgMax : dstMax;
                putColour(t, dst, at, b);
                put(dst.a, at, alpha);
            } else {
                putColour(t, dst, at, b);
            }
        }
    }
}

// The row loop of one combination of the choices: the background rows, or the keyed rows in
// the host's layout or in any other.
template <typename T, bool Ref, bool Hold, bool Garbage, bool AlphaOut>
void rowLoop(const KeyTables& tables, const TileSetup<T>& tile, int width, int height) {
    // Locals: nothing below re-reads the engine or the caller's record, and the compiler
    // may keep all of it in registers whatever the output writes alias.
    const KeyTables t = tables;
    const Plane<T> dst = tile.dst;
    const Plane<const T> bg = tile.bg;

    if (!tile.fgPresent) {
        backgroundRows<T, AlphaOut>(t, tile, width, height);
        return;
    }

    // The host lays every image out as interleaved A, B, G, R pixels. Its loops need each
    // image that takes part in that layout: step 4, and the channels the loop reads at their
    // places next to blue. Compared as addresses, so that no pointer is formed outside the
    // caller's storage.
    const auto hostImage = [](const auto& plane, bool alphaRead) {
        using Sample = std::remove_pointer_t<decltype(plane.b)>;
        const auto address = [](const Sample* p) { return reinterpret_cast<std::uintptr_t>(p); };
        const std::uintptr_t blue = address(plane.b);
        return plane.pixelStep == kHostStep && address(plane.g) == blue + sizeof(Sample) &&
               address(plane.r) == blue + 2 * sizeof(Sample) &&
               (!alphaRead || address(plane.a) == blue - sizeof(Sample));
    };
    const auto hostMatte = [](const auto& plane) { return plane.pixelStep == kHostStep; };
    // Background samples are read only by the composite, its alpha only with the alpha out.
    const bool composite = t.view == kViewComposite;
    const bool hostLayout =
        hostImage(dst, AlphaOut) && hostImage(tile.fg, false) &&
        (!composite || hostImage(bg, AlphaOut)) && (!Ref || hostImage(tile.ref, false)) &&
        (!Hold || hostMatte(tile.hold)) && (!Garbage || hostMatte(tile.garbage));
    if (hostLayout)
        keyRows<T, Ref, Hold, Garbage, AlphaOut, kHostStep>(t, tile, width, height);
    else
        keyRows<T, Ref, Hold, Garbage, AlphaOut, 0>(t, tile, width, height);
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
