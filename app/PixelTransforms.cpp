#include "app/PixelTransforms.h"

#include <cstdint>

namespace pxhost {
namespace {

constexpr float kMax8 = 255.0f;
constexpr float kMax16 = 65535.0f;

template <typename T>
void copyRows(const RasterView& src, float scale, Raster& dst) {
    float* out = dst.data<float>();
    for (int y = 0; y < src.height; ++y) {
        const T* in =
            reinterpret_cast<const T*>(src.data) + static_cast<size_t>(y) * src.rowSamples;
        for (size_t i = 0; i < static_cast<size_t>(src.width) * 4; ++i) *out++ = in[i] * scale;
    }
}

}  // namespace

Raster floatCopy(const RasterView& picture) {
    Raster out;
    out.allocate(picture.width, picture.height, 4, picture.channels, false);
    switch (picture.depth) {
        case 1:
            copyRows<uint8_t>(picture, 1.0f / kMax8, out);
            break;
        case 2:
            copyRows<uint16_t>(picture, 1.0f / kMax16, out);
            break;
        default:
            copyRows<float>(picture, 1.0f, out);
            break;
    }
    return out;
}

void scaleColour(Raster& picture, float factor) {
    float* px = picture.data<float>();
    for (size_t i = 0; i < picture.sampleCount(); i += 4) {
        px[i + kSampleR] *= factor;
        px[i + kSampleG] *= factor;
        px[i + kSampleB] *= factor;
    }
}

void premultiplyByAlpha(Raster& picture) {
    if (!(picture.channels & kChanA)) return;
    float* px = picture.data<float>();
    for (size_t i = 0; i < picture.sampleCount(); i += 4) {
        const float a = px[i + kSampleA];
        px[i + kSampleR] *= a;
        px[i + kSampleG] *= a;
        px[i + kSampleB] *= a;
    }
}

}  // namespace pxhost
