// Sequences and frame ranges, a missing frame, help and version. The exit paths of bad input
// are in BadInputRunTest.cpp.

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <map>

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

// A frame keyed within a run, on one thread or with reading and writing beside the keying, is
// the frame keyed alone (and reads its own file, which the frames' marks tell apart): the
// foreground sequence handed to the render, the still plate behind it serving every frame, and the
// foreground also written as read.
TEST_F(Sequences, AFrameOfARunIsTheFrameKeyedAlone) {
    write("bg.png", flat(1, kBackground));
    const std::string script =
        "fg = FileIn(\"fg.####.png\");\n"
        "FileOut(fg, \"fg-out.%03d.png\");\n"
        "FileOut(Zephra_1v4(fg, FileIn(\"bg.png\"), 0, 0, \"composite\"), \"out.%03d.png\");\n";
    const auto samples = [&](const std::string& name) { return readImage(dir / name).samples; };
    std::map<std::string, SampleStore> alone;
    for (const char* frame : {"1", "3", "6"}) {
        ASSERT_EQ(runScript(script, {"-t", frame}).status, 0) << frame;
        for (const char* kind : {"fg-out", "out"}) {
            const std::string name = std::string(kind) + ".00" + frame + ".png";
            alone[name] = samples(name);
        }
    }
    EXPECT_EQ(alone["fg-out.003.png"], samples("fg.0003.png"));
    for (const char* threads : {"1", "2"}) {
        const RunResult r = runScript(script, {"--threads", threads, "-t", "1-3,5-6"});
        ASSERT_EQ(r.status, 0) << r.err;
        for (const auto& picture : alone)
            EXPECT_EQ(samples(picture.first), picture.second) << picture.first << ", " << threads;
    }
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

// A screen colour the keyer cannot use: the keyer's own line, then the program's, placed at
// the keyer's call. The frame fails and leaves the old output; the run stops even with
// --keep-going, since every frame would fail alike.
TEST_F(Sequences, AScreenColourTheKeyerCannotUseStopsTheRun) {
    struct Case {
        const char* screen;
        const char* keyerLine;
    };
    const Case cases[] = {
        {"0, 0, 0", "Zephra: Screen colour is zero\n"},
        {"0.5, 0.5, 0.5", "Zephra: illegal screen colour\n"},  // no channel stands out
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.screen);
        for (const std::string& n : written()) unlink((dir / n).c_str());
        writeText(dir / "out.001.png", "old output");
        const RunResult r = runScript(
            std::string("\nk = Zephra_1v4(FileIn(\"fg.####.png\"), 0, 0, 0, \"status\", ") +
                c.screen + ");\nFileOut(k, \"out.%03d.png\");",
            {"-t", "1-3", "--keep-going"});
        EXPECT_EQ(r.status, 1);
        // The keyer prints its line for each frame it was asked to key before the run
        // stopped (the next frame may be under way); the program reports the first failure.
        const std::string report =
            "pxhost: frame 1: out.001.png: script.pxs:2:5: keyer error: the screen colour is "
            "zero or illegal (its strongest channel must stand out from the other two)\n";
        ASSERT_GE(r.err.size(), report.size());
        const std::string before = r.err.substr(0, r.err.size() - report.size());
        EXPECT_EQ(r.err.substr(before.size()), report);
        EXPECT_FALSE(before.empty());
        for (size_t at = 0; at < before.size(); at += std::strlen(c.keyerLine))
            EXPECT_EQ(before.compare(at, std::strlen(c.keyerLine), c.keyerLine), 0) << r.err;
        EXPECT_EQ(written(), std::vector<std::string>{"out.001.png"});
        EXPECT_EQ(readText(dir / "out.001.png"), "old output");
    }
}

class Errors : public EndToEnd {};

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
