#include <gtest/gtest.h>

#include <OpenImageIO/imageio.h>
#include <cstring>
#include <random>

#include "TestFiles.h"
#include "app/ImageFile.h"

namespace pxhost {
namespace {

using test::TempDir;

// A picture of random samples; colour samples are often above alpha, so any premultiplication
// or unpremultiplication on the way changes them.
Raster randomRaster(int w, int h, int depth, int channels, unsigned seed) {
    Raster r;
    r.allocate(w, h, depth, channels);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < r.sampleCount(); ++i) {
        if (!(channels & (1 << (i % 4)))) continue;
        if (depth == 1) r.data<uint8_t>()[i] = rng() & 0xff;
        if (depth == 2) r.data<uint16_t>()[i] = rng() & 0xffff;
        if (depth == 4) r.data<float>()[i] = (rng() % 100000) / 50000.0f - 0.5f;
    }
    return r;
}

// Reads a file with the image library directly, as a cross-check of channel order and values.
std::vector<float> readPlain(const std::string& path, int& channels) {
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    auto in = OIIO::ImageInput::open(path, &config);
    EXPECT_TRUE(in) << path;
    if (!in) return {};
    channels = in->spec().nchannels;
    std::vector<float> px(static_cast<size_t>(in->spec().image_pixels()) * channels);
    in->read_image(0, 0, 0, channels, OIIO::TypeDesc::FLOAT, px.data());
    return px;
}

float sampleAsFloat(const Raster& r, size_t i) {
    if (r.depth == 1) return r.data<uint8_t>()[i] / 255.0f;
    if (r.depth == 2) return r.data<uint16_t>()[i] / 65535.0f;
    return r.data<float>()[i];
}

struct RoundTrip {
    const char* name;
    int depth;
    int channels;
};

TEST(ImageFile, WritesAndReadsSamplesExactly) {
    const RoundTrip cases[] = {
        {"a.png", 1, kChanRGBA}, {"b.png", 2, kChanRGBA}, {"c.png", 1, kChanRGB},
        {"d.tif", 1, kChanRGBA}, {"e.tif", 2, kChanRGBA}, {"f.tif", 2, kChanRGB},
        {"g.exr", 4, kChanRGBA}, {"h.exr", 4, kChanRGB},  {"i.dpx", 2, kChanRGB},
    };
    TempDir dir;
    unsigned seed = 1;
    for (const RoundTrip& c : cases) {
        const Raster written = randomRaster(7, 5, c.depth, c.channels, seed++);
        const std::string path = dir / c.name;
        writeImage(path, written, {});
        const Raster read = readImage(path);
        EXPECT_EQ(read.width, 7) << c.name;
        EXPECT_EQ(read.height, 5) << c.name;
        EXPECT_EQ(read.depth, c.depth) << c.name;
        EXPECT_EQ(read.channels, c.channels) << c.name;
        EXPECT_TRUE(read.samples == written.samples) << c.name;

        // The file itself holds R, G, B (, A) in that order with the same values.
        int n = 0;
        const std::vector<float> plain = readPlain(path, n);
        ASSERT_EQ(n, c.channels == kChanRGBA ? 4 : 3) << c.name;
        const int order[] = {kSampleR, kSampleG, kSampleB, kSampleA};
        for (size_t p = 0; p < 35; ++p)
            for (int k = 0; k < n; ++k)
                ASSERT_FLOAT_EQ(plain[p * n + k], sampleAsFloat(written, p * 4 + order[k]))
                    << c.name << " pixel " << p << " channel " << k;
    }
    EXPECT_EQ(dir.list().size(), std::size(cases));  // no temporary file left
}

// A frame read into the picture of an earlier frame (as the frame pipeline reuses them) is the
// frame a fresh read gives, whatever the earlier picture held: nothing of it shows through,
// not even where a file's data window leaves the display window's pixels 0.
TEST(ImageFile, ReadingIntoAnEarlierPictureEqualsAFreshRead) {
    TempDir dir;
    writeImage(dir / "a.png", randomRaster(7, 5, 1, kChanRGBA, 21), {});
    writeImage(dir / "b.tif", randomRaster(6, 3, 2, kChanRGB, 22), {});
    writeImage(dir / "c.exr", randomRaster(5, 4, 4, kChanRGB, 23), {});
    {
        OIIO::ImageSpec spec(3, 2, 3, OIIO::TypeDesc::FLOAT);
        spec.x = 1;
        spec.y = 1;
        spec.full_width = 6;
        spec.full_height = 4;
        const std::vector<float> px(18, 0.5f);
        auto out = OIIO::ImageOutput::create(dir / "window.exr");
        ASSERT_TRUE(out && out->open(dir / "window.exr", spec));
        ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, px.data()));
        out->close();
    }
    for (const char* name : {"a.png", "b.tif", "c.exr", "window.exr"}) {
        const Raster fresh = readImage(dir / name);
        for (const Raster& before :
             {randomRaster(9, 8, 4, kChanRGBA, 5), randomRaster(2, 2, 1, kChanRGB, 6), Raster()}) {
            Raster reused = before;
            readImageInto(dir / name, 0, reused);
            EXPECT_EQ(reused.width, fresh.width) << name;
            EXPECT_EQ(reused.height, fresh.height) << name;
            EXPECT_EQ(reused.depth, fresh.depth) << name;
            EXPECT_EQ(reused.channels, fresh.channels) << name;
            EXPECT_TRUE(reused.samples == fresh.samples) << name;
        }
    }
}

TEST(ImageFile, HalfFilesBecomeFloat) {
    TempDir dir;
    Raster r = randomRaster(4, 3, 4, kChanRGBA, 9);
    for (size_t i = 0; i < r.sampleCount(); ++i) r.data<float>()[i] = (i % 9) * 0.125f;
    WriteOptions half;
    half.depth = parseDepthWord("half");
    writeImage(dir / "h.exr", r, half);
    const Raster read = readImage(dir / "h.exr");
    EXPECT_EQ(read.depth, 4);
    EXPECT_TRUE(read.samples == r.samples);  // eighths are exact in half floats
}

TEST(ImageFile, ExplicitDepthConvertsByScale) {
    TempDir dir;
    Raster r;
    r.allocate(3, 1, 1, kChanRGB);
    const uint8_t values[] = {0, 1, 128, 255};
    for (size_t i = 0; i < r.sampleCount(); ++i) r.data<uint8_t>()[i] = values[i % 4];
    WriteOptions sixteen;
    sixteen.depth = parseDepthWord("16");
    writeImage(dir / "w.tif", r, sixteen);
    const Raster read = readImage(dir / "w.tif");
    ASSERT_EQ(read.depth, 2);
    for (size_t i = 0; i < r.sampleCount(); ++i) {
        if (i % 4 != kSampleA) {
            EXPECT_EQ(read.data<uint16_t>()[i], values[i % 4] * 257);
        }
    }
    // JPEG holds 8 bits only: a 16-bit picture is written at 8 bits.
    writeImage(dir / "j.jpg", read, {});
    EXPECT_EQ(readImage(dir / "j.jpg").depth, 1);
}

}  // namespace
}  // namespace pxhost
