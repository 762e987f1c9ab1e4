// The keyer's argument table against what it drives: the declarations it writes, the
// descriptions the plug-in gives the host program, the ranges the keyer honours, and the
// transfer's rounding against the host's own.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "KeyerTestSupport.h"
#include "engine/VRFZephraTable.h"
#include "host/KeyerParams.h"
#include "host/ZephraParams.h"
#include "sdk/base/PXiMath.h"
#include "sdk/script/PXiCommandInfo.h"

namespace {

// The declarations as the plug-in has always compiled them; scripts saved against them must
// keep compiling to the same commands.
const char* const kDeclarations =
    "extern image Zephra_1v4(image, image, image, image,\n"
    "\tstring output = \"composite\",\n"
    "\tfloat rScreen = 0.0, float gScreen = 0.0, float bScreen = 0.9,\n"
    "\tfloat screenRange = 0.0,\n"
    "\tfloat rFgBias = 0.5, float gFgBias = 0.5, float bFgBias = 0.5,\n"
    "\tfloat shadowBalance = 0.5, float midtoneBalance = \"shadowBalance\",\n"
    "\tfloat highlightBalance = \"shadowBalance\",\n"
    "\tfloat shadowGain = 0, float midtoneGain = \"shadowGain\",\n"
    "\tfloat highlightGain = \"shadowGain\",\n"
    "\tfloat midTonesAt = 0.5,\n"
    "\tfloat rSpillReplace = 0.5, float gSpillReplace = 0.5, float bSpillReplace = 0.5,\n"
    "\tfloat rExposure = 1.0, float gExposure = rExposure, float bExposure = rExposure,\n"
    "\tfloat rGamma = 1.0, float gGamma = rGamma, float bGamma = rGamma,\n"
    "\tfloat saturation = 1.0,\n"
    "\tstring cspace = \"linear\",\n"
    "\tint useHoldOutMatte = 1, string holdOutChannel = \"A\",\n"
    "\tint useGarbageMatte = 1, string garbageChannel = \"A\",\n"
    "\tint bgColor = 0, int clipMode = 0);\n"
    "extern image Zephra_1v3(image, image, image,\n"
    "\tstring output = \"composite\",\n"
    "\tfloat rScreen = 0.0, float gScreen = 0.0, float bScreen = 0.9,\n"
    "\tfloat screenRange = 0.0,\n"
    "\tfloat rFgBias = 0.5, float gFgBias = 0.5, float bFgBias = 0.5,\n"
    "\tfloat shadowBalance = 0.5, float midtoneBalance = \"shadowBalance\",\n"
    "\tfloat highlightBalance = \"shadowBalance\",\n"
    "\tfloat shadowGain = 0, float midtoneGain = \"shadowGain\",\n"
    "\tfloat highlightGain = \"shadowGain\",\n"
    "\tfloat modTonesAt = 0.5,\n"
    "\tfloat rSpillReplace = 0.5, float gSpillReplace = 0.5, float bSpillReplace = 0.5,\n"
    "\tfloat rExposure = 1.0, float gExposure = rExposure, float bExposure = rExposure,\n"
    "\tfloat rGamma = 1.0, float gGamma = rGamma, float bGamma = rGamma,\n"
    "\tfloat saturation = 1.0,\n"
    "\tstring cspace = \"linear\",\n"
    "\tint useHoldOutMatte = 1, string holdOutChannel = \"A\",\n"
    "\tint bgColor = 0, int clipMode = 0);\n";

TEST(ZephraParams, TableWritesTheDeclarationsByteForByte) {
    EXPECT_EQ(zephraDeclarations(), kDeclarations);
}

// What the plug-in tells the host program agrees with what the compiler made of the
// declarations: the same parameters, names, order and defaults.
TEST(ZephraParams, CommandDescriptionsMatchTheCompiledDeclarations) {
    for (const char* command : {kZephraCommand, kZephraLegacyCommand}) {
        SCOPED_TRACE(command);
        auto described = PXiCommandInfo::find(command);
        auto declared = PXiScope::getGlobal()->findFunction(command);
        ASSERT_TRUE(described && declared);
        ASSERT_EQ(described->args.size(), declared->params.size());
        for (size_t i = 0; i < declared->params.size(); ++i) {
            const PXiScriptParam& p = declared->params[i];
            const PXiCommandArg& a = described->args[i];
            SCOPED_TRACE(a.name);
            EXPECT_EQ(p.type == PXiType::image, a.kind == PXiCommandArg::Kind::Image);
            if (a.kind == PXiCommandArg::Kind::Image) continue;
            EXPECT_EQ(p.name, a.name);
            if (p.defaultKind == PXiScriptParam::Default::Earlier)
                EXPECT_EQ(declared->params[p.earlier].name, a.defaultText);
            else
                EXPECT_EQ(p.defaultText, a.defaultText);
        }
    }
    // The old command's images: background, foreground, hold-out matte.
    auto legacy = PXiCommandInfo::find(kZephraLegacyCommand);
    EXPECT_EQ(legacy->indexOf("bg"), 0);
    EXPECT_EQ(legacy->indexOf("Fg"), 1);
    EXPECT_EQ(legacy->indexOf("garbage"), -1);
    EXPECT_EQ(legacy->indexOf("midTonesAt"), legacy->indexOf("modTonesAt"));
    EXPECT_EQ(PXiCommandInfo::find(kZephraCommand)->find("HoldOutMatte")->help, "hold-out matte");
}

// What the table says the keyer accepts, what the plug-in tells the host program, and what the
// node does with the text agree.
class ZephraTexts : public KeyerFixture {};

TEST_F(ZephraTexts, AcceptedTextsAreThoseTheNodeTakesAndTheDescriptionSays) {
    const char* const texts[] = {"composite", "compOnBlack", "compOnReplace", "unpremultiplied",
                                 "status",    "Status",      "matte",         "",
                                 "linear",    "log",         "video",         "Video",
                                 "A",         "r",           "green",         "b",
                                 "x",         " R"};
    image("fg", 4, 3, 1);
    PXxZephra* node = run("k = Zephra_1v4(fg, 0, 0, 0);");
    ASSERT_NE(node, nullptr);
    auto described = PXiCommandInfo::find(kZephraCommand);
    for (const char* name : {"output", "cspace", "holdOutChannel", "garbageChannel"}) {
        const ZephraArg& arg = *zephraFindArg(name);
        const PXiCommandArg& d = *described->find(name);
        for (const char* text : texts) {
            SCOPED_TRACE(std::string(name) + " \"" + text + "\"");
            const bool accepted = zephraAcceptsText(arg, text);
            EXPECT_EQ(d.accepts(text), accepted);
            if (arg.plug == std::string("output")) {
                node->output->set(text);
                EXPECT_EQ(node->getKeyView() != 0 || std::string(text) == "composite", accepted);
            } else if (arg.plug == std::string("colourspace")) {
                // A text the keyer does not know leaves the colour space it had.
                node->colourspace->set("log");
                node->getOutput()->getDescriptionPlug()->asString();
                node->colourspace->set(text);
                node->getOutput()->getDescriptionPlug()->asString();
                EXPECT_EQ(node->getEngine()->colourspace != 1 || std::string(text) == "log",
                          accepted);
            }
        }
    }
}

class ZephraRanges : public KeyerFixture {
protected:
    // Every float parameter as the engine holds it after the transfer.
    static std::vector<float> engineParameters(PXxZephra* node) {
        node->getOutput()->getDescriptionPlug()->asString();
        const VRFZephraTable* e = node->getEngine();
        std::vector<float> v = {e->screenRange, e->saturation[0]};
        for (int c = 0; c < 3; ++c) {
            for (float f : {e->balance[c], e->screen[c], e->mp[c], e->replace[c], e->neutral[c],
                            e->gain[c], e->exposure[0][c], e->gamma[0][c]})
                v.push_back(f);
        }
        return v;
    }
};

// At each finite end of its range a parameter acts as it does beyond it, and just inside it
// as it does not: the range is what the keyer honours, neither wider nor narrower.
TEST_F(ZephraRanges, FiniteEndsAreWhereTheKeyerClamps) {
    constexpr float kBeyond = 0.5f;
    constexpr float kInside = 0.01f;
    image("fg", 4, 3, 1);
    PXxZephra* node = run("k = Zephra_1v4(fg, 0, 0, 0, \"composite\", 0.1, 0.2, 0.8);");
    ASSERT_NE(node, nullptr);
    for (size_t i = 0; i < zephraArgCount(); ++i) {
        const ZephraArg& a = zephraArgs()[i];
        if (a.kind != ZephraArgKind::Float) continue;
        // Exposure's lower end acts in the output (a negative exposure keys to 0 like 0
        // does); gamma's is where gamma stops being defined. Neither is a setter's clamp.
        const std::string name = a.name;
        if (name.find("Exposure") != std::string::npos || name.find("Gamma") != std::string::npos)
            continue;
        SCOPED_TRACE(a.name);
        PXiPlug* plug = node->getPlug(a.plug);
        const float keep = plug->asFloat();
        for (double end : {a.minimum, a.maximum}) {
            if (!std::isfinite(end)) continue;
            const float toward = end == a.minimum ? 1.0f : -1.0f;
            plug->set(static_cast<float>(end));
            std::vector<float> atEnd = engineParameters(node);
            plug->set(static_cast<float>(end) - toward * kBeyond);
            EXPECT_EQ(engineParameters(node), atEnd) << "beyond " << end;
            plug->set(static_cast<float>(end) + toward * kInside);
            EXPECT_NE(engineParameters(node), atEnd) << "inside " << end;
        }
        plug->set(keep);
    }
}

// The shared parameter transfer's rounding against the host's own 4-decimal rounding: the node
// and the Python module must hand the engine exactly the values the host's rounding gives.
float floatOfBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

std::uint32_t bitsOf(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

void expectSameRounding(float v) {
    ASSERT_EQ(bitsOf(keyerRound(v)), bitsOf(PXiRound(v, 4))) << "value " << v;
}

TEST(KeyerRound, MatchesTheHostsRoundingBitForBit) {
    const float special[] = {0.0f,
                             -0.0f,
                             0.00005f,
                             -0.00005f,
                             0.12345f,
                             0.9f,
                             1e-30f,
                             8388607.5f,
                             8388608.0f,
                             -8388608.0f,
                             std::numeric_limits<float>::max(),
                             std::numeric_limits<float>::denorm_min(),
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN()};
    for (float v : special) expectSameRounding(v);
    // Every float from 0 to 2 in steps of 1024 ulps covers the range parameters live in,
    // including the values that lie next to a half of the fourth decimal.
    for (std::uint32_t bits = 0; bits <= bitsOf(2.0f); bits += 1024) {
        expectSameRounding(floatOfBits(bits));
        expectSameRounding(-floatOfBits(bits));
    }
    // Decimal texts as scripts write them: k / 100000 lands on both sides of every half.
    for (int k = -300000; k <= 300000; ++k) expectSameRounding(static_cast<float>(k / 100000.0));
    // And any bit pattern at all.
    std::mt19937 random(19);
    for (int i = 0; i < 200000; ++i) expectSameRounding(floatOfBits(random()));
}

}  // namespace
