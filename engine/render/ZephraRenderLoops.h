#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "engine/render/ZephraRenderDispatch.h"
#include "engine/render/ZephraRenderIsa.h"
#include "engine/render/ZephraRenderLoop.h"

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

// The 16 loops of one sample type, indexed by ref * 8 + hold * 4 + garbage * 2 + alpha.
template <typename T, std::size_t... I>
constexpr std::array<LoopFunction<T>, sizeof...(I)> makeLoopTable(std::index_sequence<I...>) {
    return {{&renderLoop<T, (I & 8u) != 0, (I & 4u) != 0, (I & 2u) != 0, (I & 1u) != 0>...}};
}

template <typename T>
void renderTileOf(const KeyTables& tables, const TileSetup<T>& tile, LoopChoice choice, int width,
                  int height) {
    static constexpr std::array<LoopFunction<T>, 16> loops =
        makeLoopTable<T>(std::make_index_sequence<16>{});
    const unsigned index = (choice.ref ? 8u : 0u) | (choice.hold ? 4u : 0u) |
                           (choice.garbage ? 2u : 0u) | (choice.alphaOut ? 1u : 0u);
    loops[index](tables, tile, width, height);
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
