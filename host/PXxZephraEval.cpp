// The node's evaluation: the output's plugs, the node's depths, the inputs' requested
// channels, and the parameter transfer into the engine.
#include <algorithm>
#include <cstdint>

#include "host/PXxZephra.h"
#include "host/ZephraChannels.h"
#include "host/ZephraPlugin.h"
#include "sdk/PXiIPlug.h"
#include "sdk/PXiMath.h"

namespace {

enum { kFg = 0, kBg = 1, kHoldOut = 2, kGarbage = 3 };

// Samples of one background pixel per image, in buffer order A, B, G, R.
template <typename T>
struct OnePixel {
    T fg[4], bg[4], hold[4], garbage[4];
};

inline std::uint8_t toSample(float v, std::uint8_t) { return PXiF2B(255.0f * v); }
inline std::uint16_t toSample(float v, std::uint16_t) { return PXiF2S(65535.0f * v); }

// Keys the inputs' background pixels with the engine as a one-pixel tile whose output lands
// in the Bg samples, and returns that result as floats. A refused render leaves the Bg
// samples, so the result is then the background plate's pixel.
template <typename T>
PXiBPixel keyOnePixel(ZephraHandle engine, const PXiBPixel& fg, const PXiBPixel& bg,
                      const PXiBPixel& hold, const PXiBPixel& garbage, char holdLetter,
                      char garbageLetter) {
    OnePixel<T> s;
    for (int i = 0; i < 4; ++i) {
        s.fg[i] = toSample(fg[i], T());
        s.bg[i] = toSample(bg[i], T());
        s.hold[i] = toSample(hold[i], T());
        s.garbage[i] = toSample(garbage[i], T());
    }
    Ztile tile = {};
    tile.fg = {&s.fg[3], &s.fg[2], &s.fg[1], &s.fg[0], 0, 0};
    tile.bg = {&s.bg[3], &s.bg[2], &s.bg[1], &s.bg[0], 0, 0};
    tile.dst = tile.bg;
    tile.hold.a = &s.hold[zephraLetterSample(holdLetter)];
    tile.garbage.a = &s.garbage[zephraLetterSample(garbageLetter)];
    zephra_render(engine, static_cast<int>(sizeof(T)), 1, 1, &tile);

    const float max = sizeof(T) == 1 ? 255.0f : 65535.0f;
    PXiBPixel result;
    for (int i = 0; i < 4; ++i) result[i] = s.bg[i] / max;
    return result;
}

// First character of the upper-cased channel text, or 'A' when the matte is not in use.
// An empty text also gives 'A': it selects alpha like any letter other than R, G and B, and
// keeps a printable letter in the description string.
char matteLetter(int inUse, PXiPlug* channel) {
    if (!inUse) return 'A';
    char first = channel->asString().upperCase().c_str()[0];
    return first != '\0' ? first : 'A';
}

}  // namespace

int PXxZephra::eval(PXiPlug* plug) {
    PXiIPlug* out = getOutput();
    if (plug == out->getChannelsPlug()) {
        evalChannels(plug);
    } else if (plug == out->getWidthPlug()) {
        evalSize(plug, true);
    } else if (plug == out->getHeightPlug()) {
        evalSize(plug, false);
    } else if (plug == out->getBPixelPlug()) {
        evalBackgroundPixel(plug);
    } else if (plug == out->getDescriptionPlug()) {
        evalDescription(plug);
    } else if (plug == getDepthPlug()) {
        evalDepth(plug, true);
    } else if (plug == getInputDepthPlug()) {
        evalDepth(plug, false);
    } else if (plug == getInput(kBg)->getReqChannelsPlug()) {
        evalBgRequested(plug);
    } else if (plug == getInput(kFg)->getReqChannelsPlug()) {
        evalFgRequested(plug);
    } else if (plug == getInput(kHoldOut)->getReqChannelsPlug()) {
        makeDescriptionCurrent();
        evalMatteRequested(plug, kHoldOut, m_holdInUse, m_holdLetter);
    } else if (plug == getInput(kGarbage)->getReqChannelsPlug()) {
        makeDescriptionCurrent();
        evalMatteRequested(plug, kGarbage, m_garbageInUse, m_garbageLetter);
    }
    return PXiNadic::eval(plug);
}

void PXxZephra::makeDescriptionCurrent() {
    PXiPlug* description = getOutput()->getDescriptionPlug();
    if (!description->isValid()) description->asVoid();
}

void PXxZephra::evalChannels(PXiPlug* plug) {
    int fg = getInput(kFg)->getChannelsPlug()->asInt();
    int bg = getInput(kBg)->getChannelsPlug()->asInt();
    PXiName name = output->asString();
    int channels;
    if (name == PXiName::getString("status")) {
        channels = PXiChanAll;
    } else {
        channels = fg | PXiChanA;
        if (name == zephraCompositeName) channels |= bg;
    }
    plug->set(channels);
}

void PXxZephra::evalSize(PXiPlug* plug, bool width) {
    int source = std::min(std::max(clipMode->asInt(), 0), 1);
    PXiIPlug* in = getInput(source);
    plug->set((width ? in->getWidthPlug() : in->getHeightPlug())->asInt());
}

void PXxZephra::evalBackgroundPixel(PXiPlug* plug) {
    makeDescriptionCurrent();
    int keyed = bgColor->asInt();
    getInput(kFg)->getBPixel(m_bgPixel);
    if (keyed == 0) {
        plug->set(static_cast<void*>(&m_bgPixel));
        return;
    }
    int depth = getDepthPlug()->asInt();
    PXiBPixel bg = getInput(kBg)->getBPixel();
    PXiBPixel hold = getInput(kHoldOut)->getBPixel();
    PXiBPixel garbage = getInput(kGarbage)->getBPixel();
    PXiBPixel keyedPixel;
    if (depth == 1 || depth == 2) {
        keyedPixel = depth == 1 ? keyOnePixel<std::uint8_t>(m_engine, m_bgPixel, bg, hold, garbage,
                                                            m_holdLetter, m_garbageLetter)
                                : keyOnePixel<std::uint16_t>(m_engine, m_bgPixel, bg, hold, garbage,
                                                             m_holdLetter, m_garbageLetter);
        for (int i = 0; i < 4; ++i) m_bgPixel[i] = keyedPixel[i];
    }
    m_bgPixel.quantize(depth);
    plug->set(static_cast<void*>(&m_bgPixel));
}

void PXxZephra::evalDescription(PXiPlug* plug) {
    PXiPlug* screen[3] = {rScreen, gScreen, bScreen};
    PXiPlug* bias[3] = {rFgBias, gFgBias, bFgBias};
    PXiPlug* balance[3] = {shadowBalance, midtoneBalance, highlightBalance};
    PXiPlug* gain[3] = {shadowGain, midtoneGain, highlightGain};
    PXiPlug* replace[3] = {rReplace, gReplace, bReplace};
    PXiPlug* exposure[3] = {rExposure, gExposure, bExposure};
    PXiPlug* gamma[3] = {rGamma, gGamma, bGamma};
    float scr[3], bia[3], bal[3], gai[3], rep[3], exp[3], gam[3];
    for (int c = 0; c < 3; ++c) {
        scr[c] = PXiRound(screen[c]->asFloat(), 4);
        bia[c] = PXiRound(bias[c]->asFloat(), 4);
        bal[c] = PXiRound(balance[c]->asFloat(), 4);
        gai[c] = PXiRound(gain[c]->asFloat(), 4);
        rep[c] = PXiRound(replace[c]->asFloat(), 4);
        exp[c] = PXiRound(exposure[c]->asFloat(), 4);
        gam[c] = PXiRound(gamma[c]->asFloat(), 4);
    }
    PXiName space = colourspace->asString();
    PXiName view = output->asString();
    float range = PXiRound(screenRange->asFloat(), 4);
    float sat = PXiRound(saturation->asFloat(), 4);
    float midPoint = PXiRound(midTonesAt->asFloat(), 4);

    PXiPlug* holdInput = getPlug("HoldOutMatte");
    m_holdInUse = (useHoldOutMatte->asInt() != 0 && holdInput && holdInput->isConnected()) ? 1 : 0;
    zephra_useHold(m_engine, m_holdInUse);
    m_holdLetter = matteLetter(m_holdInUse, holdOutChannel);

    PXiPlug* garbageInput = getPlug("GarbageMatte");
    m_garbageInUse =
        (useGarbageMatte->asInt() != 0 && garbageInput && garbageInput->isConnected()) ? 1 : 0;
    zephra_useGarbage(m_engine, m_garbageInUse);
    m_garbageLetter = matteLetter(m_garbageInUse, garbageChannel);

    m_keyView = getKeyView();
    PXiPlug* bgInput = getPlug("Bg");
    if (m_keyView == 0 && !(bgInput && bgInput->isConnected())) {
        // Without a background plate the composite is made over black.
        m_keyView = 1;
        zephra_setBackground(m_engine, 0.0f, 0.0f, 0.0f);
    }

    PXiName fgText = getInput(kFg)->getDescriptionPlug()->asString();
    PXiName bgText = getInput(kBg)->getDescriptionPlug()->asString();
    PXiName holdText =
        m_holdInUse ? getInput(kHoldOut)->getDescriptionPlug()->asString() : PXiName("0");
    PXiName garbageText =
        m_garbageInUse ? getInput(kGarbage)->getDescriptionPlug()->asString() : PXiName("0");
    PXiName text = PXiName::sprintf(
        "%s(%s,%s,%s,%s,%i,%s,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,"
        "%g,%g,%s,%d,%c,%d,%c,%i)",
        className().c_str(), fgText.c_str(), bgText.c_str(), holdText.c_str(), garbageText.c_str(),
        clipMode->asInt() != 0 ? 1 : 0, view.c_str(), double(scr[0]), double(scr[1]),
        double(scr[2]), double(range), double(bia[0]), double(bia[1]), double(bia[2]),
        double(bal[0]), double(bal[1]), double(bal[2]), double(midPoint), double(gai[0]),
        double(gai[1]), double(gai[2]), double(rep[0]), double(rep[1]), double(rep[2]),
        double(exp[0]), double(exp[1]), double(exp[2]), double(gam[0]), double(gam[1]),
        double(gam[2]), double(sat), space.c_str(), m_holdInUse, m_holdLetter, m_garbageInUse,
        m_garbageLetter, bgColor->asInt() != 0 ? 1 : 0);

    zephra_setScreen(m_engine, scr[0], scr[1], scr[2]);
    // Colour spaces are compared in this order; any other text leaves the engine's own.
    if (space == PXiName::getString("log"))
        zephra_setColourspace(m_engine, 1);
    else if (space == PXiName::getString("linear"))
        zephra_setColourspace(m_engine, 0);
    else if (space == PXiName::getString("video"))
        zephra_setColourspace(m_engine, 2);
    zephra_setView(m_engine, m_keyView);
    zephra_setScreenRange(m_engine, range);
    zephra_setNeutral(m_engine, bia[0], bia[1], bia[2]);
    for (int i = 0; i < 3; ++i) zephra_setBalance(m_engine, i, bal[i]);
    for (int i = 0; i < 3; ++i) zephra_setGain(m_engine, i, gai[i]);
    zephra_setMp(m_engine, midPoint, midPoint, midPoint);
    zephra_setReplace(m_engine, rep[0], rep[1], rep[2]);
    zephra_setExposure(m_engine, exp[0], exp[1], exp[2], 0);
    zephra_setGamma(m_engine, gam[0], gam[1], gam[2], 0);
    zephra_setSaturation(m_engine, sat, 0);

    int max = getDepthPlug()->asInt() == 1 ? 255 : 65535;
    zephra_setGMatteMax(m_engine, max);
    zephra_setFgMax(m_engine, max);
    zephra_setBgMax(m_engine, max);
    zephra_setHMatteMax(m_engine, max);
    zephra_setDstMax(m_engine, max);

    // A failure (screen colour zero or illegal, with its message; memory exhausted) leaves
    // the engine stale: the fill then renders nothing and the output keeps the foreground
    // with its screen fill. The next evaluation tries again.
    zephra_makeLuts(m_engine);

    plug->set(text.compress());
}

void PXxZephra::evalDepth(PXiPlug* plug, bool limited) {
    int depth = 0;
    for (int k = 0; k < 4; ++k) depth = std::max(depth, getInput(k)->getDepthPlug()->asInt());
    // The node keys 8-bit samples when every input is 8-bit and 16-bit ones otherwise.
    plug->set(limited ? std::min(depth, 2) : depth);
}

void PXxZephra::evalBgRequested(PXiPlug* plug) {
    makeDescriptionCurrent();
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    if (output->asString() == zephraCompositeName) wanted |= PXiChanAll;
    plug->set(getInput(kBg)->getChannelsPlug()->asInt() & wanted);
}

void PXxZephra::evalFgRequested(PXiPlug* plug) {
    makeDescriptionCurrent();
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    // The keyer never reads the foreground's alpha.
    plug->set(wanted == 0 ? 0 : getInput(kFg)->getChannelsPlug()->asInt() & 14);
}

void PXxZephra::evalMatteRequested(PXiPlug* plug, int input, int inUse, char letter) {
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    if (wanted == 0 || !inUse) {
        plug->set(0);
        return;
    }
    int channels = getInput(input)->getChannelsPlug()->asInt();
    plug->set(zephraLetterIsColour(letter) ? channels & 14 : channels & PXiChanA);
}
