#include <cstdint>

#include "engine/render/ZephraRenderLoops.h"

// The 16 loops for 16-bit tiles.
void zephra::ZEPHRA_RENDER_ISA::renderTile(const KeyTables& tables,
                                           const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                                           int width, int height) {
    renderTileOf(tables, tile, choice, width, height);
}
