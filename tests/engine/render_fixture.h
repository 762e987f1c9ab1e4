#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/VRFZephraTable.h"
#include "engine/Ztile.h"
#include "engine/render/ZephraRenderDispatch.h"
#include "render_reference.h"

// Tiles, engines and a whole-tile reference render for the renderer's tests.

namespace render_test {

using Rng = std::mt19937;

inline int uniform(Rng& rng, int lo, int hi) {
    return std::uniform_int_distribution<int>(lo, hi)(rng);
}
inline float uniformF(Rng& rng, float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(rng);
}
inline bool chance(Rng& rng, int percent) { return uniform(rng, 0, 99) < percent; }

// One image of a tile in its own storage: four channels, either interleaved A, B, G, R in
// pixels of four samples as the host lays them out, or planar with any pixel step. Row and
// pixel steps may be negative (the first pixel then sits at the far end of the storage).
template <typename T>
struct Image {
    std::vector<T> store;
    std::ptrdiff_t base[4] = {0, 0, 0, 0};  // r, g, b, a: offset of pixel (0, 0)
    int pixelStep = 0;
    int rowStep = 0;

    std::ptrdiff_t at(int c, int x, int y) const {
        return base[c] + std::ptrdiff_t(x) * pixelStep + std::ptrdiff_t(y) * rowStep;
    }
    T& sample(int c, int x, int y) { return store[std::size_t(at(c, x, y))]; }
    TileImage view() {
        TileImage t{};
        void** channels[4] = {&t.r, &t.g, &t.b, &t.a};
        for (int c = 0; c < 4; ++c) *channels[c] = store.data() + base[c];
        t.pixelStep = pixelStep;
        t.rowStep = rowStep;
        return t;
    }
};

template <typename T>
Image<T> interleavedImage(int width, int height, int rowPad = 0, bool bottomUp = false) {
    Image<T> im;
    const int row = width * 4 + rowPad;
    im.store.assign(std::size_t(row) * std::size_t(height), T(0));
    const std::ptrdiff_t origin = bottomUp ? std::ptrdiff_t(height - 1) * row : 0;
    // A, B, G, R: sample 0 alpha, sample 3 red.
    im.base[3] = origin + 0;
    im.base[2] = origin + 1;
    im.base[1] = origin + 2;
    im.base[0] = origin + 3;
    im.pixelStep = 4;
    im.rowStep = bottomUp ? -row : row;
    return im;
}

// Pixels of four samples like the host's, but with the channels in another order: what the
// renderer must not take for the host's layout.
template <typename T>
Image<T> shuffledInterleavedImage(Rng& rng, int width, int height) {
    Image<T> im = interleavedImage<T>(width, height, uniform(rng, 0, 5), chance(rng, 25));
    const std::ptrdiff_t origin = im.base[3];
    static constexpr int kOrders[][4] = {{0, 1, 2, 3}, {2, 1, 0, 3}, {1, 3, 2, 0},
                                         {1, 2, 3, 0}, {3, 0, 1, 2}, {0, 2, 1, 3}};
    const int* order = kOrders[uniform(rng, 0, 5)];
    for (int c = 0; c < 4; ++c) im.base[c] = origin + order[c];
    return im;
}

template <typename T>
Image<T> randomImage(Rng& rng, int width, int height) {
    if (chance(rng, 50))
        return interleavedImage<T>(width, height, uniform(rng, 0, 5), chance(rng, 25));
    if (chance(rng, 30)) return shuffledInterleavedImage<T>(rng, width, height);
    Image<T> im;
    const int step = uniform(rng, 1, 3);
    const int row = width * step + uniform(rng, 0, 4);
    const std::ptrdiff_t plane = std::ptrdiff_t(row) * height + uniform(rng, 0, 3);
    im.store.assign(std::size_t(plane) * 4, T(0));
    const bool mirrored = chance(rng, 25), bottomUp = chance(rng, 25);
    const std::ptrdiff_t origin = (mirrored ? std::ptrdiff_t(width - 1) * step : 0) +
                                  (bottomUp ? std::ptrdiff_t(height - 1) * row : 0);
    for (int c = 0; c < 4; ++c) im.base[c] = plane * c + origin;
    im.pixelStep = mirrored ? -step : step;
    im.rowStep = bottomUp ? -row : row;
    return im;
}

// Every sample of the storage random in 0 .. max, with the ends drawn often.
template <typename T>
void fillRandom(Rng& rng, Image<T>& im, int max) {
    for (T& s : im.store) {
        const int pick = uniform(rng, 0, 9);
        s = T(pick == 0 ? 0 : (pick == 1 ? max : uniform(rng, 0, max)));
    }
}

template <typename T>
void fillSentinel(Image<T>& im) {
    for (T& s : im.store) s = T(sizeof(T) == 1 ? 0xA5 : 0xA5C3);
}

// Random keying parameters through the setters, then makeLuts. Retries draws that the
// engine refuses (a screen without a dominant channel).
void randomParameters(Rng& rng, VRFZephraTable& e, int colourspace);

// Overwrites every table and constant the renderer reads with random values inside the
// ranges makeLuts guarantees, with the ends of each range drawn often: reaches the paths
// (screen amounts above 1, hold-out, garbage, clamps) that realistic tables rarely hit.
void randomTables(Rng& rng, VRFZephraTable& e);

// A fresh engine with the given maxima, switches and colour space, tables built.
std::unique_ptr<VRFZephraTable> makeEngine(Rng& rng, int sampleMax, int dstMax, int colourspace,
                                           bool useRef, bool useHold, bool useGarbage);

// Renderer tests run once per instruction set the processor runs, named after it.
inline std::string isaTestName(const testing::TestParamInfo<zephra::RenderIsa>& info) {
    return zephra::renderIsaName(info.param);
}

inline bool hasColour(const TileImage& im) { return im.r && im.g && im.b; }

// The whole-tile reference: decides the call's result and the inputs that take part by the
// rules, then runs the reference pixel over the tile. Reads the inputs through the tile's
// pointers and writes into `out`, which has dst's steps but its own storage (a copy of
// dst's storage before the call). Returns the expected result of render.
template <typename T>
int referenceRender(const VRFZephraTable& e, int bytes, int width, int height, const Ztile& tile,
                    Image<T>& out) {
    if (e.staleAll) return 0;
    const bool dst = hasColour(tile.dst) && tile.dst.a;
    const bool bg = hasColour(tile.bg), fg = hasColour(tile.fg);
    if (!dst) return 1;
    if (e.view == 0 && !bg) return 1;
    if (e.view != 0 && !bg && !fg) return 1;
    if (e.useRefOn && !hasColour(tile.ref)) return 1;
    if (bytes != 1 && bytes != 2) return 1;

    render_ref::Which w;
    w.ref = e.useRefOn != 0;
    w.hold = e.useHoldOn && tile.hold.a;
    w.garbage = e.useGarbageOn && tile.garbage.a;
    w.alphaOut = !(e.view == 0 && !tile.bg.a);

    auto read = [](const TileImage& im, void* channel, int x, int y) -> render_ref::I64 {
        return static_cast<const T*>(
            channel)[std::ptrdiff_t(x) * im.pixelStep + std::ptrdiff_t(y) * im.rowStep];
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            render_ref::Inputs in;
            if (bg) {
                in.bg[0] = read(tile.bg, tile.bg.r, x, y);
                in.bg[1] = read(tile.bg, tile.bg.g, x, y);
                in.bg[2] = read(tile.bg, tile.bg.b, x, y);
                in.hasBgAlpha = tile.bg.a != nullptr;
                if (in.hasBgAlpha) in.bgAlpha = read(tile.bg, tile.bg.a, x, y);
            }
            render_ref::Outputs o;
            if (fg) {
                in.fg[0] = read(tile.fg, tile.fg.r, x, y);
                in.fg[1] = read(tile.fg, tile.fg.g, x, y);
                in.fg[2] = read(tile.fg, tile.fg.b, x, y);
                if (w.ref) {
                    in.ref[0] = read(tile.ref, tile.ref.r, x, y);
                    in.ref[1] = read(tile.ref, tile.ref.g, x, y);
                    in.ref[2] = read(tile.ref, tile.ref.b, x, y);
                }
                if (w.hold) in.hold = read(tile.hold, tile.hold.a, x, y);
                if (w.garbage) in.garbage = read(tile.garbage, tile.garbage.a, x, y);
                o = render_ref::keyedPixel(e, w, in);
            } else {
                o = render_ref::backgroundPixel(e, w, in);
            }
            for (int c = 0; c < 4; ++c) {
                if (c == 3 && !o.writesAlpha) continue;
                // 8-bit samples keep the low byte, 16-bit samples the value.
                out.sample(c, x, y) =
                    T(std::uint64_t(o.rgba[c]) & (sizeof(T) == 1 ? 0xFFu : 0xFFFFu));
            }
        }
    }
    return 0;
}

// A tile of random images, one size, each in a random layout: inputs of random samples up to
// their maxima, dst a sentinel, so that a sample written that should not be (or not written
// that should be) shows. `tile` points at all of them; tests switch inputs off in it.
template <typename T>
struct RandomTile {
    int width, height;
    Image<T> dst, fg, bg, ref, hold, garbage;
    Ztile tile{};

    RandomTile(Rng& rng, const VRFZephraTable& e, int w, int h)
        : width(w),
          height(h),
          dst(randomImage<T>(rng, w, h)),
          fg(randomImage<T>(rng, w, h)),
          bg(randomImage<T>(rng, w, h)),
          ref(randomImage<T>(rng, w, h)),
          hold(randomImage<T>(rng, w, h)),
          garbage(randomImage<T>(rng, w, h)) {
        fillSentinel(dst);
        fillRandom(rng, fg, e.fgMax);
        fillRandom(rng, bg, e.bgMax);
        fillRandom(rng, ref, e.refMax);
        fillRandom(rng, hold, e.hMatteMax);
        fillRandom(rng, garbage, e.gMatteMax);
        tile.dst = dst.view();
        tile.fg = fg.view();
        tile.bg = bg.view();
        tile.ref = ref.view();
        tile.hold = hold.view();
        tile.garbage = garbage.view();
    }
    RandomTile(const RandomTile&) = delete;
    RandomTile& operator=(const RandomTile&) = delete;

    // Renders the tile with one instruction set into `out` (dst, or an input for a render in
    // place) and compares every sample with the reference render of the same tile.
    void expectReference(VRFZephraTable& e, zephra::RenderIsa isa, Image<T>& out,
                         const std::string& what) {
        Image<T> expected = out;
        Ztile t = tile;
        t.dst = out.view();
        const int want = referenceRender<T>(e, int(sizeof(T)), width, height, t, expected);
        const int got = zephra::renderWithIsa(e, isa, int(sizeof(T)), width, height, &t);
        ASSERT_EQ(got, want) << what;
        ASSERT_EQ(got, 0) << what;
        for (std::size_t i = 0; i < expected.store.size(); ++i)
            ASSERT_EQ(int(out.store[i]), int(expected.store[i]))
                << what << ": view " << e.view << ", storage index " << i << ", tile " << width
                << "x" << height << ", ref " << e.useRefOn << ", hold " << e.useHoldOn
                << (t.hold.a ? "" : " (no samples)") << ", garbage " << e.useGarbageOn
                << (t.garbage.a ? "" : " (no samples)") << ", bg alpha " << (t.bg.a != nullptr);
    }
};

}  // namespace render_test
