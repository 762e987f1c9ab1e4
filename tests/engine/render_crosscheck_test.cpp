// The compiled pixel loops against the plain reference pixel, on random tiles: every loop
// combination, every view, the three colour spaces, realistic and adversarial tables,
// interleaved and planar layouts with random steps, renders in place over an input, and rows
// with long runs that let the loops skip work. Once per instruction set the processor runs.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>

#include "render_fixture.h"

namespace {

using namespace render_test;
using zephra::RenderIsa;

TEST(RenderDispatch, PortableAlwaysOfferedAndPreferredLast) {
    const std::vector<RenderIsa> sets = zephra::availableRenderIsas();
    ASSERT_FALSE(sets.empty());
    EXPECT_EQ(sets.front(), RenderIsa::portable);
    EXPECT_EQ(sets.back(), zephra::preferredRenderIsa());
    std::set<std::string> names;
    for (RenderIsa isa : sets) names.insert(zephra::renderIsaName(isa));
    EXPECT_EQ(names.size(), sets.size()) << "every set has a name of its own";
}

// 32-bit builds sweep less (see inSweep).
constexpr bool kFullSweep = sizeof(void*) != 4;

struct Coverage {
    std::set<std::tuple<int, bool, bool, bool, bool>> loops;  // bytes, ref, hold, garbage, alpha
    std::set<int> views;
    int backgroundOnly = 0;
    int inPlace = 0;
};

template <typename T>
void checkRandomTile(Rng& rng, VRFZephraTable& e, RenderIsa isa, int holdMode, int garbageMode,
                     bool bgAlpha, Coverage& coverage, const char* what) {
    // Mostly narrow tiles; some rows long enough to span several of the renderer's chunks
    // and end in a partial one.
    const int width =
        chance(rng, kFullSweep ? 15 : 5) ? uniform(rng, 60, 200) : uniform(rng, 1, 12);
    RandomTile<T> t(rng, e, width, uniform(rng, 1, 4));
    Ztile& tile = t.tile;
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

    t.expectReference(e, isa, t.dst, what);
    // dst sharing its memory with fg or bg, channel for channel, keys as a separate buffer
    // would: the keying must not run ahead of the writes it reads behind.
    if (!testing::Test::HasFatalFailure() && chance(rng, 20)) {
        ++coverage.inPlace;
        t.expectReference(e, isa, chance(rng, 50) ? t.fg : t.bg, std::string(what) + ", in place");
    }

    if (fgAbsent) {
        ++coverage.backgroundOnly;
    } else {
        coverage.loops.insert({int(sizeof(T)), e.useRefOn != 0, e.useHoldOn && tile.hold.a,
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

class RenderCrossCheck : public testing::TestWithParam<RenderIsa> {};

// One engine per sample width x colour space x reference switch, with its own tables and
// with random ones; on each, every view x hold-out state x garbage state x background alpha.
TEST_P(RenderCrossCheck, LoopsMatchReferencePixelOnRandomTiles) {
    const RenderIsa isa = GetParam();
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
                                        checkRandomTile<std::uint8_t>(rng, *e, isa, holdMode,
                                                                      garbageMode, bgAlpha,
                                                                      coverage, what);
                                    else
                                        checkRandomTile<std::uint16_t>(rng, *e, isa, holdMode,
                                                                       garbageMode, bgAlpha,
                                                                       coverage, what);
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
    EXPECT_GT(coverage.inPlace, kFullSweep ? 100 : 30);
}

// ---- runs that let the composites skip work ----

using Colour = std::array<int, 3>;

// The matte the engine gives one foreground colour, in output units (matte view, 1x1 tile).
template <typename T>
int matteOf(VRFZephraTable& e, const Colour& c) {
    Image<T> fg = interleavedImage<T>(1, 1), out = fg;
    for (int k = 0; k < 3; ++k) fg.sample(k, 0, 0) = T(c[k]);
    Ztile tile{};
    tile.fg = fg.view();
    tile.dst = out.view();
    const int view = e.view, hold = e.useHoldOn, garbage = e.useGarbageOn;
    e.view = 2;
    e.useHoldOn = e.useGarbageOn = 0;
    EXPECT_EQ(e.render(int(sizeof(T)), 1, 1, &tile), 0);
    e.view = view;
    e.useHoldOn = hold;
    e.useGarbageOn = garbage;
    return out.sample(3, 0, 0);
}

// Among a spread of colours, one the engine keys fully away and one it keeps solid.
template <typename T>
bool findClearAndSolid(VRFZephraTable& e, Colour& clear, Colour& solid) {
    const int max = e.fgMax;
    bool foundClear = false, foundSolid = false;
    for (int r = 0; r <= 4 && !(foundClear && foundSolid); ++r)
        for (int g = 0; g <= 4; ++g)
            for (int b = 0; b <= 4; ++b) {
                const Colour c{max * r / 4, max * g / 4, max * b / 4};
                const int m = matteOf<T>(e, c);
                if (m == 0 && !foundClear) clear = c, foundClear = true;
                if (m == e.dstMax && !foundSolid) solid = c, foundSolid = true;
            }
    return foundClear && foundSolid;
}

// Runs of clean screen (matte 0) then solid foreground (matte 1.0), long enough to cover whole
// chunks at varying offsets, then noise: the composites leave out what cannot show in such
// stretches and must still write exactly what the reference pixel gives.
template <typename T>
void checkCleanAndSolidRuns(RenderIsa isa) {
    Rng rng(8080 + sizeof(T));
    const int max = sizeof(T) == 1 ? 255 : 65535;
    for (int colourspace : {0, 1, 2}) {
        auto e = makeEngine(rng, max, max, colourspace, false, true, true);
        Colour clear{}, solid{};
        ASSERT_TRUE(findClearAndSolid<T>(*e, clear, solid)) << "colour space " << colourspace;
        for (int trial = 0; trial < 12; ++trial) {
            const int clearRun = uniform(rng, 60, 200), solidRun = uniform(rng, 60, 200);
            RandomTile<T> t(rng, *e, clearRun + solidRun + uniform(rng, 0, 80), 2);
            for (int y = 0; y < t.height; ++y)
                for (int x = 0; x < clearRun + solidRun; ++x) {
                    const Colour& c = x < clearRun ? clear : solid;
                    for (int k = 0; k < 3; ++k) t.fg.sample(k, x, y) = T(c[k]);
                    // Mattes of 0 change nothing; a few pixels keep theirs, breaking a run.
                    if (!chance(rng, 2)) t.hold.sample(3, x, y) = t.garbage.sample(3, x, y) = 0;
                }
            if (chance(rng, 50)) t.tile.bg.a = nullptr;
            e->useHoldOn = chance(rng, 50);
            e->useGarbageOn = chance(rng, 50);
            e->view = std::array<int, 4>{0, 1, 4, 0}[uniform(rng, 0, 3)];
            t.expectReference(
                *e, isa, t.dst,
                "runs " + std::to_string(clearRun) + " and " + std::to_string(solidRun));
            if (testing::Test::HasFatalFailure()) return;
        }
    }
}

// Runs of one hold-out and one garbage sample, 0 or another, each matte's runs of its own,
// starting and ending anywhere: chunks where both, one or neither matte keeps one value
// throughout, side by side.
template <typename T>
void checkConstantMatteRuns(RenderIsa isa) {
    Rng rng(9090 + sizeof(T));
    const int max = sizeof(T) == 1 ? 255 : 65535;
    // Fewer trials in 32-bit builds, which run under emulation (see inSweep).
    for (int trial = 0; trial < (kFullSweep ? 24 : 9); ++trial) {
        auto e = makeEngine(rng, max, max, trial % 3, false, true, true);
        // Random tables too: there neighbouring matte samples rarely share an entry.
        if (trial % 2 == 1) randomTables(rng, *e);
        RandomTile<T> t(rng, *e, uniform(rng, 130, 400), 2);
        for (Image<T>* matte : {&t.hold, &t.garbage}) {
            const int from = uniform(rng, 0, t.width / 2), to = uniform(rng, from, t.width);
            const T value = chance(rng, 50) ? T(0) : T(uniform(rng, 1, max));
            for (int y = 0; y < t.height; ++y)
                for (int x = from; x < to; ++x) matte->sample(3, x, y) = value;
        }
        e->useHoldOn = 1;
        e->useGarbageOn = chance(rng, 75);
        e->view = std::array<int, 5>{0, 1, 2, 4, 5}[uniform(rng, 0, 4)];
        t.expectReference(*e, isa, t.dst, "constant matte runs");
        if (testing::Test::HasFatalFailure()) return;
    }
}

TEST_P(RenderCrossCheck, RunsOfConstantMattesMatchReferencePixel) {
    checkConstantMatteRuns<std::uint8_t>(GetParam());
    if (HasFatalFailure()) return;
    checkConstantMatteRuns<std::uint16_t>(GetParam());
}

TEST_P(RenderCrossCheck, RunsOfCleanScreenAndSolidForegroundMatchReferencePixel) {
    checkCleanAndSolidRuns<std::uint8_t>(GetParam());
    if (HasFatalFailure()) return;
    checkCleanAndSolidRuns<std::uint16_t>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(EveryInstructionSet, RenderCrossCheck,
                         testing::ValuesIn(zephra::availableRenderIsas()), isaTestName);

}  // namespace
