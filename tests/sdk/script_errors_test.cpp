// Every kind of error a script can contain is reported with the script's name, the exact line
// and column, and a message that says what is wrong; and nothing of a script that does not
// compile runs.
#include <stdexcept>

#include "script_fixture.h"

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

}  // namespace
