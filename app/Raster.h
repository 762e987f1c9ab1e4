#pragma once
// A picture in memory as the host's image buffers hold it: four interleaved samples per pixel
// in the order A, B, G, R, rows top to bottom, each sample 1 byte (8-bit), 2 bytes (16-bit) or a
// 4-byte float. Channels the picture does not have are absent from its channel mask and their
// samples hold 0.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/image/PXiImage.h"

namespace pxhost {

// Picture-sized samples that are about to be overwritten whole: not zero-filled first.
using SampleStore = PXiSampleStore;

// Channel mask bits of host images.
enum ChannelBit : int { kChanA = 1, kChanB = 2, kChanG = 4, kChanR = 8 };
constexpr int kChanRGB = kChanR | kChanG | kChanB;
constexpr int kChanRGBA = kChanRGB | kChanA;

// Sample index of each channel within a pixel.
enum SampleIndex : int { kSampleA = 0, kSampleB = 1, kSampleG = 2, kSampleR = 3 };

// A picture's samples where they lie: in a Raster, or in a buffer whose rows may be padded.
struct RasterView {
    const unsigned char* data = nullptr;
    int width = 0;
    int height = 0;
    int depth = 1;
    int channels = 0;
    size_t rowSamples = 0;  // from one row to the next, at least 4 * width
};

// The samples of a host image buffer (as the render driver gives them) where they lie.
RasterView viewOf(const PXiIBuf& buffer, int channels);

struct Raster {
    int width = 0;
    int height = 0;
    int depth = 1;     // bytes per sample: 1, 2, or 4 (float)
    int channels = 0;  // mask of the channels present
    SampleStore samples;

    size_t sampleCount() const { return static_cast<size_t>(width) * height * 4; }
    size_t byteCount() const { return sampleCount() * static_cast<size_t>(depth); }

    // Sizes the sample store for width x height at depth, all zero (or, with zero false,
    // uninitialised for a caller that writes every sample). Throws RenderError when the picture
    // is too large to allocate.
    void allocate(int w, int h, int bytesPerSample, int channelMask, bool zero = true);
    // Throws RenderError when a picture of w x h pixels is empty or over the size limit.
    static void checkSize(int w, int h);

    RasterView view() const {
        return {samples.data(), width, height, depth, channels, static_cast<size_t>(width) * 4};
    }

    template <typename T>
    T* data() {
        return reinterpret_cast<T*>(samples.data());
    }
    template <typename T>
    const T* data() const {
        return reinterpret_cast<const T*>(samples.data());
    }
};

}  // namespace pxhost
