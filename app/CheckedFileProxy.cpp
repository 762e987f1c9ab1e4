#include "app/CheckedFileProxy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pxhost {

CheckedFileProxy::CheckedFileProxy(const std::string& path) : PositionedFileProxy(path, Write) {
    m_fd = ::open(path.c_str(), O_RDWR | O_TRUNC | O_CLOEXEC);
    if (m_fd < 0) {
        fail(errno);
        m_mode = Closed;
    }
}

CheckedFileProxy::~CheckedFileProxy() { close(); }

void CheckedFileProxy::fail(int error) {
    if (m_failure == 0) m_failure = error ? error : EIO;
}

void CheckedFileProxy::close() {
    if (m_fd >= 0 && ::close(m_fd) != 0) fail(errno);
    m_fd = -1;
    m_mode = Closed;
}

size_t CheckedFileProxy::pread(void* buf, size_t size, int64_t offset) {
    if (m_fd < 0) return 0;
    int error = 0;
    const size_t done = readAt(m_fd, buf, size, offset, error);
    if (error) fail(error);  // the end of the file is no failure: writers probe for it
    return done;
}

size_t CheckedFileProxy::pwrite(const void* buf, size_t size, int64_t offset) {
    if (m_fd < 0) {
        fail(EBADF);
        return 0;
    }
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(m_fd, static_cast<const char*>(buf) + done, size - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t CheckedFileProxy::size() const {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) return 0;
    return static_cast<size_t>(st.st_size);
}

}  // namespace pxhost
