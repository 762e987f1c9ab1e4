#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "engine/ZephraRenderDispatch.h"
#include "engine/ZephraRenderLoop.h"

namespace zephra {

// The 16 loops of one sample type, indexed by LoopChoice::index().
template <typename T, std::size_t... I>
constexpr std::array<LoopFunction<T>, sizeof...(I)> makeLoopTable(std::index_sequence<I...>) {
    return {{&renderLoop<T, (I & 8u) != 0, (I & 4u) != 0, (I & 2u) != 0, (I & 1u) != 0>...}};
}

template <typename T>
void renderTileOf(const KeyTables& tables, const TileSetup<T>& tile, LoopChoice choice, int width,
                  int height) {
    static constexpr std::array<LoopFunction<T>, 16> loops =
        makeLoopTable<T>(std::make_index_sequence<16>{});
    loops[choice.index()](tables, tile, width, height);
}

}  // namespace zephra
