#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/FrameChunks.h"
#include "app/FrameRange.h"

namespace pxhost {
namespace {

TEST(FrameChunks, TextsReadBackAsTheSameFramesInTheSameOrder) {
    const struct {
        std::vector<long> frames;
        const char* text;
    } cases[] = {
        {{1, 2, 3, 4}, "1-4"},
        {{1, 3, 5, 7}, "1-7x2"},
        {{5}, "5"},
        {{1, 2}, "1,2"},
        {{1, 2, 3, 10, 20, 30, 31}, "1-3,10-30x10,31"},
        {{9, 8, 7}, "9,8,7"},
    };
    for (const auto& c : cases) EXPECT_EQ(frameListText(c.frames), c.text);

    // Against the -t parser: random lists (sorted runs with gaps and shuffled pieces).
    std::mt19937 rng(3);
    for (int i = 0; i < 300; ++i) {
        std::vector<long> frames;
        long next = rng() % 50;
        for (int n = 1 + rng() % 40; n > 0; --n) {
            frames.push_back(next);
            next += 1 + (rng() % 4 == 0 ? rng() % 9 : 0);
        }
        if (i % 3 == 0) std::shuffle(frames.begin(), frames.end(), rng);
        EXPECT_EQ(parseFrameRange(frameListText(frames)), frames) << frameListText(frames);
    }
}

TEST(FrameChunks, ChunksCoverTheListInOrder) {
    const std::vector<long> frames = parseFrameRange("1-23");
    for (long size : {1L, 6L, 10L, 23L, 100L}) {
        const std::vector<std::vector<long>> chunks = chunkFrames(frames, size);
        EXPECT_EQ(chunks.size(), (frames.size() + size - 1) / size);
        std::vector<long> joined;
        for (const std::vector<long>& chunk : chunks) {
            EXPECT_LE(chunk.size(), static_cast<size_t>(size));
            EXPECT_FALSE(chunk.empty());
            joined.insert(joined.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(joined, frames) << size;
    }
}

}  // namespace
}  // namespace pxhost
