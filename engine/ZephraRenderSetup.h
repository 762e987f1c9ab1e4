#pragma once

#include <cstddef>
#include <cstdint>

// Everything the pixel loops read, gathered once per render call: the engine's table
// pointers and per-channel constants, the in-use colour matrices, and the tile's channel
// pointers and steps. The loops copy the whole record into a local before the first pixel,
// so nothing of it is re-read from the engine or the tile record while pixels are written.

namespace zephra {

// An exact division by one divisor fixed for a whole call, as a multiply and a shift: see
// exactDivider in ZephraRenderDivide.h.
struct DivisorMultiplier {
    std::uint32_t multiplier = 1;
    int shift = 0;
};

// View ids the output stage tells apart; every other id passes the foreground through.
enum ViewId : int { kViewComposite = 0, kViewFlat = 1, kViewMatte = 2, kViewStatus = 5 };

struct KeyTables {
    // keyed pixel
    const std::int16_t* fgLut[3];
    const std::int16_t* fgScreenLut[3];
    const std::int16_t* screenLut;
    const std::int16_t* refLut[3];
    const std::int16_t* refScreenLut[3];
    int refFallbackInt[3];
    int refFallbackSum;
    int screenInt[3];
    int replaceInt[3];
    const std::int16_t* holdLut;
    const std::int16_t* garbageLut;
    const std::int16_t (*fgCorrectLut)[16384];  // the engine's three channels, one base
    bool matrix0;                               // foreground matrix in use
    int mat0[3][3];
    const std::int16_t* matteLut;
    // output stage
    int view;
    const std::int16_t* bgLut[3];
    bool matrix1;  // background matrix in use
    int mat1[3][3];
    int backgroundInt[3];
    const std::uint16_t (*outLut)[16384];  // the engine's three channels, one base
    int dstMax;
    int bgMax;                     // at least 1 (see render)
    DivisorMultiplier bgAlphaDiv;  // divides by bgMax
};

// One image of the tile, typed. Absent images and channels stay null and are never read.
template <typename T>
struct Plane {
    T* r = nullptr;
    T* g = nullptr;
    T* b = nullptr;
    T* a = nullptr;
    std::ptrdiff_t pixelStep = 0;
    std::ptrdiff_t rowStep = 0;
};

// Pixels of one row keyed together before the output stage writes them: small enough for
// the chunk to stay in the first-level cache, large enough that the per-chunk choices
// (output view, colour matrices) cost nothing per pixel.
constexpr int kChunk = 64;

// What the keying pass hands to the output stage for up to kChunk pixels, channel by
// channel, and what the mattes say of the chunk as a whole. Large parts of a frame are clean
// screen (matte 0 everywhere) or solid foreground (4096 everywhere); there the views that
// composite leave out what cannot show.
struct KeyedChunk {
    int v[3][kChunk];  // corrected unpremultiplied colour, internal units
    int m[kChunk];     // matte, Q12
    int d[kChunk];     // hold-out share, Q12 (0 without hold-out)
    bool clear;        // every matte is 0; the colour is left out unless the view shows it
    bool opaque;       // every matte is 4096
};

template <typename T>
struct TileSetup {
    Plane<T> dst;
    Plane<const T> bg;
    Plane<const T> fg;
    Plane<const T> hold;
    Plane<const T> garbage;
    Plane<const T> ref;
    bool fgPresent = false;
};

}  // namespace zephra
