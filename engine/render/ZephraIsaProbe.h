#pragma once

#include <vector>

// The instruction sets the renderer is compiled for, and which of them this processor runs.
//
// The pixel loops are compiled once for every instruction set the renderer knows: the portable
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

}  // namespace zephra
