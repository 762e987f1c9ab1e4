#include <gtest/gtest.h>
#include <sys/stat.h>

#include <OpenImageIO/imageio.h>
#include <fstream>
#include <iterator>
#include <random>

#include "TestFiles.h"
#include "app/Compression.h"
#include "app/HostError.h"
#include "app/ImageFile.h"

namespace pxhost {
namespace {

using test::TempDir;

// Each format's methods and levels; everything else is refused, naming the file.
TEST(Compression, TakesEachFormatsMethodsAndLevelsAndRefusesTheRest) {
    const struct {
        const char* format;
        const char* argument;
        const char* method;
        int level;
    } accepted[] = {
        {"png", "", "zip", 1},
        {"png", "zip:9", "zip", 9},
        {"png", "none", "none", -1},
        {"tiff", "", "zip", 1},
        {"tiff", "lzw", "lzw", -1},
        {"tiff", "zip", "zip", -1},
        {"openexr", "piz", "piz", -1},
        {"openexr", "zips:3", "zips", 3},
        {"jpeg", "jpeg:90", "jpeg", 90},
        {"jpeg", "", "", -1},
        {"dpx", "", "", -1},
    };
    for (const auto& c : accepted) {
        const CompressionChoice choice = chooseCompression(c.format, c.argument, "f");
        EXPECT_EQ(choice.method, c.method) << c.format << " " << c.argument;
        EXPECT_EQ(choice.level, c.level) << c.format << " " << c.argument;
    }
    for (const FormatCompressions& f : compressionTable())
        EXPECT_NO_THROW(chooseCompression(f.format, f.fastDefault, "f")) << f.format;
    const std::pair<const char*, const char*> refused[] = {
        {"png", "lzw"},    {"png", "zip:0"},   {"png", "zip:10"}, {"png", "zip:"},
        {"png", "zip:1x"}, {"tiff", "lzw:3"},  {"tiff", "ZIP"},   {"openexr", "zip:-1"},
        {"jpeg", "zip"},   {"jpeg", "jpeg:0"}, {"dpx", "zip"},    {"png", "zip:99999999999"},
    };
    for (const auto& c : refused) {
        try {
            chooseCompression(c.first, c.second, "out.x");
            ADD_FAILURE() << "accepted " << c.first << " " << c.second;
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()).rfind("out.x: unknown compression", 0), 0u) << e.what();
        }
    }
}

// A 16-bit RGBA picture of horizontal ramps with a little noise: compressible, but not to
// nothing.
Raster rampWithNoise(int width, int height) {
    constexpr int kStep = 200;  // per pixel along a row; widths up to 327 stay within 16 bits
    Raster picture;
    picture.allocate(width, height, 2, kChanRGBA);
    std::mt19937 rng(7);
    for (size_t i = 0; i < picture.sampleCount(); ++i)
        picture.data<uint16_t>()[i] = static_cast<uint16_t>((i / 4 % width) * kStep + rng() % 16);
    return picture;
}

off_t fileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The level reaches the writer: a higher level gives a smaller file of the same samples, and an
// unknown name is refused before anything is written.
TEST(Compression, LevelsChangeTheFileNotThePicture) {
    TempDir dir;
    const Raster picture = rampWithNoise(256, 128);
    for (const char* ext : {"png", "tif", "exr"}) {
        SCOPED_TRACE(ext);
        const std::string fast = dir / (std::string("fast.") + ext);
        const std::string small = dir / (std::string("small.") + ext);
        WriteOptions options;
        options.compression = "zip:1";
        writeImage(fast, picture, options);
        options.compression = "zip:9";
        writeImage(small, picture, options);
        EXPECT_LT(fileSize(small), fileSize(fast));
        const Raster a = readImage(fast), b = readImage(small);
        EXPECT_TRUE(a.samples == b.samples);
        options.compression = "zip:12";
        const std::string refused = dir / (std::string("refused.") + ext);
        EXPECT_THROW(writeImage(refused, picture, options), UsageError);
        EXPECT_EQ(fileSize(refused), -1);
    }
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A compressed file may be made in memory and stored later: the stored file is byte for byte
// the one writeImage writes. Files whose writer only copies samples are left to writeImage.
TEST(Compression, FilesMadeInMemoryAreTheFilesWritten) {
    TempDir dir;
    const Raster picture = rampWithNoise(97, 61);
    const struct {
        const char* name;
        const char* compression;
        int depth;
        bool made;
    } cases[] = {
        {"a.png", "", 0, true},    {"b.png", "zip:6", 1, true}, {"c.png", "none", 0, false},
        {"d.tif", "", 0, true},    {"e.tif", "lzw", 0, true},   {"f.tif", "none", 0, false},
        {"g.exr", "piz", 3, true}, {"h.exr", "none", 4, false}, {"i.jpg", "", 1, true},
        {"j.dpx", "", 0, false},   {"k.tga", "", 1, false},
    };
    EncodedImage encoded;  // reused from file to file, as the render does
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteOptions options;
        options.compression = c.compression;
        options.depth = c.depth;
        const std::string written = dir / (std::string("w-") + c.name);
        const std::string stored = dir / (std::string("s-") + c.name);
        writeImage(written, picture, options);
        ASSERT_EQ(encodeImage(stored, picture.view(), options, encoded), c.made);
        EXPECT_EQ(fileSize(stored), -1);  // nothing touched the file system yet
        if (!c.made) continue;
        storeImage(stored, encoded);
        EXPECT_EQ(fileBytes(stored), fileBytes(written));
    }
    // A folder that is not there: refused, naming the file, nothing left behind.
    ASSERT_TRUE(encodeImage(dir / "x.png", picture.view(), {}, encoded));
    EXPECT_THROW(storeImage(dir / "missing/x.png", encoded), RenderError);
}

}  // namespace
}  // namespace pxhost
