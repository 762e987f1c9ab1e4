#include <cstdint>

#include "engine/VRFZephraTable.h"
#include "engine/ZephraRenderDispatch.h"
#include "engine/ZephraRenderSetup.h"

// The tile renderer's entry: checks the tile against the engine's switches, gathers the
// tables and constants once, and runs the one loop compiled for this call's combination.

namespace {

using zephra::KeyTables;
using zephra::LoopChoice;
using zephra::Plane;
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

void copyMatrix(const int (&from)[3][3], int (&to)[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) to[i][j] = from[i][j];
}

}  // namespace

int VRFZephraTable::render(int bytes, int width, int height, const Ztile* tile) const {
    if (staleAll) return 0;
    // A missing record cannot describe an output: refused like an incomplete dst.
    if (!tile) return 1;

    const bool dstPresent = hasColour(tile->dst) && tile->dst.a;
    const bool bgPresent = hasColour(tile->bg);
    const bool fgPresent = hasColour(tile->fg);
    const bool refOn = useRefOn && hasColour(tile->ref);
    const bool holdOn = useHoldOn && tile->hold.a;
    const bool garbageOn = useGarbageOn && tile->garbage.a;

    if (!dstPresent) return 1;
    if (view == zephra::kViewComposite ? !bgPresent : !(bgPresent || fgPresent)) return 1;
    if (useRefOn && !refOn) return 1;
    // In the composite view the output alpha is built from the background alpha: without it
    // the composite writes colour only.
    const bool alphaOut = !(view == zephra::kViewComposite && !tile->bg.a);
    if (bytes != 1 && bytes != 2) return 1;

    const LoopChoice choice{refOn, holdOn, garbageOn, alphaOut};

    // Every table the chosen loop reads must exist. makeLuts guarantees this whenever
    // staleAll is clear; a table pointer cleared behind the engine's back is refused rather
    // than followed.
    bool tablesPresent = true;
    for (int c = 0; c < 3; ++c) {
        if (bgPresent && !bgLut[c]) tablesPresent = false;
        if (fgPresent && (!fgLut[c] || !fgScreenLut[c])) tablesPresent = false;
        if (fgPresent && refOn && (!refLut[c] || !refScreenLut[c])) tablesPresent = false;
    }
    if (fgPresent && holdOn && !holdLut) tablesPresent = false;
    if (fgPresent && garbageOn && !garbageLut) tablesPresent = false;
    if (!tablesPresent) return 1;

    if (width <= 0 || height <= 0) return 0;

    KeyTables t{};
    for (int c = 0; c < 3; ++c) {
        t.fgLut[c] = fgLut[c];
        t.fgScreenLut[c] = fgScreenLut[c];
        t.refLut[c] = refLut[c];
        t.refScreenLut[c] = refScreenLut[c];
        t.refFallbackInt[c] = refFallbackInt[c];
        t.screenInt[c] = screenInt[c];
        t.replaceInt[c] = replaceInt[c];
        t.bgLut[c] = bgLut[c];
        t.backgroundInt[c] = backgroundInt[c];
    }
    t.fgCorrectLut = fgCorrectLut;
    t.outLut = outLut;
    t.screenLut = screenLut;
    t.refFallbackSum = refFallbackSum;
    t.holdLut = holdLut;
    t.garbageLut = garbageLut;
    t.matteLut = matteLut;
    t.view = view;
    // A set whose saturation is exactly 1.0 has its matrix off.
    t.matrix0 = saturation[0] != 1.0f;
    t.matrix1 = saturation[1] != 1.0f;
    if (t.matrix0) copyMatrix(satMatrix[0], t.mat0);
    if (t.matrix1) copyMatrix(satMatrix[1], t.mat1);
    t.dstMax = dstMax;
    // Background samples never exceed bgMax, so with a maximum below 1 only the sample 0
    // can occur, which divides nothing; 1 keeps the divisor defined.
    t.bgMax = bgMax < 1 ? 1 : bgMax;
    t.bgAlphaDiv = zephra::ExactDivider(std::uint32_t(t.bgMax));

    if (bytes == 1) {
        zephra::renderTile8(t, tileOf<std::uint8_t>(*tile, fgPresent, bgPresent, choice), choice,
                            width, height);
    } else {
        zephra::renderTile16(t, tileOf<std::uint16_t>(*tile, fgPresent, bgPresent, choice), choice,
                             width, height);
    }
    return 0;
}
