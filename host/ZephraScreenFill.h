#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>

#include "sdk/image/PXiImage.h"

// The screen colour as a sample of type T (8 or 16 bits): v * max + 0.5 in double precision,
// truncated toward zero, so that a colour held as a single-precision float just below a
// sample's midpoint (0.9f -> 229 and 58981) converts exactly as the keyer expects. Values
// below 0 (and NaN) give 0 and values above 1 the largest sample: the screen fill paints
// only real sample values, whatever the plugs hold.
template <typename T>
T zephraScreenSample(float v) {
    const double max = std::numeric_limits<T>::max();
    const double x = static_cast<double>(v) * max + 0.5;
    if (!(x >= 0.0)) return 0;
    if (x >= max) return static_cast<T>(max);
    return static_cast<T>(x);
}

// Paints the B, G and R samples of every pixel of `band` that lies outside `inside` (the part
// of the band the foreground's domain of definition covers) with the screen colour; alpha is
// left as it is. `data` addresses sample 0 of the band's top-left pixel, 4 samples per pixel,
// rows `rowStep` samples apart. Three zones: the rows above `inside` (whole), the rows across
// it (only left and right of it), the rows below it (whole). An empty `inside`, however the
// host represents it, paints the whole band.
template <typename T>
void zephraPaintScreen(void* data, std::ptrdiff_t rowStep, const PXiIRect& band,
                       const PXiIRect& inside, const PXiBPixel& screen) {
    const T b = zephraScreenSample<T>(screen.b);
    const T g = zephraScreenSample<T>(screen.g);
    const T r = zephraScreenSample<T>(screen.r);
    T* const origin = static_cast<T*>(data);
    auto paint = [&](int y, int x1, int x2) {
        T* p = origin + (y - band.y1) * rowStep + std::ptrdiff_t(x1 - band.x1) * 4;
        for (int x = x1; x < x2; ++x, p += 4) {
            p[1] = b;
            p[2] = g;
            p[3] = r;
        }
    };
    const bool none = inside.isEmpty();
    // Clamped to the band, so that no representation of `inside` can reach outside it.
    const int top = none ? band.y2 : std::min(std::max(inside.y1, band.y1), band.y2);
    const int bottom = none ? band.y2 : std::min(std::max(inside.y2, top), band.y2);
    const int left = std::min(std::max(inside.x1, band.x1), band.x2);
    const int right = std::min(std::max(inside.x2, left), band.x2);
    for (int y = band.y1; y < top; ++y) paint(y, band.x1, band.x2);
    for (int y = top; y < bottom; ++y) {
        paint(y, band.x1, left);
        paint(y, right, band.x2);
    }
    for (int y = bottom; y < band.y2; ++y) paint(y, band.x1, band.x2);
}
