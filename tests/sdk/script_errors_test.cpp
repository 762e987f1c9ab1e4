// Every kind of error a script can contain is reported with the script's name, the exact line
// and column, and a message that says what is wrong; and nothing of a script that does not
// compile runs. Arguments by name, warnings about arguments, and texts of any shape.
#include <gtest/gtest.h>
#include <algorithm>
#include <random>
#include <stdexcept>

#include "script_fixture.h"
#include "sdk/script/PXiCommandInfo.h"
#include "sdk/script/PXiScriptParser.h"

namespace {

struct ErrorCase {
    const char* what;
    std::string script;
    int line;
    int column;
    const char* message;  // a part of the message
};

void PrintTo(const ErrorCase& c, std::ostream* os) { *os << c.what; }

class ScriptErrors : public ScriptFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ScriptErrors, ReportsPlaceAndReasonAndRunsNothing) {
    const ErrorCase& c = GetParam();
    PXiScriptResult r = run(c.script);
    ASSERT_FALSE(r.ok()) << c.what;
    EXPECT_EQ(r.error->file(), "comp.pxs");
    EXPECT_EQ(r.error->line(), c.line) << r.error->what();
    EXPECT_EQ(r.error->column(), c.column) << r.error->what();
    EXPECT_NE(r.error->message().find(c.message), std::string::npos) << r.error->what();
    EXPECT_EQ(
        std::string(r.error->what())
            .rfind("comp.pxs:" + std::to_string(c.line) + ":" + std::to_string(c.column) + ": ", 0),
        0u);
    // Errors found before running (all but a failing call) leave no call made.
    EXPECT_TRUE(recorder.calls.empty()) << r.error->what();
}

const std::string kOk = "a = FileIn(\"fg.png\");\n";

INSTANTIATE_TEST_SUITE_P(
    Syntax, ScriptErrors,
    ::testing::Values(
        ErrorCase{"missing comma", kOk + "b = Over(a a);", 2, 12, "expected ',' or ')'"},
        ErrorCase{"missing semicolon", kOk + "b = Blur(a)\nc = Blur(b);", 3, 1, "expected ';'"},
        ErrorCase{"unterminated string", kOk + "b = FileIn(\"x.png);", 2, 12,
                  "unterminated string"},
        ErrorCase{"string broken by a line", "a = FileIn(\"x\n.png\");", 1, 12,
                  "unterminated string"},
        ErrorCase{"unterminated comment", kOk + "  /* open\n\n", 2, 3, "unterminated comment"},
        ErrorCase{"stray character", kOk + "b = Blur(a) @;", 2, 13, "unexpected character '@'"},
        ErrorCase{"NUL byte", kOk + std::string("b = \0;", 6), 2, 5, "byte 0x00"},
        ErrorCase{"malformed number", kOk + "b = Blur(a, 12ab);", 2, 13, "malformed number"},
        ErrorCase{"exponent without digits", kOk + "b = Blur(a, 1e+);", 2, 13, "exponent"},
        ErrorCase{"unknown escape", "a = FileIn(\"x\\q\");", 1, 14, "unknown escape"},
        ErrorCase{"reserved word as a name", "image = FileIn(\"x\");", 1, 1, "reserved"},
        ErrorCase{"sign before a name", kOk + "b = Blur(a, -a);", 2, 14, "a number after the sign"},
        ErrorCase{"unclosed call at the end", kOk + "b = Blur(a,", 2, 12, "expected a value"},
        ErrorCase{"statement that is no statement", kOk + ");", 2, 1, "expected a value"},
        ErrorCase{"missing parameter type", "extern image F(foo);", 1, 16, "a parameter type"}));

INSTANTIATE_TEST_SUITE_P(
    Calls, ScriptErrors,
    ::testing::Values(
        ErrorCase{"unknown function", kOk + "b = Blurr(a);", 2, 5, "unknown function 'Blurr'"},
        ErrorCase{"too many arguments", kOk + "b = Blur(a, 1, 2, 3);", 2, 19,
                  "too many arguments to Blur: it takes 3, given 4"},
        ErrorCase{"text where an image is expected", kOk + "b = Over(a, \"bg.png\");", 2, 13,
                  "expects an image"},
        ErrorCase{"number where an image is expected", kOk + "b = Over(a, 5);", 2, 13,
                  "expects an image"},
        ErrorCase{"image where a number is expected", kOk + "b = Blur(a, a);", 2, 13,
                  "parameter 'size' (float) expects a float, not an image"},
        ErrorCase{"call where a text is expected", kOk + "b = FileOut(a, FileIn(\"x\"));", 2, 16,
                  "expects a string, not an image"},
        ErrorCase{"undeclared image name", kOk + "b = Over(a,\n\t\tbg);", 3, 3,
                  "undeclared name 'bg'"},
        ErrorCase{"undeclared name for a text", kOk + "b = FileOut(a, out);", 2, 16,
                  "undeclared name 'out'"},
        ErrorCase{"name used before it is assigned", "b = Blur(a);\na = FileIn(\"x\");", 1, 10,
                  "undeclared name 'a'"},
        ErrorCase{"required image missing", kOk + "b = Over(a);", 2, 11,
                  "missing argument for image parameter 2 of Over"},
        ErrorCase{"required text missing", kOk + "FileOut(a);", 2, 10,
                  "missing argument for parameter 'path' (string) of FileOut"},
        ErrorCase{"text assigned to a name", "a = \"fg.png\";", 1, 5, "only an image"},
        ErrorCase{"nested unknown function", kOk + "b = Over(a, Sharpen(a));", 2, 13,
                  "unknown function 'Sharpen'"}));

INSTANTIATE_TEST_SUITE_P(
    Declarations, ScriptErrors,
    ::testing::Values(
        ErrorCase{"image after a text", "extern image F(image, string s = \"\", image);", 1, 38,
                  "must come before"},
        ErrorCase{"default naming a later parameter", "extern image F(float a = b, float b = 1);",
                  1, 26, "names no earlier parameter"},
        ErrorCase{"default naming itself", "extern image F(float a = a);", 1, 26,
                  "names no earlier parameter"},
        ErrorCase{"default naming an image", "extern image F(image i, float a = i);", 1, 35,
                  "names an image parameter"},
        ErrorCase{"image default other than 0", "extern image F(image i = 1);", 1, 26,
                  "can only be 0"},
        ErrorCase{"duplicate parameter", "extern image F(float a = 1, float a = 2);", 1, 29,
                  "appears twice"},
        ErrorCase{"required after optional", "extern image F(float a = 1, float b);", 1, 29,
                  "needs a default"},
        ErrorCase{"result other than image", "extern float F(image);", 1, 1, "extern image"},
        ErrorCase{"too many images",
                  "extern image F(image, image, image, image, image, image, image, image, "
                  "image);",
                  1, 14, "at most 8"},
        ErrorCase{"conflicting redeclaration", "extern image Blur(image, float size = 3);", 1, 14,
                  "already declared differently"},
        ErrorCase{"declaration then a bad call", "extern image G(image);\nb = G(1);", 2, 7,
                  "expects an image"}));

TEST_F(ScriptFixture, TooManyTextParametersAreRefused) {
    std::string decl = "extern image F(image";
    for (int i = 0; i <= 48; ++i) decl += ", string p" + std::to_string(i) + " = \"\"";
    decl += ");";
    PXiScriptResult r = run(decl);
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->message().find("at most 48"), std::string::npos) << r.error->what();
}

TEST_F(ScriptFixture, FailingCallIsAnErrorAtTheCallAndStopsTheScript) {
    root.bindHostFunction("Blur", [](const PXiScriptCall&) -> PXiIPlug* {
        throw std::runtime_error("size must not be negative");
    });
    PXiScriptResult r = run(kOk + "b = Over(a,\n  Blur(a, -1));\nFileOut(b, \"out.png\");");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->line(), 3);
    EXPECT_EQ(r.error->column(), 3);
    EXPECT_EQ(r.error->message(), "Blur failed: size must not be negative");
    // FileIn ran, Over and FileOut did not; what ran before the failure is still named.
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].function, "FileIn");
    EXPECT_EQ(r.image("a"), recorder.calls[0].result);
    EXPECT_EQ(r.image("b"), nullptr);
}

TEST_F(ScriptFixture, DeclaredFunctionWithoutImplementationIsACallError) {
    PXiScriptResult r = run("extern image NoSuchCommand_xyz(image);\n  NoSuchCommand_xyz(0);");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->line(), 2);
    EXPECT_EQ(r.error->column(), 3);
    EXPECT_NE(r.error->message().find("neither the host program nor a loaded plug-in"),
              std::string::npos)
        << r.error->what();
}

// Arguments given by name: each reaches the same parameter it would reach by position, images
// included (by the names the plug-in describes), and every misuse is an error at the argument.
class NamedArguments : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        // A keyer-like command whose images the declaration leaves unnamed; its plug-in names
        // them, and offers the plug a parameter sets as a further name.
        declare(
            "extern image NamedKey(image, image, string output = \"comp\", "
            "float rScreen = 0, float spill = rScreen);");
        using K = PXiCommandArg::Kind;
        PXiCommandInfo::add(
            "NamedKey",
            {{"fg", K::Image, "", "", 0, 0, "", "foreground", {}, {"Fg"}},
             {"bg", K::Image, "", "", 0, 0, "", "background plate", {}, {}},
             {"output", K::Text, "comp", "", 0, 0, "", "", {}, {}},
             {"rScreen", K::Float, "0", "", 0, 1, "", "", {}, {}},
             {"spill", K::Float, "rScreen", "rScreen", 0, 1, "", "", {}, {"rReplace"}}});
        run("a = FileIn(\"a\"); b = FileIn(\"b\");");
    }
    // The last call a script made: its function, its images as the names the script gave
    // them ("a", "b"; "0" for none) and its texts.
    std::vector<std::string> lastCall(const std::string& script) {
        const size_t first = recorder.calls.size();
        PXiScriptResult r = run("a = FileIn(\"a\"); b = FileIn(\"b\");\n" + script);
        EXPECT_TRUE(r.ok()) << (r.error ? r.error->what() : "") << "\n" << script;
        if (recorder.calls.size() < first + 3) return {};
        const CallRecorder::Call& call = recorder.calls.back();
        std::vector<std::string> out = {call.function};
        for (PXiIPlug* image : call.images) {
            out.push_back(image == recorder.calls[first].result       ? "a"
                          : image == recorder.calls[first + 1].result ? "b"
                                                                      : "0");
        }
        out.insert(out.end(), call.texts.begin(), call.texts.end());
        return out;
    }
};

TEST_F(NamedArguments, ReachTheParameterTheirPositionWould) {
    struct Case {
        const char* named;
        const char* positional;
    };
    const Case cases[] = {
        {"Blur(a, ySize = 3)", "Blur(a, 2, 3)"},
        {"Blur(a, size = 5)", "Blur(a, 5, 5)"},  // a later default still follows it
        {"Grade(gain = 3, in = a)", "Grade(a, 3)"},
        {"Blur(a, ySize = 4, size = 1)", "Blur(a, 1, 4)"},
        {"FileOut(a, format = \"exr\", path = \"o\")", "FileOut(a, \"o\", \"exr\")"},
        {"Grade(gain = 2)", "Grade(0, 2)"},
        {"NamedKey(bg = b, fg = a, rScreen = 0.2)", "NamedKey(a, b, \"comp\", 0.2, 0.2)"},
        {"NamedKey(Fg = a, bg = b, spill = 0.5)", "NamedKey(a, b, \"comp\", 0, 0.5)"},
        {"NamedKey(a, 0, rReplace = 0.3, output = \"matte\")", "NamedKey(a, 0, \"matte\", 0, 0.3)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.named);
        EXPECT_EQ(lastCall(std::string("x = ") + c.named + ";"),
                  lastCall(std::string("x = ") + c.positional + ";"));
    }
}

TEST_F(NamedArguments, MisusesAreErrorsAtTheArgument) {
    struct Case {
        const char* call;
        const char* at;  // where in the call the error is reported: this text's start
        const char* message;
    };
    const Case cases[] = {
        {"Blur(a, sise = 3)", "sise", "Blur has no parameter 'sise'; closest: 'size' or 'ySize'"},
        {"Blur(a, Size = 3)", "Size", "closest: 'size'"},
        {"Blur(a, size = 3, 4)", "4", "an argument by position cannot follow one by name ('size')"},
        {"Blur(a, 3, size = 4)", "size", "is given twice: by position (argument 2) and as 'size'"},
        {"Blur(a, size = 3, size = 4)", "size = 4",
         "parameter 'size' (float) is given twice: by name"},
        {"NamedKey(a, fg = b)", "fg", "the foreground is given twice"},
        {"NamedKey(a, b, spill = 1, rReplace = 2)", "rReplace", "given twice"},
        {"NamedKey(a, bg = \"b.png\")", "\"b.png", "the background plate expects an image"},
        {"NamedKey(a, b, cspace = \"video\")", "cspace",
         "has no parameter 'cspace'; closest: 'spill'"},
        {"NamedKey(a, output = \"x\")", ")", "missing argument for the background plate"},
        {"Over(a, mix = 0.5)", ")", "missing argument for image parameter 2 of Over"},
        {"Blur(a, 1, 2, ySize = 3)", "ySize", "'ySize' (float) is given twice"},
        {"Blur(a, 1, 2, 3)", "3", "too many arguments to Blur"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        recorder.calls.clear();
        const std::string line = "x = " + std::string(c.call) + ";";
        PXiScriptResult r = run("a = FileIn(\"a\"); b = FileIn(\"b\");\n" + line);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error->line(), 2);
        EXPECT_EQ(r.error->column(), int(line.find(c.at)) + 1) << r.error->what();
        EXPECT_NE(r.error->message().find(c.message), std::string::npos) << r.error->what();
        EXPECT_TRUE(recorder.calls.empty());
    }
}

// Arguments a described command takes, but not as meant, are warned about at the argument;
// colours given as code values are errors. Nothing else is.
class ScriptWarnings : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        declare(
            "extern image WarnKey(image, string output = \"comp\", string channel = \"A\", "
            "float red = 0.5, float gain = 0, float blur = red, float free = 0);");
        using K = PXiCommandArg::Kind;
        PXiCommandArg output{"output", K::Text, "comp", "", 0, 0, "", "", {"comp", "status"}, {}};
        PXiCommandArg channel{"channel", K::Text, "A", "", 0, 0, "", "", {"A", "R", "G", "B"}, {}};
        channel.choiceByFirstLetter = true;
        PXiCommandInfo::add("WarnKey", {{"fg", K::Image, "", "", 0, 0, "", "foreground", {}, {}},
                                        output,
                                        channel,
                                        {"red", K::Float, "0.5", "", 0, 1, "", "", {}, {}},
                                        {"gain", K::Float, "0", "", -1, 1, "", "", {}, {}},
                                        {"blur", K::Float, "red", "red", 0, 1, "", "", {}, {}},
                                        {"free", K::Float, "0", "", 0, 0, "", "", {}, {}}});
    }
};

TEST_F(ScriptWarnings, ArgumentsTakenButNotAsMeantAreWarnedAboutAtTheArgument) {
    struct Case {
        const char* args;  // after the image
        const char* at;    // where the warning is placed; null for no warning
        const char* message;
    };
    const Case cases[] = {
        {"", nullptr, ""},
        {"\"status\", \"r\", 1, -1, 0, 99", nullptr, ""},
        {"channel = \"blue\"", nullptr, ""},
        {"output = \"Status\"", "\"Status",
         "output \"Status\" is none of \"comp\", \"status\"; it is taken as \"comp\""},
        {"output = \"status \"", "\"status ", "is none of"},
        {"channel = \"x\"", "\"x",
         "channel \"x\" is none of \"A\", \"R\", \"G\", \"B\"; it is taken as \"A\""},
        {"channel = \"\"", "\"\"", "is none of"},
        {"gain = 1.5", "1.5", "gain = 1.5 is above its range; it acts as 1"},
        {"gain = -2", "-2", "gain = -2 is below its range; it acts as -1"},
        {"red = 1.5", "1.5", "red = 1.5 is above its range; it acts as 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string line =
            std::string("x = WarnKey(a") + (*c.args ? ", " : "") + c.args + ");";
        PXiScriptResult r = run("a = FileIn(\"a\");\n" + line);
        ASSERT_TRUE(r.ok()) << r.error->what();
        if (!c.at) {
            EXPECT_TRUE(r.warnings.empty()) << r.warnings.front().what();
            continue;
        }
        ASSERT_EQ(r.warnings.size(), 1u);
        EXPECT_EQ(r.warnings[0].line(), 2);
        EXPECT_EQ(r.warnings[0].column(), int(line.find(c.at)) + 1);
        EXPECT_NE(r.warnings[0].message().find(c.message), std::string::npos)
            << r.warnings[0].message();
        EXPECT_EQ(recorder.calls.size(), 2u * (&c - cases + 1));  // it ran nonetheless
    }
}

TEST_F(ScriptWarnings, CodeValuesForFractionsAreErrorsShowingTheFraction) {
    struct Case {
        const char* args;
        const char* message;
    };
    const Case cases[] = {
        {"red = 13",
         "red = 13 is outside its range 0 to 1: give it as a fraction of 1 (8-bit code value 13 is "
         "13/255 = 0.05098)"},
        {"red = 255", "255/255 = 1)"},
        {"blur = 102", "102/255 = 0.4"},
        {"red = 32768", "16-bit code value 32768 is 32768/65535 = 0.5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        recorder.calls.clear();
        const std::string line = std::string("x = WarnKey(a, ") + c.args + ");";
        PXiScriptResult r = run("a = FileIn(\"a\");\n" + line);
        ASSERT_FALSE(r.ok());
        EXPECT_EQ(r.error->column(), int(line.find('=', 12)) + 3);
        EXPECT_NE(r.error->message().find(c.message), std::string::npos) << r.error->what();
        EXPECT_TRUE(recorder.calls.empty());
    }
}

// No text, however broken, crashes or hangs the script machinery: every outcome is success or
// an error placed inside the text.
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
