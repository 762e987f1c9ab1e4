#include "app/InputFileProxy.h"

#include <sys/stat.h>
#include <unistd.h>

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
    // A failed read counts as the file ending there: the reader then reports it cut short.
    int error = 0;
    const size_t done = m_fd >= 0 ? readAt(m_fd, buf, size, offset, error) : 0;
    if (done < size) m_cutShort = true;
    return done;
}

size_t InputFileProxy::size() const {
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0) return 0;
    return static_cast<size_t>(st.st_size);
}

}  // namespace pxhost
