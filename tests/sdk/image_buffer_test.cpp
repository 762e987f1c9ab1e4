#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiMath.h"
#include "sdk/image/PXiImage.h"

namespace {

// Reads sample c of pixel (x, y) of a view after expand, as an integer or float value.
double sampleOf(const void* data, std::ptrdiff_t rowSamples, int depth, int x, int y, int c) {
    const unsigned char* p =
        static_cast<const unsigned char*>(data) + ((y * rowSamples) + x * 4 + c) * depth;
    if (depth == 1) return *p;
    if (depth == 2) {
        unsigned short s;
        std::memcpy(&s, p, 2);
        return s;
    }
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

double expectedBp(const PXiBPixel& bp, int c, int depth) {
    if (depth == 1) return PXiF2B(bp[c] * 255.0f);
    if (depth == 2) return PXiF2S(bp[c] * 65535.0f);
    return bp[c];
}

// A buffer over rect with a recognisable, position-dependent sample everywhere.
PXiIBuf patterned(const PXiIRect& rect, int depth, int extra) {
    PXiIBuf buf(rect, depth, extra);
    for (int y = rect.y1; y < rect.y2; ++y)
        for (int x = rect.x1; x < rect.x2; ++x)
            for (int c = 0; c < 4; ++c) {
                unsigned char* p = static_cast<unsigned char*>(buf.pixelAddress(x, y)) + c * depth;
                int v = (x * 7 + y * 13 + c * 3) & 0xff;
                if (depth == 1) *p = static_cast<unsigned char>(v);
                if (depth == 2) {
                    unsigned short s = static_cast<unsigned short>(v * 250 + 3);
                    std::memcpy(p, &s, 2);
                }
                if (depth == 4) {
                    float f = v / 256.0f;
                    std::memcpy(p, &f, 4);
                }
            }
    return buf;
}

}  // namespace

// PXiRound is cross-checked bit for bit against the keyer's own rounding in the host's tests.
TEST(ImageMath, SampleConversionTable) {
    struct Case {
        float in;
        int b, s;
    } cases[] = {{-1.0f, 0, 0},      {0.49f, 0, 0},
                 {0.5f, 1, 1},       {254.5f, 255, 255},
                 {255.0f, 255, 255}, {1e9f, 255, 65535},
                 {NAN, 0, 0},        {65534.6f, 255, 65535},
                 {229.5f, 230, 230}, {0.9f * 255.0f, 230, 230}};
    for (const Case& c : cases) {
        EXPECT_EQ(PXiF2B(c.in), c.b) << c.in;
        EXPECT_EQ(PXiF2S(c.in), c.s) << c.in;
    }
    PXiBPixel bp;
    bp.a = 0.5f, bp.b = 2.0f, bp.g = -1.0f, bp.r = NAN;
    bp.flags = 7;
    bp.quantize(1);
    EXPECT_FLOAT_EQ(bp.a, 128.0f / 255.0f);
    EXPECT_EQ(bp.b, 1.0f);
    EXPECT_EQ(bp.g, 0.0f);
    EXPECT_EQ(bp.r, 0.0f);
    EXPECT_EQ(bp.flags, 7u);
}

// Splitting a rectangle among threads: bands tile it, and every buffer gets the same band.
TEST(ImageBufBands, BandsTileTheRectangleForAnyThreadCount) {
    PXiIBuf a(PXiIRect(-3, 5, 8, 22), 1), b(PXiIRect(-3, 5, 8, 22), 2);
    for (int count : {1, 2, 3, 7, 17, 40}) {
        int next = 5;
        for (int i = 0; i < count; ++i) {
            PXiIRect ra(-3, 5, 8, 22), rb = ra;
            PXiIBuf va, vb;
            a.threadIBuf(va, ra, 1, i, count);
            b.threadIBuf(vb, rb, 2, i, count);
            EXPECT_EQ(ra, rb);
            EXPECT_EQ(ra.y1, next) << count << "/" << i;
            EXPECT_GE(ra.y2, ra.y1);
            EXPECT_LE(ra.height(), (17 + count - 1) / count);
            next = ra.y2;
        }
        EXPECT_EQ(next, 22);
    }
    PXiIRect r(0, 0, 4, 4);
    PXiIBuf v;
    a.threadIBuf(v, r, 1, 3, 3);
    EXPECT_TRUE(r.isEmpty());
}

// expand against a plain reference: every sample of the band, for odd widths, bands, depths,
// paddings, channel masks and buffers that lack part of the band.
TEST(ImageBufExpand, MatchesAReferenceOnOddShapes) {
    std::mt19937 rng(42);
    PXiBPixel bp;
    bp.a = 0.25f, bp.b = 0.5f, bp.g = 0.75f, bp.r = 1.0f;
    for (int trial = 0; trial < 300; ++trial) {
        static const int depths[] = {1, 2, 4};
        const int depth = depths[rng() % 3];
        const int viewDepth = (rng() % 4 == 0) ? depths[rng() % 3] : depth;
        const PXiIRect region(int(rng() % 5) - 2, int(rng() % 5), 0, 0);
        PXiIRect want(region.x1, region.y1, region.x1 + 1 + int(rng() % 9),
                      region.y1 + 1 + int(rng() % 9));
        // The source covers the band fully, or only partly, or not at all.
        PXiIRect have = want;
        switch (rng() % 4) {
            case 1:
                have = PXiIRect(want.x1 + 1, want.y1 - 1, want.x2, want.y2 - 1);
                break;
            case 2:
                have = PXiIRect(want.x2 + 3, want.y1, want.x2 + 5, want.y2);
                break;
            case 3:
                have = PXiIRect(want.x1 - 2, want.y1 - 2, want.x2 + 2, want.y2 + 2);
                break;
        }
        const int extra = int(rng() % 3) * 4;
        PXiIBuf src = have.isEmpty() ? PXiIBuf() : patterned(have, depth, extra);
        const PXiIBuf reference = src.converted(viewDepth);  // before expand can write into src
        const int channels = int(rng() % 16), mask = int(rng() % 16);
        const int count = 1 + int(rng() % 4);
        for (int t = 0; t < count; ++t) {
            PXiIRect rect = want;
            PXiIBuf view;
            src.threadIBuf(view, rect, viewDepth, t, count);
            if (rect.isEmpty()) continue;
            view.expand(rect.width(), viewDepth, bp, channels, mask);
            ASSERT_NE(view.getData(), nullptr);
            const std::ptrdiff_t rowSamples = 4 * rect.width() + view.getExtra();
            const bool inPlace = depth == viewDepth && have.contains(rect);
            if (inPlace) {
                EXPECT_EQ(view.getData(), src.pixelAddress(rect.x1, rect.y1));
            }
            for (int y = rect.y1; y < rect.y2; ++y)
                for (int x = rect.x1; x < rect.x2; ++x)
                    for (int c = 0; c < 4; ++c) {
                        double got = sampleOf(view.getData(), rowSamples, viewDepth, x - rect.x1,
                                              y - rect.y1, c);
                        bool inside = x >= have.x1 && x < have.x2 && y >= have.y1 && y < have.y2;
                        double expect;
                        if (!inside || ((mask & ~channels) & (1 << c))) {
                            expect = expectedBp(bp, c, viewDepth);
                        } else {
                            expect = sampleOf(reference.pixelAddress(x, y), 0, viewDepth, 0, 0, c);
                        }
                        ASSERT_EQ(got, expect)
                            << "trial " << trial << " x " << x << " y " << y << " c " << c;
                    }
        }
    }
}

TEST(ImageBufConvert, DepthConversionsWidenExactlyAndClampFloats) {
    PXiIBuf b8(PXiIRect(0, 0, 64, 1), 1);
    for (int i = 0; i < 256; ++i)
        static_cast<unsigned char*>(b8.getData())[i] = static_cast<unsigned char>(i);
    PXiIBuf b16 = b8.converted(2);
    PXiIBuf back = b16.converted(1);
    PXiIBuf f = b8.converted(4).converted(2);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(static_cast<unsigned short*>(b16.getData())[i], i * 257);
        EXPECT_EQ(static_cast<unsigned char*>(back.getData())[i], i);
        EXPECT_EQ(static_cast<unsigned short*>(f.getData())[i], i * 257);
    }
    PXiIBuf fl(PXiIRect(0, 0, 1, 1), 4);
    float v[4] = {-0.5f, 1.5f, NAN, 0.5f};
    std::memcpy(fl.getData(), v, sizeof v);
    PXiIBuf s = fl.converted(2);
    unsigned short* p = static_cast<unsigned short*>(s.getData());
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 65535);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 32768);
    EXPECT_THROW(PXiIBuf(PXiIRect(0, 0, 1, 1), 3), PXiError);
    EXPECT_THROW(PXiIBuf(PXiIRect(0, 0, 2000000000, 2000000000), 4), PXiError);
}

// A filled buffer holds what a zero-filled one holds after fill: the pixels and the padding
// bytes of every row, at every depth and on widths whose rows are padded and whose are not.
TEST(ImageBufFilled, EqualsAZeroedBufferFilledAfterwards) {
    PXiBPixel bp;
    bp.a = 0.25f, bp.b = 0.5f, bp.g = 0.75f, bp.r = 1.0f;
    for (int depth : {1, 2, 4})
        for (const PXiIRect& rect : {PXiIRect(0, 0, 5, 3), PXiIRect(-2, 1, 6, 4),
                                     PXiIRect(0, 0, 1, 1), PXiIRect(3, 3, 3, 7)}) {
            PXiIBuf expected(rect, depth);
            expected.fill(bp);
            const PXiIBuf got = PXiIBuf::filled(rect, depth, bp);
            ASSERT_EQ(got.getRect(), expected.getRect());
            ASSERT_EQ(got.getExtra(), expected.getExtra());
            if (!expected.getData()) {
                EXPECT_EQ(got.getData(), nullptr);
                continue;
            }
            const size_t bytes =
                static_cast<size_t>(expected.getRowSamples()) * expected.getNumRows() * depth;
            EXPECT_EQ(std::memcmp(got.getData(), expected.getData(), bytes), 0)
                << "depth " << depth << " width " << rect.width();
        }
}
