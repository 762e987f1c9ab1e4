#include "app/ChildProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/HostError.h"

extern char** environ;

namespace pxhost {
namespace {

constexpr int kSignalStatusBase = 128;

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

ChildResult runChild(const std::vector<std::string>& argv) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        throw RenderError(argv.at(0) + ": cannot start: " + std::strerror(errno));
    Descriptor readEnd{ends[0]};
    Descriptor writeEnd{ends[1]};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        throw RenderError(argv[0] + ": cannot start: " + std::strerror(failed) +
                          (failed == ENOENT ? " (is it installed and on PATH?)" : ""));
    close(writeEnd.fd);
    writeEnd.fd = -1;
    ChildResult result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(readEnd.fd, buffer, sizeof buffer);
        if (n > 0)
            result.output.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : kSignalStatusBase + WTERMSIG(status);
    return result;
}

}  // namespace pxhost
