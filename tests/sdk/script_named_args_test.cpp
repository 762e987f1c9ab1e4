// Arguments given by name: each reaches the same parameter it would reach by position, images
// included (by the names the plug-in describes), and every misuse is an error at the argument.
#include "script_fixture.h"
#include "sdk/script/PXiCommandInfo.h"
#include "sdk/script/PXiScriptArguments.h"

namespace {

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

TEST(ClosestNames, RanksBySpellingWithCaseCountingLess) {
    const std::vector<std::string> names = {"output", "rScreen", "gScreen", "cspace",
                                            "screenRange"};
    EXPECT_EQ(PXiClosestNames("rscreen", names, 1), std::vector<std::string>{"rScreen"});
    EXPECT_EQ(PXiClosestNames("cspce", names, 2), (std::vector<std::string>{"cspace", "output"}));
    EXPECT_EQ(PXiClosestNames("x", {}, 3), std::vector<std::string>{});
}

}  // namespace
