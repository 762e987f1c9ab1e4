#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "engine/render/ZephraRenderSetup.h"
#include "engine/tables/ZephraInputTables.h"

// 16-bit tiles over input tables of 256 entries (an input with a maximum of 255 or less, see
// ZephraInputTables.h). The tile is keyed in pieces of up to one chunk of one row: the samples
// of the piece that index tables are copied into a small buffer on the stack, each held to the
// last entry of its table, and the ordinary row loop keys the piece from there and writes the
// output in place. Every pixel is keyed on its own, so a pixel comes out exactly as the whole
// tile would give it; a sample above the table keys like the last entry, which repeats the
// entry at the input's maximum. Only such calls take this path; the others never test for it.

namespace zephra {

// One image's samples of one piece, channel by channel (r, g, b, a).
struct StagedImage {
    std::uint16_t samples[4][kChunk];
};

// The largest sample each input's tables take.
struct StagingLimits {
    int fg, bg, ref, hold, garbage;
};

// The plane whose pixel 0 is pixel (x, y) of `plane`; absent channels stay null.
template <typename T>
Plane<T> planeFrom(const Plane<T>& plane, std::ptrdiff_t x, std::ptrdiff_t y) {
    Plane<T> moved = plane;
    const std::ptrdiff_t offset = x * plane.pixelStep + y * plane.rowStep;
    for (T* Plane<T>::*channel : {&Plane<T>::r, &Plane<T>::g, &Plane<T>::b, &Plane<T>::a})
        if (moved.*channel) moved.*channel += offset;
    return moved;
}

// n samples of one channel from `at` on, each held to `last`.
inline const std::uint16_t* stageChannel(const std::uint16_t* channel, std::ptrdiff_t at,
                                         std::ptrdiff_t step, int n, unsigned last,
                                         std::uint16_t* to) {
    for (int i = 0; i < n; ++i) {
        const unsigned sample = channel[at + i * step];
        to[i] = std::uint16_t(sample > last ? last : sample);
    }
    return to;
}

// Copies n pixels of `plane` from pixel (x, y) on: the colour channels when `colour` (held to
// `last`), the alpha when present and `alpha`. The background's alpha is arithmetic, not an
// index: it is copied as it is.
inline Plane<const std::uint16_t> stageImage(const Plane<const std::uint16_t>& plane,
                                             std::ptrdiff_t x, std::ptrdiff_t y, int n, bool colour,
                                             bool alpha, int last, int alphaLast, StagedImage& to) {
    Plane<const std::uint16_t> staged;
    staged.pixelStep = 1;
    staged.rowStep = kChunk;
    const std::ptrdiff_t at = x * plane.pixelStep + y * plane.rowStep;
    const std::ptrdiff_t step = plane.pixelStep;
    if (colour) {
        staged.r = stageChannel(plane.r, at, step, n, unsigned(last), to.samples[0]);
        staged.g = stageChannel(plane.g, at, step, n, unsigned(last), to.samples[1]);
        staged.b = stageChannel(plane.b, at, step, n, unsigned(last), to.samples[2]);
    }
    if (alpha && plane.a)
        staged.a = stageChannel(plane.a, at, step, n, unsigned(alphaLast), to.samples[3]);
    return staged;
}

// Keys `tile` piece by piece through `run(piece, width, height)`, which runs the call's row
// loop. `bgRead`: the loops read the background (the composite, or rows without a foreground).
template <typename Run>
void renderStaged(const TileSetup<std::uint16_t>& tile, bool ref, bool hold, bool garbage,
                  bool bgRead, const StagingLimits& limits, int width, int height, Run run) {
    StagedImage fg, bg, refImage, holdImage, garbageImage;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; x += kChunk) {
            const int n = width - x < kChunk ? width - x : kChunk;
            TileSetup<std::uint16_t> piece;
            piece.dst = planeFrom(tile.dst, x, y);
            piece.fgPresent = tile.fgPresent;
            if (bgRead)
                piece.bg =
                    stageImage(tile.bg, x, y, n, true, true, limits.bg, kLargest16BitSample, bg);
            if (tile.fgPresent) {
                piece.fg = stageImage(tile.fg, x, y, n, true, false, limits.fg, 0, fg);
                if (ref)
                    piece.ref = stageImage(tile.ref, x, y, n, true, false, limits.ref, 0, refImage);
                if (hold)
                    piece.hold =
                        stageImage(tile.hold, x, y, n, false, true, 0, limits.hold, holdImage);
                if (garbage)
                    piece.garbage = stageImage(tile.garbage, x, y, n, false, true, 0,
                                               limits.garbage, garbageImage);
            }
            run(piece, n, 1);
        }
    }
}

}  // namespace zephra
