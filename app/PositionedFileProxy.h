#pragma once
// The image library's file access with its stream calls (seek, read, write at the current
// position) made of the positioned ones (pread, pwrite), which each of the program's proxies
// implements: readers and writers use both kinds.

#include <OpenImageIO/filesystem.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace pxhost {

class PositionedFileProxy : public OIIO::Filesystem::IOProxy {
public:
    using IOProxy::IOProxy;

    bool seek(int64_t offset) override {
        if (offset < 0) return false;
        m_pos = offset;
        return true;
    }
    size_t read(void* buf, size_t size) override {
        const size_t n = pread(buf, size, m_pos);
        m_pos += static_cast<int64_t>(n);
        return n;
    }
    size_t write(const void* buf, size_t size) override {
        const size_t n = pwrite(buf, size, m_pos);
        m_pos += static_cast<int64_t>(n);
        return n;
    }

protected:
    // Reads up to `size` bytes at `offset` of `fd`, again after a signal, until it has them all,
    // meets the end of the file, or fails (`error` then holds errno). Returns the bytes read.
    static size_t readAt(int fd, void* buf, size_t size, int64_t offset, int& error) {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(fd, static_cast<char*>(buf) + done, size - done,
                                      static_cast<off_t>(offset) + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) error = errno;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }
};

}  // namespace pxhost
