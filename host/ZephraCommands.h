#pragma once

#include "engine/ZephraExport.h"

class PXiIPlug;

// The script commands. Images arrive as the upstream images the script passes (null for no
// image), every other argument as its text. Each creates a node under the root, wires and
// parameterises it, and returns its output image.
extern "C" {
ZEPHRA_EXPORT PXiIPlug* Zephra_1v4(
    PXiIPlug* fg, PXiIPlug* bg, PXiIPlug* holdOutMatte, PXiIPlug* garbageMatte, const char* output,
    const char* rScreen, const char* gScreen, const char* bScreen, const char* screenRange,
    const char* rFgBias, const char* gFgBias, const char* bFgBias, const char* shadowBalance,
    const char* midtoneBalance, const char* highlightBalance, const char* shadowGain,
    const char* midtoneGain, const char* highlightGain, const char* midTonesAt,
    const char* rSpillReplace, const char* gSpillReplace, const char* bSpillReplace,
    const char* rExposure, const char* gExposure, const char* bExposure, const char* rGamma,
    const char* gGamma, const char* bGamma, const char* saturation, const char* cspace,
    const char* useHoldOutMatte, const char* holdOutChannel, const char* useGarbageMatte,
    const char* garbageChannel, const char* bgColor, const char* clipMode);

// Older scripts: the background comes first, and there is no garbage matte.
ZEPHRA_EXPORT PXiIPlug* Zephra_1v3(
    PXiIPlug* bg, PXiIPlug* fg, PXiIPlug* holdOutMatte, const char* output, const char* rScreen,
    const char* gScreen, const char* bScreen, const char* screenRange, const char* rFgBias,
    const char* gFgBias, const char* bFgBias, const char* shadowBalance, const char* midtoneBalance,
    const char* highlightBalance, const char* shadowGain, const char* midtoneGain,
    const char* highlightGain, const char* modTonesAt, const char* rSpillReplace,
    const char* gSpillReplace, const char* bSpillReplace, const char* rExposure,
    const char* gExposure, const char* bExposure, const char* rGamma, const char* gGamma,
    const char* bGamma, const char* saturation, const char* cspace, const char* useHoldOutMatte,
    const char* holdOutChannel, const char* bgColor, const char* clipMode);
}
