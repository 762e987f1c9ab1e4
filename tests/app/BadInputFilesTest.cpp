// Broken, odd and mismatched input pictures: truncated and corrupt files (one format per kind
// of damage), sizes a header may claim, every channel count in every input role, inputs of
// different sizes.
// Each broken file fails its frame with one line naming it; nothing is written and no input
// changes.

#include <OpenImageIO/imageio.h>

#include <stdlib.h>

#include "BadInput.h"

namespace pxhost::test {
namespace {

class BadInputFiles : public EndToEnd {
protected:
    // The image library's PNG reader leaks one error text when libpng jumps out of a damaged
    // file; sanitizer builds of the program are told so, and only that, for these runs.
    void SetUp() override {
        writeText(m_leakDir / "leaks", "leak:PNGInput::PngReadCallback\n");
        setenv(
            "LSAN_OPTIONS",
            ("fast_unwind_on_malloc=0:print_suppressions=0:suppressions=" + (m_leakDir / "leaks"))
                .c_str(),
            1);
    }
    void TearDown() override { unsetenv("LSAN_OPTIONS"); }
    TempDir m_leakDir;

    // Runs each script and checks the common outcome of a refused input.
    void expectRefused(const std::vector<std::pair<std::string, std::string>>& cases,
                       const std::vector<std::string>& inputs) {
        const FolderSnapshot before(dir, inputs);
        for (const auto& [file, message] : cases) {
            SCOPED_TRACE(file);
            const RunResult r =
                runScript("FileOut(Zephra_1v4(FileIn(\"" + file + "\"), 0, 0, 0), \"out.png\");");
            EXPECT_EQ(r.status, 1) << r.err;
            EXPECT_EQ(r.err.rfind("pxhost: frame 1: " + file + ": ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
            EXPECT_TRUE(outputsBesides(inputs).empty()) << "left: " << outputsBesides(inputs)[0];
        }
        EXPECT_EQ(before.changedIn(dir), "");
    }
};

void cutTo(const std::string& from, const std::string& to, size_t size) {
    writeText(to, readText(from).substr(0, size));
}

// Overwrites 64 bytes in the middle of the file with a fixed pseudo-random pattern.
void scramble(const std::string& from, const std::string& to) {
    std::string data = readText(from);
    uint32_t state = 12345;
    for (size_t i = data.size() / 2; i < data.size() / 2 + 64 && i < data.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = static_cast<char>(state >> 24);
    }
    writeText(to, data);
}

// A real-sized 16-bit gradient written with the image library's own options: many strips of
// compressed data for TIFF, 10 or 12 bits packed for DPX.
void writeFullHd(const std::string& path, const std::vector<std::pair<const char*, int>>& ints,
                 const char* compression = nullptr) {
    constexpr int kWidth = 1920, kHeight = 1080;
    std::vector<uint16_t> px(static_cast<size_t>(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c)
                px[(static_cast<size_t>(y) * kWidth + x) * 3 + c] =
                    static_cast<uint16_t>((x * 30 + y * 60 * c) & 0xffff);
    OIIO::ImageSpec spec(kWidth, kHeight, 3, OIIO::TypeDesc::UINT16);
    for (const auto& [name, value] : ints) spec.attribute(name, value);
    if (compression) spec.attribute("compression", compression);
    auto out = OIIO::ImageOutput::create(path);
    ASSERT_TRUE(out && out->open(path, spec));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT16, px.data()));
    out->close();
}

// One file per kind of damage: cut short, cut after the header, and two the image library
// reads without complaint when the whole picture is read at once (a 10-bit DPX cut short,
// scrambled compressed strips of a real-sized TIFF).
TEST_F(BadInputFiles, TruncatedAndCorruptFilesAreRefused) {
    writeImage(dir / "whole.png", plate(1, 64, 36), {});
    writeImage(dir / "whole.exr", plate(1, 64, 36), {});
    writeFullHd(dir / "whole10.dpx", {{"oiio:BitsPerSample", 10}});
    writeFullHd(dir / "whole.tif", {{"tiff:RowsPerStrip", 16}}, "zip");
    cutTo(dir / "whole.png", dir / "half.png", readText(dir / "whole.png").size() / 2);
    cutTo(dir / "whole.exr", dir / "head.exr", 40);
    cutTo(dir / "whole10.dpx", dir / "half10.dpx", readText(dir / "whole10.dpx").size() / 2);
    scramble(dir / "whole.tif", dir / "corrupt.tif");
    expectRefused({{"half.png", "cannot read input"},
                   {"head.exr", "cannot read input"},
                   {"half10.dpx", "truncated"},
                   {"corrupt.tif", "cannot read input"}},
                  {"whole.png", "whole.exr", "whole10.dpx", "whole.tif", "half.png", "head.exr",
                   "half10.dpx", "corrupt.tif"});
    // The undamaged files are read.
    const RunResult r = runScript(
        "FileOut(FileIn(\"whole10.dpx\"), \"o10.png\"); "
        "FileOut(FileIn(\"whole.tif\"), \"o.png\");");
    EXPECT_EQ(r.status, 0) << r.err;
}

// A minimal uncompressed one-channel 8-bit TIFF claiming width x height, with 16 bytes of data.
void writeTiffClaiming(const std::string& path, uint32_t width, uint32_t height) {
    std::string t = std::string("II*\0", 4);
    const auto u16 = [&](uint32_t v) {
        t += static_cast<char>(v & 255), t += static_cast<char>(v >> 8);
    };
    const auto u32 = [&](uint32_t v) { u16(v & 0xffff), u16(v >> 16); };
    u32(8);
    const uint32_t entries = 9, dataAt = 8 + 2 + entries * 12 + 4;
    u16(entries);
    const uint32_t tags[][3] = {{256, 4, width}, {257, 4, height}, {258, 3, 8},
                                {259, 3, 1},     {262, 3, 1},      {273, 4, dataAt},
                                {277, 3, 1},     {278, 4, height}, {279, 4, width * height}};
    for (const auto& tag : tags) {
        u16(tag[0]), u16(tag[1]), u32(1);
        if (tag[1] == 3)
            u16(tag[2]), u16(0);
        else
            u32(tag[2]);
    }
    u32(0);
    t += std::string(16, '\x40');
    writeText(path, t);
}

// An OpenEXR of one pixel shown in a display window of width x height.
void writeExrWindow(const std::string& path, int width, int height) {
    auto out = OIIO::ImageOutput::create(path);
    OIIO::ImageSpec spec(1, 1, 3, OIIO::TypeDesc::HALF);
    spec.full_width = width;
    spec.full_height = height;
    const float px[3] = {0.5f, 0.5f, 0.5f};
    ASSERT_TRUE(out->open(path, spec));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::FLOAT, px));
    out->close();
}

TEST_F(BadInputFiles, ZeroAndHugeDeclaredSizesAreRefusedWithoutAllocatingThem) {
    writeTiffClaiming(dir / "zero.tif", 0, 0);
    writeTiffClaiming(dir / "huge.tif", 100000, 100000);
    writeTiffClaiming(dir / "big.tif", 16000, 16000);  // within the cap, 16 bytes of data
    // 20000 x 20000 float: an earlier cap let this 600-byte file take 17 GB and minutes.
    writeExrWindow(dir / "window20k.exr", 20000, 20000);
    expectRefused({{"zero.tif", "cannot read input"},
                   {"huge.tif", "100000x100000 pixels is too large"},
                   {"big.tif", "cannot read input"},
                   {"window20k.exr", "20000x20000 pixels is too large"}},
                  {"zero.tif", "huge.tif", "big.tif", "window20k.exr"});
}

// Writes a picture of n channels (1 grey, 2 grey+alpha, 3 RGB, 4 RGBA) with OpenImageIO.
void writeChannels(const std::string& path, int n, const std::vector<uint8_t>& grey,
                   const std::vector<uint8_t>& alpha, int width, int height) {
    std::vector<uint8_t> px;
    for (size_t i = 0; i < grey.size(); ++i) {
        if (n == 1) px.push_back(grey[i]);
        if (n == 2) px.insert(px.end(), {grey[i], alpha[i]});
        if (n == 3) px.insert(px.end(), {grey[i], grey[i], grey[i]});
        if (n == 4) px.insert(px.end(), {grey[i], grey[i], grey[i], alpha[i]});
    }
    auto out = OIIO::ImageOutput::create(path);
    OIIO::ImageSpec spec(width, height, n, OIIO::TypeDesc::UINT8);
    spec.attribute("oiio:UnassociatedAlpha", 1);  // the samples as given, not divided by alpha
    ASSERT_TRUE(out->open(path, spec));
    ASSERT_TRUE(out->write_image(OIIO::TypeDesc::UINT8, px.data()));
    out->close();
}

// Inputs of fewer channels than four, or of another size than the foreground, key in every
// role as the four-channel file of the foreground's size they stand for: one and two channels
// as grey (and alpha); a smaller input as one padded with black and transparent, a larger one
// as one cropped. Three channels are taken in every role. One run renders them all.
TEST_F(BadInputFiles, FewerChannelsAndOtherSizesKeyAsTheirEquivalents) {
    const int w = 16, h = 9;
    write("fg.png", plate(2, w, h));
    struct File {
        const char* name;
        int channels, width, height;
        bool alphaIsGrey;  // else an alpha pattern of its own
        bool padded;       // black and transparent outside the small picture's 8x4
    };
    const File files[] = {
        {"c1", 1, w, h, true, false},      {"as1", 4, w, h, true, false},
        {"c2", 2, w, h, false, false},     {"as2", 4, w, h, false, false},
        {"c3", 3, w, h, true, false},      {"small", 4, 8, 4, true, false},
        {"padded", 4, w, h, true, true},   {"large", 4, 24, 12, true, false},
        {"cropped", 4, w, h, true, false},
    };
    std::vector<std::string> inputs = {"fg.png"};
    for (const File& f : files) {
        std::vector<uint8_t> grey, alpha;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const bool outside = f.padded && (x >= 8 || y >= 4);
                grey.push_back(outside ? 0 : static_cast<uint8_t>((x * 29 + y * 53) & 255));
                alpha.push_back(f.alphaIsGrey ? grey.back()
                                              : static_cast<uint8_t>(255 - x * 11 - y));
            }
        writeChannels(dir / (std::string(f.name) + ".png"), f.channels, grey, alpha, f.width,
                      f.height);
        inputs.push_back(std::string(f.name) + ".png");
    }
    const FolderSnapshot before(dir, inputs);
    // The foreground gives the size, so the other sizes go in the other roles only.
    const char* roles[4] = {"fg", "bg", "hold", "garbage"};
    const auto inRole = [](const File& f, int role) { return role > 0 || f.width == 16; };
    std::string script;
    for (int role = 0; role < 4; ++role)
        for (const File& f : files) {
            if (!inRole(f, role)) continue;
            std::string images[4] = {"FileIn(\"fg.png\")", "0", "0", "0"};
            images[role] = "FileIn(\"" + std::string(f.name) + ".png\")";
            script += "FileOut(Zephra_1v4(" + images[0] + ", " + images[1] + ", " + images[2] +
                      ", " + images[3] + "), \"" + roles[role] + "-" + f.name + ".png\");\n";
        }
    const RunResult r = runScript(script);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::pair<const char*, const char*> same[] = {
        {"c1", "as1"}, {"c2", "as2"}, {"small", "padded"}, {"large", "cropped"}};
    for (int role = 0; role < 4; ++role) {
        SCOPED_TRACE(roles[role]);
        const std::string prefix = dir / (std::string(roles[role]) + "-");
        for (const File& f : files) {
            if (!inRole(f, role)) continue;
            const ImageInfo info = readImageInfo(prefix + f.name + ".png");
            EXPECT_EQ(info.width, w) << f.name;
            EXPECT_EQ(info.height, h) << f.name;
        }
        for (const auto& [file, equivalent] : same) {
            if (role == 0 && std::string(file).rfind("c", 0) != 0) continue;
            EXPECT_EQ(readText(prefix + file + ".png"), readText(prefix + equivalent + ".png"))
                << file;
        }
    }
    EXPECT_EQ(before.changedIn(dir), "");
}

}  // namespace
}  // namespace pxhost::test
