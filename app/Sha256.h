#pragma once
// SHA-256 (FIPS 180-4), for the per-frame digests of a render. Fed in pieces of any size.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace pxhost {

class Sha256 {
public:
    static constexpr size_t kDigestBytes = 32;
    using Digest = std::array<uint8_t, kDigestBytes>;

    Sha256();
    void update(const void* data, size_t size);
    void update(const std::string& text) { update(text.data(), text.size()); }
    // Ends the message and returns its digest; the object then starts a new message.
    Digest finish();
    // finish() as 64 lower-case hexadecimal digits.
    std::string finishHex();

    static std::string hex(const Digest& digest);

private:
    static constexpr size_t kBlockBytes = 64;

    void reset();
    void compress(const uint8_t* block);

    std::array<uint32_t, 8> m_state;
    std::array<uint8_t, kBlockBytes> m_block;
    size_t m_blockUsed = 0;
    uint64_t m_totalBytes = 0;
};

}  // namespace pxhost
