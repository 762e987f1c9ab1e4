#include <cstdint>

#include "engine/render/ZephraLoopTable.h"

// The loop table of 8-bit tiles (a translation unit of its own, so that the sample types and
// instruction sets compile in parallel).
void zephra::ZEPHRA_RENDER_ISA::runChosenLoop(const KeyTables& tables,
                                              const TileSetup<std::uint8_t>& tile,
                                              LoopChoice choice, int width, int height) {
    runFromLoopTable(tables, tile, choice, width, height);
}
