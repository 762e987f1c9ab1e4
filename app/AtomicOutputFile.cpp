#include "app/AtomicOutputFile.h"

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "app/HostError.h"

namespace pxhost {
namespace {

// Temporary files in flight, for the signal handler: a handler may only read lock-free atomics,
// so the table is fixed in size. The program writes one file at a time; a few more slots cover
// tests that keep several open. A file that finds no slot is still removed on every ordinary
// exit path, only not on a signal.
constexpr int kSlots = 16;
std::atomic<const char*>& slot(int i) {
    static std::atomic<const char*> table[kSlots];
    return table[i];
}

int claimSlot(const char* path) {
    for (int i = 0; i < kSlots; ++i) {
        const char* expected = nullptr;
        if (slot(i).compare_exchange_strong(expected, path)) return i;
    }
    return -1;
}

extern "C" void removeTempFilesAndReraise(int sig) {
    for (int i = 0; i < kSlots; ++i) {
        const char* path = slot(i).exchange(nullptr);
        if (path) unlink(path);
    }
    std::signal(sig, SIG_DFL);
    raise(sig);
}

// Holds off the signals whose handler removes temporary files, while a temporary file and its
// slot in the table change together: a signal between creating the file and recording it, or
// between forgetting it and renaming or removing it, would leave the file behind.
class SignalsHeld {
public:
    SignalsHeld() {
        const sigset_t set = AtomicOutputFile::removalSignals();
        pthread_sigmask(SIG_BLOCK, &set, &m_before);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &m_before, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t m_before;
};

constexpr int kRemovalSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

mode_t newFileMode() {
    // umask can only be read by setting it; one thread at a time writes files, and the
    // program's other threads create none, so the short swap is harmless.
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void checkOutputFolder(const std::string& finalPath) {
    if (finalPath.empty()) throw RenderError("output file name is empty");
    if (finalPath.back() == '/') throw RenderError(finalPath + ": output file name is a folder");
    const std::string folder = folderOf(finalPath);
    struct stat st;
    if (stat(folder.c_str(), &st) != 0)
        throw RenderError(finalPath + ": output folder " + folder + " does not exist");
    if (!S_ISDIR(st.st_mode))
        throw RenderError(finalPath + ": output folder " + folder + " is a file, not a folder");
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        throw RenderError(finalPath + ": output folder " + folder + " is not writable");
    if (stat(finalPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw RenderError(finalPath + ": output file name is a folder");
}

AtomicOutputFile::AtomicOutputFile(const std::string& finalPath) : m_finalPath(finalPath) {
    checkOutputFolder(finalPath);
    std::string pattern = folderOf(finalPath) + "/." + baseOf(finalPath) + ".pxhost-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const SignalsHeld held;
    const int fd = mkstemp(name.data());
    if (fd < 0)
        throw RenderError(finalPath + ": output folder " + folderOf(finalPath) +
                          " is not writable: " + std::strerror(errno));
    close(fd);
    m_tempPath = name.data();
    m_slot = claimSlot(m_tempPath.c_str());
}

AtomicOutputFile::~AtomicOutputFile() {
    const SignalsHeld held;
    if (m_slot >= 0) slot(m_slot).store(nullptr);
    if (!m_committed) unlink(m_tempPath.c_str());
}

void AtomicOutputFile::commit() {
    // mkstemp made the file private; give it the permissions of any new file. The data is not
    // forced to disk first: the rename already guarantees that an interrupted program leaves
    // no partial file, and a sync per frame would cost more than keying it.
    if (chmod(m_tempPath.c_str(), newFileMode()) != 0)
        throw RenderError(m_finalPath + ": cannot finish writing: " + std::strerror(errno));
    const SignalsHeld held;
    if (m_slot >= 0) {
        slot(m_slot).store(nullptr);
        m_slot = -1;
    }
    if (rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0)
        throw RenderError(m_finalPath +
                          ": cannot rename the finished file into place: " + std::strerror(errno));
    m_committed = true;
}

void AtomicOutputFile::removeTempFilesOnSignal() {
    for (int sig : kRemovalSignals) std::signal(sig, removeTempFilesAndReraise);
}

sigset_t AtomicOutputFile::removalSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kRemovalSignals) sigaddset(&set, sig);
    return set;
}

}  // namespace pxhost
