#include "app/FileInNode.h"

#include <chrono>
#include <cstring>

#include "app/HostError.h"
#include "app/ImageFile.h"
#include "app/MovieInput.h"
#include "sdk/graph/PXiClassName.h"

namespace pxhost {
namespace {

const PXiName& fileInClassName() {
    static const PXiName name = PXiClassName::registerClassName("FileIn", "PXiNadic");
    return name;
}

}  // namespace

FileInNode::FileInNode(const SequencePattern& pattern, ReadClock* clock, const ReadOptions& options)
    : m_pattern(pattern), m_options(options), m_clock(clock) {
    m_file = addPlug("file", PXiPlug::kString, 1, 0, 0);
    m_fileName = m_pattern.fileName(0);
    m_movie = isMovieFile(m_fileName);
    m_key = m_fileName;
    m_file->set(m_key.c_str());
    PXiIPlug* out = getOutput();
    for (PXiPlug* p :
         {out->getWidthPlug(), out->getHeightPlug(), out->getChannelsPlug(), out->getBPixelPlug(),
          out->getDescriptionPlug(), getDepthPlug(), getInputDepthPlug()}) {
        p->detach(nullptr);
        p->addDependency(m_file);
    }
}

FileInNode::~FileInNode() = default;

const PXiName& FileInNode::className() const { return fileInClassName(); }

std::string FileInNode::fileNameOf(long frame) const {
    return m_pattern.fileName(frame + m_options.frameOffset);
}

std::string FileInNode::keyOf(long frame) const {
    const std::string name = fileNameOf(frame);
    return m_movie ? name + "@" + std::to_string(frame + m_options.frameOffset) : name;
}

Raster FileInNode::readFrame(long frame, Raster recycled) const {
    return readPicture(fileNameOf(frame), frame + m_options.frameOffset, m_options,
                       std::move(recycled));
}

void FileInNode::setFrame(long frame) {
    m_frame = frame + m_options.frameOffset;
    m_fileName = fileNameOf(frame);
    std::string key = keyOf(frame);
    if (key == m_key) return;
    m_key = std::move(key);
    m_file->set(m_key.c_str());
}

Raster FileInNode::supply(const std::string& key, Raster&& picture) {
    Raster before = std::move(m_raster);
    m_raster = std::move(picture);
    m_failure = nullptr;
    m_loadedKey = key;
    return before;
}

Raster FileInNode::supplyFailure(const std::string& key, std::exception_ptr failure) {
    Raster before = std::move(m_raster);
    m_raster = Raster();
    m_failure = std::move(failure);
    m_loadedKey = key;
    return before;
}

const Raster& FileInNode::picture() {
    if (m_failure && m_loadedKey == m_key) std::rethrow_exception(m_failure);
    if (m_loadedKey != m_key || m_raster.samples.empty()) {
        m_failure = nullptr;
        const auto start = std::chrono::steady_clock::now();
        m_raster = Raster();
        m_loadedKey.clear();
        m_raster = readPicture(m_fileName, m_frame, m_options);
        m_loadedKey = m_key;
        if (m_clock)
            m_clock->seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    return m_raster;
}

int FileInNode::eval(PXiPlug* plug) {
    PXiIPlug* out = getOutput();
    if (plug == out->getWidthPlug()) {
        plug->set(picture().width);
    } else if (plug == out->getHeightPlug()) {
        plug->set(picture().height);
    } else if (plug == out->getChannelsPlug()) {
        plug->set(picture().channels);
    } else if (plug == getDepthPlug() || plug == getInputDepthPlug()) {
        plug->set(picture().depth);
    } else if (plug == out->getBPixelPlug()) {
        plug->set(static_cast<void*>(&m_bpixel));
    } else if (plug == out->getDescriptionPlug()) {
        plug->set(PXiName::sprintf("FileIn(\"%s\")", m_key.c_str()));
    }
    return PXiNadic::eval(plug);
}

PXiIBuf FileInNode::givePicture(const PXiIRect& region, int depth) {
    if (!m_giving) return PXiIBuf();
    const Raster& src = picture();
    // The render's buffers pad rows to 16 bytes; a picture whose rows are not padded alike
    // (a width that is not a multiple of 4 at 8 bits) is copied into a prepared buffer.
    if (region != PXiIRect(0, 0, src.width, src.height) || depth != src.depth ||
        PXiIBuf::rowPadding(src.width, src.depth) != 0)
        return PXiIBuf();
    if (!givesItsPicture()) {
        // A still serves every frame: the render gets a copy, in the samples it gave back last
        // frame.
        PXiSampleStore copy = std::move(m_spare);
        copy.assign(src.samples.begin(), src.samples.end());
        return PXiIBuf::adopt(region, depth, std::move(copy));
    }
    PXiIBuf given = PXiIBuf::adopt(region, depth, std::move(m_raster.samples));
    m_raster = Raster();
    m_loadedKey.clear();
    return given;
}

void FileInNode::takeBack(PXiIBuf&& used) {
    if (!givesItsPicture()) {
        m_spare = used.release();
    } else if (m_recycler) {
        m_recycler(used.release());
    }
}

void FileInNode::fillOutputBuffer() {
    PXiIBuf* buffer = getInputBuffers()[0];
    if (!buffer || !buffer->getData()) return;
    const Raster& src = picture();
    if (buffer->getDepth() != src.depth)
        throw RenderError(m_fileName + ": picture changed depth while rendering");
    const PXiIRect rect = buffer->getRect().intersect(PXiIRect(0, 0, src.width, src.height));
    if (rect.isEmpty()) return;
    const size_t rowBytes = static_cast<size_t>(rect.width()) * 4 * src.depth;
    for (int y = rect.y1; y < rect.y2; ++y) {
        const unsigned char* from =
            src.samples.data() + (static_cast<size_t>(y) * src.width + rect.x1) * 4 * src.depth;
        std::memcpy(buffer->pixelAddress(rect.x1, y), from, rowBytes);
    }
}

}  // namespace pxhost
