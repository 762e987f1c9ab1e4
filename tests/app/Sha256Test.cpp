#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/Sha256.h"

namespace pxhost {
namespace {

struct Vector {
    std::string message;
    const char* digest;
};

// The examples of FIPS 180-4 (and its companion examples document), plus the empty message.
TEST(Sha256, MatchesThePublishedExamples) {
    const Vector vectors[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Vector& v : vectors) {
        Sha256 sha;
        sha.update(v.message);
        EXPECT_EQ(sha.finishHex(), v.digest) << v.message.substr(0, 20);
    }
}

// Messages whose padding falls on each side of a block boundary, fed whole and in random
// pieces, give the same digest; and a finished hasher starts afresh.
TEST(Sha256, PiecesAndBlockBoundariesGiveTheWholeMessagesDigest) {
    std::mt19937 rng(5);
    for (size_t length : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 1000u}) {
        std::string message(length, '\0');
        for (char& c : message) c = static_cast<char>(rng());
        Sha256 whole;
        whole.update(message);
        const std::string expected = whole.finishHex();
        Sha256 pieces;
        for (size_t at = 0; at < length;) {
            const size_t n = std::min<size_t>(length - at, rng() % 70);
            pieces.update(message.data() + at, n);
            at += n;
        }
        EXPECT_EQ(pieces.finishHex(), expected) << length;
        whole.update(message);
        EXPECT_EQ(whole.finishHex(), expected) << length;
    }
}

}  // namespace
}  // namespace pxhost
