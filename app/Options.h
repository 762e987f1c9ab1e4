#pragma once
// The command line of pxhost.

#include <string>
#include <vector>

namespace pxhost {

struct Options {
    enum class Mode { Script, Inline, Demo, DemoInputs, Analyse, Tune, Help, Version };
    enum class Progress { Auto, On, Off };

    Mode mode = Mode::Script;
    std::string scriptPath;  // Mode::Script; "-" reads the script from standard input
    std::string scriptText;  // Mode::Inline
    std::string outDir;      // Mode::Demo and Mode::DemoInputs
    std::string platePath;   // Mode::Analyse
    std::string region;      // --region as given; empty when not given
    std::string frames;      // -t as given; empty when not given
    int threads = 0;         // --threads; 0: one per processor
    std::vector<std::string> pluginDirs;
    bool verbose = false;
    bool keepGoing = false;  // go on with the next frame after a failed one
    Progress progress = Progress::Auto;
    bool quiet = false;   // -q: print neither progress nor the files written
    bool strict = false;  // --strict: warnings are errors
    struct Tune {         // Mode::Tune: the files named on the command line, the script, the port
        std::string shot, background, holdOut, garbage, script;
        int port = 0;  // 0: any free port
    } tune;
};

// Parses argv[1..argc-1]. Throws UsageError naming the option at fault.
Options parseOptions(int argc, const char* const* argv);

// The text that --help prints.
std::string helpText();

}  // namespace pxhost
