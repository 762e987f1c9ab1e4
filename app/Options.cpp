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
        throw UsageError(what + ": give one of SCRIPT, -e, --demo, --demo-inputs, not several");
    options.mode = mode;
    modeSet = true;
}

}  // namespace

Options parseOptions(int argc, const char* const* argv) {
    Options options;
    bool modeSet = false;
    bool optionsEnded = false;
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
        } else if (name == "--demo") {
            setMode(options, modeSet, Options::Mode::Demo, name);
            // The folder is optional: the next argument is it unless it is an option.
            if (hasInline)
                options.outDir = inlineValue;
            else if (!args.done() && !args.peek().empty() && args.peek()[0] != '-')
                options.outDir = args.take();
            else
                options.outDir = "demo-out";
        } else if (name == "--demo-inputs") {
            setMode(options, modeSet, Options::Mode::DemoInputs, name);
            options.outDir = args.value(name, inlineValue, hasInline);
        } else {
            throw UsageError(arg + ": unknown option (see --help)");
        }
        if (hasInline &&
            (name == "-v" || name == "--verbose" || name == "-k" || name == "--keep-going" ||
             name == "--progress" || name == "-q" || name == "--no-progress" || name == "--quiet" ||
             name == "--stop-on-error"))
            throw UsageError(name + ": takes no value");
    }
    if (!modeSet) throw UsageError("no script given (see --help)");
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
       pxhost --demo-inputs DIR       write the built-in shot and background plate into DIR

A script builds pictures from FileIn("name") and the keyer commands Zephra_1v4 and Zephra_1v3,
and writes them with FileOut(picture, "name"). File names may hold a frame number: name.####.ext
(padded to the number of '#') or name.%04d.ext; -t then says which frames to render.

Options:
  -t, --frames RANGE   frames to render, one at a time: 1-100, 1-100x2 (every 2nd), 1,5,10-20
      --threads N      threads that key each picture (default: one per processor)
      --plugin-dir DIR look for plug-ins (libpx*_lx.so) in DIR, before the program's own folder;
                       may be given more than once
  -k, --keep-going     after a failed frame, report it and go on with the next one
      --stop-on-error  stop at the first failed frame (the default)
  -v, --verbose        print the time each frame spent reading, keying and writing
      --progress       show the progress line even when standard error is not a terminal
  -q, --no-progress    never show the progress line
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
