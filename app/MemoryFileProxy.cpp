#include "app/MemoryFileProxy.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace pxhost {

MemoryFileProxy::MemoryFileProxy(SampleStore& bytes)
    : PositionedFileProxy("", Write), m_bytes(bytes) {}

size_t MemoryFileProxy::pread(void* buf, size_t size, int64_t offset) {
    if (offset < 0 || static_cast<uint64_t>(offset) >= m_length) return 0;
    const size_t from = static_cast<size_t>(offset);
    const size_t n = std::min(size, m_length - from);
    std::memcpy(buf, m_bytes.data() + from, n);
    return n;
}

size_t MemoryFileProxy::pwrite(const void* buf, size_t size, int64_t offset) {
    if (offset < 0 || size > std::numeric_limits<size_t>::max() - static_cast<uint64_t>(offset))
        return 0;
    const size_t from = static_cast<size_t>(offset);
    const size_t end = from + size;
    if (end > m_bytes.size()) {
        try {
            // Grown geometrically: writers add a file in many small pieces.
            m_bytes.resize(std::max(end, m_bytes.size() + m_bytes.size() / 2));
        } catch (const std::bad_alloc&) {
            m_outOfMemory = true;
            return 0;
        }
    }
    // A gap a writer seeks over reads back as zeros, as in a file.
    if (from > m_length) std::memset(m_bytes.data() + m_length, 0, from - m_length);
    std::memcpy(m_bytes.data() + from, buf, size);
    m_length = std::max(m_length, end);
    return size;
}

}  // namespace pxhost
