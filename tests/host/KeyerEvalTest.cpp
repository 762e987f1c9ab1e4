// The node's answers to the host: description strings, the parameter transfer, depths and
// sample maxima, channels and requested channels and the background pixel. The views each
// output name gives are checked by rendering (KeyerRenderTest.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KeyerReference.h"
#include "KeyerTestSupport.h"
#include "engine/VRFZephraTable.h"
#include "sdk/base/PXiMath.h"

namespace {

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
    for (int depth : {1, 2}) {
        SCOPED_TRACE(depth);
        images_.clear();
        PXiNode::getRoot()->deleteChildren();
        image("fg", 4, 3, depth)->setBPixel(bpixel(1.0f, 0.8f, 0.3f, 0.2f));
        image("bg", 4, 3, depth)->setBPixel(bpixel(0.6f, 0.1f, 0.7f, 0.4f));
        PXxZephra* node = run("k = Zephra_1v4(fg, bg, 0, 0);");
        ASSERT_NE(node, nullptr);

        // bgColor 0: Fg's pixel as it is.
        PXiBPixel out = node->getOutput()->getBPixel();
        EXPECT_EQ(out.a, 1.0f);
        EXPECT_EQ(out.b, 0.8f);
        EXPECT_EQ(out.g, 0.3f);
        EXPECT_EQ(out.r, 0.2f);

        // bgColor 1: the keyed pixel, quantised to the depth, equal to a one-pixel engine
        // render of the same samples.
        node->bgColor->set(1);
        out = node->getOutput()->getBPixel();
        const float max = depth == 1 ? 255.0f : 65535.0f;
        RefImage f, b;
        for (RefImage* img : {&f, &b}) {
            img->width = img->height = 1;
            img->depth = depth;
            img->s.assign(4, 0);
        }
        const PXiBPixel fgPixel = bpixel(1.0f, 0.8f, 0.3f, 0.2f);
        const PXiBPixel bgPixel = bpixel(0.6f, 0.1f, 0.7f, 0.4f);
        for (int c = 0; c < 4; ++c) {
            f.s[c] = depth == 1 ? PXiF2B(255.0f * fgPixel[c]) : PXiF2S(65535.0f * fgPixel[c]);
            b.s[c] = depth == 1 ? PXiF2B(255.0f * bgPixel[c]) : PXiF2S(65535.0f * bgPixel[c]);
        }
        const float none[3] = {0, 0, 0};
        refKey(f, &b, nullptr, 'A', nullptr, 'A', KeyerSettings(), 0, none);
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(out[c] * max, std::round(out[c] * max)) << c;
            EXPECT_EQ(std::lround(out[c] * max), f.s[c]) << c;
        }
        EXPECT_NE(out.b, 0.8f);  // it really was keyed: blue screen colour removed
    }
}

}  // namespace
