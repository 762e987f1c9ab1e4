#pragma once

// A tile keyed in horizontal bands on several threads at once, as the host keys its output:
// band i of n covers the rows height * i / n up to height * (i + 1) / n. The engine's render
// only reads the engine, so the bands need no lock.

#include "api/zephra.h"

namespace zephra_python {

// The number of threads to use when the caller names none: one per processor.
int defaultThreadCount();

// Renders `tile` (width x height samples of `bytes` each) in min(threads, height) bands, the
// first on the calling thread. Returns 0 when every band rendered, else the first band's
// non-zero result.
int renderBands(ZephraHandle engine, int bytes, int width, int height, const Ztile& tile,
                int threads);

}  // namespace zephra_python
