#pragma once

#include <cstddef>

#include "engine/ZephraPixel.h"
#include "engine/ZephraRenderSetup.h"

// The one pixel loop of the renderer, compiled for every combination of sample type and the
// four per-call choices (reference plate, hold-out matte, garbage matte, alpha output), so
// that none of them is tested per pixel.

namespace zephra {

template <typename T, bool Ref, bool Hold, bool Garbage, bool AlphaOut>
void renderLoop(const KeyTables& tables, const TileSetup<T>& tile, int width, int height) {
    // Locals: nothing below re-reads the engine or the caller's record, and the compiler
    // may keep all of it in registers whatever the output writes alias.
    const KeyTables t = tables;
    const Plane<T> dst = tile.dst;
    const Plane<const T> bg = tile.bg;

    if (!tile.fgPresent) {
        // Background only: the corrected background in every view.
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
        return;
    }

    const Plane<const T> fg = tile.fg;
    const Plane<const T> ref = tile.ref;
    const Plane<const T> hold = tile.hold;
    const Plane<const T> garbage = tile.garbage;
    for (int y = 0; y < height; ++y) {
        std::ptrdiff_t at = std::ptrdiff_t(y) * dst.rowStep;
        std::ptrdiff_t fgAt = std::ptrdiff_t(y) * fg.rowStep;
        std::ptrdiff_t bgAt = std::ptrdiff_t(y) * bg.rowStep;
        std::ptrdiff_t refAt = Ref ? std::ptrdiff_t(y) * ref.rowStep : 0;
        std::ptrdiff_t holdAt = Hold ? std::ptrdiff_t(y) * hold.rowStep : 0;
        std::ptrdiff_t garbageAt = Garbage ? std::ptrdiff_t(y) * garbage.rowStep : 0;
        for (int x = 0; x < width; ++x) {
            KeyedInput in{};
            in.fg[0] = fg.r[fgAt];
            in.fg[1] = fg.g[fgAt];
            in.fg[2] = fg.b[fgAt];
            if constexpr (Ref) {
                in.ref[0] = ref.r[refAt];
                in.ref[1] = ref.g[refAt];
                in.ref[2] = ref.b[refAt];
                refAt += ref.pixelStep;
            }
            if constexpr (Hold) {
                in.hold = hold.a[holdAt];
                holdAt += hold.pixelStep;
            }
            if constexpr (Garbage) {
                in.garbage = garbage.a[garbageAt];
                garbageAt += garbage.pixelStep;
            }
            const Keyed k = keyPixel<Ref, Hold, Garbage>(t, in);
            writeKeyed<T, AlphaOut>(t, dst, at, bg, bgAt, k);
            at += dst.pixelStep;
            fgAt += fg.pixelStep;
            bgAt += bg.pixelStep;
        }
    }
}

}  // namespace zephra
