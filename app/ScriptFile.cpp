#include "app/ScriptFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/HostError.h"

namespace pxhost {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string tooLarge(const std::string& name) {
    return name + ": the script is larger than " + std::to_string(kMaxScriptBytes >> 20) +
           " MB; refusing to read it";
}

// Reads fd to its end, refusing more than kMaxScriptBytes.
std::string readAll(int fd, const std::string& name) {
    std::string text;
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw UsageError(name + ": cannot read the script: " + std::strerror(errno));
        if (n == 0) return text;
        if (text.size() + static_cast<size_t>(n) > kMaxScriptBytes)
            throw UsageError(tooLarge(name));
        text.append(chunk, static_cast<size_t>(n));
    }
}

}  // namespace

std::string readScriptFile(const std::string& path) {
    if (path == "-") {
        struct stat st;
        if (fstat(STDIN_FILENO, &st) != 0 || !(S_ISFIFO(st.st_mode) || S_ISREG(st.st_mode)))
            throw UsageError(
                "-: standard input is not a pipe or a file; give the script through a pipe "
                "(... | pxhost -) or by name");
        return readAll(STDIN_FILENO, "<stdin>");
    }
    // Not blocking: opening a FIFO would otherwise wait for a writer before fstat could tell.
    const FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) throw UsageError(path + ": cannot read the script: " + std::strerror(errno));
    struct stat st;
    if (fstat(fd.get(), &st) != 0)
        throw UsageError(path + ": cannot read the script: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw UsageError(path + ": is a folder, not a script");
    if (!S_ISREG(st.st_mode))
        throw UsageError(path + ": is not a regular file (a device, pipe or socket); " +
                         "give a script file, or \"-\" to read standard input");
    if (static_cast<unsigned long long>(st.st_size) > kMaxScriptBytes)
        throw UsageError(tooLarge(path));
    return readAll(fd.get(), path);
}

std::string scriptFolder(const std::string& scriptPath) {
    if (scriptPath == "-") return "";
    const size_t slash = scriptPath.rfind('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : scriptPath.substr(0, slash);
}

std::string resolveScriptFile(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name[0] == '/') return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace pxhost
