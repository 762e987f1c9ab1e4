// Refusals, no-op calls, worked pixels and the values of each view.

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

// One 16-bit pixel with hand-set tables: identity correction, output and matte tables,
// so the keyed colour and alpha can be read straight off dst.
struct WorkedPixel {
    Rng rng{11};
    std::unique_ptr<VRFZephraTable> e = makeEngine(rng, 255, 65535, 0, false, true, true);
    Image<std::uint16_t> dst = interleavedImage<std::uint16_t>(1, 1);
    Image<std::uint16_t> fg = interleavedImage<std::uint16_t>(1, 1);
    Image<std::uint16_t> bg = interleavedImage<std::uint16_t>(1, 1);
    Image<std::uint16_t> hold = interleavedImage<std::uint16_t>(1, 1);
    Ztile tile{};

    WorkedPixel() {
        e->saturation[0] = e->saturation[1] = 1.0f;
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 16384; ++i) {
                e->fgCorrectLut[c][i] = std::int16_t(i);
                e->outLut[c][i] = std::uint16_t(i);
            }
        for (int i = 0; i <= 4096; ++i) e->matteLut[i] = std::int16_t(i);
        e->view = 4;
        e->useHoldOn = 0;
        e->useGarbageOn = 0;
        tile.dst = dst.view();
        tile.fg = fg.view();
        tile.bg = bg.view();
        tile.hold = hold.view();
    }
    // fg samples (1, 2, 3) carry the given colour and projection share.
    void setForeground(const int colour[3], const int projection[3]) {
        for (int c = 0; c < 3; ++c) {
            fg.sample(c, 0, 0) = std::uint16_t(c + 1);
            e->fgLut[c][c + 1] = std::int16_t(colour[c]);
            e->fgScreenLut[c][c + 1] = std::int16_t(projection[c]);
        }
    }
};

TEST(RenderWorked, TransparentPixelWithColourLeftIsNotBlack) {
    WorkedPixel w;
    const int colour[3] = {0, 0, 16383}, projection[3] = {0, 0, 4096};
    w.setForeground(colour, projection);
    for (int c = 0; c < 3; ++c) w.e->screenInt[c] = c == 2 ? 16383 : 0;
    w.e->screenLut[4095] = 4095;
    ASSERT_EQ(w.e->render(2, 1, 1, &w.tile), 0);
    // S = 4095, F = (0, 0, 4), A = 1, raised to 16384 / 16383 = 1 with F = (0, 0, 16383);
    // the written alpha is (65535 * 1 + 2048) >> 12 = 16.
    EXPECT_EQ(w.dst.sample(0, 0, 0), 0);
    EXPECT_EQ(w.dst.sample(1, 0, 0), 0);
    EXPECT_EQ(w.dst.sample(2, 0, 0), 16383);
    EXPECT_EQ(w.dst.sample(3, 0, 0), 16);
}

TEST(RenderWorked, HoldOutGivesBackAlphaAndReplaceColour) {
    WorkedPixel w;
    const int colour[3] = {1000, 2000, 3000}, projection[3] = {0, 0, 100};
    w.setForeground(colour, projection);
    for (int c = 0; c < 3; ++c) {
        w.e->screenInt[c] = 0;
        w.e->replaceInt[c] = 8192;
    }
    w.e->screenLut[100] = 2048;  // A = 2048 before the hold-out
    w.e->useHoldOn = 1;
    w.hold.sample(3, 0, 0) = 200;
    w.e->holdLut[200] = 4096;
    ASSERT_EQ(w.e->render(2, 1, 1, &w.tile), 0);
    // D = 2048: each F grows by 4096, A becomes 4096 and the colour stays as it is.
    EXPECT_EQ(w.dst.sample(0, 0, 0), 5096);
    EXPECT_EQ(w.dst.sample(1, 0, 0), 6096);
    EXPECT_EQ(w.dst.sample(2, 0, 0), 7096);
    EXPECT_EQ(w.dst.sample(3, 0, 0), 65535);
    // Status with dstMax 255: opaque with share 2048 is (159, 0, 255).
    w.e->dstMax = 255;
    w.e->view = 5;
    ASSERT_EQ(w.e->render(2, 1, 1, &w.tile), 0);
    EXPECT_EQ(w.dst.sample(0, 0, 0), 159);
    EXPECT_EQ(w.dst.sample(1, 0, 0), 0);
    EXPECT_EQ(w.dst.sample(2, 0, 0), 255);
    // The same share with the matte at one half: (159, 159, 0).
    for (int i = 0; i <= 4096; ++i) w.e->matteLut[i] = 2048;
    ASSERT_EQ(w.e->render(2, 1, 1, &w.tile), 0);
    EXPECT_EQ(w.dst.sample(0, 0, 0), 159);
    EXPECT_EQ(w.dst.sample(1, 0, 0), 159);
    EXPECT_EQ(w.dst.sample(2, 0, 0), 0);
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

TEST(RenderWorked, FlatColourCompositeOverBlack) {
    Rng rng(5);
    auto e = makeEngine(rng, 255, 255, 0, false, false, false);
    e->setBackground(0, 0, 0);
    ASSERT_EQ(e->makeLuts(), 0);
    for (int i = 0; i <= 4096; ++i) e->matteLut[i] = 0;
    e->view = 1;
    Image<std::uint8_t> dst = interleavedImage<std::uint8_t>(2, 1), fg = dst;
    fillSentinel(dst);
    fillRandom(rng, fg, 255);
    Ztile tile{};
    tile.dst = dst.view();
    tile.fg = fg.view();
    ASSERT_EQ(e->render(1, 2, 1, &tile), 0);
    for (int x = 0; x < 2; ++x)
        for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(dst.sample(ch, x, 0), 0) << x << " " << ch;
}

}  // namespace
