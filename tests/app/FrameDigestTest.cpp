// SHA-256 and the frame digests built on it.
#include <gtest/gtest.h>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "app/FrameDigest.h"
#include "app/Sha256.h"

namespace pxhost {
namespace {

const std::string kHexA(64, 'a');
const std::string kHexB(64, '0');

std::string pictureHash(const RasterView& view) {
    Sha256 sha;
    hashPicture(sha, view);
    return sha.finishHex();
}

TEST(FrameDigest, RecordsReadBackAndDamagedLinesAreRefused) {
    const DigestRecord record{12, kHexA, kHexB, kHexA, "/shots/a b/key.pxs"};
    std::string line = formatDigestRecord(record);
    ASSERT_EQ(line.back(), '\n');
    line.pop_back();
    DigestRecord back;
    ASSERT_TRUE(parseDigestRecord(line, back));
    EXPECT_EQ(formatDigestRecord(back), formatDigestRecord(record));

    const std::string damaged[] = {
        "",
        line.substr(0, line.size() / 2),  // a torn write
        "frame=x inputs=" + kHexA + " params=" + kHexA + " outputs=" + kHexA + " script=/s",
        "frame=1 inputs=" + kHexA.substr(1) + " params=" + kHexA + " outputs=" + kHexA +
            " script=/s",
        "frame=1 inputs=" + kHexA + " params=" + kHexA + " outputs=" + kHexA + " script=",
        "frame=1 params=" + kHexA + " inputs=" + kHexA + " outputs=" + kHexA + " script=/s",
        "frame=1 inputs=" + std::string(64, 'G') + " params=" + kHexA + " outputs=" + kHexA +
            " script=/s",
    };
    for (const std::string& text : damaged) EXPECT_FALSE(parseDigestRecord(text, back)) << text;
}

// Many writers append to one file at once, as the tasks of an array job do: every line
// arrives whole, and the last record of a frame is the one read.
TEST(FrameDigestThreads, ConcurrentAppendsKeepEveryLineWhole) {
    test::TempDir dir;
    const std::string path = dir / "digests";
    constexpr int kWriters = 8, kFramesEach = 100;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < kFramesEach; ++i)
                appendDigestRecord(path, {w * kFramesEach + i, kHexA, kHexB, kHexA,
                                          "/s/" + std::string(200, 'x')});
        });
    for (std::thread& t : writers) t.join();
    appendDigestRecord(path, {7, kHexB, kHexB, kHexB, "/again"});
    { std::ofstream(path, std::ios::app) << "frame=8 inputs=torn"; }
    const DigestFile file = readDigestFile(path);
    EXPECT_EQ(file.frames.size(), static_cast<size_t>(kWriters * kFramesEach));
    EXPECT_EQ(file.unreadableLines, 1);
    EXPECT_EQ(file.frames.at(7).script, "/again");
    EXPECT_TRUE(readDigestFile(dir / "missing").frames.empty());
}

TEST(FrameDigest, PictureHashSeesPresentSamplesOnly) {
    constexpr int kWidth = 5, kHeight = 3, kPadded = 4 * kWidth + 8;
    std::vector<uint16_t> samples(kPadded * kHeight);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint16_t>(i * 2654435761u);
    RasterView view;
    view.data = reinterpret_cast<const unsigned char*>(samples.data());
    view.width = kWidth;
    view.height = kHeight;
    view.depth = 2;
    view.channels = kChanRGB;
    view.rowSamples = kPadded;
    const std::string base = pictureHash(view);

    // Alpha (absent) and the row padding may hold anything.
    samples[kSampleA] ^= 1;
    samples[kPadded - 1] ^= 1;
    EXPECT_EQ(pictureHash(view), base);
    // Every present sample counts, and so do the size and the channel mask.
    for (int index : {static_cast<int>(kSampleR), kPadded * 2 + 4 * (kWidth - 1) + kSampleB}) {
        samples[index] ^= 0x100;
        EXPECT_NE(pictureHash(view), base) << index;
        samples[index] ^= 0x100;
    }
    EXPECT_EQ(pictureHash(view), base);
    RasterView other = view;
    other.channels = kChanRGBA;
    EXPECT_NE(pictureHash(other), base);
    other = view;
    other.height = kHeight - 1;
    EXPECT_NE(pictureHash(other), base);
}

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
