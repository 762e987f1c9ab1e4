#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/HostError.h"
#include "app/Options.h"

namespace pxhost {
namespace {

Options parse(std::vector<const char*> args) {
    args.insert(args.begin(), "pxhost");
    return parseOptions(static_cast<int>(args.size()), args.data());
}

TEST(Options, ReadsEveryOption) {
    const Options o = parse({"-t", "1-10", "--threads", "3", "--plugin-dir", "a", "--plugin-dir=b",
                             "-v", "-k", "--progress", "key.pxs"});
    EXPECT_EQ(o.mode, Options::Mode::Script);
    EXPECT_EQ(o.scriptPath, "key.pxs");
    EXPECT_EQ(o.frames, "1-10");
    EXPECT_EQ(o.threads, 3);
    EXPECT_EQ(o.pluginDirs, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(o.verbose);
    EXPECT_TRUE(o.keepGoing);
    EXPECT_EQ(o.progress, Options::Progress::On);

    const Options d = parse({"x.pxs"});
    EXPECT_EQ(d.threads, 0);
    EXPECT_FALSE(d.keepGoing);
    EXPECT_EQ(d.progress, Options::Progress::Auto);
}

TEST(Options, ModesAndTheirArguments) {
    EXPECT_EQ(parse({"-e", "FileIn(\"a\");"}).scriptText, "FileIn(\"a\");");
    EXPECT_EQ(parse({"-t5", "-eX"}).scriptText, "X");
    EXPECT_EQ(parse({"-t5", "-eX"}).frames, "5");
    EXPECT_EQ(parse({"--frames=2-3", "s"}).frames, "2-3");
    EXPECT_EQ(parse({"--demo"}).outDir, "demo-out");
    EXPECT_EQ(parse({"--demo", "out"}).outDir, "out");
    EXPECT_EQ(parse({"--demo", "--threads", "2"}).outDir, "demo-out");
    EXPECT_EQ(parse({"--demo-inputs", "in"}).mode, Options::Mode::DemoInputs);
    EXPECT_EQ(parse({"-"}).scriptPath, "-");
    EXPECT_EQ(parse({"--", "-odd-name"}).scriptPath, "-odd-name");
    EXPECT_EQ(parse({"--help", "--bogus"}).mode, Options::Mode::Help);
    EXPECT_EQ(parse({"--version"}).mode, Options::Mode::Version);
    EXPECT_EQ(parse({"-q", "s"}).progress, Options::Progress::Off);
    EXPECT_TRUE(parse({"-q", "s"}).quiet);
    EXPECT_FALSE(parse({"--no-progress", "s"}).quiet);
    EXPECT_TRUE(parse({"--strict", "s"}).strict);
    const Options a = parse({"--analyse", "plate.exr", "--region", "1,2,3,4"});
    EXPECT_EQ(a.mode, Options::Mode::Analyse);
    EXPECT_EQ(a.platePath, "plate.exr");
    EXPECT_EQ(a.region, "1,2,3,4");
    const Options tune = parse({"--tune", "fg.png", "--bg", "bg.png", "--holdout=h.png",
                                "--garbage", "g.png", "--script", "k.pxs", "--port", "8080"});
    EXPECT_EQ(tune.mode, Options::Mode::Tune);
    EXPECT_EQ(tune.tune.shot + tune.tune.background + tune.tune.holdOut + tune.tune.garbage +
                  tune.tune.script,
              "fg.pngbg.pngh.pngg.pngk.pxs");
    EXPECT_EQ(tune.tune.port, 8080);
}

TEST(Options, RefusesBadCommandLinesNamingTheOption) {
    struct Case {
        std::vector<const char*> args;
        const char* named;
    };
    const Case cases[] = {
        {{}, "no script"},
        {{"--threads", "0", "s"}, "--threads"},
        {{"--threads", "two", "s"}, "--threads"},
        {{"--threads", "4x", "s"}, "--threads"},
        {{"--threads"}, "--threads"},
        {{"-t"}, "-t"},
        {{"-t", "", "s"}, "-t"},
        {{"--bogus", "s"}, "--bogus"},
        {{"a.pxs", "b.pxs"}, "b.pxs"},
        {{"a.pxs", "-e", "x"}, "-e"},
        {{"--demo-inputs"}, "--demo-inputs"},
        {{"--verbose=1", "s"}, "--verbose"},
        {{"--strict=yes", "s"}, "--strict"},
        {{"--analyse"}, "--analyse"},
        {{"--region", "1,2,3,4", "s"}, "--region"},
        {{"--analyse", "p.png", "s"}, "s"},
        {{"--tune"}, "--tune"},
        {{"--tune", "a.png", "b.pxs"}, "b.pxs"},
        {{"--bg", "b.png", "s"}, "--bg"},
        {{"--tune", "a.png", "--port", "70000"}, "--port"},
        {{"--tune", "a.png", "--port", "-1"}, "--port"},
        {{"--tune", "a.png", "--script="}, "--script"},
    };
    for (const Case& c : cases) {
        try {
            parse(c.args);
            ADD_FAILURE() << "accepted a command line naming " << c.named;
        } catch (const UsageError& e) {
            EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos) << e.what();
        }
    }
}

TEST(Options, HelpNamesEveryOption) {
    const std::string help = helpText();
    for (const char* option : {"-t",           "--threads",   "--plugin-dir", "-k",
                               "--keep-going", "-v",          "--progress",   "--no-progress",
                               "--help",       "--version",   "--demo",       "--demo-inputs",
                               "-e",           "Exit status", "--strict",     "--analyse",
                               "--region",     "-q",          "--tune",       "--bg",
                               "--holdout",    "--garbage",   "--script",     "--port"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace pxhost
