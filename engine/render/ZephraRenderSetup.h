#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

#include "engine/tables/ZephraColourPairs.h"

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

// A Q12 colour matrix as the loops apply it: row i of the product is the sum over j of
// row[i][j] times input j, plus 2048 for rounding, shifted right 12.
//
// The entries carry the ratios of the neutral weights and reach about +-5 * 10^6, so a row
// sum generally needs 64 bits. Most matrices are far smaller, and for them 32-bit sums are
// exact and much cheaper, in the vector units above all; narrowSums says which one a call
// uses (see narrowSumsSuffice).
struct ColourMatrix {
    int row[3][3];
    bool narrowSums;  // every row sum, and every partial sum, fits a 32-bit int
};

// Largest sum of a row's absolute entries for which 32-bit row sums are exact. A matrix
// multiplies colours taken from 16-bit tables (fgCorrectLut, bgLut), so every input c has
// |c| <= 32768 whatever the tables hold. A row with |r0| + |r1| + |r2| <= L then keeps every
// product, every partial sum and the rounded total within L * 32768 + 2048; with
// L = (2^31 - 1 - 2048) / 32768 = 65535 that is at most 2147452928 < 2^31 - 1.
constexpr std::int64_t kMatrixInputMagnitude = 32768;  // of any 16-bit table entry
constexpr std::int64_t kMatrixRounding = 2048;         // added to every row sum
constexpr std::int64_t kNarrowRowLimit =
    (std::int64_t(std::numeric_limits<std::int32_t>::max()) - kMatrixRounding) /
    kMatrixInputMagnitude;
static_assert(kNarrowRowLimit * kMatrixInputMagnitude + kMatrixRounding <=
                  std::numeric_limits<std::int32_t>::max(),
              "32-bit row sums within the limit cannot overflow");

// Whether every row of the matrix keeps within kNarrowRowLimit (then 32-bit sums give the
// exact 64-bit results).
constexpr bool narrowSumsSuffice(const int (&m)[3][3]) {
    for (int i = 0; i < 3; ++i) {
        std::int64_t magnitude = 0;
        for (int j = 0; j < 3; ++j) magnitude += m[i][j] < 0 ? -std::int64_t(m[i][j]) : m[i][j];
        if (magnitude > kNarrowRowLimit) return false;
    }
    return true;
}

struct KeyTables {
    // keyed pixel
    const ColourPair* fgColourPairs[3];  // fgLut and fgScreenLut side by side
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
    ColourMatrix mat0;
    const std::int16_t* matteLut;
    // output stage
    int view;
    const std::int16_t* bgLut[3];
    bool matrix1;  // background matrix in use
    ColourMatrix mat1;
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
    int d[kChunk];     // hold-out share, Q12 (0 without hold-out); unwritten where colour is keyed
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
