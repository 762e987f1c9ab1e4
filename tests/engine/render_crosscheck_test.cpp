// The compiled pixel loops against the plain reference pixel, on random tiles: every loop
// combination, every view, the three colour spaces, realistic and adversarial tables,
// interleaved and planar layouts with random steps. dst starts as a sentinel, so a sample
// written that should not be, or not written that should be, shows up as a difference.

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <tuple>

#include "render_fixture.h"

namespace {

using namespace render_test;

// 32-bit builds sweep less (see inSweep).
constexpr bool kFullSweep = sizeof(void*) != 4;

struct Coverage {
    std::set<std::tuple<int, bool, bool, bool, bool>> loops;  // bytes, ref, hold, garbage, alpha
    std::set<int> views;
    int backgroundOnly = 0;
};

template <typename T>
void checkRandomTile(Rng& rng, VRFZephraTable& e, zephra::RenderIsa isa, int bytes, int holdMode,
                     int garbageMode, bool bgAlpha, Coverage& coverage, const char* what) {
    // Mostly narrow tiles; some rows long enough to span several of the renderer's chunks
    // and end in a partial one.
    const int width =
        chance(rng, kFullSweep ? 15 : 5) ? uniform(rng, 60, 200) : uniform(rng, 1, 12);
    const int height = uniform(rng, 1, 4);
    Image<T> dst = randomImage<T>(rng, width, height);
    Image<T> fg = randomImage<T>(rng, width, height), bg = randomImage<T>(rng, width, height);
    Image<T> ref = randomImage<T>(rng, width, height);
    Image<T> hold = randomImage<T>(rng, width, height),
             garbage = randomImage<T>(rng, width, height);
    fillSentinel(dst);
    fillRandom(rng, fg, e.fgMax);
    fillRandom(rng, bg, e.bgMax);
    fillRandom(rng, ref, e.refMax);
    fillRandom(rng, hold, e.hMatteMax);
    fillRandom(rng, garbage, e.gMatteMax);

    Ztile tile{};
    tile.dst = dst.view();
    tile.fg = fg.view();
    tile.bg = bg.view();
    tile.ref = ref.view();
    tile.hold = hold.view();
    tile.garbage = garbage.view();
    // Alphas of inputs that are never read: a null pointer must not matter.
    if (chance(rng, 50)) tile.fg.a = nullptr;
    if (chance(rng, 50)) tile.ref.a = nullptr;
    if (!bgAlpha) tile.bg.a = nullptr;
    // Hold-out and garbage: switch and pointer on; switch on, pointer null; switch off.
    e.useHoldOn = holdMode != 2;
    if (holdMode == 1) tile.hold.a = nullptr;
    e.useGarbageOn = garbageMode != 2;
    if (garbageMode == 1) tile.garbage.a = nullptr;
    if (!e.useRefOn && chance(rng, 50)) tile.ref = TileImage{};  // ignored either way
    const bool fgAbsent = chance(rng, 8);
    if (fgAbsent) tile.fg.g = nullptr;
    if (e.view != 0 && !fgAbsent && chance(rng, 30)) tile.bg = TileImage{};

    Image<T> expected = dst;
    const int expectedResult = referenceRender<T>(e, bytes, width, height, tile, expected);
    const int result = zephra::renderWithIsa(e, isa, bytes, width, height, &tile);
    ASSERT_EQ(result, expectedResult) << what;
    ASSERT_EQ(result, 0) << what;
    for (std::size_t i = 0; i < expected.store.size(); ++i)
        ASSERT_EQ(int(dst.store[i]), int(expected.store[i]))
            << what << ": view " << e.view << ", storage index " << i << ", tile " << width << "x"
            << height << ", ref " << e.useRefOn << ", hold mode " << holdMode << ", garbage mode "
            << garbageMode << ", bg alpha " << bgAlpha << ", fg absent " << fgAbsent;

    if (fgAbsent) {
        ++coverage.backgroundOnly;
    } else {
        coverage.loops.insert({bytes, e.useRefOn != 0, e.useHoldOn && tile.hold.a,
                               e.useGarbageOn && tile.garbage.a,
                               !(e.view == 0 && tile.bg.a == nullptr)});
    }
    coverage.views.insert(e.view);
}

// 32-bit builds run their tests under user-mode emulation, many times slower. There each
// engine keeps, per view, hold-out and garbage both on and both off (switch off, and
// switch on with a null pointer); the mixed pairs always in the composite (switch off for
// the one that is off) and one in four elsewhere; the background alpha both ways in the
// composite (it decides the alpha output there) and drawn at random elsewhere. Every loop
// combination, view and colour space is still reached (the coverage checks below hold in
// both builds); 64-bit builds run the whole sweep.
bool inSweep(int view, int holdMode, int garbageMode, bool bgAlpha, Rng& rng) {
    if (kFullSweep) return true;
    const bool composite = view == 0;
    if (!composite && bgAlpha != chance(rng, 50)) return false;
    const int on = (holdMode == 0) + (garbageMode == 0);
    if (on == 2) return true;
    if (on == 0) return holdMode == garbageMode;
    if (composite && holdMode + garbageMode == 2) return true;
    return chance(rng, 25);
}

// One engine per sample width x colour space x reference switch, with its own tables and
// with random ones; on each, every view x hold-out state x garbage state x background
// alpha. Once per instruction set.
class RenderCrossCheck : public testing::TestWithParam<zephra::RenderIsa> {};

TEST_P(RenderCrossCheck, LoopsMatchReferencePixelOnRandomTiles) {
    const zephra::RenderIsa isa = GetParam();
    Rng rng(20240611);
    Coverage coverage;
    for (int bytes : {1, 2}) {
        for (int colourspace : {0, 1, 2}) {
            for (bool useRef : {false, true}) {
                const int sampleMax = bytes == 1
                                          ? (chance(rng, 50) ? 255 : uniform(rng, 60, 255))
                                          : (chance(rng, 50) ? 65535 : uniform(rng, 900, 65535));
                // 8-bit tiles also meet an output maximum above 255 (stored as its low byte).
                const int dstMax = bytes == 1
                                       ? (chance(rng, 15) ? 1023 : uniform(rng, 100, 255))
                                       : (chance(rng, 50) ? 65535 : uniform(rng, 900, 65535));
                auto e = makeEngine(rng, sampleMax, dstMax, colourspace, useRef, true, true);
                ASSERT_EQ(e->staleAll, 0);
                // The engine's own tables first, then the same engine with every table
                // overwritten (building engines dominates the run time).
                for (bool randomised : {false, true}) {
                    if (randomised) randomTables(rng, *e);
                    const char* what = randomised ? "random tables" : "tables from makeLuts";
                    const int unknownViews[] = {3, 6, -1, 1000};
                    for (int view : {0, 1, 2, 3, 4, 5, -100}) {
                        e->view = view == -100 ? unknownViews[uniform(rng, 0, 3)] : view;
                        for (int holdMode = 0; holdMode < 3; ++holdMode)
                            for (int garbageMode = 0; garbageMode < 3; ++garbageMode)
                                for (bool bgAlpha : {true, false}) {
                                    if (!inSweep(view, holdMode, garbageMode, bgAlpha, rng))
                                        continue;
                                    if (bytes == 1)
                                        checkRandomTile<std::uint8_t>(rng, *e, isa, bytes, holdMode,
                                                                      garbageMode, bgAlpha,
                                                                      coverage, what);
                                    else
                                        checkRandomTile<std::uint16_t>(rng, *e, isa, bytes,
                                                                       holdMode, garbageMode,
                                                                       bgAlpha, coverage, what);
                                    if (HasFatalFailure()) return;
                                }
                    }
                }
            }
        }
    }
    EXPECT_EQ(coverage.loops.size(), 32u) << "every loop combination must have been run";
    EXPECT_GE(coverage.views.size(), 7u);
    EXPECT_GT(coverage.backgroundOnly, kFullSweep ? 50 : 20);
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderCrossCheck,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
