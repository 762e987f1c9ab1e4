#include <cstdint>

#include "engine/render/ZephraLoopTable.h"

// The loop table of 16-bit tiles.
void zephra::ZEPHRA_RENDER_ISA::runChosenLoop(const KeyTables& tables,
                                              const TileSetup<std::uint16_t>& tile,
                                              LoopChoice choice, int width, int height) {
    runFromLoopTable(tables, tile, choice, width, height);
}
