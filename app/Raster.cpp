#include "app/Raster.h"

#include <new>
#include <string>

#include "app/HostError.h"

namespace pxhost {

void Raster::allocate(int w, int h, int bytesPerSample, int channelMask, bool zero) {
    // 2^31 samples is far beyond any picture a keyer is given and keeps every index in range.
    constexpr size_t kMaxSamples = size_t(1) << 31;
    if (w <= 0 || h <= 0)
        throw RenderError("image size " + std::to_string(w) + "x" + std::to_string(h) +
                          " is empty");
    if (static_cast<size_t>(w) * static_cast<size_t>(h) * 4 > kMaxSamples)
        throw RenderError("image of " + std::to_string(w) + "x" + std::to_string(h) +
                          " pixels is too large");
    width = w;
    height = h;
    depth = bytesPerSample;
    channels = channelMask;
    try {
        if (zero)
            samples.assign(byteCount(), 0);
        else
            samples.resize(byteCount());
    } catch (const std::bad_alloc&) {
        samples = {};
        throw RenderError("not enough memory for an image of " + std::to_string(w) + "x" +
                          std::to_string(h) + " pixels");
    }
}

}  // namespace pxhost
