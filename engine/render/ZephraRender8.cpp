#include <cstdint>

#include "engine/render/ZephraRenderLoops.h"

// The 16 loops for 8-bit tiles (a translation unit of their own, so that the sample types
// and instruction sets compile in parallel).
void zephra::ZEPHRA_RENDER_ISA::renderTile(const KeyTables& tables,
                                           const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                                           int width, int height) {
    renderTileOf(tables, tile, choice, width, height);
}
