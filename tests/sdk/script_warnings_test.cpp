// Arguments a described command takes, but not as meant, are warned about at the argument;
// colours given as code values are errors. Nothing else is.
#include "script_fixture.h"
#include "sdk/script/PXiCommandInfo.h"

namespace {

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

}  // namespace
