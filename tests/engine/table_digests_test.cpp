// Every table of a fixed list of parameter sets, reduced to one FNV-1a digest per set and
// compared with digests recorded once. The optimised, sanitizer and 32-bit builds must all
// reproduce them: the tables feed integer code, so a single unit that differs between
// builds (a different floating-point evaluation) changes output pixels.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tables_support.h"

namespace {

using tables_test::makeEngine;
using tables_test::Snapshot;

class Fnv1a {
public:
    void bytes(const unsigned char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            hash_ ^= p[i];
            hash_ *= 0x100000001b3ULL;
        }
    }
    // An int as four little-endian bytes, whatever the platform's byte order.
    void value(int v) {
        const auto u = static_cast<std::uint32_t>(v);
        const unsigned char b[4] = {
            static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
            static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
        bytes(b, 4);
    }
    void text(const std::string& s) {
        bytes(reinterpret_cast<const unsigned char*>(s.data()), s.size() + 1);
    }
    std::uint64_t get() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ULL;
};

std::uint64_t digest(const std::vector<int>& values) {
    Fnv1a h;
    for (int v : values) h.value(v);
    return h.get();
}

// One digest over every table's name, size and contents.
std::uint64_t digest(const Snapshot& s) {
    Fnv1a h;
    for (const auto& [name, values] : s) {
        h.text(name);
        h.value(static_cast<int>(values.size()));
        for (int v : values) h.value(v);
    }
    return h.get();
}

std::string hex(std::uint64_t v) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, v);
    return text;
}

struct Maxima {
    int fg, bg, ref, dst, hold, garbage;
};
constexpr Maxima k8{255, 255, 255, 255, 255, 255};
constexpr Maxima k16{65535, 65535, 65535, 65535, 65535, 65535};

struct DigestCase {
    const char* name;
    int colourspace;
    Maxima max;
    bool reference;
    void (*setup)(VRFZephraTable&);
    std::uint64_t expected;
};

void defaults(VRFZephraTable&) {}

void greenScreenShaped(VRFZephraTable& e) {
    e.setScreen(0.1f, 0.85f, 0.3f);
    e.setNeutral(0.45f, 0.5f, 0.55f);
    e.setMp(0.3f, 0.4f, 0.6f);
    e.setBalance(0, 0.2f);
    e.setBalance(1, 0.6f);
    e.setBalance(2, 0.9f);
    e.setGain(0, -0.3f);
    e.setGain(1, 0.2f);
    e.setGain(2, 0.5f);
    e.setScreenRange(0.15f);
}

void blueScreenCorrected(VRFZephraTable& e) {
    e.setScreen(0.15f, 0.3f, 0.8f);
    e.setNeutral(0.52f, 0.5f, 0.47f);
    e.setExposure(1.2f, 0.9f, 1.1f, 0);
    e.setGamma(0.8f, 1.3f, 2.2f, 0);
    e.setOffset(-0.05f, 0.02f, 0.1f, 0);
    e.setExposure(0.7f, 1.0f, 1.4f, 1);
    e.setGamma(1.8f, 0.5f, 1.0f, 1);
    e.setOffset(0.1f, 0.0f, -0.1f, 1);
    e.setSaturation(0.4f, 0);
    e.setSaturation(2.5f, 1);
}

void coloursAndRange(VRFZephraTable& e) {
    e.setScreenRange(0.3f);
    e.setReplace(0.2f, 0.4f, 0.6f);
    e.setBackground(0.9f, 0.1f, 0.5f);
    e.setSaturation(0.0f, 0);
}

void weakScreen(VRFZephraTable& e) {
    // A barely saturated screen: large coefficients, entries saturated at -32768.
    e.setScreen(0.5f, 0.505f, 0.51f);
    e.setGain(2, 1.0f);
}

void nonPositiveGamma(VRFZephraTable& e) {
    e.setGamma(0.0f, -1.0f, 0.5f, 0);
    e.setGamma(-0.0f, 3.0f, 0.0f, 1);
    e.setExposure(-0.5f, 2.0f, 1.0f, 1);
}

void midtonesAtBlack(VRFZephraTable& e) {
    e.setMp(0.0f, 0.0f, 1.0f);
    e.setGain(0, 1.0f);
    e.setGain(1, -0.5f);
    e.setBalance(0, 1.0f);
    e.setBalance(2, 0.0f);
    e.setNeutral(0.001f, 1.0f, 0.3f);
}

// Neutral (0.001, 1, 1) weighs the channels (1, 0.001, 0.001); with saturation 0 the matrix
// rows carry entries of over two million, whose row sums leave the 32-bit range long before
// the colour does (the renderer's sums are checked against the reference pixel, on random
// matrices as large).
void wideMatrix(VRFZephraTable& e) {
    e.setNeutral(0.001f, 1.0f, 1.0f);
    e.setOffset(0.0f, 1.0f, 1.0f, 0);
    e.setSaturation(0.0f, 0);
    e.setSaturation(0.0f, 1);
}

// Recorded from the optimised 64-bit build; every other build must agree.
const DigestCase kCases[] = {
    {"linear defaults, 8 bits", 0, k8, false, defaults, 0x309ff8b107e36c9eULL},
    {"linear defaults, 16 bits", 0, k16, false, defaults, 0x2efaa9bf7a6270a9ULL},
    {"unknown colour space acts as linear", 7, k8, false, defaults, 0x309ff8b107e36c9eULL},
    {"log defaults, 8 bits", 1, k8, false, defaults, 0x6b41f2e3c866235dULL},
    {"log defaults, 16 bits", 1, k16, false, defaults, 0x8ee57e34d1d86e37ULL},
    {"video defaults, 8 bits", 2, k8, false, defaults, 0x75ddb468eabdafb0ULL},
    {"video defaults, 16 bits", 2, k16, false, defaults, 0x493d1f70acae4dadULL},
    {"log green screen shaped, 8 bits, reference", 1, k8, true, greenScreenShaped,
     0x9391660c5e221833ULL},
    {"log green screen shaped, 16 bits, reference", 1, k16, true, greenScreenShaped,
     0x9c04550fbe548175ULL},
    {"video green screen shaped, 8 bits", 2, k8, false, greenScreenShaped, 0x2e58f7712864ddbdULL},
    {"video blue screen corrected, 16 bits", 2, k16, false, blueScreenCorrected,
     0xb236b51c284bb6e3ULL},
    {"log blue screen corrected, 8 bits, reference", 1, k8, true, blueScreenCorrected,
     0xe70143548a69d003ULL},
    {"linear colours and range, 8 bits, reference", 0, k8, true, coloursAndRange,
     0x79d49da434a3d557ULL},
    {"log weak screen, 8 bits", 1, k8, false, weakScreen, 0xbf03e17e667472abULL},
    {"video weak screen, 16 bits", 2, k16, false, weakScreen, 0x49ef5ad3aa6a67e5ULL},
    {"log non-positive gamma, 8 bits", 1, k8, false, nonPositiveGamma, 0x1ef8a9f889d9f767ULL},
    {"linear midtones at black, 16 bits", 0, k16, false, midtonesAtBlack, 0x157f85c0665b1bf4ULL},
    {"linear wide matrix, 8 bits", 0, k8, false, wideMatrix, 0xb0dfa8315dc92308ULL},
    {"linear wide matrix, 16 bits", 0, k16, false, wideMatrix, 0x096df32cb75ad00bULL},
    {"video mixed maxima, reference",
     2,
     {65535, 255, 1023, 255, 65535, 4095},
     true,
     greenScreenShaped,
     0x8d0cb47eea926257ULL},
    {"log mixed maxima",
     1,
     {1023, 65535, 255, 65535, 255, 1},
     false,
     blueScreenCorrected,
     0xceb9476a246f6f4aULL},
};

TEST(TableDigests, EveryBuildComputesTheRecordedTables) {
    for (const DigestCase& c : kCases) {
        SCOPED_TRACE(c.name);
        auto e = makeEngine();
        e->setColourspace(c.colourspace);
        e->useRef(c.reference ? 1 : 0);
        e->setFgMax(c.max.fg);
        e->setBgMax(c.max.bg);
        e->setRefMax(c.max.ref);
        e->setDstMax(c.max.dst);
        e->setHMatteMax(c.max.hold);
        e->setGMatteMax(c.max.garbage);
        c.setup(*e);
        ASSERT_EQ(e->makeLuts(), 0);
        const Snapshot tables = tables_test::snapshot(*e);
        const std::uint64_t actual = digest(tables);
        if (actual != c.expected) {
            // Each table's own digest, to compare between builds.
            std::string detail;
            for (const auto& [name, values] : tables) {
                detail += "  " + name + " " + hex(digest(values)) + "\n";
            }
            ADD_FAILURE() << "digest " << hex(actual) << ", recorded " << hex(c.expected) << "\n"
                          << detail;
        }
    }
}

}  // namespace
