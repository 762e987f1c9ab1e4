#include "app/Options.h"

#include <cerrno>
#include <cstdlib>

#include "app/HostError.h"

namespace pxhost {
namespace {

constexpr int kMaxThreads = 1024;

int parseThreadCount(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < 1 || n > kMaxThreads)
        throw UsageError("--threads: expected a whole number from 1 to 1024, got \"" + text + "\"");
    return static_cast<int>(n);
}

constexpr int kMaxPort = 65535;

int parsePort(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < 0 || n > kMaxPort)
        throw UsageError("--port: expected a port number from 0 to 65535, got \"" + text + "\"");
    return static_cast<int>(n);
}

class ArgReader {
public:
    ArgReader(int argc, const char* const* argv) : m_argc(argc), m_argv(argv) {}
    bool done() const { return m_next >= m_argc; }
    std::string peek() const { return m_argv[m_next]; }
    std::string take() { return m_argv[m_next++]; }
    // The value of an option: "--name=value", or the next argument.
    std::string value(const std::string& name, const std::string& inlineValue, bool hasInline) {
        if (hasInline) return inlineValue;
        if (done()) throw UsageError(name + ": needs a value (see --help)");
        return take();
    }

private:
    int m_argc;
    const char* const* m_argv;
    int m_next = 1;
};

void setMode(Options& options, bool& modeSet, Options::Mode mode, const std::string& what) {
    if (modeSet)
        throw UsageError(what +
                         ": give one of SCRIPT, -e, --demo, --demo-inputs, --analyse, --tune, "
                         "not several");
    options.mode = mode;
    modeSet = true;
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
    Options options;
    bool modeSet = false;
    bool optionsEnded = false;
    std::string tuneOnly;  // the last option that only --tune takes
    ArgReader args(argc, argv);
    while (!args.done()) {
        std::string arg = args.take();
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            setMode(options, modeSet, Options::Mode::Script, arg);
            options.scriptPath = arg;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "-tVALUE" forms.
        std::string name = arg;
        std::string inlineValue;
        bool hasInline = false;
        const size_t eq = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
            hasInline = true;
        } else if ((arg.compare(0, 2, "-t") == 0 || arg.compare(0, 2, "-e") == 0) &&
                   arg.size() > 2) {
            name = arg.substr(0, 2);
            inlineValue = arg.substr(2);
            hasInline = true;
        }
        if (name == "-h" || name == "--help") {
            options.mode = Options::Mode::Help;
            return options;
        } else if (name == "--version") {
            options.mode = Options::Mode::Version;
            return options;
        } else if (name == "-e" || name == "--execute") {
            setMode(options, modeSet, Options::Mode::Inline, name);
            options.scriptText = args.value(name, inlineValue, hasInline);
        } else if (name == "-t" || name == "--frames") {
            const std::string frames = args.value(name, inlineValue, hasInline);
            if (frames.empty()) throw UsageError(name + ": empty frame range");
            // A second range would silently replace the first.
            if (!options.frames.empty())
                throw UsageError(name + " " + frames + ": frames already given (" + options.frames +
                                 "); give one range, items joined by commas: 1-10,20");
            options.frames = frames;
        } else if (name == "--threads") {
            options.threads = parseThreadCount(args.value(name, inlineValue, hasInline));
        } else if (name == "--plugin-dir") {
            options.pluginDirs.push_back(args.value(name, inlineValue, hasInline));
        } else if (name == "-v" || name == "--verbose") {
            options.verbose = true;
        } else if (name == "-k" || name == "--keep-going") {
            options.keepGoing = true;
        } else if (name == "--stop-on-error") {
            options.keepGoing = false;
        } else if (name == "--progress") {
            options.progress = Options::Progress::On;
        } else if (name == "-q" || name == "--no-progress" || name == "--quiet") {
            options.progress = Options::Progress::Off;
            options.quiet = options.quiet || name != "--no-progress";
        } else if (name == "--strict") {
            options.strict = true;
        } else if (name == "--skip-existing") {
            options.skipExisting = true;
        } else if (name == "--digest") {
            options.digestPath = args.value(name, inlineValue, hasInline);
            if (options.digestPath.empty()) throw UsageError(name + ": empty file name");
        } else if (name == "--demo") {
            setMode(options, modeSet, Options::Mode::Demo, name);
            // The folder is optional: the next argument is it unless it is an option.
            if (hasInline)
                options.outDir = inlineValue;
            else if (!args.done() && !args.peek().empty() && args.peek()[0] != '-')
                options.outDir = args.take();
            else
                options.outDir = "demo-out";
        } else if (name == "--tune") {
            setMode(options, modeSet, Options::Mode::Tune, name);
            options.tune.shot = args.value(name, inlineValue, hasInline);
        } else if (name == "--bg" || name == "--holdout" || name == "--garbage" ||
                   name == "--script") {
            std::string& file = name == "--bg"        ? options.tune.background
                                : name == "--holdout" ? options.tune.holdOut
                                : name == "--garbage" ? options.tune.garbage
                                                      : options.tune.script;
            file = args.value(name, inlineValue, hasInline);
            if (file.empty()) throw UsageError(name + ": empty file name");
            tuneOnly = name;
        } else if (name == "--port") {
            options.tune.port = parsePort(args.value(name, inlineValue, hasInline));
            tuneOnly = name;
        } else if (name == "--analyse" || name == "--analyze") {
            setMode(options, modeSet, Options::Mode::Analyse, name);
            options.platePath = args.value(name, inlineValue, hasInline);
            if (options.platePath.empty()) throw UsageError(name + ": empty file name");
        } else if (name == "--region") {
            options.region = args.value(name, inlineValue, hasInline);
        } else if (name == "--demo-inputs") {
            setMode(options, modeSet, Options::Mode::DemoInputs, name);
            options.outDir = args.value(name, inlineValue, hasInline);
        } else {
            throw UsageError(arg + ": unknown option (see --help)");
        }
        if (hasInline &&
            (name == "-v" || name == "--verbose" || name == "-k" || name == "--keep-going" ||
             name == "--progress" || name == "-q" || name == "--no-progress" || name == "--quiet" ||
             name == "--stop-on-error" || name == "--strict" || name == "--skip-existing"))
            throw UsageError(name + ": takes no value");
    }
    if (!modeSet) throw UsageError("no script given (see --help)");
    if (!tuneOnly.empty() && options.mode != Options::Mode::Tune)
        throw UsageError(tuneOnly + ": only with --tune");
    if (options.mode == Options::Mode::Tune && options.tune.shot.empty())
        throw UsageError("--tune: empty file name");
    if (!options.region.empty() && options.mode != Options::Mode::Analyse)
        throw UsageError("--region: only with --analyse");
    if (options.mode == Options::Mode::Script && options.scriptPath.empty())
        throw UsageError("script file name is empty");
    if (options.outDir.empty() &&
        (options.mode == Options::Mode::Demo || options.mode == Options::Mode::DemoInputs))
        throw UsageError("--demo: empty folder name");
    return options;
}

std::string helpText() {
    return R"(Usage: pxhost [OPTIONS] SCRIPT        run a compositing script ("-": read it from standard input)
       pxhost [OPTIONS] -e 'TEXT'     run the script TEXT
       pxhost --demo [DIR]            key the built-in blue-screen shot into DIR (default ./demo-out)
       pxhost --demo-inputs DIR       write the built-in shot, background plate, hold-out and
                                      garbage mattes and the shot's true coverage into DIR
       pxhost --analyse PLATE [--region X,Y,W,H]
                                      estimate PLATE's screen colour and range; write a starter
                                      script PLATE-key.pxs and its status picture
       pxhost --tune SHOT [--bg PLATE] [--holdout MATTE] [--garbage MATTE] [--script FILE]
                     [-t RANGE] [--port N]
                                      tune the keyer on SHOT in a web page on this machine:
                                      prints its address; "Save script" writes FILE
       pxhost submit SCRIPT -t RANGE [--chunk N] [--partition P] [--wait] [-- SBATCH OPTIONS]
                                      render the frames as a Slurm array job, N frames a task
       pxhost verify DIGESTS [-t SAMPLE] [SCRIPT]
                                      re-key frames here and compare them with their digests

A script builds pictures from FileIn("name") and the keyer commands Zephra_1v4 and Zephra_1v3,
and writes them with FileOut(picture, "name"). Arguments go by position, then by name:
Zephra_1v4(fg, bg, 0, 0, output = "status", bScreen = 0.4). Relative file names in a script
file are taken from the script's folder (with -e and "-": from the current folder). File names
may hold a frame number: name.####.ext (padded to the number of '#') or name.%04d.ext; -t then
says which frames to render. A run prints the files it wrote.

Options:
  -t, --frames RANGE   frames to render, one at a time: 1-100, 1-100x2 (every 2nd), 1,5,10-20
      --threads N      threads that key each picture (default: one per processor)
      --plugin-dir DIR look for plug-ins (lib*_lx.so) in DIR, before the program's own folder;
                       may be given more than once
  -k, --keep-going     after a failed frame, report it and go on with the next one
      --stop-on-error  stop at the first failed frame (the default)
  -v, --verbose        print the time each frame spent reading, keying and writing
      --skip-existing  leave frames whose output files all exist (with --digest: and whose
                       inputs and parameters are those recorded)
      --digest FILE    append a line per frame to FILE: SHA-256 of its input pixels, keyer
                       parameters and output pixels
      --progress       show the progress line even when standard error is not a terminal
      --no-progress    never show the progress line
  -q, --quiet          no progress line, and no list of the files written
      --strict         treat warnings as errors (exit status 2). Warnings (file:line:column:
                       warning: ...) name arguments the keyer takes but falls back on, and keys
                       whose matte is opaque or clear everywhere or whose pictures look swapped
      --region X,Y,W,H with --analyse: look only at this part of the plate (in pixels)
  -h, --help           print this text
      --version        print the program's version

Files are written under a temporary name in the same folder and renamed when complete: a
failed or interrupted render never leaves a partial file. Samples are read and written exactly
as stored: no colour conversion, no premultiplication or unpremultiplication of alpha.

Exit status: 0 success; 1 a frame failed (input unreadable, output not writable, keyer error);
2 a usage or script error (bad option, frame range, file name pattern, script text).
)";
}

}  // namespace pxhost
