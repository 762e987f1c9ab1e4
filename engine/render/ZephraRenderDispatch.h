#pragma once

#include <cstdint>
#include <vector>

#include "engine/render/ZephraRenderSetup.h"
#include "engine/Ztile.h"

class VRFZephraTable;

// Picks the pixel loop for one call. The four per-call choices form the loop index
// ref * 8 + hold * 4 + garbage * 2 + alpha output; with the two sample types that makes 32
// loops, each compiled from the one body in ZephraRenderLoop.h.
//
// The loops are compiled once for every instruction set the renderer knows: the portable
// set every x86 processor of the plug-in's platforms runs (SSE2), and AVX2, whose eight-lane
// integer arithmetic keys the arithmetic passes of a chunk twice as fast. Every set gives
// the same samples bit for bit; the processor decides at run time which one renders.

namespace zephra {

enum class RenderIsa { portable, avx2 };

// Every instruction set the renderer knows, portable first.
inline constexpr RenderIsa kRenderIsas[] = {RenderIsa::portable, RenderIsa::avx2};

// Whether this build has loops for the set and this processor runs them.
bool renderIsaAvailable(RenderIsa isa);

// The sets this build has loops for and this processor runs, portable first. For tests and
// benchmarks; defined here so that the plug-in library itself holds no container of them.
inline std::vector<RenderIsa> availableRenderIsas() {
    std::vector<RenderIsa> sets;
    for (RenderIsa isa : kRenderIsas)
        if (renderIsaAvailable(isa)) sets.push_back(isa);
    return sets;
}

// The fastest of them: what VRFZephraTable::render uses.
RenderIsa preferredRenderIsa();

const char* renderIsaName(RenderIsa isa);

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

template <typename T>
using LoopFunction = void (*)(const KeyTables&, const TileSetup<T>&, int, int);

// Defined next to the explicit compilation of each sample type's 16 loops, once per
// instruction set.
namespace portable {
void renderTile(const KeyTables& tables, const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                int width, int height);
void renderTile(const KeyTables& tables, const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                int width, int height);
}  // namespace portable
namespace avx2 {
void renderTile(const KeyTables& tables, const TileSetup<std::uint8_t>& tile, LoopChoice choice,
                int width, int height);
void renderTile(const KeyTables& tables, const TileSetup<std::uint16_t>& tile, LoopChoice choice,
                int width, int height);
}  // namespace avx2

}  // namespace zephra
