#pragma once
// The image library's file access for reading one input, over a descriptor opened by us,
// remembering whether a reader asked for bytes past the end of the file. Readers of formats
// that store raw samples (DPX) take a file cut short as complete and leave the missing part
// as it happens to be; with this proxy the caller sees the shortfall.

#include <string>

#include "app/PositionedFileProxy.h"

namespace pxhost {

class InputFileProxy : public PositionedFileProxy {
public:
    // Takes an open descriptor of a regular file (and closes it).
    InputFileProxy(const std::string& path, int fd);
    ~InputFileProxy() override;
    InputFileProxy(const InputFileProxy&) = delete;
    InputFileProxy& operator=(const InputFileProxy&) = delete;

    const char* proxytype() const override { return "pxhost-input-file"; }
    void close() override;
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t size() const override;

    // Whether some read reached past the end of the file or failed.
    bool cutShort() const { return m_cutShort; }

private:
    int m_fd;
    bool m_cutShort = false;
};

}  // namespace pxhost
