#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "sdk/base/PXiUninitialised.h"

// Image values: the background pixel, integer rectangles and sample buffers.
//
// Sample layout everywhere: every pixel has 4 interleaved samples in the order A, B, G, R
// (sample 0 alpha, sample 3 red); a sample is `depth` bytes wide: 1 (unsigned 8-bit),
// 2 (unsigned 16-bit) or 4 (float, 0..1 nominal). Channel masks: A = 1, B = 2, G = 4, R = 8.

enum PXiChannelMask { PXiChanA = 1, PXiChanB = 2, PXiChanG = 4, PXiChanR = 8, PXiChanAll = 15 };

// A background pixel: four floats (0..1 nominal) in the order A, B, G, R, then a flags word.
struct PXiBPixel {
    float a = 0.0f;
    float b = 0.0f;
    float g = 0.0f;
    float r = 0.0f;
    unsigned int flags = 0;

    // Sample i in buffer order: 0 A, 1 B, 2 G, 3 R.
    float& operator[](int i);
    float operator[](int i) const;

    // Rounds every channel to the nearest value a sample of that depth can hold: at depth 1
    // v becomes PXiF2B(255 v) / 255, at depth 2 PXiF2S(65535 v) / 65535 (so values are also
    // clamped to 0..1 and NaN becomes 0). Depth 4 (float) and any other depth leave the
    // channels as they are. The flags word is untouched.
    void quantize(int depth);
};

// An integer rectangle: columns x1..x2-1, rows y1..y2-1 (x2 and y2 exclusive).
struct PXiIRect {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;

    PXiIRect() = default;
    PXiIRect(int ax1, int ay1, int ax2, int ay2) : x1(ax1), y1(ay1), x2(ax2), y2(ay2) {}

    int width() const { return x2 > x1 ? x2 - x1 : 0; }
    int height() const { return y2 > y1 ? y2 - y1 : 0; }
    bool isEmpty() const { return x1 >= x2 || y1 >= y2; }
    bool contains(const PXiIRect& r) const;
    bool operator==(const PXiIRect& o) const {
        return x1 == o.x1 && y1 == o.y1 && x2 == o.x2 && y2 == o.y2;
    }
    bool operator!=(const PXiIRect& o) const { return !(*this == o); }

    // The part of *this that `other` covers. The result always lies within *this. When the
    // two do not meet (or either is empty) the result is the empty rectangle at the top-left
    // corner of *this: (x1, y1, x1, y1). Code that splits *this into the rows above, across
    // and below the result therefore finds no rows across it and treats all of *this as
    // outside - so call it on the rectangle being split: band.intersect(dod).
    PXiIRect intersect(const PXiIRect& other) const;
};

// Picture-sized sample storage, not zero-filled when resized: what a buffer owns, and what a
// buffer can take over and give back (PXiIBuf::adopt, PXiIBuf::release).
using PXiSampleStore = std::vector<unsigned char, PXiUninitialisedAllocator<unsigned char>>;

// A buffer of samples over a rectangle, or a view of part of another buffer.
//
// The sample of channel c of pixel (x, y) is at byte
//   ((y - rect.y1) * (4 * width + extra) + (x - rect.x1) * 4 + c) * depth
// from getData(). A buffer with no image has a null data pointer. Buffers own their samples
// (RAII); views (made by threadIBuf) address another buffer's samples and must not outlive it.
// Move-only.
class PXiIBuf {
public:
    PXiIBuf() = default;
    // A zero-filled buffer over rect at depth 1, 2 or 4. extra = -1 picks the padding the
    // host uses for rows (each row a multiple of 16 bytes); otherwise the given extra samples.
    // An empty rect gives a buffer without data. Throws PXiError for a bad depth or a size
    // that cannot be held.
    PXiIBuf(const PXiIRect& rect, int depth, int extra = -1);
    PXiIBuf(PXiIBuf&& other) noexcept;
    PXiIBuf& operator=(PXiIBuf&& other) noexcept;
    PXiIBuf(const PXiIBuf&) = delete;
    PXiIBuf& operator=(const PXiIBuf&) = delete;
    ~PXiIBuf() = default;

    void* getData() const { return m_data; }
    int getExtra() const { return m_extra; }       // extra samples at the end of each row
    int getFirstRow() const { return m_rect.y1; }  // row (y) of the first row held
    int getNumRows() const { return m_rect.height(); }
    int getFirstColumn() const { return m_rect.x1; }
    int getWidth() const { return m_rect.width(); }
    int getDepth() const { return m_depth; }
    const PXiIRect& getRect() const { return m_rect; }
    // Samples from one row to the next: 4 * width + extra.
    std::ptrdiff_t getRowSamples() const {
        return 4 * static_cast<std::ptrdiff_t>(getWidth()) + m_extra;
    }
    // Address of sample 0 of pixel (x, y), which must lie within getRect(); null without data.
    void* pixelAddress(int x, int y) const;

    // Makes `view` address this thread's share of this buffer over `rect`, and narrows rect
    // to that share. The rows of rect are divided into threadCount consecutive bands of
    // (almost) equal height, band i running from y1 + rows * i / count to
    // y1 + rows * (i + 1) / count; the columns stay those of rect. The division depends only
    // on rect and the two numbers, so every buffer divided with the same rect, index and
    // count gives the same band. An index outside 0..count-1 gives an empty band.
    // `depth` is the depth the view will be expanded at. Returns 0.
    int threadIBuf(PXiIBuf& view, PXiIRect& rect, int depth, int threadIndex, int threadCount,
                   int flags = 0) const;

    // On a view made by threadIBuf (or a buffer, treated as its own view): afterwards the data
    // pointer addresses sample 0 of the band's top-left pixel with 4 interleaved samples per
    // pixel (A, B, G, R) at `depth`, rows 4 * width + getExtra() samples apart, where width is
    // the given width. Channels in `mask` that `channels` (the source image's channel mask)
    // lacks are filled from bp, converted to depth. When the source buffer holds every pixel
    // of the band at this depth the view addresses the source's own samples, so writes go
    // through to it (the fill of buffer 0 relies on this; the render driver always gives
    // whole buffers). Otherwise the view gets samples of its own: the source's pixels
    // converted to depth, every pixel the source lacks filled wholly from bp. Returns 0.
    int expand(int width, int depth, const PXiBPixel& bp, int channels, int mask);

    // This buffer's samples converted to another depth, into a new buffer over the same rect:
    // 8 -> 16 bit multiplies by 257, 16 -> 8 bit rounds (v * 255 + 32767) / 65535, integer ->
    // float divides by the maximum, float -> integer scales, clamps and rounds with PXiF2B /
    // PXiF2S. A buffer without data gives a buffer without data.
    PXiIBuf converted(int depth) const;

    // A buffer over rect at depth (1, 2 or 4) that takes over `samples` as its own, rows padded
    // as the constructor pads them (extra -1), row 0 first: a picture made elsewhere becomes
    // a buffer without being copied. Throws PXiError for a bad depth, an empty rect, or a
    // store smaller than the buffer.
    static PXiIBuf adopt(const PXiIRect& rect, int depth, PXiSampleStore&& samples);
    // The extra samples the constructor puts at the end of each row of `width` pixels at
    // `depth` (extra -1): rows are a multiple of 16 bytes.
    static int rowPadding(int width, int depth);
    // Gives up the buffer's own samples, to be filled again elsewhere; the buffer is left
    // without data. A view gives an empty store.
    PXiSampleStore release();
    // A buffer over rect at depth that has no image (null data pointer).
    static PXiIBuf withoutData(const PXiIRect& rect, int depth);
    // A buffer as the constructor makes it (extra -1) with every pixel set to bp converted to
    // depth, and the padding 0: the samples are written once, not zero-filled first.
    static PXiIBuf filled(const PXiIRect& rect, int depth, const PXiBPixel& bp);

    // Fills every pixel with bp converted to this buffer's depth.
    void fill(const PXiBPixel& bp);

private:
    // zero false: the samples are left uninitialised for the caller to write.
    PXiIBuf(const PXiIRect& rect, int depth, int extra, bool zero);

    unsigned char* m_data = nullptr;
    PXiIRect m_rect;
    int m_extra = 0;
    int m_depth = 1;
    const PXiIBuf* m_source = nullptr;  // the buffer a view addresses
    PXiSampleStore m_own;
};
