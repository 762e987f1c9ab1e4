// Warnings leave the exit status and the pictures alone and become errors with --strict; the
// per-frame checks catch keys that succeed into useless pictures; file names in a script file
// are taken from its folder.
#include <sys/stat.h>
#include <algorithm>

#include "EndToEnd.h"
#include "app/ScriptFile.h"

namespace pxhost::test {
namespace {

class Warnings : public EndToEnd {
protected:
    void SetUp() override {
        write("fg.png", plate(1));
        write("bg.png", flat(1, kBackground));
    }
    bool has(const std::string& name) const { return fileExists(dir / name); }
};

TEST_F(Warnings, AFallbackTextIsWarnedAboutAndKeyedAsTheKeyerDefinesIt) {
    const std::string call = "Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, output = \"Status\")";
    const RunResult r = runScript("FileOut(" + call + ", \"out.png\");");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("script.pxs:1:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(": warning: Zephra_1v4: output \"Status\" is none of"), std::string::npos)
        << r.err;
    // The picture is the composite the keyer makes of an unknown name.
    ASSERT_EQ(runScript("FileOut(Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0), \"ref.png\");").status,
              0);
    EXPECT_TRUE(readImage(dir / "out.png").samples == readImage(dir / "ref.png").samples);

    const RunResult strict = runScript("FileOut(" + call + ", \"strict.png\");", {"--strict"});
    EXPECT_EQ(strict.status, 2);
    EXPECT_NE(strict.err.find("--strict"), std::string::npos) << strict.err;
    EXPECT_FALSE(has("strict.png"));
}

TEST_F(Warnings, KeysThatKeyNothingOrLookSwappedAreWarnedAboutPerFrame) {
    struct Case {
        const char* script;
        const char* warning;  // null: none
    };
    const Case cases[] = {
        {"k = Zephra_1v4(FileIn(\"fg.png\"), FileIn(\"bg.png\"), 0, 0);", nullptr},
        // A green screen colour on a blue-screen plate keys nothing.
        {"k = Zephra_1v4(FileIn(\"fg.png\"), 0, 0, 0, rScreen = 0, gScreen = 0.9, bScreen = 0);",
         "1:5: warning: frame 1: the matte is opaque everywhere"},
        {"k = Zephra_1v4(FileIn(\"bg.png\"), FileIn(\"fg.png\"), 0, 0);",
         "1:5: warning: frame 1: the picture given as foreground has far less screen colour"},
        // The older command takes the background first.
        {"k = Zephra_1v3(FileIn(\"fg.png\"), FileIn(\"bg.png\"), 0);", "far less screen colour"},
        {"k = Zephra_1v3(FileIn(\"bg.png\"), FileIn(\"fg.png\"), 0);", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        const RunResult r = runScript(std::string(c.script) + "\nFileOut(k, \"k.png\");");
        EXPECT_EQ(r.status, 0) << r.err;
        if (c.warning)
            EXPECT_NE(r.err.find(c.warning), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "");
    }
    const RunResult strict =
        runScript(std::string(cases[1].script) + "\nFileOut(k, \"s.png\");", {"--strict"});
    EXPECT_EQ(strict.status, 2) << strict.err;

    // A generated script of many keys: the first 64 calls are checked, one line each.
    std::string many = "p = FileIn(\"fg.png\");\n";
    for (int i = 0; i < 70; ++i)
        many += "FileOut(Zephra_1v4(p, 0, 0, 0, rScreen = 0, gScreen = 0.9, bScreen = 0), \"m" +
                std::to_string(i) + ".png\");\n";
    const RunResult capped = runScript(many);
    EXPECT_EQ(capped.status, 0) << capped.err;
    EXPECT_EQ(std::count(capped.err.begin(), capped.err.end(), '\n'), 64) << capped.err;
    EXPECT_NE(capped.err.find("script.pxs:65:9: warning"), std::string::npos) << capped.err;
    EXPECT_EQ(capped.err.find("script.pxs:66:"), std::string::npos) << capped.err;
}

TEST_F(Warnings, FileNamesOfAScriptFileAreTakenFromItsFolder) {
    mkdir((dir / "shot").c_str(), 0755);
    write("shot/plate.png", plate(1));
    writeText(dir / "shot/key.pxs", "FileOut(FileIn(\"plate.png\"), \"copy.png\");");
    const RunResult r = run({"shot/key.pxs"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has("shot/copy.png"));
    // Inline scripts and scripts on standard input take them from the current folder.
    const RunResult inline_ = run({"-e", "FileOut(FileIn(\"shot/plate.png\"), \"copy.png\");"});
    EXPECT_EQ(inline_.status, 0) << inline_.err;
    EXPECT_TRUE(has("copy.png"));
    writeText(dir / "piped.txt", "FileOut(FileIn(\"shot/plate.png\"), \"piped.png\");");
    const std::string pipe = std::string(kProgram) + " -q - < piped.txt";
    EXPECT_EQ(runProgram("/bin/sh", {"-c", pipe}, dir.path()).status, 0);
    EXPECT_TRUE(readImage(dir / "piped.png").samples == readImage(dir / "copy.png").samples);
    // A run prints what it wrote, unless -q.
    const RunResult loud = runProgram(kProgram, {"--no-progress", (dir / "shot/key.pxs")}, "/");
    EXPECT_EQ(loud.out, dir / "shot/copy.png\n");
}

TEST(ScriptFiles, RelativeNamesJoinTheScriptsFolder) {
    EXPECT_EQ(scriptFolder("key.pxs"), "");
    EXPECT_EQ(scriptFolder("-"), "");
    EXPECT_EQ(scriptFolder("shots/a/key.pxs"), "shots/a");
    EXPECT_EQ(scriptFolder("/key.pxs"), "/");
    EXPECT_EQ(resolveScriptFile("shots/a", "plate.####.png"), "shots/a/plate.####.png");
    EXPECT_EQ(resolveScriptFile("/", "p.png"), "/p.png");
    EXPECT_EQ(resolveScriptFile("shots", "/abs/p.png"), "/abs/p.png");
    EXPECT_EQ(resolveScriptFile("", "p.png"), "p.png");
}

}  // namespace
}  // namespace pxhost::test
