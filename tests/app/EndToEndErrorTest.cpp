// Sequences and frame ranges, a missing frame, a broken plug-in, help and version. The exit
// paths of bad input are in BadInputRunTest.cpp.

#include <sys/stat.h>
#include <unistd.h>

#include "EndToEnd.h"

namespace pxhost::test {
namespace {

class Sequences : public EndToEnd {
protected:
    // Frames 1, 2, 3, 5 and 6 exist; 4 is missing.
    void SetUp() override {
        for (int f : {1, 2, 3, 5, 6}) {
            Raster r = plate(1);
            put(r, 0, 0, f / 10.0f, 0, 0, 0);  // tells the frames apart
            write("fg." + std::string(f < 10 ? "000" : "00") + std::to_string(f) + ".png", r);
        }
    }
    RunResult key(std::vector<std::string> args) {
        return runScript(
            "FileOut(Zephra_1v4(FileIn(\"fg.####.png\"), 0, 0, 0, \"unpremultiplied\"), "
            "\"out.%03d.png\");",
            std::move(args));
    }
    std::vector<std::string> written() const {
        std::vector<std::string> out;
        for (const std::string& n : dir.list())
            if (n.rfind("out.", 0) == 0 || n[0] == '.') out.push_back(n);
        return out;
    }
};

TEST_F(Sequences, FrameRangesPickTheFrames) {
    struct Case {
        const char* range;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"1-3", {"out.001.png", "out.002.png", "out.003.png"}},
        {"1-6x2", {"out.001.png", "out.003.png", "out.005.png"}},
        {"6,1-2,5", {"out.001.png", "out.002.png", "out.005.png", "out.006.png"}},
    };
    for (const Case& c : cases) {
        for (const std::string& n : written()) unlink((dir / n).c_str());
        const RunResult r = key({"-t", c.range});
        EXPECT_EQ(r.status, 0) << c.range << ": " << r.err;
        EXPECT_EQ(written(), c.files) << c.range;
    }
    // Each output holds its own frame's picture.
    EXPECT_NEAR(at(readImage(dir / "out.005.png"), 0, 0, kSampleR), 0.5f, 1.5f / 255);
    EXPECT_NEAR(at(readImage(dir / "out.006.png"), 0, 0, kSampleR), 0.6f, 1.5f / 255);
}

TEST_F(Sequences, AMissingFrameStopsTheRenderOrIsSkipped) {
    RunResult r = key({"-t", "1-6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "pxhost: frame 4: fg.0004.png: cannot read input: No such file or directory\n");
    EXPECT_EQ(written(), (std::vector<std::string>{"out.001.png", "out.002.png", "out.003.png"}));

    for (const std::string& n : written()) unlink((dir / n).c_str());
    r = key({"-t", "1-6", "--keep-going"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("frame 4: fg.0004.png"), std::string::npos) << r.err;
    EXPECT_EQ(written(), (std::vector<std::string>{"out.001.png", "out.002.png", "out.003.png",
                                                   "out.005.png", "out.006.png"}));
}

TEST_F(Sequences, VerboseTimingsAndForcedProgress) {
    const RunResult r = key({"-t", "1-2", "-v", "--progress"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("frame 1: read "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("frame 2 of 2"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("2 frames: read "), std::string::npos) << r.err;
}

class Errors : public EndToEnd {};

TEST_F(Errors, ABrokenPluginIsReportedAndTheProgramsOwnStandsIn) {
    write("fg.png", plate(1));
    mkdir((dir / "plugins").c_str(), 0755);
    writeText(dir / "plugins/libpxzp_lx.so", "not a library");
    const RunResult r =
        runScript("FileOut(Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, \"status\"), \"s.png\");",
                  {"--plugin-dir", "plugins"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.rfind("pxhost: plug-in plugins/libpxzp_lx.so not loaded: ", 0), 0u) << r.err;
    EXPECT_TRUE(fileExists(dir / "s.png"));
}

TEST_F(Errors, HelpAndVersionSucceed) {
    RunResult r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: pxhost"), std::string::npos);
    r = run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("pxhost ", 0), 0u);
    r = run({});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--help"), std::string::npos);
}

}  // namespace
}  // namespace pxhost::test
