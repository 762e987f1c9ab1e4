// Keying real files end to end: every output mode, every input depth and format, and the
// ways a script is given. Thread counts are checked where the threads are made (the SDK's
// render, the node's fill and the frame pipeline).

#include <random>

#include "EndToEnd.h"

namespace pxhost::test {
namespace {

// What each output mode makes of a screen pixel and of a subject pixel: R, G, B, A (-1: any).
struct ModeCase {
    const char* output;
    const char* channels;  // FileOut's channel selection
    float screen[4];
    float subject[4];
};

const ModeCase kModes[] = {
    {"composite",
     "",
     {kBackground[0], kBackground[1], kBackground[2], -1},
     {kSubject[0], kSubject[1], kSubject[2], 1}},
    {"compOnBlack", "", {0, 0, 0, 0}, {kSubject[0], kSubject[1], kSubject[2], 1}},
    {"compOnReplace",
     "",
     {kReplace, kReplace, kReplace, 0},
     {kSubject[0], kSubject[1], kSubject[2], 1}},
    {"unpremultiplied", "", {-1, -1, -1, 0}, {kSubject[0], kSubject[1], kSubject[2], 1}},
    {"unpremultiplied", "a", {0, 0, 0, 0}, {1, 1, 1, 1}},  // the matte
    {"status", "", {0, 0, 0, 0}, {0.25f, 0, 1, 1}},
};

struct FormatCase {
    const char* ext;
    int depth;
};

const FormatCase kFormats[] = {{"png", 1}, {"png", 2}, {"tif", 1}, {"tif", 2}, {"exr", 4}};

class KeyFiles : public EndToEnd {};

TEST_F(KeyFiles, EveryOutputModeAtEveryDepth) {
    for (const FormatCase& f : kFormats) {
        const std::string fg = std::string("fg.") + f.ext, bg = std::string("bg.") + f.ext;
        write(fg, plate(f.depth));
        write(bg, flat(f.depth, kBackground));
        // The keyer works on 8 or 16 bits; float inputs are keyed at 16. Its colours pass
        // through 14-bit internal units, which bounds the precision of 16-bit results.
        const int outDepth = f.depth == 1 ? 1 : 2;
        const float tolerance = outDepth == 1 ? 1.5f / 255 : 2.0f / 16383;
        // One run writes every mode.
        std::string script = "fg = FileIn(\"" + fg + "\"); bg = FileIn(\"" + bg + "\");\n";
        for (size_t k = 0; k < std::size(kModes); ++k)
            script += std::string("FileOut(Zephra_1v4(fg, bg, 0, 0, \"") + kModes[k].output +
                      "\"), \"out" + std::to_string(k) + ".tif\", \"\", \"" + kModes[k].channels +
                      "\");\n";
        const RunResult r = runScript(script);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (size_t k = 0; k < std::size(kModes); ++k) {
            const ModeCase& m = kModes[k];
            SCOPED_TRACE(std::string(f.ext) + " depth " + std::to_string(f.depth) + " " + m.output +
                         " " + m.channels);
            const Raster out = readImage(dir / ("out" + std::to_string(k) + ".tif"));
            ASSERT_EQ(out.width, 16);
            ASSERT_EQ(out.height, 9);
            EXPECT_EQ(out.depth, outDepth);
            const int order[4] = {kSampleR, kSampleG, kSampleB, kSampleA};
            for (int y = 0; y < 9; y += 4)
                for (int c = 0; c < 4; ++c) {
                    if (m.screen[c] >= 0) {
                        EXPECT_NEAR(at(out, 2, y, order[c]), m.screen[c], tolerance) << c;
                    }
                    if (m.subject[c] >= 0) {
                        EXPECT_NEAR(at(out, 12, y, order[c]), m.subject[c], tolerance) << c;
                    }
                }
        }
    }
}

// The same picture at 8 and 16 bits keys to the same result, to the precision of 8 bits; a
// float file holding the 16-bit samples keys exactly like the 16-bit file.
TEST_F(KeyFiles, DepthsAgree) {
    Raster fg8;
    fg8.allocate(16, 9, 1, kChanRGB);
    std::mt19937 rng(3);
    for (size_t i = 0; i < fg8.sampleCount(); ++i)
        if (i % 4)
            fg8.data<uint8_t>()[i] =
                static_cast<uint8_t>(i % 4 == kSampleB ? 120 + rng() % 136 : rng() % 256);
    Raster fg16, fgFloat;
    fg16.allocate(16, 9, 2, kChanRGB);
    fgFloat.allocate(16, 9, 4, kChanRGB);
    for (size_t i = 0; i < fg8.sampleCount(); ++i) {
        fg16.data<uint16_t>()[i] = static_cast<uint16_t>(fg8.data<uint8_t>()[i] * 257);
        fgFloat.data<float>()[i] = fg16.data<uint16_t>()[i] / 65535.0f;
    }
    write("fg8.png", fg8);
    write("fg16.tif", fg16);
    write("fgf.exr", fgFloat);
    write("bg.png", flat(1, kBackground));
    const auto key = [&](const std::string& fg) {
        const RunResult r = runScript("FileOut(Zephra_1v4(FileIn(\"" + fg +
                                      "\"), FileIn(\"bg.png\"), 0, 0, \"composite\"), \"k.tif\");");
        EXPECT_EQ(r.status, 0) << r.err;
        return readImage(dir / "k.tif");
    };
    const Raster k8 = key("fg8.png"), k16 = key("fg16.tif"), kf = key("fgf.exr");
    ASSERT_EQ(k8.depth, 1);
    ASSERT_EQ(k16.depth, 2);
    EXPECT_TRUE(kf.samples == k16.samples);
    for (size_t i = 0; i < k8.sampleCount(); ++i)
        ASSERT_NEAR(k16.data<uint16_t>()[i] / 257.0, k8.data<uint8_t>()[i], 2.0) << "sample " << i;
}

// Scripts come from a file, from -e and from standard input alike.
TEST_F(KeyFiles, ScriptSources) {
    write("fg.png", plate(1));
    const std::string text =
        "FileOut(Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, \"status\"), \"%s.png\");";
    auto named = [&](const char* name) {
        std::string t = text;
        return t.replace(t.find("%s"), 2, name);
    };
    EXPECT_EQ(run({"-e", named("inline")}).status, 0);
    writeText(dir / "s.pxs", named("file"));
    EXPECT_EQ(run({"s.pxs"}).status, 0);
    EXPECT_EQ(
        runProgram("/bin/sh", {"-c", std::string(kProgram) + " - < s.pxs"}, dir.path()).status, 0);
    EXPECT_TRUE(readImage(dir / "inline.png").samples == readImage(dir / "file.png").samples);
}

}  // namespace
}  // namespace pxhost::test
