#include "sdk/image/PXiMemoryImage.h"

#include <cstring>
#include <string>

#include "sdk/base/PXiError.h"
#include "sdk/graph/PXiClassName.h"

PXiName PXiMemoryImage::thisClassName = [] {
    PXiName name = PXiClassName::registerClassName("PXiMemoryImage", "PXiNadic");
    PXiClassName::registerFactoryOf<PXiMemoryImage>(name);
    return name;
}();

PXiMemoryImage::PXiMemoryImage() : PXiMemoryImage(0, 0, 1) {}

PXiMemoryImage::PXiMemoryImage(int width, int height, int depth, int channels)
    : width_(width), height_(height), depth_(depth) {
    if (width < 0 || height < 0)
        throw PXiError("an image cannot be " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels");
    image_ = PXiIBuf(PXiIRect(0, 0, width, height), depth, 0);  // checks depth and size
    description_ = PXiName::sprintf("Image(%dx%d)", width, height);
    PXiIPlug* out = getOutput();
    getDepthPlug()->set(depth);
    getInputDepthPlug()->set(depth);
    out->getWidthPlug()->set(width);
    out->getHeightPlug()->set(height);
    out->getDepthPlug()->set(depth);
    out->getChannelsPlug()->set(channels & PXiChanAll);
    out->getBPixelPlug()->set(static_cast<void*>(&bpixel_));
    out->getDescriptionPlug()->set(description_);
}

PXiMemoryImage::~PXiMemoryImage() = default;

void PXiMemoryImage::setPixel(int x, int y, const PXiBPixel& value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        throw PXiError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                       ") lies outside the " + std::to_string(width_) + " x " +
                       std::to_string(height_) + " image");
    PXiIBuf view;
    PXiIRect one(x, y, x + 1, y + 1);
    image_.threadIBuf(view, one, depth_, 0, 1);
    view.expand(1, depth_, value, 0, PXiChanAll);  // writes through to the pixel
}

PXiBPixel PXiMemoryImage::getPixel(int x, int y) const {
    PXiBPixel p;
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return p;
    const unsigned char* at = static_cast<const unsigned char*>(image_.pixelAddress(x, y));
    for (int c = 0; c < 4; ++c) {
        if (depth_ == 1) {
            p[c] = at[c] / 255.0f;
        } else if (depth_ == 2) {
            unsigned short s;
            std::memcpy(&s, at + 2 * c, 2);
            p[c] = s / 65535.0f;
        } else {
            std::memcpy(&p[c], at + 4 * c, 4);
        }
    }
    return p;
}

void PXiMemoryImage::setBPixel(const PXiBPixel& bp) {
    bpixel_ = bp;
    getOutput()->getBPixelPlug()->set(static_cast<void*>(&bpixel_));
}

void PXiMemoryImage::setDod(const PXiIRect& dod) {
    getOutput()->setDod(dod);
    touch();
}

void PXiMemoryImage::setDescription(const char* description) {
    description_ = PXiName::getString(description);
    touch();
}

void PXiMemoryImage::setChannels(int channels) {
    getOutput()->getChannelsPlug()->set(channels & PXiChanAll);
}

void PXiMemoryImage::touch() { getOutput()->getDescriptionPlug()->set(description_); }

void PXiMemoryImage::fillOutputBuffer() {
    PXiIBuf* out = getInputBuffers()[0];
    if (!out || !out->getData()) return;
    // The driver filled the buffer with the background pixel; the image's own pixels go where
    // both the image and its domain of definition cover the buffer.
    PXiIRect area =
        out->getRect().intersect(PXiIRect(0, 0, width_, height_)).intersect(getOutput()->getDod());
    if (area.isEmpty()) return;
    PXiIBuf view;
    image_.threadIBuf(view, area, out->getDepth(), 0, 1);
    view.expand(area.width(), out->getDepth(), bpixel_, PXiChanAll, 0);
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(area.width()) * out->getDepth();
    const std::ptrdiff_t viewRowBytes = view.getRowSamples() * view.getDepth();
    const unsigned char* from = static_cast<const unsigned char*>(view.getData());
    for (int y = area.y1; y < area.y2; ++y, from += viewRowBytes)
        std::memcpy(out->pixelAddress(area.x1, y), from, rowBytes);
}

PXiNode* PXiMemoryImage::instantiate() const { return new PXiMemoryImage(); }

const PXiName& PXiMemoryImage::className() const { return thisClassName; }
