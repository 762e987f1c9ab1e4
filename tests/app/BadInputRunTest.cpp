// Bad scripts, plug-in folders, frame ranges and output places, a write that runs out of room
// and a render interrupted by a signal: the exit status, one line naming what is wrong, no
// partial file, completed frames whole, and inputs untouched.

#include <sys/mount.h>

#include <OpenImageIO/imageio.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include "BadInput.h"

namespace pxhost::test {
namespace {

const std::string kKey = "Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0)";

class BadInputRun : public EndToEnd {
protected:
    void SetUp() override {
        write("fg.png", plate(2, 64, 36));
        writeText(dir / "out.png", "old output");
    }
    std::vector<std::string> inputs = {"fg.png", "out.png"};
    // A script writing the key, or a copy of one input (its FileIn arguments after the name).
    static std::string out(const std::string& name, const std::string& more = "") {
        return "FileOut(" + kKey + ", \"" + name + "\"" + more + ");";
    }
    static std::string copy(const std::string& input, const std::string& more = "") {
        return "FileOut(FileIn(\"" + input + "\"" + more + "), \"o.png\");";
    }

    struct Case {
        std::string script;  // empty: none
        std::vector<std::string> args;
        int status;
        std::string start;  // the message line starts with "pxhost: " and this
        std::string part;   // and contains this
    };
    void expectAll(const std::vector<Case>& cases) {
        const FolderSnapshot before(dir, inputs);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.script + " " + (c.args.empty() ? "" : c.args[0] + " " + c.args.back()));
            const RunResult r = c.script.empty() ? run(c.args) : runScript(c.script, c.args);
            EXPECT_EQ(r.status, c.status) << r.err;
            EXPECT_EQ(r.err.rfind("pxhost: " + c.start, 0), 0u) << r.err;
            EXPECT_NE(r.err.find(c.part), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "more than one line: " << r.err;
            EXPECT_TRUE(outputsBesides(inputs).empty()) << "left: " << outputsBesides(inputs)[0];
        }
        EXPECT_EQ(before.changedIn(dir), "");
    }
};

// One case per way a run can fail before or while rendering: the exit status (2 for usage and
// script errors, 1 for render errors), one line naming the file, option or place in the
// script, nothing written and no input changed. The parsers' own error cases are in the SDK's
// and the options' tests.
TEST_F(BadInputRun, EveryExitPathGivesOneLineAndLeavesTheFiles) {
    {
        // Signed 16-bit samples: a layout the keyer cannot take.
        auto out = OIIO::ImageOutput::create(dir / "signed.tif");
        OIIO::ImageSpec spec(2, 2, 3, OIIO::TypeDesc::INT16);
        std::vector<int16_t> px(12, 5);
        ASSERT_TRUE(out && out->open(dir / "signed.tif", spec));
        out->write_image(OIIO::TypeDesc::INT16, px.data());
        out->close();
    }
    inputs.push_back("signed.tif");
    const std::string balances =
        "FileOut(Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, "
        "0.5, ";
    const std::string at1 = "script.pxs:1:", at9 = "script.pxs:1:9: ";
    const std::string mixedHeadrooms =
        "FileOut(Zephra_1v4(FileIn(\"fg.png\", \"\", 8), FileIn(\"fg.png\", \"\", 4), 0, 0), "
        "\"o.exr\");";
    expectAll({
        // Script errors, at their place.
        {out("out.png") + "\nx = FileIn(\"fg.png\")", {}, 2, "script.pxs:2:", "';'"},
        {"FileOut(plate, \"out.png\");", {}, 2, at9, "undeclared name 'plate'"},
        {copy("fg.png", ", \"\", 0"), {}, 2, at9, "headroom \"0\" is not a number above 0"},
        {copy("fg.png", ", \"\", -2"), {}, 2, at9, "headroom"},
        {copy("fg.png", ", \"\", \"x\""), {}, 2, at9, "headroom"},
        {copy("fg.png", ", \"\", \"1e999\""), {}, 2, at9, "headroom"},
        {mixedHeadrooms, {}, 2, at1, "different headrooms"},
        {copy("fg.png", ", \"NoSuchSpace\""), {}, 2, at9, "unknown colour space"},
        {out("o.png", ", \"\", \"\", \"\", \"x\""), {}, 2, at1, "unknown colour space"},
        {balances + "\"midtoneBalance\", \"shadowBalance\"), \"o.png\");", {}, 2, at9, "cycle"},
        {balances + "\"noSuchPlug\"), \"o.png\");", {}, 2, at9, "'noSuchPlug'"},
        // What the script asks of the program.
        {out("out.bogus"), {}, 2, at1, "out.bogus: no image format"},
        {out("out.png", ", \"12\""), {}, 2, at1, "unknown depth \"12\""},
        {out("o.png", ", \"\", \"bgr\""), {}, 2, at1, "unknown channel selection \"bgr\""},
        {"x = FileIn(\"fg.png\");", {}, 2, "script.pxs: ", "writes no picture"},
        {out("o.####.png"), {}, 2, "o.####.png: ", "names a sequence"},
        {out("o.png"), {"-t", "1-2"}, 2, "o.png: ", "has no frame number"},
        // The command line.
        {"", {"missing.pxs"}, 2, "missing.pxs: ", "cannot read the script"},
        {out("o.#.png"), {"-t", "3-1"}, 2, "-t: bad frame range \"3-1\"", "before the first"},
        {"", {"script.pxs", "-t"}, 2, "-t: needs a value", ""},
        {out("o.png"), {"--frobnicate"}, 2, "--frobnicate: unknown option", ""},
        {out("o.png"), {"--plugin-dir", "fg.png"}, 2, "--plugin-dir fg.png", "cannot read"},
        {out("o.png"), {"--plugin-dir", ""}, 2, "--plugin-dir", ""},
        // Render errors: inputs the program cannot use, and the keyer refusing its parameters.
        {copy("missing.png"), {}, 1, "frame 1: missing.png: ", "cannot read input"},
        {copy("signed.tif"), {}, 1, "frame 1: signed.tif: ", "unsupported pixel layout"},
    });
}

// Bind-mounts a folder on another for the life of the object, when the system allows it.
class BindMount {
public:
    BindMount(const std::string& from, const std::string& on) : m_on(on) {
        mounted = mount(from.c_str(), on.c_str(), nullptr, MS_BIND, nullptr) == 0;
    }
    ~BindMount() {
        if (mounted) umount2(m_on.c_str(), MNT_DETACH);
    }
    bool mounted = false;

private:
    std::string m_on;
};

// An output is refused when it reaches a file the run reads (an input, the script) or another
// output, however it is spelt: another route to the folder, a hard or symbolic link, another
// mount. Files that are not regular, places that cannot take the output, bad compressions and
// a second -t are refused as well.
TEST_F(BadInputRun, FilesAreKnownByWhatTheyAreNotHowTheyAreSpelt) {
    ASSERT_EQ(link((dir / "fg.png").c_str(), (dir / "alias.png").c_str()), 0);
    // Links and mount points sit in a folder of their own, whose snapshot does not change when
    // the runs write into the folder they lead to.
    mkdir((dir / "sub").c_str(), 0755);
    mkdir((dir / "sub/mnt").c_str(), 0755);
    ASSERT_EQ(symlink("..", (dir / "sub/up").c_str()), 0);
    // Inside a folder, so that the snapshot of the inputs does not open it.
    ASSERT_EQ(mkfifo((dir / "sub/fifo").c_str(), 0644), 0);
    writeText(dir / "key.tif", "FileOut(" + kKey + ", \"./key.tif\");");
    writeText(dir / "ro.png", "old output");
    chmod((dir / "ro.png").c_str(), 0444);
    mkdir((dir / "folder.png").c_str(), 0755);
    inputs.insert(inputs.end(), {"alias.png", "sub", "key.tif", "ro.png", "folder.png"});
    const BindMount bind(dir.path(), dir / "sub/mnt");
    // Without a bind mount (no privilege) the symbolic link is the other route to the folder.
    const std::string otherRoute = bind.mounted ? "sub/mnt/fg.png" : "sub/up/fg.png";
    const std::string at1 = "script.pxs:1:", input = "refusing to overwrite an input";
    expectAll({
        {out("./fg.png"), {}, 2, at1, input},
        {out("alias.png"), {}, 2, at1, input},
        {out("sub/up/fg.png"), {}, 2, at1, input},
        {out(otherRoute), {}, 2, at1, input},
        {out(dir / "fg.png"), {}, 2, at1, input},
        {"", {"key.tif"}, 2, "key.tif:1:", "is the script itself"},
        {out("o.png") + out("./o.png"), {}, 2, at1, "more than once"},
        {out("s.####.png") + out("./s.%04d.png"), {"-t", "1-2"}, 2, at1, "more than once"},
        {out("s.#.png") + out("sub/up/s.####.png"), {"-t", "999-1000"}, 2, "sub/up/", "once"},
        {out("o.tif", ", \"\", \"\", \"zap\""), {}, 2, at1, "unknown compression \"zap\""},
        {out("o.png"), {"-t", "1", "-t", "2"}, 2, "-t 2: ", "frames already given"},
        {"", {"sub"}, 2, "sub: ", "is a folder, not a script"},
        {"", {"sub/fifo"}, 2, "sub/fifo: ", "not a regular file"},
        {"", {"/dev/zero"}, 2, "/dev/zero: ", "not a regular file"},
        {copy("/dev/zero"), {}, 1, "frame 1: /dev/zero: ", "not a regular file"},
        {copy("sub/fifo"), {}, 1, "frame 1: sub/fifo: ", "not a regular file"},
        {copy("sub"), {}, 1, "frame 1: sub: ", "it is a folder"},
        {out("ro.png"), {}, 1, "ro.png: ", "read-only"},
        {out("folder.png"), {}, 1, "folder.png: ", "output file name is a folder"},
        {out("a/b/c/o.png"), {}, 1, "a/b/c/o.png: output folder a/b/c", "does not exist"},
        {out("fg.png/o.png"), {}, 1, "fg.png/o.png: output folder fg.png", "is a file, not"},
        {out("/proc/self/o.png"), {}, 1, "/proc/self/o.png: output folder", ""},
    });
}

// A replaced file keeps its permissions; a name as long as the folder takes can be written.
TEST_F(BadInputRun, ReplacedFilesKeepTheirModeAndLongNamesFit) {
    chmod((dir / "out.png").c_str(), 0600);
    const std::string longName = std::string(251, 'n') + ".png";  // 255 bytes
    const RunResult r =
        runScript("x = " + kKey + "; FileOut(x, \"out.png\"); FileOut(x, \"" + longName + "\");");
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(stat((dir / "out.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(readText(dir / "out.png"), "old output");
    EXPECT_EQ(readText(dir / longName), readText(dir / "out.png"));
}

// A FIFO among the plug-ins is not opened; a file that is no library, a library that is no
// plug-in, and a copy of the keyer under another name, are reported with their names; the
// program's own keyer serves.
TEST_F(BadInputRun, PluginFoldersReportWhatIsNotAPlugin) {
    mkdir((dir / "plugins").c_str(), 0755);
    ASSERT_EQ(mkfifo((dir / "plugins/libfifo_lx.so").c_str(), 0644), 0);
    const std::string program = kProgram;
    const std::string keyer = program.substr(0, program.rfind('/')) + "/libpxzp_lx.so";
    const std::string sdk = program.substr(0, program.rfind('/')) + "/libpxsdk_lx.so";
    writeText(dir / "plugins/libcopy_lx.so", readText(keyer));
    writeText(dir / "plugins/libnone_lx.so", readText(sdk));
    writeText(dir / "plugins/libjunk_lx.so", "not a library");
    // Copies of loaded libraries register their globals twice, on purpose here; the address
    // sanitizer of a sanitizer build would stop the program for it.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanBefore = asan ? asan : "";
    setenv("ASAN_OPTIONS", (asanBefore + ":detect_odr_violation=0").c_str(), 1);
    const RunResult r = runScript("FileOut(" + kKey + ", \"o.png\");", {"--plugin-dir", "plugins"});
    setenv("ASAN_OPTIONS", asanBefore.c_str(), 1);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("plugins/libfifo_lx.so not loaded: is not a regular file"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("plugins/libnone_lx.so not loaded: not a plug-in"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("is already loaded from plugins/libcopy_lx.so"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("pxhost: plug-in plugins/libjunk_lx.so not loaded: "), std::string::npos)
        << r.err;
    EXPECT_TRUE(fileExists(dir / "o.png"));
    // An empty folder adds nothing; the program's own keyer still serves.
    mkdir((dir / "empty").c_str(), 0755);
    const RunResult empty =
        runScript("FileOut(" + kKey + ", \"e.png\");", {"--plugin-dir", "empty"});
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_TRUE(fileExists(dir / "e.png"));
}

// An append-only folder takes new files but never renames or removes one, so a temporary file
// put there would stay for good; an append-only file cannot be replaced. Both are refused
// before anything is written.
TEST_F(BadInputRun, AppendOnlyFoldersAndFilesAreRefusedBeforeWriting) {
    mkdir((dir / "ap").c_str(), 0755);
    writeText(dir / "kept.png", "old output");
    struct AppendOnly {
        std::vector<std::string> paths;
        ~AppendOnly() {  // so that the scratch folder can be removed
            for (const std::string& p : paths) std::system(("chattr -a '" + p + "'").c_str());
        }
    } attributes{{dir / "ap", dir / "kept.png"}};
    for (const std::string& p : attributes.paths)
        if (std::system(("chattr +a '" + p + "' 2>/dev/null").c_str()) != 0)
            GTEST_SKIP() << "cannot make " << p
                         << " append-only (a file system without the attribute, or no right "
                            "to set it)";
    const struct {
        const char* output;
        const char* message;
    } cases[] = {
        {"ap/o.png",
         "pxhost: ap/o.png: output folder ap is append-only or immutable: a finished file "
         "cannot be put in place\n"},
        {"kept.png",
         "pxhost: kept.png: the file is append-only or immutable; it cannot be replaced\n"},
    };
    const FolderSnapshot before(dir, inputs);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        const RunResult r = runScript("FileOut(" + kKey + ", \"" + c.output + "\");");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.message);
        EXPECT_TRUE(dir.list("ap").empty());
        EXPECT_EQ(readText(dir / "kept.png"), "old output");
        EXPECT_EQ(before.changedIn(dir), "");
        EXPECT_TRUE(outputsBesides({"fg.png", "out.png", "kept.png", "ap"}).empty())
            << "left: " << outputsBesides({"fg.png", "out.png", "kept.png", "ap"})[0];
    }
}

// A write that hits the file-size limit (as a full disk would stop it) fails the frame with
// the system's reason; the old file of that name stays and no temporary file is left. With the
// limit signal at its default action, the program must still report rather than die.
TEST_F(BadInputRun, AWriteThatRunsOutOfRoomLeavesTheOldFile) {
    // Noise, so that no format can compress the picture below the limit.
    Raster noise;
    noise.allocate(64, 36, 2, kChanRGBA);
    uint32_t state = 7;
    for (size_t i = 0; i < noise.samples.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        noise.samples[i] = static_cast<unsigned char>(state >> 24);
    }
    write("noise.png", noise);
    inputs.push_back("noise.png");
    const FolderSnapshot before(dir, inputs);
    for (const char* ext : {"png", "tif", "exr", "dpx", "sgi"}) {
        SCOPED_TRACE(ext);
        const std::string name = std::string("full.") + ext;
        writeText(dir / name, "old output");
        writeText(dir / "script.pxs", "FileOut(FileIn(\"noise.png\"), \"" + name + "\");");
        const ChildResult r =
            finishProgram(startProgram({"-q", "script.pxs"}, dir.path(), 2048), dir.path());
        EXPECT_TRUE(r.exited()) << "signal " << r.signal();
        EXPECT_EQ(r.exitStatus(), 1) << r.err;
        EXPECT_EQ(r.err.rfind("pxhost: frame 1: " + name + ": cannot write: ", 0), 0u) << r.err;
        EXPECT_EQ(readText(dir / name), "old output");
        unlink((dir / name).c_str());
        EXPECT_TRUE(outputsBesides(inputs).empty()) << "left: " << outputsBesides(inputs)[0];
    }
    EXPECT_EQ(before.changedIn(dir), "");
}

// A signal that ends the program (SIGINT, SIGTERM, a CPU-time limit's SIGXCPU, SIGUSR1, ...)
// during a sequence: the program ends as the signal would end it, every
// frame written before is whole (identical to frame 1, as the input is a still), and no
// temporary file is left.
TEST_F(BadInputRun, AnInterruptedSequenceKeepsItsCompletedFramesWhole) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGXCPU, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM}) {
        SCOPED_TRACE(sig);
        const FolderSnapshot before(dir, inputs);
        writeText(dir / "script.pxs", "FileOut(" + kKey + ", \"seq.#####.png\");");
        const pid_t pid = startProgram({"-q", "-t", "1-100000", "script.pxs"}, dir.path());
        const bool started = waitForFile(dir / "seq.00004.png", 60);
        kill(pid, sig);
        const ChildResult r = finishProgram(pid, dir.path());
        ASSERT_TRUE(started);
        EXPECT_EQ(r.signal(), sig) << "status " << r.rawStatus << ": " << r.err;
        const std::string first = readText(dir / "seq.00001.png");
        ASSERT_FALSE(first.empty());
        size_t frames = 0;
        for (const std::string& name : outputsBesides(inputs)) {
            EXPECT_EQ(name.rfind("seq.", 0), 0u) << "left: " << name;
            EXPECT_EQ(readText(dir / name), first) << name << " differs from frame 1";
            unlink((dir / name).c_str());
            ++frames;
        }
        EXPECT_GE(frames, 4u);
        EXPECT_EQ(before.changedIn(dir), "");
    }
}

}  // namespace
}  // namespace pxhost::test
