// Sequences, frame ranges and every error a user can meet: the exit status, one clear line
// naming the file or option, and no partial or overwritten file.

#include <sys/stat.h>
#include <unistd.h>

#include <OpenImageIO/imageio.h>
#include <cstring>
#include <fstream>

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

// A 1x1 PNG whose header claims 60000 x 60000 pixels.
void writeHugePng(const std::string& path) {
    Raster one;
    one.allocate(1, 1, 1, kChanRGB);
    writeImage(path, one, {});
    std::string data = readText(path);
    // IHDR data starts at byte 16: width and height, big-endian; its CRC follows 13 bytes.
    const unsigned char size[4] = {0, 0, 0xEA, 0x60};
    for (int i = 0; i < 4; ++i) data[16 + i] = data[20 + i] = static_cast<char>(size[i]);
    uint32_t crc = 0xffffffffu;
    for (size_t i = 12; i < 12 + 4 + 13; ++i) {
        crc ^= static_cast<unsigned char>(data[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) data[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    writeText(path, data);
}

class Errors : public EndToEnd {};

TEST_F(Errors, EachGetsOneLineAnExitStatusAndLeavesNothing) {
    write("fg.png", plate(1));
    writeText(dir / "junk.png", "not a picture");
    writeHugePng(dir / "huge.png");
    {
        // Signed 16-bit samples: a layout the keyer cannot take.
        auto out = OIIO::ImageOutput::create(dir / "signed.tif");
        OIIO::ImageSpec spec(2, 2, 3, OIIO::TypeDesc::INT16);
        std::vector<int16_t> px(12, 5);
        out->open(dir / "signed.tif", spec);
        out->write_image(OIIO::TypeDesc::INT16, px.data());
        out->close();
    }
    writeText(dir / "out.png", "old output");
    const std::vector<std::string> inputs = {"fg.png", "junk.png", "huge.png", "signed.tif",
                                             "out.png"};
    const std::string key = "Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, \"status\")";
    const std::string readOnly = geteuid() == 0 ? "/sys/out.png" : "/proc/out.png";
    struct Case {
        std::string script;  // empty: none
        std::vector<std::string> args;
        int status;
        std::string message;  // the line must contain this
    };
    const Case cases[] = {
        // Script errors, with file, line and column.
        {"\n  FileOut(" + key + " \"out.png\");", {}, 2, "script.pxs:2:"},
        {"FileOut(Nope(1), \"out.png\");", {}, 2, "script.pxs:1:9: unknown function 'Nope'"},
        {"FileOut(" + key + ", \"out.bogus\");", {}, 2, "out.bogus: no image format"},
        {"FileOut(" + key + ", \"out.png\", \"12\");", {}, 2, "unknown depth \"12\""},
        {"FileOut(" + key + ", \"a.##.#.png\");", {}, 2, "more than one frame number"},
        {"FileOut(FileIn(\"fg.png\"), \"fg.png\");", {}, 2, "fg.png: the script also reads"},
        {"FileOut(" + key + ", \"o.png\"); FileOut(" + key + ", \"o.png\");",
         {},
         2,
         "o.png: the script writes this file more than once"},
        {"x = FileIn(\"fg.png\");", {}, 2, "writes no picture"},
        {"FileOut(" + key + ", \"o.####.png\");", {}, 2, "o.####.png: names a sequence"},
        {"FileOut(" + key + ", \"o.png\");", {"-t", "1-2"}, 2, "o.png: has no frame number"},
        // Command-line errors.
        {"", {"missing.pxs"}, 2, "missing.pxs: cannot read the script"},
        {"FileOut(" + key + ", \"o.#.png\");", {"-t", "3-1"}, 2, "-t: bad frame range \"3-1\""},
        {"FileOut(" + key + ", \"o.#.png\");", {"-t", "1-x"}, 2, "-t: bad frame range"},
        {"FileOut(" + key + ", \"o.png\");", {"--threads", "0"}, 2, "--threads"},
        {"FileOut(" + key + ", \"o.png\");", {"--frobnicate"}, 2, "--frobnicate: unknown option"},
        {"FileOut(" + key + ", \"o.png\");",
         {"--plugin-dir", "nowhere"},
         2,
         "--plugin-dir nowhere"},
        // Render errors: files and pixels.
        {"FileOut(FileIn(\"missing.png\"), \"o.png\");", {}, 1, "missing.png: cannot read input"},
        {"FileOut(FileIn(\"junk.png\"), \"o.png\");", {}, 1, "junk.png: cannot read input"},
        {"FileOut(FileIn(\"signed.tif\"), \"o.png\");",
         {},
         1,
         "signed.tif: unsupported pixel layout"},
        {"FileOut(FileIn(\"huge.png\"), \"o.png\");",
         {},
         1,
         "huge.png: image of 60000x60000 pixels is too large"},
        {"FileOut(" + key + ", \"nodir/o.png\");",
         {},
         1,
         "nodir/o.png: output folder nodir does not exist"},
        {"FileOut(" + key + ", \"" + readOnly + "\");", {}, 1, readOnly + ": output folder"},
        {"FileOut(FileIn(\"missing.png\"), \"out.png\");", {}, 1, "missing.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script + " " + (c.args.empty() ? "" : c.args[0]));
        const RunResult r = c.script.empty() ? run(c.args) : runScript(c.script, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err.rfind("pxhost: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
        EXPECT_TRUE(outputsBesides(inputs).empty()) << "left behind: " << outputsBesides(inputs)[0];
        EXPECT_EQ(readText(dir / "out.png"), "old output");
    }
}

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
