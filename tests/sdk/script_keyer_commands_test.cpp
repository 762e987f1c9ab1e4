// A declaration written the way plug-ins write theirs (image parameters as the bare type,
// quoted texts and bare parameter names as defaults, separators with line breaks and tabs)
// gives the command, for every argument left out, the text a compositor expects. The keyer's
// own declarations are checked against its plug in the host's tests.
#include <gmock/gmock.h>

#include "script_fixture.h"

namespace {

class DeclaredDefaults : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        declare(
            "extern image Key(image, image,\n\tstring output = \"composite\",\tfloat shadow = 0.5,"
            "\n    float midtone = \"shadow\", float rExposure = 1.0,\n"
            "\tfloat gExposure = rExposure, float bExposure = rExposure, int clip = 0);");
    }
};

// A quoted default is its text, even when it is a parameter's name (a plug then follows that
// plug); a bare name gives the text that parameter received, given or by default.
TEST_F(DeclaredDefaults, EveryPrefixOfArgumentsGetsTheRightTexts) {
    const std::vector<std::string> given = {"\"matte\"", "0.25", "0.75", "2.5", "3.5", "4.5", "1"};
    const std::vector<std::vector<std::string>> expected = {
        {"composite", "0.5", "shadow", "1.0", "1.0", "1.0", "0"},
        {"matte", "0.5", "shadow", "1.0", "1.0", "1.0", "0"},
        {"matte", "0.25", "shadow", "1.0", "1.0", "1.0", "0"},
        {"matte", "0.25", "0.75", "1.0", "1.0", "1.0", "0"},
        {"matte", "0.25", "0.75", "2.5", "2.5", "2.5", "0"},
        {"matte", "0.25", "0.75", "2.5", "3.5", "2.5", "0"},
        {"matte", "0.25", "0.75", "2.5", "3.5", "4.5", "0"},
        {"matte", "0.25", "0.75", "2.5", "3.5", "4.5", "1"},
    };
    for (size_t n = 0; n <= given.size(); ++n) {
        std::string script = "fg = FileIn(\"fg\");\nk = Key(fg, 0";
        for (size_t i = 0; i < n; ++i) script += ", " + given[i];
        recorder.calls.clear();
        PXiScriptResult r = run(script + ");");
        ASSERT_TRUE(r.ok()) << r.error->what();
        ASSERT_EQ(recorder.calls.size(), 2u);
        const auto& call = recorder.calls[1];
        EXPECT_EQ(call.images, (std::vector<PXiIPlug*>{recorder.calls[0].result, nullptr}));
        EXPECT_EQ(call.texts, expected[n]) << n << " given";
        EXPECT_EQ(r.image("k"), call.result);
    }
    auto key = root.findFunction("Key");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->imageCount, 2u);
    EXPECT_EQ(key->textCount, 7u);
}

}  // namespace
