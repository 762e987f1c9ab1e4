// Frame ranges as -t takes them, their texts and chunks, and the file names of a sequence.
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "app/FrameChunks.h"
#include "app/FrameRange.h"
#include "app/HostError.h"
#include "app/SequencePattern.h"

namespace pxhost {
namespace {

struct RangeCase {
    const char* text;
    std::vector<long> frames;
};

TEST(FrameRange, AcceptsTheWrittenForms) {
    const RangeCase cases[] = {
        {"7", {7}},
        {"0", {0}},
        {"1-4", {1, 2, 3, 4}},
        {"3-3", {3}},
        {"1-10x3", {1, 4, 7, 10}},
        {"1-9x3", {1, 4, 7}},
        {"1,5,10-12", {1, 5, 10, 11, 12}},
        {" 1 , 5 ", {1, 5}},
        {"5,1", {5, 1}},              // order as given
        {"1-3,2-4", {1, 2, 3, 4}},    // a frame named twice is rendered once
        {"0010-0012", {10, 11, 12}},  // leading zeros as in padded names
        {"999999999", {999999999}},
    };
    for (const RangeCase& c : cases) EXPECT_EQ(parseFrameRange(c.text), c.frames) << c.text;
}

TEST(FrameRange, SteppedRangesMatchAPlainLoop) {
    std::mt19937 rng(17);
    for (int i = 0; i < 200; ++i) {
        const long a = rng() % 500, b = a + rng() % 500, s = 1 + rng() % 40;
        std::vector<long> expected;
        for (long f = a; f <= b; f += s) expected.push_back(f);
        const std::string text =
            std::to_string(a) + "-" + std::to_string(b) + "x" + std::to_string(s);
        ASSERT_EQ(parseFrameRange(text), expected) << text;
    }
}

TEST(FrameRange, RefusesBadTextNamingTheOptionAndItem) {
    const char* bad[] = {"",       "a",          "1-",        "-5",    "5-1", "1-10x0",
                         "1-10x",  "1,,2",       "1,",        "1-2-3", "1x2", "1.5",
                         "1-10y2", "1000000000", "0-2000000", "1-5x-1"};
    for (const char* text : bad) {
        try {
            parseFrameRange(text);
            ADD_FAILURE() << "accepted \"" << text << "\"";
        } catch (const UsageError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("-t: bad frame range", 0), 0u) << message;
            EXPECT_EQ(e.exitStatus(), kExitUsage);
        }
    }
}

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

struct NameCase {
    const char* pattern;
    long frame;
    const char* name;
    bool sequence;
};

TEST(SequencePattern, ExpandsFrameNumbers) {
    const NameCase cases[] = {
        {"plate.####.exr", 7, "plate.0007.exr", true},
        {"plate.####.exr", 12345, "plate.12345.exr", true},  // wider than the padding
        {"plate.#.exr", 42, "plate.42.exr", true},
        {"plate.%04d.exr", 7, "plate.0007.exr", true},
        {"plate.%d.exr", 7, "plate.7.exr", true},
        {"plate.%4d.exr", 7, "plate.   7.exr", true},  // as printf pads
        {"shot_%%_v%03d.tif", 5, "shot_%_v005.tif", true},
        {"dir.##/img.png", 3, "dir.03/img.png", true},
        {"still.png", 9, "still.png", false},
        {"50%.png", 9, "50%.png", false},
        {"100%d", 9, "1009", true},
        {"odd%xd.png", 9, "odd%xd.png", false},
        {"", 1, "", false},
    };
    for (const NameCase& c : cases) {
        const SequencePattern p(c.pattern);
        EXPECT_EQ(p.fileName(c.frame), c.name) << c.pattern;
        EXPECT_EQ(p.isSequence(), c.sequence) << c.pattern;
        EXPECT_EQ(p.text(), c.pattern);
    }
}

TEST(SequencePattern, RefusesAmbiguousNames) {
    for (const char* text :
         {"a.####.b.##.exr", "a.%04d.%d.exr", "a.#.%d", "a.#############.exr", "a.%013d.exr"}) {
        try {
            SequencePattern p(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(text, 0), 0u) << e.what();
        }
    }
}

}  // namespace
}  // namespace pxhost
