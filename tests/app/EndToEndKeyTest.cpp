// Keying real files end to end: every output mode, every input depth and format. Thread counts are
// checked where the threads are made (the SDK's render, the node's fill and the frame pipeline).

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

}  // namespace
}  // namespace pxhost::test
