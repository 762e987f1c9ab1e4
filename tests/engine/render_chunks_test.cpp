// Rows with long runs of clean screen (matte 0) and solid foreground (matte 1.0): the
// composites leave out what cannot show in such stretches, and must still write exactly
// what the reference pixel gives, on either side of every chunk boundary.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "render_fixture.h"

namespace {

using namespace render_test;
using Colour = std::array<int, 3>;

// The matte the engine gives one foreground colour, in output units (matte view, 1x1 tile).
template <typename T>
int matteOf(VRFZephraTable& e, int bytes, const Colour& c) {
    Image<T> fg = interleavedImage<T>(1, 1), out = fg;
    for (int k = 0; k < 3; ++k) fg.sample(k, 0, 0) = T(c[k]);
    Ztile tile{};
    tile.fg = fg.view();
    tile.dst = out.view();
    const int view = e.view, hold = e.useHoldOn, garbage = e.useGarbageOn;
    e.view = 2;
    e.useHoldOn = e.useGarbageOn = 0;
    EXPECT_EQ(e.render(bytes, 1, 1, &tile), 0);
    e.view = view;
    e.useHoldOn = hold;
    e.useGarbageOn = garbage;
    return out.sample(3, 0, 0);
}

// Among a spread of colours, one the engine keys fully away and one it keeps solid.
template <typename T>
bool findClearAndSolid(VRFZephraTable& e, int bytes, Colour& clear, Colour& solid) {
    const int max = e.fgMax;
    bool foundClear = false, foundSolid = false;
    for (int r = 0; r <= 4 && !(foundClear && foundSolid); ++r)
        for (int g = 0; g <= 4; ++g)
            for (int b = 0; b <= 4; ++b) {
                const Colour c{max * r / 4, max * g / 4, max * b / 4};
                const int m = matteOf<T>(e, bytes, c);
                if (m == 0 && !foundClear) clear = c, foundClear = true;
                if (m == e.dstMax && !foundSolid) solid = c, foundSolid = true;
            }
    return foundClear && foundSolid;
}

class RenderChunks : public testing::TestWithParam<zephra::RenderIsa> {};

template <typename T>
void checkRuns(zephra::RenderIsa isa, int bytes) {
    Rng rng(8080 + bytes);
    const int max = bytes == 1 ? 255 : 65535;
    for (int colourspace : {0, 1, 2}) {
        auto e = makeEngine(rng, max, max, colourspace, false, true, true);
        Colour clear{}, solid{};
        ASSERT_TRUE(findClearAndSolid<T>(*e, bytes, clear, solid))
            << "colour space " << colourspace;
        for (int trial = 0; trial < 12; ++trial) {
            // Runs long enough to cover whole chunks, at varying offsets, then noise.
            const int clearRun = uniform(rng, 60, 200), solidRun = uniform(rng, 60, 200);
            const int width = clearRun + solidRun + uniform(rng, 0, 80), height = 2;
            Image<T> dst = randomImage<T>(rng, width, height);
            Image<T> fg = randomImage<T>(rng, width, height),
                     bg = randomImage<T>(rng, width, height);
            Image<T> hold = randomImage<T>(rng, width, height);
            fillSentinel(dst);
            fillRandom(rng, fg, max);
            fillRandom(rng, bg, max);
            fillRandom(rng, hold, max);
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < clearRun + solidRun; ++x) {
                    const Colour& c = x < clearRun ? clear : solid;
                    for (int k = 0; k < 3; ++k) fg.sample(k, x, y) = T(c[k]);
                    // Mattes of 0 change nothing; a few pixels keep theirs, breaking a run.
                    if (!chance(rng, 2)) hold.sample(3, x, y) = 0;
                }
            Ztile tile{};
            tile.dst = dst.view();
            tile.fg = fg.view();
            tile.bg = bg.view();
            tile.hold = hold.view();
            tile.garbage = hold.view();
            if (chance(rng, 50)) tile.bg.a = nullptr;
            e->useHoldOn = chance(rng, 50);
            e->useGarbageOn = chance(rng, 50);
            e->view = std::array<int, 4>{0, 1, 4, 0}[uniform(rng, 0, 3)];
            Image<T> expected = dst;
            ASSERT_EQ(referenceRender<T>(*e, bytes, width, height, tile, expected), 0);
            ASSERT_EQ(zephra::renderWithIsa(*e, isa, bytes, width, height, &tile), 0);
            ASSERT_EQ(dst.store, expected.store)
                << "view " << e->view << ", runs " << clearRun << " and " << solidRun << ", width "
                << width << ", hold " << e->useHoldOn << ", garbage " << e->useGarbageOn
                << ", bg alpha " << (tile.bg.a != nullptr);
        }
    }
}

// Runs of zero hold-out and garbage samples, each matte's runs of its own, starting and ending
// anywhere: chunks where both, one or neither matte is 0 throughout, side by side.
template <typename T>
void checkZeroMatteRuns(zephra::RenderIsa isa, int bytes) {
    Rng rng(9090 + bytes);
    const int max = bytes == 1 ? 255 : 65535;
    for (int trial = 0; trial < 24; ++trial) {
        auto e = makeEngine(rng, max, max, trial % 3, false, true, true);
        const int width = uniform(rng, 130, 400), height = 2;
        Image<T> dst = randomImage<T>(rng, width, height);
        Image<T> fg = randomImage<T>(rng, width, height), bg = randomImage<T>(rng, width, height);
        Image<T> hold = randomImage<T>(rng, width, height);
        Image<T> garbage = randomImage<T>(rng, width, height);
        fillSentinel(dst);
        for (Image<T>* image : {&fg, &bg, &hold, &garbage}) fillRandom(rng, *image, max);
        for (Image<T>* matte : {&hold, &garbage}) {
            const int from = uniform(rng, 0, width / 2), to = uniform(rng, from, width);
            for (int y = 0; y < height; ++y)
                for (int x = from; x < to; ++x) matte->sample(3, x, y) = 0;
        }
        Ztile tile{};
        tile.dst = dst.view();
        tile.fg = fg.view();
        tile.bg = bg.view();
        tile.hold = hold.view();
        tile.garbage = garbage.view();
        e->useHoldOn = 1;
        e->useGarbageOn = chance(rng, 75);
        e->view = std::array<int, 5>{0, 1, 2, 4, 5}[uniform(rng, 0, 4)];
        Image<T> expected = dst;
        ASSERT_EQ(referenceRender<T>(*e, bytes, width, height, tile, expected), 0);
        ASSERT_EQ(zephra::renderWithIsa(*e, isa, bytes, width, height, &tile), 0);
        ASSERT_EQ(dst.store, expected.store)
            << "view " << e->view << ", width " << width << ", garbage " << e->useGarbageOn;
    }
}

TEST_P(RenderChunks, RunsOfZeroMattesMatchReferencePixel) {
    checkZeroMatteRuns<std::uint8_t>(GetParam(), 1);
    if (HasFatalFailure()) return;
    checkZeroMatteRuns<std::uint16_t>(GetParam(), 2);
}

TEST_P(RenderChunks, RunsOfCleanScreenAndSolidForegroundMatchReferencePixel) {
    checkRuns<std::uint8_t>(GetParam(), 1);
    if (HasFatalFailure()) return;
    checkRuns<std::uint16_t>(GetParam(), 2);
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderChunks,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
