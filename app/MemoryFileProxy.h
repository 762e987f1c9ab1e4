#pragma once
// The image library's file access for writing, into memory: a writer makes a whole file's
// bytes there, to be put in place later (see EncodedImage). The bytes go into a sample store
// that is kept from file to file, so a sequence of like files allocates nothing once the
// first is made, and nothing is zero-filled that the writer then overwrites.

#include <cstdint>

#include "app/PositionedFileProxy.h"
#include "app/Raster.h"

namespace pxhost {

class MemoryFileProxy : public PositionedFileProxy {
public:
    // Writes into `bytes` from its start, whatever it held; its capacity is kept.
    explicit MemoryFileProxy(SampleStore& bytes);

    const char* proxytype() const override { return "pxhost-memory"; }
    void close() override { m_mode = Closed; }
    size_t pread(void* buf, size_t size, int64_t offset) override;
    size_t pwrite(const void* buf, size_t size, int64_t offset) override;
    // The file's length: the end of the furthest write.
    size_t size() const override { return m_length; }

    // Whether a write could not get the memory it needed (the file is then incomplete).
    bool outOfMemory() const { return m_outOfMemory; }

private:
    SampleStore& m_bytes;
    size_t m_length = 0;
    bool m_outOfMemory = false;
};

}  // namespace pxhost
