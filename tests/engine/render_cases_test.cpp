// Refusals, no-op calls and the values of each view for known mattes. The pixel arithmetic
// itself is checked against the reference pixel (render_crosscheck_test.cpp).

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "render_fixture.h"

namespace {

using namespace render_test;

// An 8-bit engine with realistic tables and a 3x2 host-layout tile around it.
struct TileFixture {
    Rng rng{7};
    std::unique_ptr<VRFZephraTable> e = makeEngine(rng, 255, 255, 1, false, true, true);
    Image<std::uint8_t> dst = interleavedImage<std::uint8_t>(3, 2);
    Image<std::uint8_t> fg = interleavedImage<std::uint8_t>(3, 2);
    Image<std::uint8_t> bg = interleavedImage<std::uint8_t>(3, 2);
    Image<std::uint8_t> ref = interleavedImage<std::uint8_t>(3, 2);
    Ztile tile{};

    TileFixture() {
        fillSentinel(dst);
        fillRandom(rng, fg, 255);
        fillRandom(rng, bg, 255);
        fillRandom(rng, ref, 255);
        tile.dst = dst.view();
        tile.fg = fg.view();
        tile.bg = bg.view();
    }
    bool dstUntouched() const {
        for (std::uint8_t s : dst.store)
            if (s != 0xA5) return false;
        return true;
    }
};

struct NoOpCase {
    std::string name;
    std::function<void(TileFixture&, int& bytes, int& width, int& height)> change;
    int result;
};

TEST(RenderEntry, RefusalsAndNoOpsWriteNothing) {
    const NoOpCase cases[] = {
        {"stale tables", [](TileFixture& f, int&, int&, int&) { f.e->staleAll = 1; }, 0},
        {"stale tables win over a bad sample width",
         [](TileFixture& f, int& bytes, int&, int&) {
             f.e->staleAll = 1;
             bytes = 4;
         },
         0},
        {"a setter since makeLuts",
         [](TileFixture& f, int&, int&, int&) { f.e->setScreenRange(0.75f); }, 0},
        {"4 bytes per sample", [](TileFixture&, int& bytes, int&, int&) { bytes = 4; }, 1},
        {"dst without alpha", [](TileFixture& f, int&, int&, int&) { f.tile.dst.a = nullptr; }, 1},
        {"dst without green", [](TileFixture& f, int&, int&, int&) { f.tile.dst.g = nullptr; }, 1},
        {"composite without bg", [](TileFixture& f, int&, int&, int&) { f.tile.bg.b = nullptr; },
         1},
        {"matte view with neither fg nor bg",
         [](TileFixture& f, int&, int&, int&) {
             f.e->view = 2;
             f.tile.bg = TileImage{};
             f.tile.fg.r = nullptr;
         },
         1},
        {"reference asked for, none given",
         [](TileFixture& f, int&, int&, int&) { f.e->useRefOn = 1; }, 1},
        {"reference asked for, incomplete",
         [](TileFixture& f, int&, int&, int&) {
             f.e->useRefOn = 1;
             f.tile.ref = f.ref.view();
             f.tile.ref.b = nullptr;
         },
         1},
        {"width 0", [](TileFixture&, int&, int& width, int&) { width = 0; }, 0},
        {"negative width", [](TileFixture&, int&, int& width, int&) { width = -5; }, 0},
        {"width 0 still checks the sample width",
         [](TileFixture&, int& bytes, int& width, int&) {
             width = 0;
             bytes = 3;
         },
         1},
    };
    for (const NoOpCase& c : cases) {
        TileFixture f;
        int bytes = 1, width = 3, height = 2;
        c.change(f, bytes, width, height);
        EXPECT_EQ(f.e->render(bytes, width, height, &f.tile), c.result) << c.name;
        EXPECT_TRUE(f.dstUntouched()) << c.name;
    }
    TileFixture f;
    EXPECT_EQ(f.e->render(1, 3, 2, nullptr), 1) << "no tile record";
}

// The values each view writes for a given matte, with dstMax 255 and no hold-out: the
// matte table is set to a constant so every pixel has that matte.
struct ViewCase {
    int view;
    int matte;
    int bgAlpha;     // -1: the tile has no bg alpha
    int r, g, b, a;  // -1: compare with outLut of the foreground (fgOut) or background (bgOut)
};

TEST(RenderWorked, ViewValuesForKnownMattes) {
    constexpr int kFgOut = -1, kBgOut = -2;
    const ViewCase cases[] = {
        {2, 4096, 0, 255, 255, 255, 255},
        {2, 2048, 0, 128, 128, 128, 128},
        {5, 4096, 0, 63, 0, 255, 255},
        {5, 0, 0, 0, 0, 0, 0},
        {5, 2048, 0, 63, 159, 0, 128},
        {0, 4096, 0, kFgOut, kFgOut, kFgOut, 255},
        {0, 0, 0, kBgOut, kBgOut, kBgOut, 0},
        {0, 2048, 0, -3, -3, -3, 128},    // alpha stays M with bg alpha 0
        {0, 2048, 255, -3, -3, -3, 255},  // full bg alpha gives full alpha
        {0, 0, 255, kBgOut, kBgOut, kBgOut, 255},
        {4, 2048, 0, kFgOut, kFgOut, kFgOut, 128},
        {3, 2048, 0, kFgOut, kFgOut, kFgOut, 128},  // 3 renders like 4
    };
    for (const ViewCase& c : cases) {
        Rng rng(3);
        auto e = makeEngine(rng, 255, 255, 0, false, false, false);
        e->saturation[0] = e->saturation[1] = 1.0f;
        for (int i = 0; i <= 4096; ++i) e->matteLut[i] = std::int16_t(c.matte);
        e->view = c.view;
        Image<std::uint8_t> dst = interleavedImage<std::uint8_t>(1, 1), fg = dst, bg = dst;
        fillSentinel(dst);
        for (int ch = 0; ch < 3; ++ch) {
            fg.sample(ch, 0, 0) = std::uint8_t(ch * 50);
            bg.sample(ch, 0, 0) = std::uint8_t(200 - ch * 30);
        }
        bg.sample(3, 0, 0) = std::uint8_t(c.bgAlpha);
        Ztile tile{};
        tile.dst = dst.view();
        tile.fg = fg.view();
        tile.bg = bg.view();
        ASSERT_EQ(e->render(1, 1, 1, &tile), 0);
        // The unpremultiplied, corrected foreground by itself, from the pass-through view.
        e->view = 4;
        Image<std::uint8_t> alone = dst;
        tile.dst = alone.view();
        ASSERT_EQ(e->render(1, 1, 1, &tile), 0);
        const int want[4] = {c.r, c.g, c.b, c.a};
        for (int ch = 0; ch < 4; ++ch) {
            const int got = dst.sample(ch, 0, 0);
            if (want[ch] == kFgOut) {
                EXPECT_EQ(got, alone.sample(ch, 0, 0)) << "view " << c.view << " channel " << ch;
            } else if (want[ch] == kBgOut) {
                EXPECT_EQ(got, e->outLut[ch][e->bgLut[ch][bg.sample(ch, 0, 0)]])
                    << "view " << c.view << " channel " << ch;
            } else if (want[ch] >= 0) {
                EXPECT_EQ(got, want[ch])
                    << "view " << c.view << " matte " << c.matte << " channel " << ch;
            }
        }
    }
}

}  // namespace
