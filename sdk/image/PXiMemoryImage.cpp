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
    : m_width(width), m_height(height), m_depth(depth) {
    if (width < 0 || height < 0)
        throw PXiError("an image cannot be " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels");
    m_image = PXiIBuf(PXiIRect(0, 0, width, height), depth, 0);  // checks depth and size
    m_description = PXiName::sprintf("Image(%dx%d)", width, height);
    PXiIPlug* out = getOutput();
    getDepthPlug()->set(depth);
    getInputDepthPlug()->set(depth);
    out->getWidthPlug()->set(width);
    out->getHeightPlug()->set(height);
    out->getDepthPlug()->set(depth);
    out->getChannelsPlug()->set(channels & PXiChanAll);
    out->getBPixelPlug()->set(static_cast<void*>(&m_bpixel));
    out->getDescriptionPlug()->set(m_description);
}

PXiMemoryImage::~PXiMemoryImage() = default;

void PXiMemoryImage::setPixel(int x, int y, const PXiBPixel& value) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        throw PXiError("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                       ") lies outside the " + std::to_string(m_width) + " x " +
                       std::to_string(m_height) + " image");
    PXiIBuf view;
    PXiIRect one(x, y, x + 1, y + 1);
    m_image.threadIBuf(view, one, m_depth, 0, 1);
    view.expand(1, m_depth, value, 0, PXiChanAll);  // writes through to the pixel
}

PXiBPixel PXiMemoryImage::getPixel(int x, int y) const {
    PXiBPixel p;
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return p;
    const unsigned char* at = static_cast<const unsigned char*>(m_image.pixelAddress(x, y));
    for (int c = 0; c < 4; ++c) {
        if (m_depth == 1) {
            p[c] = at[c] / 255.0f;
        } else if (m_depth == 2) {
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
    m_bpixel = bp;
    getOutput()->getBPixelPlug()->set(static_cast<void*>(&m_bpixel));
}

void PXiMemoryImage::setDod(const PXiIRect& dod) {
    getOutput()->setDod(dod);
    touch();
}

void PXiMemoryImage::setDescription(const char* description) {
    m_description = PXiName::getString(description);
    touch();
}

void PXiMemoryImage::setChannels(int channels) {
    getOutput()->getChannelsPlug()->set(channels & PXiChanAll);
}

void PXiMemoryImage::touch() { getOutput()->getDescriptionPlug()->set(m_description); }

void PXiMemoryImage::fillOutputBuffer() {
    PXiIBuf* out = getInputBuffers()[0];
    if (!out || !out->getData()) return;
    // The driver filled the buffer with the background pixel; the image's own pixels go where
    // both the image and its domain of definition cover the buffer.
    PXiIRect area = out->getRect()
                        .intersect(PXiIRect(0, 0, m_width, m_height))
                        .intersect(getOutput()->getDod());
    if (area.isEmpty()) return;
    PXiIBuf view;
    m_image.threadIBuf(view, area, out->getDepth(), 0, 1);
    view.expand(area.width(), out->getDepth(), m_bpixel, PXiChanAll, 0);
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(area.width()) * out->getDepth();
    const std::ptrdiff_t viewRowBytes = view.getRowSamples() * view.getDepth();
    const unsigned char* from = static_cast<const unsigned char*>(view.getData());
    for (int y = area.y1; y < area.y2; ++y, from += viewRowBytes)
        std::memcpy(out->pixelAddress(area.x1, y), from, rowBytes);
}

PXiNode* PXiMemoryImage::instantiate() const { return new PXiMemoryImage(); }

const PXiName& PXiMemoryImage::className() const { return thisClassName; }
