#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "TestFiles.h"
#include "app/FrameDigest.h"

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

}  // namespace
}  // namespace pxhost
