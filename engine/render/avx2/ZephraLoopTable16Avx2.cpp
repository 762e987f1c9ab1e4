// The 16 loops for 16-bit tiles, compiled for processors with AVX2 (the build compiles this
// file with the AVX2 instruction set and ZEPHRA_RENDER_ISA set to avx2).
#include "engine/render/ZephraLoopTable16.cpp"
