#include "sdk/image/PXiImage.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiMath.h"

namespace {

bool validDepth(int depth) { return depth == 1 || depth == 2 || depth == 4; }

// Rows of a buffer start on multiples of this many bytes.
const unsigned long long kRowAlignment = 16;
// Largest buffer the host will hold, in bytes.
const unsigned long long kMaxBytes =
    sizeof(void*) >= 8 ? (1ull << 40) : static_cast<unsigned long long>(PTRDIFF_MAX);

// ---- one sample converted between depths -----------------------------------------------
template <typename S, typename D>
struct Convert;
template <typename T>
struct Convert<T, T> {
    static T one(T v) { return v; }
};
template <>
struct Convert<unsigned char, unsigned short> {
    static unsigned short one(unsigned char v) { return static_cast<unsigned short>(v * 257); }
};
template <>
struct Convert<unsigned char, float> {
    static float one(unsigned char v) { return v / 255.0f; }
};
template <>
struct Convert<unsigned short, unsigned char> {
    static unsigned char one(unsigned short v) {
        return static_cast<unsigned char>((v * 255u + 32767u) / 65535u);
    }
};
template <>
struct Convert<unsigned short, float> {
    static float one(unsigned short v) { return v / 65535.0f; }
};
template <>
struct Convert<float, unsigned char> {
    static unsigned char one(float v) { return PXiF2B(v * 255.0f); }
};
template <>
struct Convert<float, unsigned short> {
    static unsigned short one(float v) { return PXiF2S(v * 65535.0f); }
};

template <typename S, typename D>
void convertLine(const unsigned char* src, unsigned char* dst, std::size_t samples) {
    S s;
    D d;
    for (std::size_t i = 0; i < samples; ++i) {
        std::memcpy(&s, src + i * sizeof(S), sizeof(S));
        d = Convert<S, D>::one(s);
        std::memcpy(dst + i * sizeof(D), &d, sizeof(D));
    }
}

typedef void (*LineConverter)(const unsigned char*, unsigned char*, std::size_t);

int depthIndex(int depth) { return depth == 1 ? 0 : depth == 2 ? 1 : 2; }

// The line converter for a pair of depths, chosen once per buffer.
LineConverter lineConverter(int from, int to) {
    static const LineConverter table[3][3] = {
        {convertLine<unsigned char, unsigned char>, convertLine<unsigned char, unsigned short>,
         convertLine<unsigned char, float>},
        {convertLine<unsigned short, unsigned char>, convertLine<unsigned short, unsigned short>,
         convertLine<unsigned short, float>},
        {convertLine<float, unsigned char>, convertLine<float, unsigned short>,
         convertLine<float, float>}};
    return table[depthIndex(from)][depthIndex(to)];
}

// The four samples of bp (A, B, G, R) at depth, as bytes.
void bpixelSamples(const PXiBPixel& bp, int depth, unsigned char out[16]) {
    for (int c = 0; c < 4; ++c) {
        float v = bp[c];
        if (depth == 1) {
            out[c] = PXiF2B(v * 255.0f);
        } else if (depth == 2) {
            unsigned short s = PXiF2S(v * 65535.0f);
            std::memcpy(out + 2 * c, &s, 2);
        } else {
            std::memcpy(out + 4 * c, &v, 4);
        }
    }
}

// Stores the channels of `mask` of bp into every pixel of a block of rows.
template <typename T>
void fillBlock(unsigned char* data, int rows, int width, std::ptrdiff_t rowSamples, int mask,
               const unsigned char* bpSamples) {
    T value[4];
    std::memcpy(value, bpSamples, sizeof value);
    for (int y = 0; y < rows; ++y) {
        unsigned char* row = data + y * rowSamples * static_cast<std::ptrdiff_t>(sizeof(T));
        for (int x = 0; x < width; ++x) {
            unsigned char* px = row + static_cast<std::ptrdiff_t>(x) * 4 * sizeof(T);
            for (int c = 0; c < 4; ++c)
                if (mask & (1 << c)) std::memcpy(px + c * sizeof(T), &value[c], sizeof(T));
        }
    }
}

void fillChannels(unsigned char* data, int rows, int width, std::ptrdiff_t rowSamples, int depth,
                  int mask, const PXiBPixel& bp) {
    if (!data || rows <= 0 || width <= 0 || !(mask & 15)) return;
    unsigned char samples[16];
    bpixelSamples(bp, depth, samples);
    if (depth == 1)
        fillBlock<unsigned char>(data, rows, width, rowSamples, mask, samples);
    else if (depth == 2)
        fillBlock<unsigned short>(data, rows, width, rowSamples, mask, samples);
    else
        fillBlock<float>(data, rows, width, rowSamples, mask, samples);
}

}  // namespace

// ---- PXiBPixel ------------------------------------------------------------------------

float& PXiBPixel::operator[](int i) {
    switch (i) {
        case 0:
            return a;
        case 1:
            return b;
        case 2:
            return g;
        default:
            return r;
    }
}

float PXiBPixel::operator[](int i) const { return const_cast<PXiBPixel&>(*this)[i]; }

void PXiBPixel::quantize(int depth) {
    for (int c = 0; c < 4; ++c) {
        float& v = (*this)[c];
        if (depth == 1)
            v = PXiF2B(v * 255.0f) / 255.0f;
        else if (depth == 2)
            v = PXiF2S(v * 65535.0f) / 65535.0f;
    }
}

// ---- PXiIRect -------------------------------------------------------------------------

bool PXiIRect::contains(const PXiIRect& o) const {
    return o.isEmpty() || (x1 <= o.x1 && y1 <= o.y1 && o.x2 <= x2 && o.y2 <= y2);
}

PXiIRect PXiIRect::intersect(const PXiIRect& other) const {
    PXiIRect r(std::max(x1, other.x1), std::max(y1, other.y1), std::min(x2, other.x2),
               std::min(y2, other.y2));
    if (r.isEmpty()) return PXiIRect(x1, y1, x1, y1);
    return r;
}

// ---- PXiIBuf --------------------------------------------------------------------------

PXiIBuf::PXiIBuf(const PXiIRect& rect, int depth, int extra) : PXiIBuf(rect, depth, extra, true) {}

PXiIBuf::PXiIBuf(const PXiIRect& rect, int depth, int extra, bool zero)
    : m_rect(rect), m_depth(depth) {
    if (!validDepth(depth))
        throw PXiError("image buffers hold 1, 2 or 4 bytes per sample, not " +
                       std::to_string(depth));
    if (rect.isEmpty()) {
        m_rect = PXiIRect(rect.x1, rect.y1, rect.x1, rect.y1);
        return;
    }
    const unsigned long long width = static_cast<unsigned long long>(rect.width());
    if (extra < 0) extra = rowPadding(rect.width(), depth);
    const unsigned long long rowSamples = 4 * width + static_cast<unsigned long long>(extra);
    const unsigned long long bytes = rowSamples * static_cast<unsigned long long>(rect.height()) *
                                     static_cast<unsigned long long>(depth);
    if (rowSamples > 0x7fffffffull || bytes > kMaxBytes)
        throw PXiError("an image of " + std::to_string(rect.width()) + " x " +
                       std::to_string(rect.height()) + " pixels is too large to hold");
    try {
        if (zero)
            m_own.assign(static_cast<std::size_t>(bytes), 0);
        else
            m_own.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        throw PXiError("out of memory for an image of " + std::to_string(rect.width()) + " x " +
                       std::to_string(rect.height()) + " pixels");
    }
    m_extra = extra;
    m_data = m_own.data();
}

PXiIBuf::PXiIBuf(PXiIBuf&& o) noexcept
    : m_data(o.m_data),
      m_rect(o.m_rect),
      m_extra(o.m_extra),
      m_depth(o.m_depth),
      m_source(o.m_source),
      m_own(std::move(o.m_own)) {
    o.m_data = nullptr;
    o.m_source = nullptr;
}

PXiIBuf& PXiIBuf::operator=(PXiIBuf&& o) noexcept {
    if (this != &o) {
        m_data = o.m_data;
        m_rect = o.m_rect;
        m_extra = o.m_extra;
        m_depth = o.m_depth;
        m_source = o.m_source;
        m_own = std::move(o.m_own);
        o.m_data = nullptr;
        o.m_source = nullptr;
    }
    return *this;
}

int PXiIBuf::rowPadding(int width, int depth) {
    const unsigned long long rowBytes =
        4ull * static_cast<unsigned long long>(width) * static_cast<unsigned long long>(depth);
    return static_cast<int>(((kRowAlignment - rowBytes % kRowAlignment) % kRowAlignment) / depth);
}

PXiIBuf PXiIBuf::adopt(const PXiIRect& rect, int depth, PXiSampleStore&& samples) {
    if (!validDepth(depth))
        throw PXiError("image buffers hold 1, 2 or 4 bytes per sample, not " +
                       std::to_string(depth));
    if (rect.isEmpty()) throw PXiError("an empty rectangle has no samples to take over");
    PXiIBuf b;
    b.m_rect = rect;
    b.m_depth = depth;
    b.m_extra = rowPadding(rect.width(), depth);
    const unsigned long long bytes = static_cast<unsigned long long>(b.getRowSamples()) *
                                     static_cast<unsigned long long>(rect.height()) *
                                     static_cast<unsigned long long>(depth);
    if (samples.size() < bytes)
        throw PXiError("a store of " + std::to_string(samples.size()) +
                       " bytes cannot hold an image of " + std::to_string(rect.width()) + " x " +
                       std::to_string(rect.height()) + " pixels");
    b.m_own = std::move(samples);
    b.m_data = b.m_own.data();
    return b;
}

PXiSampleStore PXiIBuf::release() {
    PXiSampleStore store = std::move(m_own);
    m_own = PXiSampleStore();
    m_data = nullptr;
    m_source = nullptr;
    return store;
}

PXiIBuf PXiIBuf::withoutData(const PXiIRect& rect, int depth) {
    PXiIBuf b;
    b.m_rect = rect;
    b.m_depth = validDepth(depth) ? depth : 1;
    return b;
}

void* PXiIBuf::pixelAddress(int x, int y) const {
    if (!m_data) return nullptr;
    std::ptrdiff_t offset = (static_cast<std::ptrdiff_t>(y - m_rect.y1) * getRowSamples() +
                             4 * static_cast<std::ptrdiff_t>(x - m_rect.x1)) *
                            m_depth;
    return m_data + offset;
}

int PXiIBuf::threadIBuf(PXiIBuf& view, PXiIRect& rect, int depth, int threadIndex, int threadCount,
                        int) const {
    if (threadCount < 1 || threadIndex < 0 || threadIndex >= threadCount || rect.y2 <= rect.y1) {
        rect.y2 = rect.y1;
    } else {
        const long long rows = static_cast<long long>(rect.y2) - rect.y1;
        const int first = rect.y1;
        rect.y1 = static_cast<int>(first + rows * threadIndex / threadCount);
        rect.y2 = static_cast<int>(first + rows * (threadIndex + 1) / threadCount);
    }
    view.m_own.clear();
    view.m_own.shrink_to_fit();
    view.m_source = this;
    view.m_rect = rect;
    view.m_depth = validDepth(depth) ? depth : m_depth;
    const bool inPlace = m_data && depth == m_depth && !rect.isEmpty() && m_rect.contains(rect);
    view.m_data = inPlace ? static_cast<unsigned char*>(pixelAddress(rect.x1, rect.y1)) : nullptr;
    view.m_extra =
        inPlace ? static_cast<int>(getRowSamples() - 4 * static_cast<std::ptrdiff_t>(rect.width()))
                : 0;
    return 0;
}

int PXiIBuf::expand(int width, int depth, const PXiBPixel& bp, int channels, int mask) {
    if (!validDepth(depth))
        throw PXiError("image buffers hold 1, 2 or 4 bytes per sample, not " +
                       std::to_string(depth));
    const PXiIBuf* src = m_source ? m_source : this;
    const PXiIRect band(m_rect.x1, m_rect.y1, m_rect.x1 + std::max(width, 0), m_rect.y2);
    const int fillMask = mask & ~channels & 15;
    if (band.isEmpty()) {
        m_data = nullptr;
        m_extra = 0;
        m_depth = depth;
        m_rect = band;
        return 0;
    }
    if (src->m_data && src->m_depth == depth && src->m_rect.contains(band)) {
        unsigned char* at = static_cast<unsigned char*>(src->pixelAddress(band.x1, band.y1));
        const int extra =
            static_cast<int>(src->getRowSamples() - 4 * static_cast<std::ptrdiff_t>(band.width()));
        if (src != this) {
            m_own.clear();
            m_own.shrink_to_fit();
        }
        m_data = at;
        m_extra = extra;
        m_depth = depth;
        m_rect = band;
        fillChannels(m_data, band.height(), band.width(), getRowSamples(), depth, fillMask, bp);
        return 0;
    }
    // Samples of its own: the source's pixels where it has them, bp everywhere else.
    PXiIBuf fresh(band, depth, 0);
    fillChannels(fresh.m_data, band.height(), band.width(), fresh.getRowSamples(), depth, 15, bp);
    if (src->m_data) {
        const PXiIRect common = band.intersect(src->m_rect);
        if (!common.isEmpty()) {
            LineConverter convert = lineConverter(src->m_depth, depth);
            for (int y = common.y1; y < common.y2; ++y)
                convert(static_cast<const unsigned char*>(src->pixelAddress(common.x1, y)),
                        static_cast<unsigned char*>(fresh.pixelAddress(common.x1, y)),
                        4 * static_cast<std::size_t>(common.width()));
            fillChannels(static_cast<unsigned char*>(fresh.pixelAddress(common.x1, common.y1)),
                         common.height(), common.width(), fresh.getRowSamples(), depth, fillMask,
                         bp);
        }
    }
    m_own.swap(fresh.m_own);
    m_data = m_own.data();
    m_extra = 0;
    m_depth = depth;
    m_rect = band;
    m_source = nullptr;
    return 0;
}

PXiIBuf PXiIBuf::converted(int depth) const {
    if (!validDepth(depth))
        throw PXiError("image buffers hold 1, 2 or 4 bytes per sample, not " +
                       std::to_string(depth));
    if (!m_data) return withoutData(m_rect, depth);
    PXiIBuf out(m_rect, depth);
    LineConverter convert = lineConverter(m_depth, depth);
    for (int y = m_rect.y1; y < m_rect.y2; ++y)
        convert(static_cast<const unsigned char*>(pixelAddress(m_rect.x1, y)),
                static_cast<unsigned char*>(out.pixelAddress(m_rect.x1, y)),
                4 * static_cast<std::size_t>(m_rect.width()));
    return out;
}

PXiIBuf PXiIBuf::filled(const PXiIRect& rect, int depth, const PXiBPixel& bp) {
    PXiIBuf buffer(rect, depth, -1, false);
    if (!buffer.m_data) return buffer;
    buffer.fill(bp);
    if (buffer.m_extra > 0) {
        const std::size_t rowBytes = static_cast<std::size_t>(buffer.getRowSamples()) * depth;
        const std::size_t padBytes = static_cast<std::size_t>(buffer.m_extra) * depth;
        for (int y = 0; y < buffer.getNumRows(); ++y)
            std::memset(buffer.m_data + y * rowBytes + rowBytes - padBytes, 0, padBytes);
    }
    return buffer;
}

void PXiIBuf::fill(const PXiBPixel& bp) {
    fillChannels(m_data, m_rect.height(), m_rect.width(), getRowSamples(), m_depth, 15, bp);
}
