// The built-in demo and the example scripts, run as a user would.

#include <sys/stat.h>

#include "EndToEnd.h"
#include "app/DemoShot.h"

namespace pxhost::test {
namespace {

class Demo : public EndToEnd {};

// Counts the pixels of a picture whose R, G, B match a test.
template <typename Test>
size_t countPixels(const Raster& r, Test test) {
    size_t n = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            if (test(EndToEnd::at(r, x, y, kSampleR), EndToEnd::at(r, x, y, kSampleG),
                     EndToEnd::at(r, x, y, kSampleB)))
                ++n;
    return n;
}

// The demo's four pictures, the inputs it writes for the examples, and the example scripts
// run on small stand-ins for those inputs.
TEST_F(Demo, WritesItsPicturesAndInputsAndTheExamplesRun) {
    // Without -q the files written are printed; the folder is made as needed.
    const RunResult demo =
        runProgram(kProgram, {"--no-progress", "--demo", "out/demo"}, dir.path());
    ASSERT_EQ(demo.status, 0) << demo.err;
    const std::vector<std::string> names = {"composite.png", "matte.png", "status.png",
                                            "unpremultiplied.png"};
    std::string printed;
    for (const std::string& n : names) printed += "out/demo/" + n + "\n";
    EXPECT_EQ(demo.out, printed);
    EXPECT_EQ(dir.list("out/demo"), names);  // and nothing else
    for (const std::string& n : names) {
        const Raster p = readImage(dir / ("out/demo/" + n));
        EXPECT_EQ(p.width, kDemoWidth) << n;
        EXPECT_EQ(p.height, kDemoHeight) << n;
    }
    // The matte is one grey channel, fully transparent over much of the screen, solid over
    // the subject, and partial at the hair and the scarf.
    const Raster matte = readImage(dir / "out/demo/matte.png");
    const size_t pixels = static_cast<size_t>(kDemoWidth) * kDemoHeight;
    const size_t clear = countPixels(matte, [](float v, float, float) { return v == 0; });
    const size_t solid = countPixels(matte, [](float v, float, float) { return v == 1; });
    EXPECT_GT(clear, pixels / 3);
    EXPECT_GT(solid, pixels / 10);
    EXPECT_GT(pixels - clear - solid, pixels / 200);
    // The status picture agrees with the matte: black exactly where the matte is clear.
    const Raster status = readImage(dir / "out/demo/status.png");
    EXPECT_EQ(countPixels(status, [](float r, float g, float b) { return r + g + b == 0; }), clear);
    // The composite shows the background plate where the screen was keyed away.
    const Raster comp = readImage(dir / "out/demo/composite.png");
    EXPECT_EQ(comp.channels, kChanRGB);

    // The inputs for the examples.
    const RunResult inputs = run({"--demo-inputs", "in"});
    ASSERT_EQ(inputs.status, 0) << inputs.err;
    EXPECT_EQ(dir.list("in"),
              (std::vector<std::string>{"background.png", "bluescreen.png", "coverage.png",
                                        "garbage.png", "holdout.png"}));
    // The true coverage: nothing over the open screen, all of the subject's body.
    const Raster coverage = readImage(dir / "in/coverage.png");
    EXPECT_EQ(at(coverage, 10, 10, kSampleA), 0.0f);
    EXPECT_EQ(at(coverage, kDemoWidth / 2, kDemoHeight - 10, kSampleA), 1.0f);
    const Raster fg = readImage(dir / "in/bluescreen.png");
    EXPECT_EQ(fg.depth, 2);
    EXPECT_EQ(fg.channels, kChanRGB);
    EXPECT_EQ(readImage(dir / "in/holdout.png").depth, 1);

    // The examples in a folder of their own, run from the folder above: their file names are
    // taken from their own folder. Small stand-ins for the files --demo-inputs writes, under
    // the same names, next to them.
    mkdir((dir / "ex").c_str(), 0755);
    mkdir((dir / "ex/demo-inputs").c_str(), 0755);
    mkdir((dir / "ex/seq").c_str(), 0755);
    WriteOptions grey;
    grey.channels = "a";
    writeImage(dir / "ex/demo-inputs/bluescreen.png", makeDemoForeground(64, 36), {});
    writeImage(dir / "ex/demo-inputs/background.png", makeDemoBackground(64, 36), {});
    writeImage(dir / "ex/demo-inputs/holdout.png", makeDemoHoldOut(64, 36), grey);
    writeImage(dir / "ex/demo-inputs/garbage.png", makeDemoGarbage(64, 36), grey);
    for (int f = 1; f <= 5; ++f)
        writeImage(dir / ("ex/seq/plate.000" + std::to_string(f) + ".png"),
                   makeDemoForeground(64, 36), {});
    struct Case {
        const char* script;
        std::vector<std::string> writes;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"composite.pxs", {"composite.png"}, {}},
        {"comp-on-black.pxs", {"comp-on-black.png"}, {}},
        {"comp-on-replace.pxs", {"comp-on-replace.png"}, {}},
        {"unpremultiplied.pxs", {"foreground.tif", "matte.png"}, {}},
        {"status.pxs", {"status.png"}, {}},
        {"exr-deliverable.pxs", {"foreground.exr"}, {}},
        {"mattes.pxs", {"mattes.png"}, {}},
        {"older-script.pxs", {"older.png"}, {}},
        {"sequence.pxs",
         {"seq/key.0001.tif", "seq/key.0003.tif", "seq/key.0005.tif"},
         {"-t", "1-5x2"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        writeText(dir / ("ex/" + std::string(c.script)),
                  readText(std::string(EXAMPLES_DIR) + "/" + c.script));
        args.push_back("ex/" + std::string(c.script));
        const RunResult r = run(args);
        EXPECT_EQ(r.status, 0) << c.script << ": " << r.err;
        EXPECT_EQ(r.err, "") << c.script;  // no warnings either
        for (const std::string& w : c.writes)
            EXPECT_TRUE(fileExists(dir / ("ex/" + w))) << c.script << " did not write " << w;
    }
    // The older command keys exactly like the current one.
    EXPECT_TRUE(readImage(dir / "ex/older.png").samples ==
                readImage(dir / "ex/composite.png").samples);
    // The mattes change the picture: the stand is cut and the badge held.
    EXPECT_FALSE(readImage(dir / "ex/mattes.png").samples ==
                 readImage(dir / "ex/composite.png").samples);
}

}  // namespace
}  // namespace pxhost::test
