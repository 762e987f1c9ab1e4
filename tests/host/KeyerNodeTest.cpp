// The keyer node as scripts and the host make it: plugs, defaults, wiring, dependencies, view
// names, the clipMode size rule and serialization.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeyerTestSupport.h"
#include "engine/VRFZephraTable.h"
#include "host/ZephraPlugin.h"
#include "sdk/graph/PXiClassName.h"
#include "sdk/base/PXiFile.h"

namespace {

// One parameter plug: its type, the value the constructor gives it, the value a script call
// that leaves it out gives it, and the plug it then follows (empty: none).
struct PlugRow {
    const char* name;
    int type;
    const char* plainValue;
    const char* scriptValue;
    const char* scriptFollows;
};

const std::vector<PlugRow>& plugRows() {
    static const std::vector<PlugRow> rows = {
        {"output", PXiPlug::kString, "composite", "composite", ""},
        {"rScreen", PXiPlug::kFloat, "0", "0", ""},
        {"gScreen", PXiPlug::kFloat, "0", "0", ""},
        {"bScreen", PXiPlug::kFloat, "0.9", "0.9", ""},
        {"screenRange", PXiPlug::kFloat, "0", "0", ""},
        {"rFgBias", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"gFgBias", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"bFgBias", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"shadowBalance", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"midtoneBalance", PXiPlug::kFloat, "0.5", "0.5", "shadowBalance"},
        {"highlightBalance", PXiPlug::kFloat, "0.5", "0.5", "shadowBalance"},
        {"shadowGain", PXiPlug::kFloat, "0", "0", ""},
        {"midtoneGain", PXiPlug::kFloat, "0", "0", "shadowGain"},
        {"highlightGain", PXiPlug::kFloat, "0", "0", "shadowGain"},
        {"midTonesAt", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"rReplace", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"gReplace", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"bReplace", PXiPlug::kFloat, "0.5", "0.5", ""},
        {"rExposure", PXiPlug::kFloat, "1", "1", ""},
        {"gExposure", PXiPlug::kFloat, "1", "1", ""},
        {"bExposure", PXiPlug::kFloat, "1", "1", ""},
        {"rGamma", PXiPlug::kFloat, "1", "1", ""},
        {"gGamma", PXiPlug::kFloat, "1", "1", ""},
        {"bGamma", PXiPlug::kFloat, "1", "1", ""},
        {"saturation", PXiPlug::kFloat, "1", "1", ""},
        {"colourspace", PXiPlug::kString, "linear", "linear", ""},
        {"useHoldOutMatte", PXiPlug::kInt, "1", "1", ""},
        {"holdOutChannel", PXiPlug::kString, "A", "A", ""},
        {"useGarbageMatte", PXiPlug::kInt, "1", "1", ""},
        {"garbageChannel", PXiPlug::kString, "A", "A", ""},
        {"bgColor", PXiPlug::kInt, "0", "0", ""},
        {"clipMode", PXiPlug::kInt, "0", "0", ""},
    };
    return rows;
}

std::string text(PXiPlug* p) { return p->asString().c_str(); }

class KeyerNode : public KeyerFixture {};

TEST_F(KeyerNode, PlugsAreMadeInOrderWithTheirTypes) {
    PXxZephra* node = plainNode();
    std::vector<std::string> made;
    for (const auto& p : node->getPlugs())
        if (p->getIO() == 1 && p->getType() != PXiPlug::kImage)
            made.push_back(p->getName().c_str());
    std::vector<std::string> expected = {"Zephra_1v4"};
    for (const PlugRow& row : plugRows()) expected.push_back(row.name);
    EXPECT_EQ(made, expected);

    std::vector<std::string> inputs;
    for (int i = 0; node->getInput(i); ++i) inputs.push_back(node->getInput(i)->getName().c_str());
    EXPECT_THAT(inputs, ::testing::ElementsAre("Fg", "Bg", "HoldOutMatte", "GarbageMatte"));

    EXPECT_EQ(node->credit->getType(), PXiPlug::kString);
    EXPECT_STREQ(node->credit->asString().c_str(), kZephraCreditText);
    EXPECT_EQ(std::string(kZephraCreditText).find('\n'), std::string::npos);
    EXPECT_EQ(node->className(), PXiName::getString("Zephra_1v4"));
    EXPECT_EQ(PXiClassName::getParent(node->className()), PXiName::getString("PXiNadic"));
    EXPECT_EQ(node->clipMode->getFlag(8), 1);
    EXPECT_EQ(node->getEngine()->useRefOn, 0);
}

// The constructor's defaults against the declaration's: the values agree, but a script call
// makes the balances and gains follow the shadow plug, which a plain node does not.
TEST_F(KeyerNode, ScriptDefaultsDifferFromConstructorDefaults) {
    image("fg", 4, 3, 1);
    PXxZephra* plain = plainNode();
    PXxZephra* fromClass = dynamic_cast<PXxZephra*>(PXiClassName::create(plain->className()));
    ASSERT_NE(fromClass, nullptr);
    fromClass->setParent(PXiNode::getRoot());
    PXxZephra* instantiated = dynamic_cast<PXxZephra*>(plain->instantiate());
    ASSERT_NE(instantiated, nullptr);
    instantiated->setParent(PXiNode::getRoot());
    PXxZephra* v4 = run("k = Zephra_1v4(fg, 0, 0, 0);");
    PXxZephra* v3 = run("k = Zephra_1v3(0, fg, 0);");
    ASSERT_TRUE(v4 && v3);

    for (const PlugRow& row : plugRows()) {
        SCOPED_TRACE(row.name);
        for (PXxZephra* node : {plain, fromClass, instantiated}) {
            PXiPlug* p = node->getPlug(row.name);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->getType(), row.type);
            EXPECT_EQ(text(p), row.plainValue);
            EXPECT_STREQ(p->getExpression().c_str(), "");
        }
        for (PXxZephra* node : {v4, v3}) {
            PXiPlug* p = node->getPlug(row.name);
            EXPECT_EQ(p->getType(), row.type);
            if (*row.scriptFollows)
                EXPECT_STREQ(p->getExpression().c_str(), row.scriptFollows);
            else
                EXPECT_EQ(text(p), row.scriptValue);
        }
    }

    // Later changes of the shadow plugs carry over to a script node only.
    for (PXxZephra* node : {plain, v4, v3}) {
        node->shadowBalance->set(0.3f);
        node->shadowGain->set(0.25f);
    }
    for (PXxZephra* node : {v4, v3}) {
        EXPECT_FLOAT_EQ(node->midtoneBalance->asFloat(), 0.3f);
        EXPECT_FLOAT_EQ(node->highlightBalance->asFloat(), 0.3f);
        EXPECT_FLOAT_EQ(node->midtoneGain->asFloat(), 0.25f);
        EXPECT_FLOAT_EQ(node->highlightGain->asFloat(), 0.25f);
    }
    EXPECT_FLOAT_EQ(plain->midtoneBalance->asFloat(), 0.5f);
    EXPECT_FLOAT_EQ(plain->midtoneGain->asFloat(), 0.0f);
}

TEST_F(KeyerNode, EarlierArgumentsStandInForLeftOutOnes) {
    image("fg", 4, 3, 1);
    PXxZephra* node =
        run("k = Zephra_1v4(fg, 0, 0, 0, \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.3, "
            "\"shadowBalance\", \"shadowBalance\", 0, \"shadowGain\", \"shadowGain\", 0.5, "
            "0.5, 0.5, 0.5, 2.0);");
    ASSERT_NE(node, nullptr);
    EXPECT_FLOAT_EQ(node->midtoneBalance->asFloat(), 0.3f);
    for (PXiPlug* p : {node->rExposure, node->gExposure, node->bExposure})
        EXPECT_FLOAT_EQ(p->asFloat(), 2.0f);
    for (PXiPlug* p : {node->rGamma, node->gGamma, node->bGamma})
        EXPECT_FLOAT_EQ(p->asFloat(), 1.0f);
    PXxZephra* gammas =
        run("k = Zephra_1v3(0, fg, 0, \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.3, 0.3, 0.3, "
            "0, 0, 0, 0.5, 0.5, 0.5, 0.5, 1, 1, 1, 0.7);");
    ASSERT_NE(gammas, nullptr);
    for (PXiPlug* p : {gammas->rGamma, gammas->gGamma, gammas->bGamma})
        EXPECT_FLOAT_EQ(p->asFloat(), 0.7f);
    // gExposure took rExposure's text: it is a number of its own, not a follower.
    EXPECT_STREQ(node->gExposure->getExpression().c_str(), "");
}

// Every argument reaches its own plug, and the old command wires its first image as the
// background and connects no garbage matte.
TEST_F(KeyerNode, EveryArgumentReachesItsPlug) {
    image("a", 5, 4, 1, PXiChanAll, 1);
    image("b", 5, 4, 1, PXiChanAll, 2);
    image("m", 5, 4, 1, PXiChanAll, 3);
    image("g", 5, 4, 1, PXiChanAll, 4);
    const std::string common =
        "\"unpremultiplied\", 0.11, 0.12, 0.83, 0.14, 0.15, 0.16, 0.17, 0.18, 0.19, 0.21, "
        "0.22, 0.23, 0.24, 0.25, 0.26, 0.27, 0.28, 1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 0.9, "
        "\"video\", 0, \"g\"";
    PXxZephra* v4 = run("k = Zephra_1v4(b, a, m, g, " + common + ", 0, \"b\", 1, 1);");
    PXxZephra* v3 = run("k = Zephra_1v3(a, b, m, " + common + ", 1, 1);");
    ASSERT_TRUE(v4 && v3);

    const std::vector<std::pair<const char*, std::string>> expected = {
        {"output", "unpremultiplied"},
        {"rScreen", "0.11"},
        {"gScreen", "0.12"},
        {"bScreen", "0.83"},
        {"screenRange", "0.14"},
        {"rFgBias", "0.15"},
        {"gFgBias", "0.16"},
        {"bFgBias", "0.17"},
        {"shadowBalance", "0.18"},
        {"midtoneBalance", "0.19"},
        {"highlightBalance", "0.21"},
        {"shadowGain", "0.22"},
        {"midtoneGain", "0.23"},
        {"highlightGain", "0.24"},
        {"midTonesAt", "0.25"},
        {"rReplace", "0.26"},
        {"gReplace", "0.27"},
        {"bReplace", "0.28"},
        {"rExposure", "1.1"},
        {"gExposure", "1.2"},
        {"bExposure", "1.3"},
        {"rGamma", "1.4"},
        {"gGamma", "1.5"},
        {"bGamma", "1.6"},
        {"saturation", "0.9"},
        {"colourspace", "video"},
        {"useHoldOutMatte", "0"},
        {"holdOutChannel", "g"},
        {"bgColor", "1"},
        {"clipMode", "1"},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.first);
        EXPECT_EQ(text(v4->getPlug(e.first)), e.second);
        EXPECT_EQ(text(v3->getPlug(e.first)), e.second);
    }
    EXPECT_EQ(text(v4->useGarbageMatte), "0");
    EXPECT_EQ(text(v4->garbageChannel), "b");
    EXPECT_EQ(text(v3->useGarbageMatte), "1");
    EXPECT_EQ(text(v3->garbageChannel), "A");

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(v3->getInput(i)->getUpstreamImage(), v4->getInput(i)->getUpstreamImage()) << i;
    EXPECT_EQ(v4->getInput(0)->getUpstreamImage(), images_[1]->getOutput());
    EXPECT_EQ(v4->getInput(1)->getUpstreamImage(), images_[0]->getOutput());
    EXPECT_EQ(v4->getInput(3)->getUpstreamImage(), images_[3]->getOutput());
    EXPECT_EQ(v3->getInput(3)->getUpstreamImage(), nullptr);
    // Both nodes were created under the root.
    EXPECT_EQ(v4->getParent(), PXiNode::getRoot());
    EXPECT_EQ(v3->getParent(), PXiNode::getRoot());
}

TEST_F(KeyerNode, ABadArgumentLeavesNoNodeBehind) {
    image("fg", 4, 3, 1);
    const std::size_t before = PXiNode::getRoot()->getChildren().size();
    PXiScriptResult r = PXiRunScript(
        "k = Zephra_1v4(fg, 0, 0, 0, \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.5, "
        "\"shadowBalanc\");",
        "bad.pxs", &scope_);
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(PXiNode::getRoot()->getChildren().size(), before);
}

// Every parameter plug makes the output's description stale; the credit plug nothing.
TEST_F(KeyerNode, ParametersInvalidateTheDescriptionAndTheCreditNothing) {
    image("fg", 6, 4, 1);
    image("bg", 6, 4, 1);
    PXxZephra* node = run("k = Zephra_1v4(fg, bg, 0, 0);");
    ASSERT_NE(node, nullptr);
    PXiPlug* description = node->getOutput()->getDescriptionPlug();
    for (const PlugRow& row : plugRows()) {
        SCOPED_TRACE(row.name);
        description->asString();
        ASSERT_TRUE(description->isValid());
        PXiPlug* p = node->getPlug(row.name);
        if (row.type == PXiPlug::kString)
            p->set((std::string(text(p)) + "x").c_str());
        else if (row.type == PXiPlug::kInt)
            p->set(p->asInt() + 1);
        else
            p->set(p->asFloat() + 0.25f);
        EXPECT_FALSE(description->isValid());
    }

    PXiIPlug* out = node->getOutput();
    std::vector<PXiPlug*> computed = {out->getDescriptionPlug(), out->getChannelsPlug(),
                                      out->getWidthPlug(),       out->getHeightPlug(),
                                      out->getBPixelPlug(),      node->getDepthPlug(),
                                      node->getInputDepthPlug()};
    for (int i = 0; i < 4; ++i) computed.push_back(node->getInput(i)->getReqChannelsPlug());
    for (PXiPlug* p : computed) p->asVoid();
    node->credit->set("someone else");
    for (PXiPlug* p : computed) EXPECT_TRUE(p->isValid()) << p->getName().c_str();
}

// The output name picks the engine view; the two flat-colour composites set the engine's
// background on the way, every other text leaves it alone.
TEST_F(KeyerNode, OutputNamesGiveViewsByExactName) {
    struct Row {
        const char* text;
        int view;
        float background[3];  // expected engine background; the sentinel when untouched
    };
    const float s[3] = {0.25f, 0.375f, 0.125f};
    const std::vector<Row> rows = {
        {"composite", 0, {s[0], s[1], s[2]}},
        {"compOnBlack", 1, {0.0f, 0.0f, 0.0f}},
        {"compOnReplace", 1, {0.1235f, 0.5f, 0.9999f}},
        {"unpremultiplied", 4, {s[0], s[1], s[2]}},
        {"status", 5, {s[0], s[1], s[2]}},
        {"Composite", 0, {s[0], s[1], s[2]}},
        {"composite ", 0, {s[0], s[1], s[2]}},
        {"compOnblack", 0, {s[0], s[1], s[2]}},
        {"compOnReplace ", 0, {s[0], s[1], s[2]}},
        {"Status", 0, {s[0], s[1], s[2]}},
        {"unpremultiplied ", 0, {s[0], s[1], s[2]}},
        {"matte", 0, {s[0], s[1], s[2]}},
        {"", 0, {s[0], s[1], s[2]}},
    };
    PXxZephra* node = plainNode();
    node->rReplace->set(0.123456f);
    node->bReplace->set(0.99994f);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string("'") + row.text + "'");
        zephra_setBackground(node->getEngine(), s[0], s[1], s[2]);
        node->output->set(row.text);
        EXPECT_EQ(node->getKeyView(), row.view);
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(node->getEngine()->background[c], row.background[c]) << c;
    }
    // The replace colour current at that moment is used.
    node->output->set("compOnReplace");
    node->gReplace->set(0.2f);
    node->getKeyView();
    EXPECT_EQ(node->getEngine()->background[1], 0.2f);
}

TEST_F(KeyerNode, ClipModePicksTheInputGivingTheSize) {
    PXiMemoryImage* fg = image("fg", 7, 5, 1);
    PXiMemoryImage* bg = image("bg", 11, 3, 1);
    PXxZephra* node = run("k = Zephra_1v4(fg, bg, 0, 0);");
    ASSERT_NE(node, nullptr);
    PXiIPlug* out = node->getOutput();
    PXiPlug* width = out->getWidthPlug();
    PXiPlug* height = out->getHeightPlug();
    struct Step {
        int clipMode;
        PXiMemoryImage* source;
    };
    for (const Step& step : {Step{0, fg}, Step{1, bg}, Step{2, bg}, Step{0, fg}, Step{7, bg},
                             Step{-3, fg}, Step{1, bg}, Step{0, fg}}) {
        SCOPED_TRACE(step.clipMode);
        node->clipMode->set(step.clipMode);
        EXPECT_EQ(width->asInt(), step.source->getWidth());
        EXPECT_EQ(height->asInt(), step.source->getHeight());
        const int s = step.source == fg ? 0 : 1;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(width->hasDependency(node->getInput(i)->getWidthPlug(), 0), i == s);
            EXPECT_EQ(height->hasDependency(node->getInput(i)->getHeightPlug(), 0), i == s);
        }
        // A new image on the selected input changes the size; one on the other does not.
        PXiMemoryImage* other = image("other", 3 + step.clipMode * step.clipMode, 2, 1);
        node->getInput(s)->connect(other->getOutput());
        EXPECT_EQ(width->asInt(), other->getWidth());
        node->getInput(s)->connect(step.source->getOutput());
        EXPECT_EQ(width->asInt(), step.source->getWidth());
        node->getInput(1 - s)->connect(other->getOutput());
        EXPECT_EQ(width->asInt(), step.source->getWidth());
        node->getInput(1 - s)->connect((s == 0 ? bg : fg)->getOutput());
    }
    // A script's clipMode text works the same way.
    PXxZephra* fromBg =
        run("k = Zephra_1v4(fg, bg, 0, 0, \"composite\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.5, "
            "\"shadowBalance\", \"shadowBalance\", 0, \"shadowGain\", \"shadowGain\", 0.5, 0.5, "
            "0.5, 0.5, 1, 1, 1, 1, 1, 1, 1, \"linear\", 1, \"A\", 1, \"A\", 0, 1);");
    ASSERT_NE(fromBg, nullptr);
    EXPECT_EQ(fromBg->getOutput()->getWidthPlug()->asInt(), 11);
}

// A saved node reads back as the same node; the credit is not saved and its flag is down.
TEST_F(KeyerNode, SerializedNodeRunsBackIntoTheSameNode) {
    PXiMemoryImage* fg = image("fg", 4, 3, 1);
    fg->setName(PXiName::getString("fg"));
    PXxZephra* node =
        run("k = Zephra_1v4(fg, 0, 0, 0, \"status\", 0.1, 0.2, 0.7, 0.05, 0.4, 0.5, 0.6, 0.3);");
    ASSERT_NE(node, nullptr);
    node->setName(PXiName::getString("saved"));
    node->gGamma->set(1.7f);
    PXiFile file;
    ASSERT_EQ(node->serialize(file, 0), 0);
    EXPECT_EQ(node->credit->getFlag(4), 0);
    const std::string saved = file.str();
    EXPECT_EQ(saved.find(kZephraCreditText), std::string::npos) << saved;

    PXxZephra* copy = run(saved, "saved");
    ASSERT_NE(copy, nullptr) << saved;
    ASSERT_NE(copy, node);
    EXPECT_EQ(copy->getInput(0)->getUpstreamImage(), fg->getOutput());
    for (const PlugRow& row : plugRows()) {
        EXPECT_EQ(text(copy->getPlug(row.name)), text(node->getPlug(row.name))) << row.name;
        EXPECT_STREQ(copy->getPlug(row.name)->getExpression().c_str(),
                     node->getPlug(row.name)->getExpression().c_str())
            << row.name;
    }
}

}  // namespace
