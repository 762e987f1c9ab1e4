#include <gtest/gtest.h>

#include <string>

#include "app/HostError.h"
#include "app/SequencePattern.h"

namespace pxhost {
namespace {

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
