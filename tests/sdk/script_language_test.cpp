// Scripts that are right: what each call receives, how names carry images from call to call,
// how omitted arguments take their defaults, and exported functions called through their type.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "script_fixture.h"
#include "sdk/script/PXiScriptFunction.h"
#include "sdk/script/PXiScriptParser.h"

namespace {

using ::testing::ElementsAre;

TEST(ScriptParser, ByteOrderMarkIsSkippedAndColumnsCountAfterIt) {
    try {
        PXiParseScript("\xEF\xBB\xBF a = @;", "t");
        FAIL() << "no error";
    } catch (const PXiScriptError& e) {
        EXPECT_EQ(e.line(), 1);
        EXPECT_EQ(e.column(), 6);
    }
    // Only the first is a mark.
    EXPECT_THROW(PXiParseScript("\xEF\xBB\xBF\xEF\xBB\xBF", "t"), PXiScriptError);
}

TEST(ScriptParser, EmptyAndCommentOnlyTextsHaveNoStatements) {
    for (const char* text : {"", "   \n\t", "// x", "# x\n# y", "/**/", "/* a */ /* b */"})
        EXPECT_TRUE(PXiParseScript(text, "t").empty()) << text;
}

TEST_F(ScriptFixture, NamesCarryImagesFromCallToCall) {
    PXiScriptResult r =
        run("fg = FileIn(\"fg.png\");\n"
            "bg = FileIn(\"bg.png\");\n"
            "comp = Over(Blur(fg, 4), bg, 0.25);\n"
            "FileOut(comp, \"out.exr\", \"exr\");\n"
            "fg = Grade(fg);\n");
    ASSERT_TRUE(r.ok()) << r.error->what();
    const auto& c = recorder.calls;
    ASSERT_EQ(c.size(), 6u);
    // Arguments run left to right, innermost first.
    EXPECT_EQ(c[2].function, "Blur");
    EXPECT_THAT(c[2].images, ElementsAre(c[0].result));
    EXPECT_THAT(c[2].texts, ElementsAre("4", "4"));
    EXPECT_EQ(c[3].function, "Over");
    EXPECT_THAT(c[3].images, ElementsAre(c[2].result, c[1].result));
    EXPECT_THAT(c[3].texts, ElementsAre("0.25"));
    EXPECT_THAT(c[4].images, ElementsAre(c[3].result));
    EXPECT_THAT(c[4].texts, ElementsAre("out.exr", "exr"));
    EXPECT_THAT(c[5].images, ElementsAre(c[0].result));
    // Named images in the order first assigned, each with its last value.
    ASSERT_EQ(r.images.size(), 3u);
    EXPECT_EQ(r.images[0].first, "fg");
    EXPECT_EQ(r.images[0].second, c[5].result);
    EXPECT_EQ(r.images[2].first, "comp");
    EXPECT_EQ(r.image("comp"), c[3].result);
    EXPECT_EQ(r.image("nothing"), nullptr);
}

TEST_F(ScriptFixture, ZeroMeansNoImageHoweverWritten) {
    PXiScriptResult r = run("a = Over(0, 0.0);\nb = Over(-0, 0e5);\nc = 0;\nd = Over(c, Grade());");
    ASSERT_TRUE(r.ok()) << r.error->what();
    const auto& calls = recorder.calls;
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_THAT(calls[0].images, ElementsAre(nullptr, nullptr));
    EXPECT_THAT(calls[1].images, ElementsAre(nullptr, nullptr));
    EXPECT_THAT(calls[2].images, ElementsAre(nullptr));  // Grade's image defaults to 0
    EXPECT_THAT(calls[3].images, ElementsAre(nullptr, calls[2].result));
    EXPECT_EQ(r.image("c"), nullptr);
}

TEST_F(ScriptFixture, ArgumentTextsArriveExactlyAsWritten) {
    // Numbers keep their spelling (a plug parses them), however long, less a leading plus; texts
    // lose only their quotes and escapes.
    std::string huge(400, '9');
    PXiScriptResult r = run("a = FileIn(\"a \\\"b\\\"\\\\c\\td\");\nBlur(a, -0.50, " + huge +
                            ");\nBlur(a, 1e999999, \"shadowBalance\");\nFileOut(a, +1);");
    ASSERT_TRUE(r.ok()) << r.error->what();
    const auto& c = recorder.calls;
    EXPECT_THAT(c[0].texts, ElementsAre("a \"b\"\\c\td"));
    EXPECT_THAT(c[1].texts, ElementsAre("-0.50", huge));
    EXPECT_THAT(c[2].texts, ElementsAre("1e999999", "shadowBalance"));
    EXPECT_THAT(c[3].texts, ElementsAre("1", "png"));
}

TEST_F(ScriptFixture, SameDeclarationAgainIsAcceptedAndKeepsItsBinding) {
    PXiScriptResult r =
        run("extern image Blur(image, float size = 2, float ySize = size);\nBlur(0);");
    ASSERT_TRUE(r.ok()) << r.error->what();
    EXPECT_EQ(recorder.calls.size(), 1u);
}

TEST_F(ScriptFixture, DeclarationsOfAFailingTextAreNotKept) {
    PXiCmplr compiler;
    PXiValue value;
    EXPECT_EQ(compiler.execute(&root, PXiType::null, value,
                               std::string("extern image Good(image);\nextern image Bad(foo);"),
                               std::string("decls")),
              PXiCmplr::kTextError);
    ASSERT_NE(compiler.lastError(), nullptr);
    EXPECT_EQ(compiler.lastError()->line(), 2);
    EXPECT_EQ(root.findFunction("Good"), nullptr);
    EXPECT_EQ(compiler.execute(&root, PXiType::null, value,
                               std::string("extern image Good(image);"), std::string("decls")),
              PXiCmplr::kOk);
    EXPECT_EQ(compiler.lastError(), nullptr);
    EXPECT_NE(root.findFunction("Good"), nullptr);
}

TEST_F(ScriptFixture, ExecuteGivesTheLastValueAndChecksItsType) {
    PXiCmplr compiler;
    PXiValue value;
    ASSERT_EQ(compiler.execute(&root, PXiType::image, value, std::string("FileIn(\"x\");"),
                               std::string("expr")),
              PXiCmplr::kOk);
    EXPECT_TRUE(value.isImage());
    EXPECT_EQ(value.image(), recorder.calls.back().result);
    EXPECT_EQ(compiler.execute(&root, PXiType::image, value, std::string("\"text\";"),
                               std::string("expr")),
              PXiCmplr::kTextError);
    ASSERT_EQ(compiler.execute(&root, PXiType::null, value, std::string("extern image H();"),
                               std::string("expr")),
              PXiCmplr::kOk);
    EXPECT_TRUE(value.isNull());
}

// A declaration written the way plug-ins write theirs (image parameters as the bare type,
// quoted texts and bare parameter names as defaults, separators with line breaks and tabs)
// gives the command, for every argument left out, the text a compositor expects. The keyer's
// own declarations are checked against its plug in the host's tests.
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

// Exported functions are called through their exact type, for every image count and a spread of
// text counts: each argument arrives in its place and the result comes back.
struct Seen {
    std::vector<PXiIPlug*> images;
    std::vector<std::string> texts;
};
Seen g_seen;

template <size_t>
using Img = PXiIPlug*;
template <size_t>
using Txt = const char*;

template <class Images, class Texts>
struct Probe;
template <size_t... I, size_t... J>
struct Probe<std::index_sequence<I...>, std::index_sequence<J...>> {
    static PXiIPlug* fn(Img<I>... images, Txt<J>... texts) {
        g_seen.images = {images...};
        g_seen.texts = {std::string(texts)...};
        return fakeImage(int(100 * sizeof...(I) + sizeof...(J)));
    }
};

template <size_t K, size_t M>
void checkOne() {
    using P = Probe<std::make_index_sequence<K>, std::make_index_sequence<M>>;
    std::vector<PXiIPlug*> images;
    for (size_t i = 0; i < K; ++i)
        images.push_back(i % 3 == 1 ? nullptr : fakeImage(int(7 * i + 1)));
    std::vector<std::string> owned;
    for (size_t j = 0; j < M; ++j) owned.push_back("t" + std::to_string(j * 13 % 97));
    std::vector<const char*> texts;
    for (const std::string& t : owned) texts.push_back(t.c_str());
    g_seen = Seen();
    PXiIPlug* result = PXiCallExported(reinterpret_cast<PXiExportedAddress>(&P::fn), images, texts);
    EXPECT_EQ(result, fakeImage(int(100 * K + M))) << K << " images, " << M << " texts";
    EXPECT_EQ(g_seen.images, images) << K << " images, " << M << " texts";
    EXPECT_EQ(g_seen.texts, owned) << K << " images, " << M << " texts";
}

template <size_t K, size_t... M>
void checkRow(std::index_sequence<M...>) {
    (checkOne<K, M>(), ...);
}

template <size_t... K>
void checkAll(std::index_sequence<K...>) {
    // Text counts at the ends of the range and in between.
    (checkRow<K>(std::index_sequence<0, 1, 2, 7, 30, 32, 47, kPXiMaxTextParams>()), ...);
}

TEST(ScriptExportedCall, EveryArgumentArrivesInItsPlace) {
    checkAll(std::make_index_sequence<kPXiMaxImageParams + 1>());
}

}  // namespace
