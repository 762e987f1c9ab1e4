#include "app/AtomicOutputFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
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

// Every signal whose default action ends the program and that a handler can catch: on any of
// them the temporary files go first. Faults of the program itself (SIGSEGV, SIGBUS, SIGFPE,
// SIGILL) are left alone, and SIGXFSZ is ignored by the program (see main).
std::vector<int> terminatingSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGABRT,   SIGTRAP,  SIGSYS,
                                SIGTERM, SIGUSR1, SIGUSR2, SIGPIPE,   SIGALRM,  SIGXCPU,
                                SIGPROF, SIGIO,   SIGPWR,  SIGVTALRM, SIGSTKFLT};
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
    return signals;
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

// The longest file name a folder takes (NAME_MAX where the folder does not say).
size_t longestName(const std::string& folder) {
    const long longest = pathconf(folder.c_str(), _PC_NAME_MAX);
    return longest > 0 ? static_cast<size_t>(longest) : NAME_MAX;
}

// Whether the file or folder carries the append-only or immutable attribute: the folder then
// takes a new file but no rename into place (nor the removal of what is left), a file cannot
// be replaced.
bool isAppendOnlyOrImmutable(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    const bool known = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    close(fd);
    return known && (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
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
    if (isAppendOnlyOrImmutable(folder))
        throw RenderError(finalPath + ": output folder " + folder +
                          " is append-only or immutable: a finished file cannot be put in place");
    if (stat(finalPath.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) throw RenderError(finalPath + ": output file name is a folder");
    // A file the user could not write is not replaced either. Root passes every permission
    // check, so for root a file without any write permission counts as read-only.
    const bool noWriteBits = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (access(finalPath.c_str(), W_OK) != 0 || noWriteBits)
        throw RenderError(finalPath + ": the file is read-only; refusing to replace it");
    if (isAppendOnlyOrImmutable(finalPath))
        throw RenderError(finalPath +
                          ": the file is append-only or immutable; it cannot be replaced");
}

AtomicOutputFile::AtomicOutputFile(const std::string& finalPath) : m_finalPath(finalPath) {
    checkOutputFolder(finalPath);
    // The hidden temporary name carries as much of the final name as fits the folder's longest
    // name, so that any name the folder takes can be written.
    static const std::string kTempTail = ".pxhost-XXXXXX";
    const std::string folder = folderOf(finalPath);
    const size_t room = longestName(folder) - 1 - kTempTail.size();
    std::string pattern = folder + "/." + baseOf(finalPath).substr(0, room) + kTempTail;
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
    // mkstemp made the file private; give it the permissions of the file it replaces, or of
    // any new file. The data is not forced to disk first: the rename already guarantees that an
    // interrupted program leaves no partial file, and a sync per frame would cost more than
    // keying it.
    struct stat replaced;
    const mode_t mode = stat(m_finalPath.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)
                            ? (replaced.st_mode & 0777)
                            : newFileMode();
    if (chmod(m_tempPath.c_str(), mode) != 0)
        throw RenderError(m_finalPath + ": cannot finish writing: " + std::strerror(errno));
    const SignalsHeld held;
    if (m_slot >= 0) {
        slot(m_slot).store(nullptr);
        m_slot = -1;
    }
    if (rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0) {
        const int error = errno;
        // Removed before the failure is reported, so that nothing is left whatever follows.
        unlink(m_tempPath.c_str());
        m_committed = true;  // nothing left for the destructor to remove
        throw RenderError(m_finalPath +
                          ": cannot rename the finished file into place: " + std::strerror(error));
    }
    m_committed = true;
}

void AtomicOutputFile::removeTempFilesOnSignal() {
    // A signal the program was started with ignored (nohup) stays ignored, and one that already
    // has a handler (a sanitizer's) keeps it.
    for (int sig : terminatingSignals()) {
        struct sigaction current;
        if (sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction action = {};
        action.sa_handler = removeTempFilesAndReraise;
        sigemptyset(&action.sa_mask);
        sigaction(sig, &action, nullptr);
    }
}

sigset_t AtomicOutputFile::removalSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : terminatingSignals()) sigaddset(&set, sig);
    return set;
}

}  // namespace pxhost
