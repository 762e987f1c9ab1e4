// Scripts that are right: what each call receives, how names carry images from call to call,
// and how omitted arguments take their defaults.
#include <gmock/gmock.h>

#include "script_fixture.h"
#include "sdk/script/PXiScriptParser.h"

namespace {

using ::testing::ElementsAre;

TEST(ScriptParser, ReadsEveryStatementFormWithPositions) {
    auto s = PXiParseScript(
        "# a comment line\n"
        "extern image F(image, image in2 = 0, string s = \"x\", float f = -1.5e3, int i = s);\n"
        "a = F(0, G(b, \"t\"), +2); // trailing comment\n"
        "/* block\n   comment */ F(a);\n",
        "t.pxs");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].kind, PXiScriptStatement::Kind::Extern);
    EXPECT_EQ(s[0].decl.name, "F");
    ASSERT_EQ(s[0].decl.params.size(), 5u);
    EXPECT_EQ(s[0].decl.params[3].defaultValue.text, "-1.5e3");
    EXPECT_EQ(s[0].decl.params[4].defaultValue.kind, PXiScriptExpr::Kind::Name);
    EXPECT_EQ(s[1].kind, PXiScriptStatement::Kind::Assign);
    EXPECT_EQ(s[1].target, "a");
    ASSERT_EQ(s[1].expr.args.size(), 3u);
    EXPECT_EQ(s[1].expr.args[1].kind, PXiScriptExpr::Kind::Call);
    EXPECT_EQ(s[1].expr.args[1].pos.line, 3);
    EXPECT_EQ(s[1].expr.args[1].pos.column, 10);
    EXPECT_EQ(s[1].expr.args[2].text, "2");
    EXPECT_EQ(s[2].kind, PXiScriptStatement::Kind::Expr);
    EXPECT_EQ(s[2].pos.line, 5);
    EXPECT_EQ(s[2].pos.column, 15);
}

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
    // Numbers keep their spelling (a plug parses them), however long; texts lose only their
    // quotes and escapes.
    std::string huge(400, '9');
    PXiScriptResult r = run("a = FileIn(\"a \\\"b\\\"\\\\c\\td\");\nBlur(a, -0.50, " + huge +
                            ");\nBlur(a, 1e999999, \"shadowBalance\");\nFileOut(a, 1);");
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

}  // namespace
