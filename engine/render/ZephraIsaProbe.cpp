#include "engine/render/ZephraIsaProbe.h"

// Which of the compiled instruction sets this processor runs. Asked of the processor on every
// call: the answer is a few loads from the runtime's record of the processor's features,
// nothing next to a tile, and needs no state of our own.

namespace {

bool processorRunsAvx2() {
#if ZEPHRA_HAVE_AVX2_LOOPS
    // The runtime's check includes the operating system's support for the wide registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2");
#else
    return false;
#endif
}

}  // namespace

bool zephra::renderIsaAvailable(RenderIsa isa) {
    return isa == RenderIsa::portable || (isa == RenderIsa::avx2 && processorRunsAvx2());
}

zephra::RenderIsa zephra::preferredRenderIsa() {
    return processorRunsAvx2() ? RenderIsa::avx2 : RenderIsa::portable;
}

const char* zephra::renderIsaName(RenderIsa isa) {
    return isa == RenderIsa::avx2 ? "avx2" : "portable";
}
