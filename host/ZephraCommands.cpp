#include "host/ZephraCommands.h"

#include <initializer_list>
#include <utility>

#include "host/PXxZephra.h"
#include "sdk/PXiIPlug.h"

const char* const kZephraDeclarations =
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

namespace {

using Setting = std::pair<PXiPlug * PXxZephra::*, const char*>;

// Creates a node under the root, connects input i to images[i] for every i < imageCount
// (an input index of -1 leaves that input alone), sets the plugs in the order given and
// returns the output image. When a host call throws (a text naming no plug of the node, an
// image connection closing a cycle) the half-made node is deleted again, so the graph is
// left as it was, and the exception goes on to the caller.
PXiIPlug* makeKeyer(std::initializer_list<std::pair<int, PXiIPlug*>> images,
                    std::initializer_list<Setting> settings) {
    PXxZephra* node = new PXxZephra();
    try {
        node->setParent(PXiNode::getRoot());
        for (const auto& image : images) node->getInput(image.first)->connect(image.second);
        for (const Setting& s : settings) {
            // Scripts always pass a text; a direct caller's null leaves the plug's value.
            if (s.second) (node->*s.first)->set(s.second);
        }
        return node->getOutput();
    } catch (...) {
        delete node;
        throw;
    }
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
    return makeKeyer({{0, fg}, {1, bg}, {2, holdOutMatte}, {3, garbageMatte}},
                     {{&PXxZephra::clipMode, clipMode},
                      {&PXxZephra::rScreen, rScreen},
                      {&PXxZephra::gScreen, gScreen},
                      {&PXxZephra::bScreen, bScreen},
                      {&PXxZephra::screenRange, screenRange},
                      {&PXxZephra::colourspace, cspace},
                      {&PXxZephra::output, output},
                      {&PXxZephra::rFgBias, rFgBias},
                      {&PXxZephra::gFgBias, gFgBias},
                      {&PXxZephra::bFgBias, bFgBias},
                      {&PXxZephra::shadowBalance, shadowBalance},
                      {&PXxZephra::midtoneBalance, midtoneBalance},
                      {&PXxZephra::highlightBalance, highlightBalance},
                      {&PXxZephra::shadowGain, shadowGain},
                      {&PXxZephra::midtoneGain, midtoneGain},
                      {&PXxZephra::highlightGain, highlightGain},
                      {&PXxZephra::midTonesAt, midTonesAt},
                      {&PXxZephra::rReplace, rSpillReplace},
                      {&PXxZephra::gReplace, gSpillReplace},
                      {&PXxZephra::bReplace, bSpillReplace},
                      {&PXxZephra::rExposure, rExposure},
                      {&PXxZephra::gExposure, gExposure},
                      {&PXxZephra::bExposure, bExposure},
                      {&PXxZephra::rGamma, rGamma},
                      {&PXxZephra::gGamma, gGamma},
                      {&PXxZephra::bGamma, bGamma},
                      {&PXxZephra::saturation, saturation},
                      {&PXxZephra::useHoldOutMatte, useHoldOutMatte},
                      {&PXxZephra::holdOutChannel, holdOutChannel},
                      {&PXxZephra::useGarbageMatte, useGarbageMatte},
                      {&PXxZephra::garbageChannel, garbageChannel},
                      {&PXxZephra::bgColor, bgColor}});
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
    return makeKeyer({{0, fg}, {1, bg}, {2, holdOutMatte}},
                     {{&PXxZephra::clipMode, clipMode},
                      {&PXxZephra::rScreen, rScreen},
                      {&PXxZephra::gScreen, gScreen},
                      {&PXxZephra::bScreen, bScreen},
                      {&PXxZephra::screenRange, screenRange},
                      {&PXxZephra::colourspace, cspace},
                      {&PXxZephra::output, output},
                      {&PXxZephra::rFgBias, rFgBias},
                      {&PXxZephra::gFgBias, gFgBias},
                      {&PXxZephra::bFgBias, bFgBias},
                      {&PXxZephra::shadowBalance, shadowBalance},
                      {&PXxZephra::midtoneBalance, midtoneBalance},
                      {&PXxZephra::highlightBalance, highlightBalance},
                      {&PXxZephra::shadowGain, shadowGain},
                      {&PXxZephra::midtoneGain, midtoneGain},
                      {&PXxZephra::highlightGain, highlightGain},
                      {&PXxZephra::midTonesAt, modTonesAt},
                      {&PXxZephra::rReplace, rSpillReplace},
                      {&PXxZephra::gReplace, gSpillReplace},
                      {&PXxZephra::bReplace, bSpillReplace},
                      {&PXxZephra::rExposure, rExposure},
                      {&PXxZephra::gExposure, gExposure},
                      {&PXxZephra::bExposure, bExposure},
                      {&PXxZephra::rGamma, rGamma},
                      {&PXxZephra::gGamma, gGamma},
                      {&PXxZephra::bGamma, bGamma},
                      {&PXxZephra::saturation, saturation},
                      {&PXxZephra::useHoldOutMatte, useHoldOutMatte},
                      {&PXxZephra::holdOutChannel, holdOutChannel},
                      {&PXxZephra::bgColor, bgColor}});
}
