#include "app/Submit.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "app/ChildProcess.h"
#include "app/FrameChunks.h"
#include "app/FrameRange.h"
#include "app/HostError.h"
#include "app/Options.h"
#include "app/ScriptFile.h"
#include "app/Session.h"

namespace pxhost {
namespace {

constexpr long kDefaultChunk = 10;
constexpr auto kPollInterval = std::chrono::milliseconds(500);
constexpr int kMaxQueryFailures = 20;  // squeue failing this many times in a row ends --wait
constexpr const char* kLogPattern = "pxhost-%A_%a.log";

struct SubmitRequest {
    Options render;  // the options every task renders with
    long chunk = kDefaultChunk;
    std::string partition;
    bool wait = false;
    std::vector<std::string> sbatchOptions;  // after "--"
};

long parseChunk(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long n = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || n < 1 || n > kMaxFrameCount)
        throw UsageError("--chunk: expected a whole number of frames from 1 to " +
                         std::to_string(kMaxFrameCount) + ", got \"" + text + "\"");
    return n;
}

// Takes out the options of submit itself; the rest are pxhost's own, parsed as for a render.
SubmitRequest parseRequest(int argc, const char* const* argv) {
    SubmitRequest request;
    std::vector<std::string> rest = {"pxhost"};
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](const std::string& name) -> std::string {
            if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0)
                return arg.substr(name.size() + 1);
            if (i + 1 >= argc) throw UsageError(name + ": needs a value (see --help)");
            return argv[++i];
        };
        const auto is = [&](const std::string& name) {
            return arg == name || arg.compare(0, name.size() + 1, name + "=") == 0;
        };
        if (arg == "--") {
            request.sbatchOptions.assign(argv + i + 1, argv + argc);
            break;
        } else if (is("--chunk")) {
            request.chunk = parseChunk(value("--chunk"));
        } else if (is("--partition")) {
            request.partition = value("--partition");
            if (request.partition.empty()) throw UsageError("--partition: empty name");
        } else if (arg == "--wait") {
            request.wait = true;
        } else {
            rest.push_back(arg);
        }
    }
    for (const std::string& option : request.sbatchOptions)
        if (option.compare(0, 7, "--array") == 0 || option.compare(0, 2, "-a") == 0)
            throw UsageError(option + ": submit makes the array (one task per --chunk frames)");
    std::vector<const char*> args;
    for (const std::string& a : rest) args.push_back(a.c_str());
    request.render = parseOptions(static_cast<int>(args.size()), args.data());
    if (request.render.mode != Options::Mode::Script)
        throw UsageError("submit: give a script file (not -e, --demo, --help)");
    if (request.render.scriptPath == "-")
        throw UsageError("submit: the script must be a file that every task can read, not -");
    if (request.render.frames.empty())
        throw UsageError("submit: give the frames to render with -t");
    return request;
}

std::string absolutePath(const std::string& path) {
    return std::filesystem::absolute(path).lexically_normal().string();
}

std::string programPath() {
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) throw RenderError("cannot find this program's own path: " + ec.message());
    return exe.string();
}

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The command every task runs, frames aside: this program with the same plug-in folders and
// options, keeping on after a failed frame so that one bad frame costs only itself.
std::string taskCommand(const Options& o) {
    std::string command = shellQuote(programPath());
    for (const std::string& dir : o.pluginDirs)
        command += " --plugin-dir " + shellQuote(absolutePath(dir));
    command += o.threads > 0 ? " --threads " + std::to_string(o.threads)
                             : std::string(" --threads \"${SLURM_CPUS_PER_TASK:-1}\"");
    if (o.skipExisting) command += " --skip-existing";
    if (!o.digestPath.empty()) command += " --digest " + shellQuote(absolutePath(o.digestPath));
    if (o.verbose) command += " --verbose";
    command +=
        " --keep-going --no-progress -t \"$frames\" " + shellQuote(absolutePath(o.scriptPath));
    return command;
}

std::string jobScript(const SubmitRequest& request, const std::vector<std::vector<long>>& chunks) {
    std::string text = "#!/bin/sh\n# pxhost submit: " + std::to_string(chunks.size()) +
                       " tasks of up to " + std::to_string(request.chunk) + " frames\n";
    text += "case \"$SLURM_ARRAY_TASK_ID\" in\n";
    for (size_t i = 0; i < chunks.size(); ++i)
        text += std::to_string(i) + ") frames=" + frameListText(chunks[i]) + " ;;\n";
    text += "*) echo \"pxhost submit: task $SLURM_ARRAY_TASK_ID has no frames\" >&2; exit 2 ;;\n";
    text += "esac\nexec " + taskCommand(request.render) + "\n";
    return text;
}

// A temporary file that is removed when it goes out of scope.
class TempFile {
public:
    explicit TempFile(const std::string& text) {
        const char* dir = std::getenv("TMPDIR");
        std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/pxhost-job-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        const int fd = mkstemp(name.data());
        if (fd < 0)
            throw RenderError("cannot write the job script: " + std::string(std::strerror(errno)));
        m_path = name.data();
        const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        if (close(fd) != 0 || !ok) {
            unlink(m_path.c_str());
            throw RenderError(m_path + ": cannot write the job script");
        }
    }
    ~TempFile() { unlink(m_path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

// What an output file was before the job ran, to tell afterwards whether the job wrote it.
struct FileState {
    bool exists = false;
    ino_t inode = 0;
    struct timespec modified = {};
    bool operator==(const FileState& o) const {
        return exists == o.exists && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

FileState stateOf(const std::string& path) {
    FileState state;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        state.exists = true;
        state.inode = st.st_ino;
        state.modified = st.st_mtim;
    }
    return state;
}

using Snapshot = std::map<long, std::vector<FileState>>;

Snapshot snapshot(const Session& session, const std::vector<long>& frames) {
    Snapshot states;
    for (long frame : frames)
        for (const Session::Output& out : session.outputs())
            states[frame].push_back(stateOf(out.pattern.fileName(frame)));
    return states;
}

std::string submitJob(const SubmitRequest& request, const std::string& scriptFile, size_t taskCount,
                      const std::string& scriptName) {
    std::vector<std::string> argv = {
        "sbatch", "--parsable", "--array=0-" + std::to_string(taskCount - 1),
        "--job-name=pxhost:" + scriptName, std::string("--output=") + kLogPattern};
    if (!request.partition.empty()) argv.push_back("--partition=" + request.partition);
    argv.insert(argv.end(), request.sbatchOptions.begin(), request.sbatchOptions.end());
    argv.push_back(scriptFile);
    const ChildResult result = runChild(argv);
    // --parsable prints "jobid" or "jobid;cluster".
    const std::string id = result.output.substr(0, result.output.find_first_of(";\n"));
    if (result.status != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos)
        throw RenderError("sbatch failed (exit status " + std::to_string(result.status) +
                          "); the job was not submitted");
    return id;
}

void waitForJob(const std::string& jobId) {
    int failures = 0;
    for (;;) {
        // Lists the job's tasks that are pending, running or completing; nothing when done.
        const ChildResult result =
            runChild({"squeue", "--noheader", "--jobs=" + jobId, "--format=%i"});
        if (result.status == 0) {
            if (result.output.find_first_not_of(" \n") == std::string::npos) return;
            failures = 0;
        } else if (++failures >= kMaxQueryFailures) {
            throw RenderError("squeue failed " + std::to_string(failures) + " times; job " + jobId +
                              " may still be running");
        }
        std::this_thread::sleep_for(kPollInterval);
    }
}

// Prints which frames the job wrote, which it left as they were and which failed (with the
// tasks and logs to look at). Returns the exit status.
int reportFrames(const Session& session, const SubmitRequest& request,
                 const std::vector<long>& frames, const Snapshot& before,
                 const std::string& jobId) {
    const Snapshot after = snapshot(session, frames);
    std::vector<long> written, kept, failed;
    std::set<size_t> failedTasks;
    for (size_t i = 0; i < frames.size(); ++i) {
        const long frame = frames[i];
        bool allExist = true, anyChanged = false;
        for (size_t k = 0; k < after.at(frame).size(); ++k) {
            allExist = allExist && after.at(frame)[k].exists;
            anyChanged = anyChanged || !(after.at(frame)[k] == before.at(frame)[k]);
        }
        if (allExist && anyChanged)
            written.push_back(frame);
        else if (allExist && request.render.skipExisting)
            kept.push_back(frame);
        else {
            failed.push_back(frame);
            failedTasks.insert(i / static_cast<size_t>(request.chunk));
        }
    }
    std::printf("frames written: %s\n", written.empty() ? "none" : frameListText(written).c_str());
    if (!kept.empty())
        std::printf("frames skipped (outputs already there): %s\n", frameListText(kept).c_str());
    if (!failed.empty()) {
        std::string logs;
        for (size_t task : failedTasks) {
            std::string log = kLogPattern;
            log.replace(log.find("%A"), 2, jobId);
            log.replace(log.find("%a"), 2, std::to_string(task));
            logs += (logs.empty() ? "" : ", ") + log;
        }
        std::printf("frames failed: %s (see %s)\n", frameListText(failed).c_str(), logs.c_str());
    }
    std::fflush(stdout);
    return failed.empty() ? kExitOk : kExitRender;
}

}  // namespace

int runSubmit(int argc, const char* const* argv) {
    const SubmitRequest request = parseRequest(argc, argv);
    // Checks the script, the frames and the output names here, before any task starts.
    Session session(request.render.threads);
    session.loadPlugins(request.render.pluginDirs);
    session.setScriptFolder(scriptFolder(request.render.scriptPath));
    session.runScript(readScriptFile(request.render.scriptPath), request.render.scriptPath);
    const std::vector<long> frames = session.planFrames(request.render.frames);
    const std::vector<std::vector<long>> chunks = chunkFrames(frames, request.chunk);
    const Snapshot before = request.wait ? snapshot(session, frames) : Snapshot();
    const TempFile script(jobScript(request, chunks));
    const std::string jobId =
        submitJob(request, script.path(), chunks.size(),
                  std::filesystem::path(request.render.scriptPath).filename().string());
    std::printf("%s\n", jobId.c_str());
    std::fflush(stdout);
    if (!request.wait) return kExitOk;
    waitForJob(jobId);
    return reportFrames(session, request, frames, before, jobId);
}

}  // namespace pxhost
