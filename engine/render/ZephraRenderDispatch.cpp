#include <cstdint>

#include "engine/VRFZephraTable.h"
#include "engine/render/ZephraRenderDispatch.h"
#include "engine/render/ZephraRenderDivide.h"
#include "engine/render/ZephraRenderSetup.h"
#include "engine/render/ZephraRenderStaged.h"
#include "engine/tables/ZephraInputTables.h"

// The tile renderer's entry: checks the tile against the engine's switches, gathers the
// tables and constants once, and runs the one row loop compiled for this call's combination,
// in the processor's best instruction set.

namespace {

using zephra::KeyTables;
using zephra::LoopChoice;
using zephra::Plane;
using zephra::RenderIsa;
using zephra::TileSetup;

bool hasColour(const TileImage& image) { return image.r && image.g && image.b; }

template <typename T>
Plane<T> planeOf(const TileImage& image) {
    Plane<T> plane;
    plane.r = static_cast<T*>(image.r);
    plane.g = static_cast<T*>(image.g);
    plane.b = static_cast<T*>(image.b);
    plane.a = static_cast<T*>(image.a);
    plane.pixelStep = image.pixelStep;
    plane.rowStep = image.rowStep;
    return plane;
}

// Only the images that take part are copied; the others stay null and are never touched.
template <typename T>
TileSetup<T> tileOf(const Ztile& tile, bool fgPresent, bool bgPresent, LoopChoice choice) {
    TileSetup<T> setup;
    setup.dst = planeOf<T>(tile.dst);
    if (bgPresent) setup.bg = planeOf<const T>(tile.bg);
    setup.fgPresent = fgPresent;
    if (fgPresent) {
        setup.fg = planeOf<const T>(tile.fg);
        if (choice.ref) setup.ref = planeOf<const T>(tile.ref);
        if (choice.hold) setup.hold = planeOf<const T>(tile.hold);
        if (choice.garbage) setup.garbage = planeOf<const T>(tile.garbage);
    }
    return setup;
}

// The call's row loop in the chosen instruction set.
template <typename T>
void runInIsa(bool avx2, const KeyTables& t, const TileSetup<T>& tile, LoopChoice choice, int width,
              int height) {
#if ZEPHRA_HAVE_AVX2_LOOPS
    if (avx2) return zephra::avx2::runChosenLoop(t, tile, choice, width, height);
#endif
    static_cast<void>(avx2);
    zephra::portable::runChosenLoop(t, tile, choice, width, height);
}

// Whether a 16-bit call reads a table of 256 entries (see ZephraInputTables.h), and the largest
// sample each input's tables take.
bool narrowTablesRead(const VRFZephraTable& e, bool fgPresent, bool bgRead, LoopChoice choice,
                      zephra::StagingLimits& limits) {
    using zephra::lastTableIndex;
    limits = {lastTableIndex(e.fgMax), lastTableIndex(e.bgMax), lastTableIndex(e.refMax),
              lastTableIndex(e.hMatteMax), lastTableIndex(e.gMatteMax)};
    const auto narrow = [](int last) { return last < zephra::kLargest16BitSample; };
    if (bgRead && narrow(limits.bg)) return true;
    if (!fgPresent) return false;
    return narrow(limits.fg) || (choice.ref && narrow(limits.ref)) ||
           (choice.hold && narrow(limits.hold)) || (choice.garbage && narrow(limits.garbage));
}

// The matrix and the width of its row sums, decided from the very entries the loops use.
void copyMatrix(const int (&from)[3][3], zephra::ColourMatrix& to) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) to.row[i][j] = from[i][j];
    to.narrowSums = zephra::narrowSumsSuffice(to.row);
}

}  // namespace

int VRFZephraTable::render(int bytes, int width, int height, const Ztile* tile) const {
    return zephra::renderWithIsa(*this, zephra::preferredRenderIsa(), bytes, width, height, tile);
}

int zephra::renderWithIsa(const VRFZephraTable& e, RenderIsa isa, int bytes, int width, int height,
                          const Ztile* tile) {
    if (e.staleAll) return 0;
    // A missing record cannot describe an output: refused like an incomplete dst.
    if (!tile) return 1;

    const bool dstPresent = hasColour(tile->dst) && tile->dst.a;
    const bool bgPresent = hasColour(tile->bg);
    const bool fgPresent = hasColour(tile->fg);
    const bool refOn = e.useRefOn && hasColour(tile->ref);
    const bool holdOn = e.useHoldOn && tile->hold.a;
    const bool garbageOn = e.useGarbageOn && tile->garbage.a;

    if (!dstPresent) return 1;
    if (e.view == zephra::kViewComposite ? !bgPresent : !(bgPresent || fgPresent)) return 1;
    if (e.useRefOn && !refOn) return 1;
    // In the composite view the output alpha is built from the background alpha: without it
    // the composite writes colour only.
    const bool alphaOut = !(e.view == zephra::kViewComposite && !tile->bg.a);
    if (bytes != 1 && bytes != 2) return 1;

    const LoopChoice choice{refOn, holdOn, garbageOn, alphaOut};

    // Every table the chosen loop reads must exist. makeLuts guarantees this whenever
    // staleAll is clear; a table pointer cleared behind the engine's back is refused rather
    // than followed.
    bool tablesPresent = true;
    for (int c = 0; c < 3; ++c) {
        if (bgPresent && !e.bgLut[c]) tablesPresent = false;
        if (fgPresent && (!e.fgLut[c] || !e.fgScreenLut[c] || !e.fgColourPairs[c]))
            tablesPresent = false;
        if (fgPresent && refOn && (!e.refLut[c] || !e.refScreenLut[c])) tablesPresent = false;
    }
    if (fgPresent && holdOn && !e.holdLut) tablesPresent = false;
    if (fgPresent && garbageOn && !e.garbageLut) tablesPresent = false;
    if (!tablesPresent) return 1;

    if (width <= 0 || height <= 0) return 0;

    KeyTables t{};
    for (int c = 0; c < 3; ++c) {
        t.fgColourPairs[c] = e.fgColourPairs[c];
        t.refLut[c] = e.refLut[c];
        t.refScreenLut[c] = e.refScreenLut[c];
        t.refFallbackInt[c] = e.refFallbackInt[c];
        t.screenInt[c] = e.screenInt[c];
        t.replaceInt[c] = e.replaceInt[c];
        t.bgLut[c] = e.bgLut[c];
        t.backgroundInt[c] = e.backgroundInt[c];
    }
    t.fgCorrectLut = e.fgCorrectLut;
    t.outLut = e.outLut;
    t.screenLut = e.screenLut;
    t.refFallbackSum = e.refFallbackSum;
    t.holdLut = e.holdLut;
    t.garbageLut = e.garbageLut;
    t.matteLut = e.matteLut;
    t.view = e.view;
    // A set whose saturation is exactly 1.0 has its matrix off.
    t.matrix0 = e.saturation[0] != 1.0f;
    t.matrix1 = e.saturation[1] != 1.0f;
    if (t.matrix0) copyMatrix(e.satMatrix[0], t.mat0);
    if (t.matrix1) copyMatrix(e.satMatrix[1], t.mat1);
    t.dstMax = e.dstMax;
    // Background samples never exceed bgMax, so with a maximum below 1 only the sample 0
    // can occur, which divides nothing; 1 keeps the divisor defined.
    t.bgMax = e.bgMax < 1 ? 1 : e.bgMax;
    t.bgAlphaDiv = zephra::exactDivider(std::uint32_t(t.bgMax));

    // The caller names one of availableRenderIsas(); anything else gets the portable loops,
    // which every processor runs.
    const bool avx2 = isa == RenderIsa::avx2 && preferredRenderIsa() == RenderIsa::avx2;
    if (bytes == 1) {
        runInIsa(avx2, t, tileOf<std::uint8_t>(*tile, fgPresent, bgPresent, choice), choice, width,
                 height);
        return 0;
    }
    const TileSetup<std::uint16_t> setup =
        tileOf<std::uint16_t>(*tile, fgPresent, bgPresent, choice);
    // The loops read the background in the composite and in rows without a foreground.
    const bool bgRead = bgPresent && (!fgPresent || e.view == zephra::kViewComposite);
    zephra::StagingLimits limits;
    if (narrowTablesRead(e, fgPresent, bgRead, choice, limits)) {
        zephra::renderStaged(setup, choice.ref, choice.hold, choice.garbage, bgRead, limits, width,
                             height, [&](const TileSetup<std::uint16_t>& piece, int w, int h) {
                                 runInIsa(avx2, t, piece, choice, w, h);
                             });
        return 0;
    }
    runInIsa(avx2, t, setup, choice, width, height);
    return 0;
}
