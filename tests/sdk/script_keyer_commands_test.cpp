// The keyer's two commands, declared the way its plug-in declares them (image parameters as the
// bare type, quoted texts and bare parameter names as defaults, mixed separators), reach the
// command with the texts a compositor expects for every argument left out.
#include <gmock/gmock.h>

#include "script_fixture.h"

namespace {

struct Param {
    const char* type;
    const char* name;
    const char* written;  // the default as written in the declaration
};

// Positions 5 to 36 of the current command.
const std::vector<Param> kParams14 = {
    {"string", "output", "\"composite\""},
    {"float", "rScreen", "0.0"},
    {"float", "gScreen", "0.0"},
    {"float", "bScreen", "0.9"},
    {"float", "screenRange", "0.0"},
    {"float", "rFgBias", "0.5"},
    {"float", "gFgBias", "0.5"},
    {"float", "bFgBias", "0.5"},
    {"float", "shadowBalance", "0.5"},
    {"float", "midtoneBalance", "\"shadowBalance\""},
    {"float", "highlightBalance", "\"shadowBalance\""},
    {"float", "shadowGain", "0"},
    {"float", "midtoneGain", "\"shadowGain\""},
    {"float", "highlightGain", "\"shadowGain\""},
    {"float", "midTonesAt", "0.5"},
    {"float", "rSpillReplace", "0.5"},
    {"float", "gSpillReplace", "0.5"},
    {"float", "bSpillReplace", "0.5"},
    {"float", "rExposure", "1.0"},
    {"float", "gExposure", "rExposure"},
    {"float", "bExposure", "rExposure"},
    {"float", "rGamma", "1.0"},
    {"float", "gGamma", "rGamma"},
    {"float", "bGamma", "rGamma"},
    {"float", "saturation", "1.0"},
    {"string", "cspace", "\"linear\""},
    {"int", "useHoldOutMatte", "1"},
    {"string", "holdOutChannel", "\"A\""},
    {"int", "useGarbageMatte", "1"},
    {"string", "garbageChannel", "\"A\""},
    {"int", "bgColor", "0"},
    {"int", "clipMode", "0"},
};

std::vector<Param> params13() {
    std::vector<Param> p;
    for (const Param& q : kParams14) {
        if (std::string(q.name) == "useGarbageMatte" || std::string(q.name) == "garbageChannel")
            continue;
        p.push_back(q);
        if (std::string(q.name) == "midTonesAt") p.back().name = "modTonesAt";
    }
    return p;
}

std::string declaration(const char* name, int images, const std::vector<Param>& params) {
    static const char* separators[] = {", ", ",\n\t", ",\t", ",\n    "};
    std::string s = std::string("extern image ") + name + "(";
    int n = 0;
    for (int i = 0; i < images; ++i, ++n) s += std::string(n ? separators[n % 4] : "") + "image";
    for (const Param& p : params) {
        s += separators[n++ % 4];
        s += std::string(p.type) + " " + p.name + " = " + p.written;
    }
    return s + ");\n";
}

// What a call that gives the first `given` texts should deliver: the given text, else the
// quoted or numeric default as text, else (a bare name) what the named parameter received.
std::vector<std::string> expectedTexts(const std::vector<Param>& params,
                                       const std::vector<std::string>& given) {
    std::vector<std::string> out;
    for (size_t i = 0; i < params.size(); ++i) {
        if (i < given.size()) {
            out.push_back(given[i]);
            continue;
        }
        std::string w = params[i].written;
        if (w[0] == '"') {
            out.push_back(w.substr(1, w.size() - 2));
        } else if ((w[0] >= '0' && w[0] <= '9') || w[0] == '-') {
            out.push_back(w);
        } else {
            for (size_t j = 0; j < i; ++j)
                if (w == params[j].name) out.push_back(out[j]);
        }
    }
    return out;
}

class KeyerCommands : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        PXiCmplr compiler;
        PXiValue value;
        std::string text =
            declaration("Zephra_1v4", 4, kParams14) + declaration("Zephra_1v3", 3, params13());
        ASSERT_EQ(compiler.execute(&root, PXiType::null, value, text, std::string("keyer")),
                  PXiCmplr::kOk)
            << compiler.lastError()->what();
        root.bindHostFunction("Zephra_1v4", recorder.function());
        root.bindHostFunction("Zephra_1v3", recorder.function());
    }
};

TEST_F(KeyerCommands, DeclarationsHaveTheirImageAndTextCounts) {
    auto v4 = root.findFunction("Zephra_1v4");
    auto v3 = root.findFunction("Zephra_1v3");
    ASSERT_TRUE(v4 && v3);
    EXPECT_EQ(v4->imageCount, 4u);
    EXPECT_EQ(v4->textCount, 32u);
    EXPECT_EQ(v3->imageCount, 3u);
    EXPECT_EQ(v3->textCount, 30u);
    EXPECT_EQ(v4->origin, "keyer");
}

TEST_F(KeyerCommands, EveryPrefixOfArgumentsGetsTheRightDefaults) {
    // Distinct texts for the arguments given, so that a misplaced one shows.
    std::vector<std::string> all;
    for (size_t i = 0; i < kParams14.size(); ++i) all.push_back(std::to_string(i) + ".25");
    for (size_t given = 0; given <= kParams14.size(); ++given) {
        std::vector<std::string> args(all.begin(), all.begin() + given);
        std::string script = "fg = FileIn(\"fg\");\nk = Zephra_1v4(fg, 0, fg, 0";
        for (const std::string& a : args) script += ", " + a;
        script += ");";
        recorder.calls.clear();
        PXiScriptResult r = run(script);
        ASSERT_TRUE(r.ok()) << r.error->what();
        ASSERT_EQ(recorder.calls.size(), 2u);
        const auto& call = recorder.calls[1];
        EXPECT_EQ(call.images, (std::vector<PXiIPlug*>{recorder.calls[0].result, nullptr,
                                                       recorder.calls[0].result, nullptr}));
        EXPECT_EQ(call.texts, expectedTexts(kParams14, args)) << given << " given";
        EXPECT_EQ(r.image("k"), call.result);
    }
}

TEST_F(KeyerCommands, DefaultsFollowTheArgumentsTheyName) {
    struct Case {
        std::string args;
        std::vector<std::pair<size_t, std::string>> expected;  // text index, text
    };
    const Case cases[] = {
        // All defaults: balances and gains name their plugs, exposure and gamma copy 1.0.
        {"",
         {{0, "composite"},
          {9, "shadowBalance"},
          {10, "shadowBalance"},
          {12, "shadowGain"},
          {13, "shadowGain"},
          {19, "1.0"},
          {20, "1.0"},
          {23, "1.0"},
          {25, "linear"},
          {27, "A"},
          {31, "0"}}},
        // shadowBalance given: midtone and highlight still name the plug, not the value.
        {", \"matte\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.3",
         {{0, "matte"}, {8, "0.3"}, {9, "shadowBalance"}, {10, "shadowBalance"}}},
        // Only rExposure given (with everything before it): g and b take its text.
        {", \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.5, \"shadowBalance\", "
         "\"shadowBalance\", 0, \"shadowGain\", \"shadowGain\", 0.5, 0.5, 0.5, 0.5, 2.0",
         {{18, "2.0"}, {19, "2.0"}, {20, "2.0"}, {21, "1.0"}, {22, "1.0"}}},
    };
    for (const Case& c : cases) {
        recorder.calls.clear();
        PXiScriptResult r = run("Zephra_1v4(0, 0, 0, 0" + c.args + ");");
        ASSERT_TRUE(r.ok()) << r.error->what();
        ASSERT_EQ(recorder.calls.size(), 1u);
        const auto& texts = recorder.calls[0].texts;
        ASSERT_EQ(texts.size(), 32u);
        for (const auto& e : c.expected) EXPECT_EQ(texts[e.first], e.second) << e.first;
    }
}

TEST_F(KeyerCommands, OlderCommandTakesThreeImagesAndThirtyTexts) {
    PXiScriptResult r =
        run("bg = FileIn(\"bg\");\nfg = FileIn(\"fg\");\n"
            "k = Zephra_1v3(bg, fg, 0, \"matte\");");
    ASSERT_TRUE(r.ok()) << r.error->what();
    const auto& call = recorder.calls.back();
    EXPECT_EQ(call.function, "Zephra_1v3");
    EXPECT_EQ(call.images, (std::vector<PXiIPlug*>{r.image("bg"), r.image("fg"), nullptr}));
    EXPECT_EQ(call.texts, expectedTexts(params13(), {"matte"}));
    // The older command has no garbage matte parameters: a 31st text is one too many.
    std::string tooMany = "Zephra_1v3(0, 0, 0";
    for (int i = 0; i < 31; ++i) tooMany += ", 1";
    PXiScriptResult e = run(tooMany + ");");
    ASSERT_FALSE(e.ok());
    EXPECT_EQ(e.error->column(), 19 + 3 * 30 + 2);
    EXPECT_NE(e.error->message().find("it takes 33, given 34"), std::string::npos);
}

TEST_F(KeyerCommands, WrongKindsOfArgumentsAreRefused) {
    PXiScriptResult r = run("fg = FileIn(\"fg\");\nZephra_1v4(fg, \"bg\", 0, 0);");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->line(), 2);
    EXPECT_EQ(r.error->column(), 16);
    r = run("fg = FileIn(\"fg\");\nZephra_1v4(fg, 0, 0, 0, fg);");
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->message().find("parameter 'output' (string)"), std::string::npos);
    r = run("Zephra_1v4(0, 0, 0);");
    ASSERT_FALSE(r.ok());
    EXPECT_NE(r.error->message().find("image parameter 4"), std::string::npos);
}

}  // namespace
