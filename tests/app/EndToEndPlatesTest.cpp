// Real plates in, real deliverables out: float values above 1.0 through the keyer, colour
// spaces, premultiplied writing and movie frames, each run through the built program.

#include <cmath>

#include "EndToEnd.h"

namespace pxhost::test {
namespace {

constexpr float kHeadroom = 8;
// The keyer's internal colour scale (16383 stands for 1.0) and the 16-bit samples it runs on.
constexpr float kPrecision = kHeadroom / 16383 + kHeadroom / 65535;

// A float plate with values from 0 to 8: the left half screen, the right half the subject at
// a brightness that rises row by row, over a plate whose red rises from 0 to 8 left to right.
class FloatHeadroom : public EndToEnd {
protected:
    static constexpr int kW = 16, kH = 9;
    static float brightness(int y) { return kHeadroom * (y + 1) / kH; }
    void SetUp() override {
        Raster fg, bg;
        fg.allocate(kW, kH, 4, kChanRGB);
        bg.allocate(kW, kH, 4, kChanRGB);
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                const float k = brightness(y);
                if (x < kW / 2)
                    put(fg, x, y, 0, 0, kScreenB * kHeadroom, 0);
                else
                    put(fg, x, y, kSubject[0] * k, kSubject[1] * k, kSubject[2] * k, 0);
                put(bg, x, y, kHeadroom * x / (kW - 1), kHeadroom * y / (kH - 1), 0.01f, 0);
            }
        write("fg.exr", fg);
        write("bg.exr", bg);
    }
};

TEST_F(FloatHeadroom, KeyedAndSolidAreasKeepTheirValues) {
    // The screen colour is given divided by the headroom, as the plates reach the keyer.
    const RunResult r = runScript(
        "key = Zephra_1v4(FileIn(\"fg.exr\", \"\", 8), FileIn(\"bg.exr\", \"\", 8), 0, 0);"
        "FileOut(key, \"out.exr\", \"float\");");
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster fg = readImage(dir / "fg.exr"), bg = readImage(dir / "bg.exr");
    const Raster out = readImage(dir / "out.exr");
    ASSERT_EQ(out.depth, 4);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const Raster& expected = x < kW / 2 ? bg : fg;
            for (int s : {kSampleR, kSampleG, kSampleB})
                EXPECT_NEAR(at(out, x, y, s), at(expected, x, y, s), kPrecision)
                    << "pixel " << x << "," << y << " sample " << s;
            EXPECT_EQ(at(out, x, y, kSampleA), x < kW / 2 ? 0.0f : 1.0f);
        }
}

// sRGB's decoding, written out independently of the colour library.
float srgbToLinear(float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

class ColourSpaces : public EndToEnd {
protected:
    void SetUp() override {
        Raster ramp;
        ramp.allocate(256, 1, 1, kChanRGB);
        for (int x = 0; x < 256; ++x)
            for (int s : {kSampleR, kSampleG, kSampleB}) ramp.data<uint8_t>()[x * 4 + s] = x;
        write("ramp.png", ramp);
    }
};

TEST_F(ColourSpaces, ReadingConvertsToLinearAndWritingConvertsBack) {
    const RunResult r = runScript(
        "pic = FileIn(\"ramp.png\", \"sRGB\");"
        "FileOut(pic, \"linear.exr\", \"float\");"
        "FileOut(pic, \"back.png\", \"\", \"\", \"\", \"sRGB\");");
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster linear = readImage(dir / "linear.exr");
    const Raster back = readImage(dir / "back.png");
    ASSERT_EQ(back.depth, 1);
    for (int x = 0; x < 256; ++x)
        for (int s : {kSampleR, kSampleG, kSampleB}) {
            EXPECT_NEAR(at(linear, x, 0, s), srgbToLinear(x / 255.0f), 1e-4f) << x;
            EXPECT_EQ(back.data<uint8_t>()[x * 4 + s], x);
        }
}

class PremultipliedWrite : public EndToEnd {};

// A plate with a soft edge: screen, half screen and half subject, subject.
TEST_F(PremultipliedWrite, ColourIsMultipliedByTheMatte) {
    Raster fg = plate(4);
    for (int y = 0; y < fg.height; ++y)
        put(fg, fg.width / 2, y, kSubject[0] / 2, kSubject[1] / 2, (kSubject[2] + kScreenB) / 2, 0);
    write("fg.exr", fg);
    const RunResult r = runScript(
        "key = Zephra_1v4(FileIn(\"fg.exr\"), 0, 0, 0, \"unpremultiplied\");"
        "FileOut(key, \"straight.exr\", \"float\");"
        "FileOut(key, \"premultiplied.exr\", \"float\", \"\", \"\", \"\", 1);");
    ASSERT_EQ(r.status, 0) << r.err;
    const Raster straight = readImage(dir / "straight.exr");
    const Raster premultiplied = readImage(dir / "premultiplied.exr");
    const float edgeAlpha = at(straight, fg.width / 2, 0, kSampleA);
    EXPECT_GT(edgeAlpha, 0.1f);
    EXPECT_LT(edgeAlpha, 0.9f);
    for (int y = 0; y < fg.height; ++y)
        for (int x = 0; x < fg.width; ++x) {
            const float a = at(straight, x, y, kSampleA);
            EXPECT_EQ(at(premultiplied, x, y, kSampleA), a);
            for (int s : {kSampleR, kSampleG, kSampleB})
                EXPECT_FLOAT_EQ(at(premultiplied, x, y, s), at(straight, x, y, s) * a);
        }
}

// A movie of six frames made with ffmpeg: three dark ones, then three bright ones.
class MovieFrames : public EndToEnd {
protected:
    static constexpr float kDark = 0x20 / 255.0f, kBright = 0xc0 / 255.0f;
    void SetUp() override {
        const std::string command =
            "ffmpeg -v error -y -f lavfi -i color=c=0x202020:s=64x36:r=25:d=0.12 -f lavfi -i "
            "color=c=0xc0c0c0:s=64x36:r=25:d=0.12 -filter_complex '[0][1]concat=n=2:v=1' -c:v "
            "qtrle " +
            shellQuote(dir / "shot.mov");
        ASSERT_EQ(std::system(command.c_str()), 0) << "ffmpeg is needed: " << command;
    }
    float grey(const std::string& name) { return at(readImage(dir / name), 32, 18, kSampleG); }
};

TEST_F(MovieFrames, TheFrameNumberAndOffsetPickTheFrame) {
    RunResult r = runScript("FileOut(FileIn(\"shot.mov\"), \"still.png\");");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NEAR(grey("still.png"), kDark, 0.02f);
    r = runScript("FileOut(FileIn(\"shot.mov\", \"\", 1, 2), \"f.####.png\");", {"-t", "1-4"});
    ASSERT_EQ(r.status, 0) << r.err;
    // Frames 1..4 read the movie's frames 3..6.
    const float expected[] = {kDark, kBright, kBright, kBright};
    for (int f = 1; f <= 4; ++f)
        EXPECT_NEAR(grey("f.000" + std::to_string(f) + ".png"), expected[f - 1], 0.02f) << f;
}

TEST_F(MovieFrames, FramesOutsideTheMovieFailNamingTheFrame) {
    for (const char* frames : {"7", "0"}) {
        const RunResult r =
            runScript("FileOut(FileIn(\"shot.mov\"), \"f.####.png\");", {"-t", frames});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(std::string("has no frame ") + frames), std::string::npos) << r.err;
        EXPECT_TRUE(outputsBesides({"shot.mov"}).empty());
    }
}

}  // namespace
}  // namespace pxhost::test
