#pragma once
// Helpers of the bad-input tests: files made broken on purpose, snapshots that prove inputs
// were left alone, and runs of the built program under a file-size limit or interrupted by a
// signal.

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "EndToEnd.h"

namespace pxhost::test {

// The bytes and modification time of each named file of a folder.
class FolderSnapshot {
public:
    FolderSnapshot(const TempDir& dir, const std::vector<std::string>& names) {
        for (const std::string& n : names) m_files[n] = stateOf(dir / n);
    }
    // The names whose bytes or time changed (or that vanished), for a test's message.
    std::string changedIn(const TempDir& dir) const {
        std::string changed;
        for (const auto& [name, state] : m_files)
            if (stateOf(dir / name) != state) changed += name + " ";
        return changed;
    }

private:
    struct State {
        std::string bytes;
        long long seconds = -1, nanoseconds = -1;
        bool operator!=(const State& o) const {
            return bytes != o.bytes || seconds != o.seconds || nanoseconds != o.nanoseconds;
        }
    };
    static State stateOf(const std::string& path) {
        State s;
        struct stat st;
        if (stat(path.c_str(), &st) != 0) return s;
        s.bytes = readText(path);
        s.seconds = st.st_mtim.tv_sec;
        s.nanoseconds = st.st_mtim.tv_nsec;
        return s;
    }
    std::map<std::string, State> m_files;
};

// Starts the program in folder cwd with its output streams in cwd/.stdout and cwd/.stderr.
// fileSizeLimit > 0: the child may write no file larger than that many bytes; the signal for
// exceeding it keeps its default action, as it would in a user's shell.
inline pid_t startProgram(const std::vector<std::string>& args, const std::string& cwd,
                          long fileSizeLimit = 0) {
    std::vector<std::string> all = {kProgram};
    all.insert(all.end(), args.begin(), args.end());
    const std::string outFile = cwd + "/.stdout", errFile = cwd + "/.stderr";
    const pid_t pid = fork();
    if (pid != 0) return pid;
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || dup2(in, 0) < 0 ||
        chdir(cwd.c_str()) != 0)
        _exit(127);
    signal(SIGXFSZ, SIG_DFL);
    // The child starts with every ending signal at its default, whatever the test runner set.
    for (int sig : {SIGHUP, SIGINT, SIGTERM, SIGXCPU, SIGUSR1, SIGUSR2, SIGPIPE, SIGALRM})
        signal(sig, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Signals that dump core by default (SIGXCPU) leave no core file among the outputs.
    const rlimit noCore = {0, 0};
    if (setrlimit(RLIMIT_CORE, &noCore) != 0) _exit(127);
    if (fileSizeLimit > 0) {
        const rlimit limit = {static_cast<rlim_t>(fileSizeLimit),
                              static_cast<rlim_t>(fileSizeLimit)};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(127);
    }
    execv(argv[0], argv.data());
    _exit(127);
}

// What a finished child left: its wait status and its output streams.
struct ChildResult {
    int rawStatus = 0;
    std::string out, err;
    bool exited() const { return WIFEXITED(rawStatus); }
    int exitStatus() const { return WIFEXITED(rawStatus) ? WEXITSTATUS(rawStatus) : -1; }
    int signal() const { return WIFSIGNALED(rawStatus) ? WTERMSIG(rawStatus) : 0; }
};

inline ChildResult finishProgram(pid_t pid, const std::string& cwd) {
    ChildResult r;
    while (waitpid(pid, &r.rawStatus, 0) < 0 && errno == EINTR) {
    }
    r.out = readText(cwd + "/.stdout");
    r.err = readText(cwd + "/.stderr");
    unlink((cwd + "/.stdout").c_str());
    unlink((cwd + "/.stderr").c_str());
    return r;
}

// Waits until a file exists, at most `seconds`; true when it appeared.
inline bool waitForFile(const std::string& path, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!fileExists(path)) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace pxhost::test
