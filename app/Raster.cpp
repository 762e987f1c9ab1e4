#include "app/Raster.h"

#include <new>
#include <string>

#include "app/HostError.h"
#include "sdk/image/PXiImage.h"

namespace pxhost {

void Raster::checkSize(int w, int h) {
    // At most 2^28 pixels (16384 x 16384), larger than any camera or film frame. A header
    // may claim any size in a file of a few hundred bytes (an OpenEXR display window, say); a
    // larger cap would let such a file take many gigabytes and minutes to refuse.
    constexpr size_t kMaxSamples = size_t(1) << 30;
    if (w <= 0 || h <= 0)
        throw RenderError("image size " + std::to_string(w) + "x" + std::to_string(h) +
                          " is empty or invalid");
    if (static_cast<size_t>(w) * static_cast<size_t>(h) * 4 > kMaxSamples)
        throw RenderError("image of " + std::to_string(w) + "x" + std::to_string(h) +
                          " pixels is too large");
}

void Raster::allocate(int w, int h, int bytesPerSample, int channelMask, bool zero) {
    checkSize(w, h);
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

RasterView viewOf(const PXiIBuf& buffer, int channels) {
    RasterView view;
    view.data = static_cast<const unsigned char*>(buffer.getData());
    view.width = buffer.getWidth();
    view.height = buffer.getNumRows();
    view.depth = buffer.getDepth();
    view.channels = channels;
    view.rowSamples = static_cast<size_t>(buffer.getRowSamples());
    return view;
}

}  // namespace pxhost
