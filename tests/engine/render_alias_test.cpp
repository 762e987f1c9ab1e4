// dst sharing its memory with fg or with bg, channel for channel with equal steps, gives
// the same samples as separate buffers.

#include <gtest/gtest.h>

#include <cstdint>

#include "render_fixture.h"

namespace {

using namespace render_test;

enum class Shared { Foreground, Background };

template <typename T>
void checkAliasing(Rng& rng, VRFZephraTable& e, zephra::RenderIsa isa, int bytes, Shared shared) {
    // Some rows span several of the renderer's chunks: the in-place result must not depend
    // on how far the keying runs ahead of the writes.
    const int width = chance(rng, 25) ? uniform(rng, 60, 150) : uniform(rng, 1, 10);
    const int height = uniform(rng, 1, 4);
    Image<T> fg = randomImage<T>(rng, width, height), bg = randomImage<T>(rng, width, height);
    Image<T> hold = randomImage<T>(rng, width, height), ref = randomImage<T>(rng, width, height);
    fillRandom(rng, fg, e.fgMax);
    fillRandom(rng, bg, e.bgMax);
    fillRandom(rng, hold, e.hMatteMax);
    fillRandom(rng, ref, e.refMax);
    const bool noForeground = shared == Shared::Background && chance(rng, 20);

    auto tileFor = [&](Image<T>& f, Image<T>& b, Image<T>& d) {
        Ztile t{};
        t.fg = f.view();
        if (noForeground) t.fg = TileImage{};
        t.bg = b.view();
        t.hold = hold.view();
        t.garbage = hold.view();
        t.garbage.a = t.hold.r;
        t.ref = ref.view();
        t.dst = d.view();
        return t;
    };
    // Separate: dst has the shared image's layout and contents but its own storage.
    Image<T> fgSeparate = fg, bgSeparate = bg;
    Image<T> dstSeparate = shared == Shared::Foreground ? fg : bg;
    Ztile separate = tileFor(fgSeparate, bgSeparate, dstSeparate);
    ASSERT_EQ(zephra::renderWithIsa(e, isa, bytes, width, height, &separate), 0);

    Image<T> fgShared = fg, bgShared = bg;
    Image<T>& target = shared == Shared::Foreground ? fgShared : bgShared;
    Ztile inPlace = tileFor(fgShared, bgShared, target);
    ASSERT_EQ(zephra::renderWithIsa(e, isa, bytes, width, height, &inPlace), 0);
    EXPECT_EQ(target.store, dstSeparate.store)
        << "view " << e.view << (shared == Shared::Foreground ? ", over fg" : ", over bg");
}

class RenderAliasing : public testing::TestWithParam<zephra::RenderIsa> {};

TEST_P(RenderAliasing, InPlaceOverForegroundOrBackgroundEqualsSeparateBuffers) {
    const zephra::RenderIsa isa = GetParam();
    Rng rng(99);
    for (int bytes : {1, 2}) {
        for (bool useRef : {false, true}) {
            auto e = makeEngine(rng, bytes == 1 ? 255 : 65535, bytes == 1 ? 255 : 65535, 1, useRef,
                                true, true);
            if (useRef) randomTables(rng, *e);
            for (int view : {0, 1, 2, 4, 5}) {
                e->view = view;
                for (int trial = 0; trial < 6; ++trial) {
                    e->useHoldOn = chance(rng, 50);
                    e->useGarbageOn = chance(rng, 50);
                    for (Shared shared : {Shared::Foreground, Shared::Background}) {
                        if (bytes == 1)
                            checkAliasing<std::uint8_t>(rng, *e, isa, bytes, shared);
                        else
                            checkAliasing<std::uint16_t>(rng, *e, isa, bytes, shared);
                        if (HasFatalFailure()) return;
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderAliasing,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
