// Several threads keying disjoint bands of one image with one engine write the same bytes
// as one thread keying the whole image.

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "render_fixture.h"

namespace {

using namespace render_test;

// The tile of rows y0 onward of an image: every channel pointer moved down y0 rows.
template <typename T>
TileImage bandOf(TileImage whole, int y0) {
    const std::ptrdiff_t shift = std::ptrdiff_t(y0) * whole.rowStep;
    void** channels[4] = {&whole.r, &whole.g, &whole.b, &whole.a};
    for (void** p : channels)
        if (*p) *p = static_cast<T*>(*p) + shift;
    return whole;
}

template <typename T>
void checkBands(zephra::RenderIsa isa, int bytes, int view) {
    Rng rng(4242 + view);
    const int max = bytes == 1 ? 255 : 65535;
    auto e = makeEngine(rng, max, max, 2, false, true, true);
    e->view = view;
    const int width = 160, height = 96, threads = 4;
    Image<T> fg = interleavedImage<T>(width, height), bg = fg, mattes = fg;
    fillRandom(rng, fg, max);
    fillRandom(rng, bg, max);
    fillRandom(rng, mattes, max);
    Ztile whole{};
    whole.bg = bg.view();
    whole.hold = mattes.view();
    whole.garbage = mattes.view();
    whole.garbage.a = whole.hold.g;

    // One thread, in place over a copy of the foreground.
    Image<T> single = fg;
    whole.fg = whole.dst = single.view();
    ASSERT_EQ(zephra::renderWithIsa(*e, isa, bytes, width, height, &whole), 0);

    // Bands of unequal heights on several threads, in place over another copy.
    Image<T> banded = fg;
    whole.fg = whole.dst = banded.view();
    const int cuts[threads + 1] = {0, 7, 40, 41, height};
    std::vector<int> results(threads, -1);
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            Ztile t = whole;
            for (TileImage* im : {&t.dst, &t.fg, &t.bg, &t.hold, &t.garbage})
                *im = bandOf<T>(*im, cuts[i]);
            results[i] = zephra::renderWithIsa(*e, isa, bytes, width, cuts[i + 1] - cuts[i], &t);
        });
    }
    for (std::thread& t : pool) t.join();
    for (int r : results) EXPECT_EQ(r, 0);
    EXPECT_EQ(banded.store, single.store) << "view " << view << ", " << bytes << " bytes";
}

class RenderThreads : public testing::TestWithParam<zephra::RenderIsa> {};

TEST_P(RenderThreads, DisjointBandsOnSeveralThreadsEqualOneThread) {
    for (int view : {0, 2, 4, 5}) {
        checkBands<std::uint8_t>(GetParam(), 1, view);
        checkBands<std::uint16_t>(GetParam(), 2, view);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderThreads,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
