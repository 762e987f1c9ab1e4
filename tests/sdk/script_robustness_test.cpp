// No text, however broken, crashes or hangs the script machinery: every outcome is success or
// an error placed inside the text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "script_fixture.h"
#include "sdk/script/PXiScriptParser.h"

namespace {

// The error, if any, must point into the text: a line that exists, a column within that line
// (or just past its end).
void expectPlacedInside(const PXiScriptResult& r, const std::string& text) {
    if (r.ok()) return;
    ASSERT_EQ(r.error->file(), "comp.pxs");
    int lines = 1 + int(std::count(text.begin(), text.end(), '\n'));
    ASSERT_GE(r.error->line(), 1);
    ASSERT_LE(r.error->line(), lines);
    size_t start = 0;
    for (int l = 1; l < r.error->line(); ++l) start = text.find('\n', start) + 1;
    size_t end = text.find('\n', start);
    size_t length = (end == std::string::npos ? text.size() : end) - start;
    ASSERT_GE(r.error->column(), 1);
    ASSERT_LE(size_t(r.error->column()), length + 1) << r.error->what();
}

const std::string kSeed =
    "# comp\nfg = FileIn(\"fg.png\"); /* plate */\nbg = FileIn(\"bg.png\");\n"
    "c = Over(Blur(fg, 4, 2.5e1), bg, -0.5);\n"
    "extern image K(image, string s = \"x\", float f = 1, float g = f);\n"
    "FileOut(c, \"out.exr\", \"exr\"); // done\n";

TEST_F(ScriptFixture, RandomMutationsOfAScriptFailCleanly) {
    std::mt19937 rng(12345);
    const std::string alphabet = "()=,;\"\\/*#-+.e0123456789abcxyz \n\t";
    for (int round = 0; round < 3000; ++round) {
        std::string text = kSeed;
        int edits = 1 + int(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            size_t at = rng() % (text.size() + 1);
            switch (rng() % 4) {
                case 0:
                    text.insert(at, 1, alphabet[rng() % alphabet.size()]);
                    break;
                case 1:
                    if (at < text.size()) text.erase(at, 1 + rng() % 8);
                    break;
                case 2:
                    text.insert(at, 1, char(rng() % 256));
                    break;
                default:
                    if (at < text.size()) text[at] = alphabet[rng() % alphabet.size()];
            }
        }
        PXiScriptResult r = run(text);
        expectPlacedInside(r, text);
    }
}

TEST_F(ScriptFixture, RandomBytesFailCleanly) {
    std::mt19937 rng(777);
    for (int round = 0; round < 500; ++round) {
        std::string text(rng() % 200, '\0');
        for (char& c : text) c = char(rng() % 256);
        expectPlacedInside(run(text), text);
    }
}

TEST_F(ScriptFixture, ExtremeShapesAreRefusedOrRunWithoutCrashing) {
    const std::string deepCalls = [] {
        std::string s = "a = ";
        for (int i = 0; i < 100000; ++i) s += "Blur(";
        return s + "0" + std::string(100000, ')') + ";";
    }();
    PXiScriptResult r = run(deepCalls);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->message().find("nested more than"), std::string::npos);
    EXPECT_EQ(r.error->column(), 5 + 5 * kPXiScriptMaxNesting);

    // The deepest nesting allowed runs.
    std::string deepest = "a = ";
    for (int i = 0; i < kPXiScriptMaxNesting; ++i) deepest += "Blur(";
    deepest += "0" + std::string(kPXiScriptMaxNesting, ')') + ";";
    r = run(deepest);
    ASSERT_TRUE(r.ok()) << r.error->what();
    EXPECT_EQ(recorder.calls.size(), size_t(kPXiScriptMaxNesting));

    for (const std::string& text :
         {std::string(100000, '('), std::string(100000, '-'), std::string(50000, '"'),
          "a = FileIn(\"" + std::string(100000, 'x'), "/*" + std::string(100000, '*'),
          std::string("a = FileIn(\"x\0y\");", 18), "Blur(" + std::string(100000, '9') + ");",
          std::string(100000, ';'), "extern image F(" + std::string(100000, ','),
          "extern image F(image" + std::string(100000, '\n') + ");"}) {
        expectPlacedInside(run(text), text);
    }
}

}  // namespace
