#include "app/InputFileProxy.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pxhost {

InputFileProxy::InputFileProxy(const std::string& path, int fd)
    : PositionedFileProxy(path, Read), m_fd(fd) {}

InputFileProxy::~InputFileProxy() { close(); }

void InputFileProxy::close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    m_mode = Closed;
}

size_t InputFileProxy::pread(void* buf, size_t size, int64_t offset) {
    size_t done = 0;
    while (m_fd >= 0 && done < size) {
        const ssize_t n = ::pread(m_fd, static_cast<char*>(buf) + done, size - done,
                                  static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    if (done < size) m_cutShort = true;
    return done;
}

size_t InputFileProxy::size() const {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) return 0;
    return static_cast<size_t>(st.st_size);
}

}  // namespace pxhost
