#pragma once

// The pixel loops are compiled once for every instruction set the renderer can use (see
// ZephraIsaProbe.h). Each compilation puts its functions, inline ones included, in a
// namespace of its own named by ZEPHRA_RENDER_ISA, so that the linker can never substitute
// one instruction set's copy of a function for another's: a processor without AVX2 must
// never run a copy compiled for it. Translation units that do not say otherwise get the
// portable set.
#ifndef ZEPHRA_RENDER_ISA
#define ZEPHRA_RENDER_ISA portable
#endif
