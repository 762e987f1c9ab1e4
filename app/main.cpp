// pxhost: runs compositing scripts that key pictures with the keyer plug-in.

#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/Analyse.h"
#include "app/Demo.h"
#include "app/FrameJournal.h"
#include "app/HostError.h"
#include "app/Options.h"
#include "app/Progress.h"
#include "app/ScriptFile.h"
#include "app/Session.h"
#include "app/Submit.h"
#include "app/Verify.h"
#include "app/tuner/TunerMain.h"

namespace {

constexpr const char* kVersion = "pxhost 1.0 (keyer commands Zephra_1v4, Zephra_1v3)";

int run(int argc, char** argv) {
    using pxhost::Options;
    if (argc > 1 && std::strcmp(argv[1], "submit") == 0)
        return pxhost::runSubmit(argc - 2, argv + 2);
    if (argc > 1 && std::strcmp(argv[1], "verify") == 0)
        return pxhost::runVerify(argc - 2, argv + 2);
    const Options options = pxhost::parseOptions(argc, argv);
    switch (options.mode) {
        case Options::Mode::Help:
            std::fputs(pxhost::helpText().c_str(), stdout);
            return 0;
        case Options::Mode::Version:
            std::puts(kVersion);
            return 0;
        case Options::Mode::Analyse:
            return pxhost::runAnalysis(options);
        case Options::Mode::Tune:
            return pxhost::tuner::runTuner(options);
        case Options::Mode::DemoInputs:
            for (const std::string& file : pxhost::writeDemoInputs(options.outDir))
                if (!options.quiet) std::puts(file.c_str());
            return 0;
        default:
            break;
    }

    pxhost::Session session(options.threads);
    session.setStrict(options.strict);
    session.loadPlugins(options.pluginDirs);
    if (options.mode == Options::Mode::Demo) {
        pxhost::setUpDemo(session, options.outDir);
    } else if (options.mode == Options::Mode::Inline) {
        session.runScript(options.scriptText, "-e");
    } else {
        const std::string name = options.scriptPath == "-" ? "<stdin>" : options.scriptPath;
        const std::string text = pxhost::readScriptFile(options.scriptPath);
        if (options.scriptPath != "-") session.protectFile(options.scriptPath);
        session.setScriptFolder(pxhost::scriptFolder(options.scriptPath));
        session.runScript(text, name);
    }
    pxhost::FrameJournal journal(session, options.skipExisting, options.digestPath,
                                 options.mode == Options::Mode::Script ? options.scriptPath : "-e");
    if (journal.active()) session.setFrameHooks(&journal);
    const std::vector<long> frames = session.planFrames(options.frames);
    const bool showLine = options.progress == Options::Progress::On ||
                          (options.progress == Options::Progress::Auto && isatty(STDERR_FILENO));
    pxhost::Progress progress(stderr, static_cast<long>(frames.size()), showLine, options.verbose);
    const int status = session.render(frames, progress, options.keepGoing);
    journal.report(stderr);
    if (!options.quiet)
        for (const std::string& file : session.writtenFiles()) std::puts(file.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // Every frame allocates picture-sized buffers. Left to mmap, each allocation gets fresh
    // pages from the kernel, and faulting them in costs as much as keying; kept in the heap,
    // the next frame reuses the same memory.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    // Those settings hold for the main heap only. The threads that read and write files
    // allocate picture-sized buffers too, and a heap of their own would be given back to the
    // kernel and faulted in again every frame; so every thread allocates from the one heap.
    // The threads allocate a few large buffers per frame, so they hardly ever wait on its lock.
    mallopt(M_ARENA_MAX, 1);
    // A file that outgrows the size limit (ulimit -f) fails its write, reported and cleaned
    // up like a full disk, instead of the signal ending the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return run(argc, argv);
    } catch (const pxhost::HostError& e) {
        std::fprintf(stderr, "pxhost: %s\n", e.what());
        return e.exitStatus();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "pxhost: out of memory\n");
        return pxhost::kExitRender;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pxhost: %s\n", e.what());
        return pxhost::kExitRender;
    }
}
