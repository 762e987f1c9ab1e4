#pragma once
// Runs of pixels converted between a file's sample order (R, G, B, and A when there are four)
// and the raster's A, B, G, R. These loops run over every pixel read and written, so where the
// processor has AVX2 they run as a copy compiled for it: the compiler turns the three-sample
// cases into byte shuffles, up to five times as fast as one pixel at a time.
#include <cstddef>
#include <cstdint>

namespace pxhost {

// Which compiled copy of the loops runs. `best` is the fastest the processor has; the others
// are there for tests, which hold each copy to the same results.
enum class RowIsa { best, portable, avx2 };

bool rowIsaAvailable(RowIsa isa);

// `pixels` pixels of `fileSamples` (3 or 4 samples each, file order) into raster order; a
// missing alpha becomes 0.
template <typename T>
void fileToRaster(const T* file, int fileSamples, size_t pixels, T* raster,
                  RowIsa isa = RowIsa::best);

// `pixels` raster pixels into file order, `fileSamples` (3 or 4) per pixel.
template <typename T>
void rasterToFile(const T* raster, size_t pixels, int fileSamples, T* file,
                  RowIsa isa = RowIsa::best);

}  // namespace pxhost
