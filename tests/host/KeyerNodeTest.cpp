// The keyer node as scripts and the host make it: plugs, defaults, wiring, dependencies, the
// clipMode size rule and serialization; and its answers to the host: descriptions, the
// parameter transfer, depths and sample maxima, channels and the background pixel. The views
// each output name gives are checked by rendering (KeyerRenderTest.cpp) and by the accepted
// texts (ZephraParamsTest.cpp).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "KeyerReference.h"
#include "KeyerTestSupport.h"
#include "engine/VRFZephraTable.h"
#include "host/ZephraParams.h"
#include "host/ZephraPlugin.h"
#include "sdk/base/PXiFile.h"
#include "sdk/base/PXiMath.h"
#include "sdk/graph/PXiClassName.h"

namespace {

// One parameter plug as the node makes it from the argument table (whose declarations
// ZephraParamsTest.cpp checks byte for byte): its type, its default as the plug shows it, the
// plug a script call that leaves it out makes it follow (empty: none), and whether the older
// command has an argument for it.
struct PlugRow {
    std::string name;
    int type;
    std::string value;
    std::string scriptFollows;
    bool inOlderCommand;
};

const std::vector<PlugRow>& plugRows() {
    static const std::vector<PlugRow> rows = [] {
        std::vector<PlugRow> out;
        for (size_t i = 0; i < zephraArgCount(); ++i) {
            const ZephraArg& a = zephraArgs()[i];
            if (a.kind == ZephraArgKind::Image) continue;
            PlugRow row{a.plug, PXiPlug::kString, a.defaultText, "", false};
            if (a.kind != ZephraArgKind::Text) {
                std::ostringstream number;
                number << zephraDefaultValue(a);
                row.type = a.kind == ZephraArgKind::Int ? PXiPlug::kInt : PXiPlug::kFloat;
                row.value = number.str();
            }
            if (a.follows && a.followsPlug) row.scriptFollows = zephraFindArg(a.follows)->plug;
            for (const ZephraArg& older : zephraLegacyArgs())
                row.inOlderCommand |= older.plug == row.name;
            out.push_back(row);
        }
        return out;
    }();
    return rows;
}

std::string text(PXiPlug* p) { return p->asString().c_str(); }

class KeyerNode : public KeyerFixture {};

// The node's inputs, credit and class; its parameter plugs follow in the order of plugRows,
// which the arguments reach in EveryArgumentReachesItsPlug.
TEST_F(KeyerNode, InputsCreditAndClass) {
    PXxZephra* node = plainNode();
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
            PXiPlug* p = node->getPlug(row.name.c_str());
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p->getType(), row.type);
            EXPECT_EQ(text(p), row.value);
            EXPECT_STREQ(p->getExpression().c_str(), "");
        }
        for (PXxZephra* node : {v4, v3}) {
            PXiPlug* p = node->getPlug(row.name.c_str());
            EXPECT_EQ(p->getType(), row.type);
            if (!row.scriptFollows.empty())
                EXPECT_EQ(p->getExpression().c_str(), row.scriptFollows);
            else
                EXPECT_EQ(text(p), row.value);
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

// Every argument reaches its own plug, and the old command wires its first image as the
// background and connects no garbage matte.
TEST_F(KeyerNode, EveryArgumentReachesItsPlug) {
    image("a", 5, 4, 1, PXiChanAll, 1);
    image("b", 5, 4, 1, PXiChanAll, 2);
    image("m", 5, 4, 1, PXiChanAll, 3);
    image("g", 5, 4, 1, PXiChanAll, 4);
    // A text of its own for every argument, in the order of the plugs (odd fractions, which
    // a plug shows as written).
    std::string current, older;
    std::vector<std::string> texts;
    for (const PlugRow& row : plugRows()) {
        const size_t i = texts.size();
        texts.push_back(row.type == PXiPlug::kString ? (i == 0 ? "unpremultiplied" : "video")
                        : row.type == PXiPlug::kInt  ? std::to_string(i % 2)
                                                     : "0." + std::to_string(11 + 2 * i));
        if (std::string(row.name) == "holdOutChannel" || std::string(row.name) == "garbageChannel")
            texts.back() = i % 2 ? "g" : "b";
        const std::string quoted =
            row.type == PXiPlug::kString ? "\"" + texts.back() + "\"" : texts.back();
        current += ", " + quoted;
        if (row.inOlderCommand) older += ", " + quoted;
    }
    PXxZephra* v4 = run("k = Zephra_1v4(b, a, m, g" + current + ");");
    PXxZephra* v3 = run("k = Zephra_1v3(a, b, m" + older + ");");
    ASSERT_TRUE(v4 && v3);
    for (size_t i = 0; i < texts.size(); ++i) {
        const PlugRow& row = plugRows()[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(text(v4->getPlug(row.name.c_str())), texts[i]);
        EXPECT_EQ(text(v3->getPlug(row.name.c_str())), row.inOlderCommand ? texts[i] : row.value);
    }

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
        PXiPlug* p = node->getPlug(row.name.c_str());
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
        EXPECT_EQ(text(copy->getPlug(row.name.c_str())), text(node->getPlug(row.name.c_str())))
            << row.name;
        EXPECT_STREQ(copy->getPlug(row.name.c_str())->getExpression().c_str(),
                     node->getPlug(row.name.c_str())->getExpression().c_str())
            << row.name;
    }
}

// The node's answers to the host: description strings, the parameter transfer, depths and
// sample maxima, channels and requested channels and the background pixel. The views each
// output name gives are checked by rendering (KeyerRenderTest.cpp).
class KeyerEval : public KeyerFixture {
protected:
    static std::string description(PXxZephra* node) {
        return node->getOutput()->getDescriptionPlug()->asString().c_str();
    }
    static PXiBPixel bpixel(float a, float b, float g, float r) {
        PXiBPixel p;
        p.a = a;
        p.b = b;
        p.g = g;
        p.r = r;
        return p;
    }
};

TEST_F(KeyerEval, DescriptionsSpellOutGraphAndParameters) {
    image("fg", 4, 3, 1);
    image("bg", 4, 3, 1);
    image("m", 4, 3, 1);
    image("gm", 4, 3, 1);
    PXxZephra* plain = run("k = Zephra_1v4(fg, 0, 0, 0);");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(description(plain),
              "Zephra_1v4(fg,0,0,0,0,composite,0,0,0.9,0,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0,0,0,"
              "0.5,0.5,0.5,1,1,1,1,1,1,1,linear,0,A,0,A,0)");

    // Mattes in use, clipMode negative (still "1": non-zero), rounded floats, letters.
    PXxZephra* full = run(
        "k = Zephra_1v4(fg, bg, m, gm, \"compOnReplace\", 0.12345, 0.00004, 0.9, 0.25, 0.4, "
        "0.5, 0.6, 0.1, 0.2, 0.3, 0.05, 0.06, 0.07, 0.45, 0.7, 0.8, 0.9, 1.5, 2, 0.5, 0.9, 1.1, "
        "1.2, 0.75, \"video\", 1, \"g\", 1, \"\", 3, -3);");
    ASSERT_NE(full, nullptr);
    EXPECT_EQ(description(full),
              "Zephra_1v4(fg,bg,m,gm,1,compOnReplace,0.1235,0,0.9,0.25,0.4,0.5,0.6,0.1,0.2,0.3,"
              "0.45,0.05,0.06,0.07,0.7,0.8,0.9,1.5,2,0.5,0.9,1.1,1.2,0.75,video,1,G,1,A,1)");

    // A switched-on matte with nothing connected is not in use; a node upstream is spelled
    // out inside the description of the one below it.
    PXxZephra* chained =
        run("a = Zephra_1v4(fg, 0, 0, gm, \"status\", 0, 0, 0.9, 0, 0.5, 0.5, 0.5, 0.5, "
            "\"shadowBalance\", \"shadowBalance\", 0, \"shadowGain\", \"shadowGain\", 0.5, 0.5, "
            "0.5, 0.5, 1, 1, 1, 1, 1, 1, 1, \"Linear\", 1, \"R\", 1, \"b\");\n"
            "k = Zephra_1v4(a, 0, 0, 0, \"unpremultiplied\");");
    ASSERT_NE(chained, nullptr);
    EXPECT_EQ(description(chained),
              "Zephra_1v4(Zephra_1v4(fg,0,0,gm,0,status,0,0,0.9,0,0.5,0.5,0.5,0.5,0.5,0.5,0.5,0,"
              "0,0,0.5,0.5,0.5,1,1,1,1,1,1,1,Linear,0,A,1,B,0),0,0,0,0,unpremultiplied,0,0,0.9,0,"
              "0.5,0.5,0.5,0.5,0.5,0.5,0.5,0,0,0,0.5,0.5,0.5,1,1,1,1,1,1,1,linear,0,A,0,A,0)");
}

TEST_F(KeyerEval, TransferReachesTheEngineOnlyWhenSomethingChanged) {
    image("fg", 4, 3, 2);
    PXxZephra* node = run("k = Zephra_1v4(fg, 0, 0, 0);");
    ASSERT_NE(node, nullptr);
    VRFZephraTable* engine = node->getEngine();
    description(node);
    EXPECT_EQ(engine->staleAll, 0);
    int changes = 0;
    zephra_installCallback(
        engine, [](void* data) { ++*static_cast<int*>(data); }, &changes);

    // The same values again: the description is evaluated anew, the engine sees no change
    // and no table is rebuilt.
    node->rScreen->set(0.0f);
    node->output->set("composite");
    EXPECT_FALSE(node->getOutput()->getDescriptionPlug()->isValid());
    description(node);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(engine->staleAll, 0);

    // A changed value is transferred and the tables rebuilt before the engine renders.
    // Which plug reaches which engine parameter is checked by rendering (KeyerRenderTest.cpp).
    node->rScreen->set(0.1f + 0.00001f);  // rounded to four decimals on the way
    description(node);
    EXPECT_GE(changes, 1);
    EXPECT_EQ(engine->screen[0], 0.1f);
    EXPECT_EQ(engine->staleAll, 0);
    zephra_installCallback(engine, nullptr, nullptr);
}

TEST_F(KeyerEval, DepthsAndSampleMaximaFollowTheInputs) {
    struct Row {
        int fg, bg, hold, garbage;  // 0: not connected
        int depth, inputDepth, max;
    };
    for (const Row& r :
         {Row{1, 1, 1, 1, 1, 1, 255}, Row{1, 0, 0, 0, 1, 1, 255}, Row{1, 2, 0, 0, 2, 2, 65535},
          Row{2, 1, 1, 0, 2, 2, 65535}, Row{1, 0, 2, 0, 2, 2, 65535}, Row{1, 0, 0, 2, 2, 2, 65535},
          Row{4, 1, 0, 0, 2, 4, 65535}, Row{1, 4, 1, 1, 2, 4, 65535}}) {
        SCOPED_TRACE(::testing::Message() << r.fg << r.bg << r.hold << r.garbage);
        images_.clear();
        PXiNode::getRoot()->deleteChildren();
        image("fg", 4, 3, r.fg);
        std::string args = "fg";
        const std::pair<int, const char*> others[] = {
            {r.bg, "bg"}, {r.hold, "m"}, {r.garbage, "gm"}};
        for (const auto& o : others) {
            if (o.first) image(o.second, 4, 3, o.first);
            args += std::string(", ") + (o.first ? o.second : "0");
        }
        PXxZephra* node = run("k = Zephra_1v4(" + args + ");");
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->getDepthPlug()->asInt(), r.depth);
        EXPECT_EQ(node->getInputDepthPlug()->asInt(), r.inputDepth);
        description(node);
        VRFZephraTable* e = node->getEngine();
        for (int max : {e->fgMax, e->bgMax, e->hMatteMax, e->gMatteMax, e->dstMax})
            EXPECT_EQ(max, r.max);
    }
}

// The output's channels and the channels asked of each input, for every output name.
TEST_F(KeyerEval, ChannelsAndRequestedChannels) {
    const char* outputs[] = {"composite",       "compOnBlack", "compOnReplace",
                             "unpremultiplied", "status",      "other"};
    for (int fgChannels : {15, 14})
        for (int bgChannels : {0, 15, 14, 8})
            for (const char* output : outputs) {
                SCOPED_TRACE(::testing::Message()
                             << output << " fg " << fgChannels << " bg " << bgChannels);
                images_.clear();
                PXiNode::getRoot()->deleteChildren();
                image("fg", 4, 3, 1, fgChannels);
                if (bgChannels) image("bg", 4, 3, 1, bgChannels);
                image("m", 4, 3, 1, 7);  // A, B, G
                PXxZephra* node = run(std::string("k = Zephra_1v4(fg, ") +
                                      (bgChannels ? "bg" : "0") + ", m, 0, \"" + output + "\");");
                ASSERT_NE(node, nullptr);
                const bool composite = std::string(output) == "composite";
                int expected = std::string(output) == "status"
                                   ? 15
                                   : (fgChannels | 1) | (composite ? bgChannels : 0);
                EXPECT_EQ(node->getOutput()->getChannelsPlug()->asInt(), expected);

                for (int wanted : {0, 15, 8})
                    for (const char* letter : {"A", "g", "r", "x"}) {
                        SCOPED_TRACE(::testing::Message() << "wanted " << wanted << " " << letter);
                        node->holdOutChannel->set(letter);
                        node->getOutput()->getReqChannelsPlug()->set(wanted);
                        auto req = [&](int i) {
                            return node->getInput(i)->getReqChannelsPlug()->asInt();
                        };
                        EXPECT_EQ(req(0), wanted ? fgChannels & 14 : 0);
                        EXPECT_EQ(req(1), bgChannels & (wanted | (composite ? 15 : 0)));
                        const bool colour = letter[0] == 'g' || letter[0] == 'r';
                        EXPECT_EQ(req(2), wanted ? (colour ? 7 & 14 : 7 & 1) : 0);
                        EXPECT_EQ(req(3), 0);  // nothing connected
                        node->useHoldOutMatte->set(0);
                        EXPECT_EQ(req(2), 0);
                        node->useHoldOutMatte->set(1);
                    }
            }
}

TEST_F(KeyerEval, BackgroundPixelIsTheKeyedBackgroundPixels) {
    const PXiBPixel fgPixel = bpixel(1.0f, 0.8f, 0.3f, 0.2f),
                    bgPixel = bpixel(0.6f, 0.1f, 0.7f, 0.4f);
    for (int depth : {1, 2}) {
        SCOPED_TRACE(depth);
        images_.clear();
        PXiNode::getRoot()->deleteChildren();
        image("fg", 4, 3, depth)->setBPixel(fgPixel);
        image("bg", 4, 3, depth)->setBPixel(bgPixel);
        PXxZephra* node = run("k = Zephra_1v4(fg, bg, 0, 0);");
        ASSERT_NE(node, nullptr);

        // bgColor 0: Fg's pixel as it is.
        PXiBPixel out = node->getOutput()->getBPixel();
        for (int c = 0; c < 4; ++c) EXPECT_EQ(out[c], fgPixel[c]) << c;

        // bgColor 1: the keyed pixel, quantised to the depth, equal to a one-pixel engine
        // render of the same samples.
        node->bgColor->set(1);
        out = node->getOutput()->getBPixel();
        const float max = depth == 1 ? 255.0f : 65535.0f;
        RefImage f{1, 1, depth, {}}, b{1, 1, depth, {}};
        for (int c = 0; c < 4; ++c) {
            f.s.push_back(depth == 1 ? PXiF2B(max * fgPixel[c]) : PXiF2S(max * fgPixel[c]));
            b.s.push_back(depth == 1 ? PXiF2B(max * bgPixel[c]) : PXiF2S(max * bgPixel[c]));
        }
        const float none[3] = {0, 0, 0};
        refKey(f, &b, nullptr, 'A', nullptr, 'A', KeyerSettings(), 0, none);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(out[c] * max, std::round(out[c] * max)) << c;
            EXPECT_EQ(std::lround(out[c] * max), f.s[c]) << c;
        }
        EXPECT_NE(out.b, fgPixel.b);  // it really was keyed: blue screen colour removed
    }
}

}  // namespace
