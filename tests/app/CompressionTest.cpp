#include <gtest/gtest.h>
#include <sys/stat.h>

#include <OpenImageIO/imageio.h>
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

off_t fileSize(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// The level reaches the writer: a higher level gives a smaller file of the same samples, and an
// unknown name is refused before anything is written.
TEST(Compression, LevelsChangeTheFileNotThePicture) {
    TempDir dir;
    Raster picture;
    picture.allocate(256, 128, 2, kChanRGBA);
    std::mt19937 rng(7);
    for (size_t i = 0; i < picture.sampleCount(); ++i)
        picture.data<uint16_t>()[i] = static_cast<uint16_t>((i / 4 % 256) * 200 + rng() % 16);
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

}  // namespace
}  // namespace pxhost
