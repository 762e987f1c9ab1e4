#pragma once

#include <array>
#include <cstdint>
#include <utility>

#include "engine/ZephraRenderSetup.h"

// Picks the pixel loop for one call. The four per-call choices form the loop index
// ref * 8 + hold * 4 + garbage * 2 + alpha output; with the two sample types that makes 32
// loops, each compiled from the one body in ZephraRenderLoop.h.

namespace zephra {

struct LoopChoice {
    bool ref;
    bool hold;
    bool garbage;
    bool alphaOut;
    constexpr unsigned index() const {
        return (ref ? 8u : 0u) | (hold ? 4u : 0u) | (garbage ? 2u : 0u) | (alphaOut ? 1u : 0u);
    }
};

template <typename T>
using LoopFunction = void (*)(const KeyTables&, const TileSetup<T>&, int, int);

// Defined next to the explicit compilation of each sample type's 16 loops.
void renderTile8(const KeyTables& tables, const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                 int width, int height);
void renderTile16(const KeyTables& tables, const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                  int width, int height);

}  // namespace zephra
