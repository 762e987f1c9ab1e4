#include "host/ZephraCommands.h"

#include <cstddef>
#include <string>
#include <vector>

#include "host/PXxZephra.h"
#include "host/ZephraParams.h"
#include "sdk/graph/PXiIPlug.h"

namespace {

// Fg, Bg, HoldOutMatte, GarbageMatte.
constexpr int kInputCount = 4;

// The order in which a command sets the node's plugs: clipMode first, so that the output's
// size follows the chosen input before anything else changes, bgColor last.
const char* const kSettingOrder[] = {
    "clipMode",       "rScreen",        "gScreen",          "bScreen",        "screenRange",
    "colourspace",    "output",         "rFgBias",          "gFgBias",        "bFgBias",
    "shadowBalance",  "midtoneBalance", "highlightBalance", "shadowGain",     "midtoneGain",
    "highlightGain",  "midTonesAt",     "rReplace",         "gReplace",       "bReplace",
    "rExposure",      "gExposure",      "bExposure",        "rGamma",         "gGamma",
    "bGamma",         "saturation",     "useHoldOutMatte",  "holdOutChannel", "useGarbageMatte",
    "garbageChannel", "bgColor"};

// Creates a node under the root, connects the inputs that the command's image arguments feed,
// sets the plugs its other arguments set, in the setting order (a plug the command has no
// argument for keeps its value), and returns the output image. `images` and `texts` hold the
// arguments in the command's declaration order. When a host call throws (a text naming no plug
// of the node, an image connection closing a cycle) the half-made node is deleted again, so
// the graph is left as it was, and the exception goes on to the caller.
PXiIPlug* makeKeyer(const std::vector<ZephraArg>& args, const std::vector<PXiIPlug*>& images,
                    const std::vector<const char*>& texts) {
    PXxZephra* node = new PXxZephra();
    try {
        node->setParent(PXiNode::getRoot());
        // Inputs in the node's order, each from the image argument that feeds it.
        for (int input = 0; input < kInputCount; ++input) {
            std::size_t image = 0;
            for (const ZephraArg& a : args) {
                if (a.kind != ZephraArgKind::Image) continue;
                if (zephraInputIndex(a) == input) node->getInput(input)->connect(images[image]);
                ++image;
            }
        }
        for (const char* plug : kSettingOrder) {
            std::size_t text = 0;
            for (const ZephraArg& a : args) {
                if (a.kind == ZephraArgKind::Image) continue;
                // Scripts always pass a text; a direct caller's null leaves the plug's value.
                if (plug == std::string(a.plug) && texts[text])
                    node->getPlug(plug)->set(texts[text]);
                ++text;
            }
        }
        return node->getOutput();
    } catch (...) {
        delete node;
        throw;
    }
}

const std::vector<ZephraArg>& currentArgs() {
    static const std::vector<ZephraArg> args(zephraArgs(), zephraArgs() + zephraArgCount());
    return args;
}

}  // namespace

extern "C" PXiIPlug* Zephra_1v4(
    PXiIPlug* fg, PXiIPlug* bg, PXiIPlug* holdOutMatte, PXiIPlug* garbageMatte, const char* output,
    const char* rScreen, const char* gScreen, const char* bScreen, const char* screenRange,
    const char* rFgBias, const char* gFgBias, const char* bFgBias, const char* shadowBalance,
    const char* midtoneBalance, const char* highlightBalance, const char* shadowGain,
    const char* midtoneGain, const char* highlightGain, const char* midTonesAt,
    const char* rSpillReplace, const char* gSpillReplace, const char* bSpillReplace,
    const char* rExposure, const char* gExposure, const char* bExposure, const char* rGamma,
    const char* gGamma, const char* bGamma, const char* saturation, const char* cspace,
    const char* useHoldOutMatte, const char* holdOutChannel, const char* useGarbageMatte,
    const char* garbageChannel, const char* bgColor, const char* clipMode) {
    return makeKeyer(
        currentArgs(), {fg, bg, holdOutMatte, garbageMatte},
        {output,           rScreen,         gScreen,        bScreen,         screenRange,
         rFgBias,          gFgBias,         bFgBias,        shadowBalance,   midtoneBalance,
         highlightBalance, shadowGain,      midtoneGain,    highlightGain,   midTonesAt,
         rSpillReplace,    gSpillReplace,   bSpillReplace,  rExposure,       gExposure,
         bExposure,        rGamma,          gGamma,         bGamma,          saturation,
         cspace,           useHoldOutMatte, holdOutChannel, useGarbageMatte, garbageChannel,
         bgColor,          clipMode});
}

extern "C" PXiIPlug* Zephra_1v3(
    PXiIPlug* bg, PXiIPlug* fg, PXiIPlug* holdOutMatte, const char* output, const char* rScreen,
    const char* gScreen, const char* bScreen, const char* screenRange, const char* rFgBias,
    const char* gFgBias, const char* bFgBias, const char* shadowBalance, const char* midtoneBalance,
    const char* highlightBalance, const char* shadowGain, const char* midtoneGain,
    const char* highlightGain, const char* modTonesAt, const char* rSpillReplace,
    const char* gSpillReplace, const char* bSpillReplace, const char* rExposure,
    const char* gExposure, const char* bExposure, const char* rGamma, const char* gGamma,
    const char* bGamma, const char* saturation, const char* cspace, const char* useHoldOutMatte,
    const char* holdOutChannel, const char* bgColor, const char* clipMode) {
    // The garbage matte input stays unconnected; its switch and letter keep 1 and "A".
    return makeKeyer(
        zephraLegacyArgs(), {bg, fg, holdOutMatte},
        {output,           rScreen,         gScreen,        bScreen,       screenRange,
         rFgBias,          gFgBias,         bFgBias,        shadowBalance, midtoneBalance,
         highlightBalance, shadowGain,      midtoneGain,    highlightGain, modTonesAt,
         rSpillReplace,    gSpillReplace,   bSpillReplace,  rExposure,     gExposure,
         bExposure,        rGamma,          gGamma,         bGamma,        saturation,
         cspace,           useHoldOutMatte, holdOutChannel, bgColor,       clipMode});
}
