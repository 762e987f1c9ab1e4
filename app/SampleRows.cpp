#include "app/SampleRows.h"

#include "app/Raster.h"

// The AVX2 copy of the loops exists only on x86; elsewhere RowIsa::avx2 is not available.
#if defined(__x86_64__) || defined(__i386__)
#define PXHOST_ROWS_HAVE_AVX2 1
#define PXHOST_TARGET_AVX2 __attribute__((target("avx2")))
#else
#define PXHOST_ROWS_HAVE_AVX2 0
#define PXHOST_TARGET_AVX2
#endif

namespace pxhost {
namespace {

// The loop bodies, one per direction, written once and inlined into each compiled copy. The
// pointers do not overlap: a file's samples are never converted in place.
struct ToRaster {
    template <typename T, int n>
    static inline __attribute__((always_inline)) void run(const T* __restrict file, size_t pixels,
                                                          T* __restrict raster) {
        for (size_t i = 0; i < pixels; ++i) {
            raster[4 * i + kSampleA] = n == 4 ? file[n * i + 3] : T(0);
            raster[4 * i + kSampleB] = file[n * i + 2];
            raster[4 * i + kSampleG] = file[n * i + 1];
            raster[4 * i + kSampleR] = file[n * i];
        }
    }
};

struct ToFile {
    template <typename T, int n>
    static inline __attribute__((always_inline)) void run(const T* __restrict raster, size_t pixels,
                                                          T* __restrict file) {
        for (size_t i = 0; i < pixels; ++i) {
            file[n * i] = raster[4 * i + kSampleR];
            file[n * i + 1] = raster[4 * i + kSampleG];
            file[n * i + 2] = raster[4 * i + kSampleB];
            if (n == 4) file[n * i + 3] = raster[4 * i + kSampleA];
        }
    }
};

template <typename Direction, typename T, int n>
void portableCopy(const T* from, size_t pixels, T* to) {
    Direction::template run<T, n>(from, pixels, to);
}
template <typename Direction, typename T, int n>
PXHOST_TARGET_AVX2 void avx2Copy(const T* from, size_t pixels, T* to) {
    Direction::template run<T, n>(from, pixels, to);
}

bool processorHasAvx2() {
#if PXHOST_ROWS_HAVE_AVX2
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
#else
    return false;
#endif
}

// Measured on 1920-pixel rows, hot in the cache: for three-sample pixels the AVX2 copy takes
// a quarter (8-bit) to under half (16-bit) of the time into the raster, and a fifth (8-bit) to
// nine tenths (16-bit) of it back into file order; it gains little on 8-bit four-sample pixels,
// loses a third on 16-bit ones, and float samples run the same either way. So `best` takes it
// for three samples only.
bool useAvx2(RowIsa isa, int fileSamples) {
    if (isa == RowIsa::avx2) return processorHasAvx2();  // never run it where it cannot run
    return isa == RowIsa::best && fileSamples == 3 && processorHasAvx2();
}

template <typename Direction, typename T>
void convert(const T* from, int fileSamples, size_t pixels, T* to, RowIsa isa) {
    const bool avx2 = useAvx2(isa, fileSamples);
    if (fileSamples == 4)
        (avx2 ? avx2Copy<Direction, T, 4> : portableCopy<Direction, T, 4>)(from, pixels, to);
    else
        (avx2 ? avx2Copy<Direction, T, 3> : portableCopy<Direction, T, 3>)(from, pixels, to);
}

}  // namespace

bool rowIsaAvailable(RowIsa isa) { return isa != RowIsa::avx2 || processorHasAvx2(); }

template <typename T>
void fileToRaster(const T* file, int fileSamples, size_t pixels, T* raster, RowIsa isa) {
    convert<ToRaster>(file, fileSamples, pixels, raster, isa);
}

template <typename T>
void rasterToFile(const T* raster, size_t pixels, int fileSamples, T* file, RowIsa isa) {
    convert<ToFile>(raster, fileSamples, pixels, file, isa);
}

#define PXHOST_SAMPLE_ROWS(T)                                         \
    template void fileToRaster<T>(const T*, int, size_t, T*, RowIsa); \
    template void rasterToFile<T>(const T*, size_t, int, T*, RowIsa);
PXHOST_SAMPLE_ROWS(uint8_t)
PXHOST_SAMPLE_ROWS(uint16_t)
PXHOST_SAMPLE_ROWS(float)
#undef PXHOST_SAMPLE_ROWS

}  // namespace pxhost
