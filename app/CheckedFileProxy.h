#pragma once
// The image library's file access for writing, over a plain file descriptor, remembering the
// first failed read or write. Some of the library's writers (PNG, OpenEXR) do not check what
// their file writes return, so a full disk or a file-size limit would otherwise end in a file
// that looks written but is cut short; with this proxy the caller sees the failure.

#include <string>

#include "app/PositionedFileProxy.h"

namespace pxhost {

class CheckedFileProxy : public PositionedFileProxy {
public:
    // Opens an existing file (the temporary file of an AtomicOutputFile) for writing, emptied.
    explicit CheckedFileProxy(const std::string& path);
    ~CheckedFileProxy() override;
    CheckedFileProxy(const CheckedFileProxy&) = delete;
    CheckedFileProxy& operator=(const CheckedFileProxy&) = delete;

    const char* proxytype() const override { return "pxhost-checked-file"; }
    void close() override;
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    size_t size() const override;

    // 0 while every access succeeded, else the errno of the first failure.
    int failure() const { return m_failure; }

private:
    void fail(int error);

    int m_fd = -1;
    int m_failure = 0;
};

}  // namespace pxhost
