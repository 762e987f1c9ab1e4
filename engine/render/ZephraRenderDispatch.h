#pragma once

#include <cstdint>

#include "engine/Ztile.h"
#include "engine/render/ZephraIsaProbe.h"
#include "engine/render/ZephraRenderSetup.h"

class VRFZephraTable;

// From a render call to the one row loop that keys it. The four per-call choices form the
// loop index ref * 8 + hold * 4 + garbage * 2 + alpha output; with the two sample types that
// makes 32 row loops, each compiled from the one body in ZephraRowLoop.h and held in a loop
// table (ZephraLoopTable.h), once per instruction set (ZephraIsaProbe.h).

namespace zephra {

// VRFZephraTable::render with the loops of the given instruction set, which must be one of
// availableRenderIsas(). Tests and benchmarks use it to check and time every set.
int renderWithIsa(const VRFZephraTable& engine, RenderIsa isa, int bytes, int width, int height,
                  const Ztile* tile);

struct LoopChoice {
    bool ref;
    bool hold;
    bool garbage;
    bool alphaOut;
};

// One row loop: keys a whole tile for one combination of the choices.
template <typename T>
using RowLoop = void (*)(const KeyTables&, const TileSetup<T>&, int, int);

// Runs the row loop of the loop table that the choice names. Defined next to the explicit
// compilation of each sample type's loop table, once per instruction set.
namespace portable {
void runChosenLoop(const KeyTables& tables, const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                   int width, int height);
void runChosenLoop(const KeyTables& tables, const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                   int width, int height);
}  // namespace portable
namespace avx2 {
void runChosenLoop(const KeyTables& tables, const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                   int width, int height);
void runChosenLoop(const KeyTables& tables, const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                   int width, int height);
}  // namespace avx2

}  // namespace zephra
