#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "app/FrameRange.h"
#include "app/HostError.h"

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

}  // namespace
}  // namespace pxhost
