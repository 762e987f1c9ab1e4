#include "app/tuner/TunerMain.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "app/HostError.h"
#include "app/Options.h"
#include "app/SequencePattern.h"
#include "app/Session.h"
#include "app/tuner/TunerServer.h"

namespace pxhost::tuner {
namespace {

namespace fs = std::filesystem;

std::string absolutePath(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).lexically_normal().string();
}

// The script's default name: the shot's name up to its first dot, with "_key.pxs", in the
// current folder.
std::string defaultScriptPath(const std::string& shot) {
    std::string stem = fs::path(shot).filename().string();
    stem = stem.substr(0, stem.find('.'));
    if (stem.empty()) stem = "shot";
    return absolutePath(stem + "_key.pxs");
}

// What the saved script writes: next to the script, named after it; PNG for PNG shots and
// TIFF otherwise (both hold the keyer's 8- and 16-bit samples exactly), with a frame number
// when more than one frame is rendered.
std::string outputPattern(const std::string& scriptPath, const std::string& shot, size_t frames,
                          bool shotIsSequence) {
    std::string extension = fs::path(shot).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    const fs::path script(scriptPath);
    const std::string frame = frames > 1 || shotIsSequence ? ".####" : "";
    const std::string name =
        script.stem().string() + frame + (extension == ".png" ? ".png" : ".tif");
    return (script.parent_path() / name).string();
}

}  // namespace

int runTuner(const Options& options) {
    // The stop signals are taken by this thread alone (sigwait below): every thread started
    // from here on, the server's and the renderer's, inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Session session(options.threads);
    session.loadPlugins(options.pluginDirs);
    TunerInputs inputs;
    inputs.shot = absolutePath(options.tune.shot);
    inputs.background = absolutePath(options.tune.background);
    inputs.holdOut = absolutePath(options.tune.holdOut);
    inputs.garbage = absolutePath(options.tune.garbage);
    inputs.frames = options.frames;
    TunerKeyer keyer(session, inputs);

    KeyerSettings initial(keyerCommand());
    const std::string scriptPath = options.tune.script.empty() ? defaultScriptPath(inputs.shot)
                                                               : absolutePath(options.tune.script);
    if (!options.tune.script.empty() && fs::exists(scriptPath))
        loadScriptParameters(session, scriptPath, initial);
    for (const std::string& input :
         {inputs.shot, inputs.background, inputs.holdOut, inputs.garbage})
        if (!input.empty() && fs::weakly_canonical(input) == fs::weakly_canonical(scriptPath))
            throw UsageError(scriptPath + ": is an input; give another --script");
    TunerSetup setup{inputs, scriptPath,
                     outputPattern(scriptPath, inputs.shot, keyer.frames().size(),
                                   SequencePattern(inputs.shot).isSequence()),
                     initial};
    TunerServer server(keyer, setup, options.tune.port);
    std::printf("%s\n", server.url().c_str());
    std::fflush(stdout);
    std::fprintf(stderr, "pxhost: tuning %s; Save script writes %s. Ctrl-C stops.\n",
                 inputs.shot.c_str(), scriptPath.c_str());

    std::atomic<bool> stopping{false};
    std::thread serving([&] {
        server.run();
        // A server that ends by itself wakes the waiting thread.
        if (!stopping) kill(getpid(), SIGTERM);
    });
    int signal = 0;
    sigwait(&stopSignals, &signal);
    stopping = true;
    server.stop();
    serving.join();
    std::fprintf(stderr, "pxhost: tuner stopped\n");
    return kExitOk;
}

}  // namespace pxhost::tuner
