#pragma once

#include <array>
#include <cstddef>
#include <utility>

#include "engine/render/ZephraIsaNamespace.h"
#include "engine/render/ZephraRenderDispatch.h"
#include "engine/render/ZephraRowLoop.h"

// The loop table: the 16 row loops of one sample type, one per combination of the per-call
// choices, so that a call picks its loop by index instead of testing the choices per pixel.

namespace zephra {
namespace ZEPHRA_RENDER_ISA {

// The table's index of a choice: ref * 8 + hold * 4 + garbage * 2 + alpha output.
constexpr unsigned loopIndex(LoopChoice choice) {
    return (choice.ref ? 8u : 0u) | (choice.hold ? 4u : 0u) | (choice.garbage ? 2u : 0u) |
           (choice.alphaOut ? 1u : 0u);
}

template <typename T, std::size_t... I>
constexpr std::array<RowLoop<T>, sizeof...(I)> makeLoopTable(std::index_sequence<I...>) {
    return {{&rowLoop<T, (I & 8u) != 0, (I & 4u) != 0, (I & 2u) != 0, (I & 1u) != 0>...}};
}

template <typename T>
void runFromLoopTable(const KeyTables& tables, const TileSetup<T>& tile, LoopChoice choice,
                      int width, int height) {
    static constexpr std::array<RowLoop<T>, 16> loopTable =
        makeLoopTable<T>(std::make_index_sequence<16>{});
    loopTable[loopIndex(choice)](tables, tile, width, height);
}

}  // namespace ZEPHRA_RENDER_ISA
}  // namespace zephra
