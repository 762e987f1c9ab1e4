#pragma once
// The image library's file access with its stream calls (seek, read, write at the current
// position) made of the positioned ones (pread, pwrite), which each of the program's proxies
// implements: readers and writers use both kinds.

#include <OpenImageIO/filesystem.h>

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
};

}  // namespace pxhost
