// Colour matrices whose entries carry large neutral-weight ratios. Neutral (0.001, 1, 1)
// gives the weights (1, 0.001, 0.001), and with saturation 0 the matrix rows
//   red:          (1225, 2404352, 466944)
//   green, blue:  (1, 2404, 467)
// whose row sums leave the 32-bit range long before the colour does. Worked pixels, end to
// end through render, in 8-bit and 16-bit tiles, both tile layouts and every instruction set.
//
// Both pixels reach the matrix with the colour (0, 16, 16): 16 = trunc(16383 * 0.001 + 0.5),
// the green and blue of the foreground correction with offset 1 (keyed pixel) or of a
// full-scale background sample (background-only pixel). The matrix gives
//   red   (2404352 * 16 + 466944 * 16 + 2048) >> 12 = 11216
//   green (2404 * 16 + 467 * 16 + 2048) >> 12 = 11, blue the same,
// and the linear output tables give trunc(max * 11216 / 16383 + 0.5) for red and
// trunc(max * 11 / (16383 * 0.001) + 0.5) for green and blue:
//   8 bits:  175 and 171;   16 bits: 44866 and 44002.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

#include "render_fixture.h"

namespace {

using namespace render_test;
using Rgba = std::array<int, 4>;

constexpr int kWidth = 3;  // a few identical pixels in one row
constexpr int kUnpremultipliedView = 4;

struct DepthCase {
    int max;
    int bgAlpha;      // alpha sample of the background-only pixel
    Rgba keyed;       // keyed pixel, black foreground
    Rgba background;  // background-only pixel, background (0, max, max, bgAlpha)
};

const DepthCase kDepths[] = {
    {255, 200, {175, 171, 171, 255}, {175, 171, 171, 200}},
    {65535, 51400, {44866, 44002, 44002, 65535}, {44866, 44002, 44002, 51400}},
};

// Linear, every maximum `max`, no reference, hold-out or garbage matte, the weights above.
std::unique_ptr<VRFZephraTable> wideWeightEngine(int max) {
    auto e = std::make_unique<VRFZephraTable>();
    e->setFgMax(max);
    e->setBgMax(max);
    e->setRefMax(max);
    e->setHMatteMax(max);
    e->setGMatteMax(max);
    e->setDstMax(max);
    e->useRef(0);
    e->useHold(0);
    e->useGarbage(0);
    e->setColourspace(0);
    e->setNeutral(0.001f, 1.0f, 1.0f);
    e->setView(kUnpremultipliedView);
    return e;
}

// An image in the host's layout, or one whose pixels hold the channels in another order.
template <typename T>
Image<T> tileImage(bool hostLayout) {
    Rng rng(12);
    return hostLayout ? interleavedImage<T>(kWidth, 1)
                      : shuffledInterleavedImage<T>(rng, kWidth, 1);
}

template <typename T>
void expectRow(Image<T>& dst, const Rgba& expected) {
    for (int x = 0; x < kWidth; ++x)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(int(dst.sample(c, x, 0)), expected[c]) << "x " << x << " channel " << c;
}

class RenderWideMatrix : public testing::TestWithParam<zephra::RenderIsa> {};

template <typename T>
void checkDepth(zephra::RenderIsa isa, const DepthCase& d) {
    for (bool hostLayout : {true, false}) {
        SCOPED_TRACE(hostLayout ? "host layout" : "other layout");
        {
            SCOPED_TRACE("keyed pixel, foreground matrix");
            auto e = wideWeightEngine(d.max);
            e->setOffset(0.0f, 1.0f, 1.0f, 0);
            e->setSaturation(0.0f, 0);
            ASSERT_EQ(e->makeLuts(), 0);
            Image<T> fg = tileImage<T>(hostLayout), dst = tileImage<T>(hostLayout);
            fillSentinel(dst);
            Ztile tile{};
            tile.fg = fg.view();
            tile.dst = dst.view();
            ASSERT_EQ(zephra::renderWithIsa(*e, isa, sizeof(T), kWidth, 1, &tile), 0);
            expectRow(dst, d.keyed);
        }
        {
            SCOPED_TRACE("background-only pixel, background matrix");
            auto e = wideWeightEngine(d.max);
            e->setSaturation(0.0f, 1);
            ASSERT_EQ(e->makeLuts(), 0);
            Image<T> bg = tileImage<T>(hostLayout), dst = tileImage<T>(hostLayout);
            fillSentinel(dst);
            for (int x = 0; x < kWidth; ++x) {
                bg.sample(0, x, 0) = 0;
                bg.sample(1, x, 0) = T(d.max);
                bg.sample(2, x, 0) = T(d.max);
                bg.sample(3, x, 0) = T(d.bgAlpha);
            }
            Ztile tile{};
            tile.bg = bg.view();
            tile.dst = dst.view();
            ASSERT_EQ(zephra::renderWithIsa(*e, isa, sizeof(T), kWidth, 1, &tile), 0);
            expectRow(dst, d.background);
        }
    }
}

TEST_P(RenderWideMatrix, WorkedPixelsIn8BitTiles) {
    checkDepth<std::uint8_t>(GetParam(), kDepths[0]);
}

TEST_P(RenderWideMatrix, WorkedPixelsIn16BitTiles) {
    checkDepth<std::uint16_t>(GetParam(), kDepths[1]);
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderWideMatrix,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
