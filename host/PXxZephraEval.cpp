// The node's evaluation: the output's plugs, the node's depths, the inputs' requested
// channels, and the parameter transfer into the engine.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "host/KeyerParams.h"
#include "host/PXxZephra.h"
#include "host/ZephraChannels.h"
#include "host/ZephraIds.h"
#include "host/ZephraParams.h"
#include "host/ZephraPlugin.h"
#include "sdk/base/PXiMath.h"
#include "sdk/base/PXiStandardError.h"
#include "sdk/graph/PXiIPlug.h"

namespace {

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
    tile.fg = {&s.fg[kSampleR], &s.fg[kSampleG], &s.fg[kSampleB], &s.fg[kSampleA], 0, 0};
    tile.bg = {&s.bg[kSampleR], &s.bg[kSampleG], &s.bg[kSampleB], &s.bg[kSampleA], 0, 0};
    tile.dst = tile.bg;
    tile.hold.a = &s.hold[zephraLetterSample(holdLetter)];
    tile.garbage.a = &s.garbage[zephraLetterSample(garbageLetter)];
    zephra_render(engine, static_cast<int>(sizeof(T)), 1, 1, &tile);

    const float max = sizeof(T) == 1 ? 255.0f : 65535.0f;
    PXiBPixel result;
    for (int i = 0; i < 4; ++i) result[i] = s.bg[i] / max;
    return result;
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
    } else if (plug == getInput(kInputBg)->getReqChannelsPlug()) {
        evalBgRequested(plug);
    } else if (plug == getInput(kInputFg)->getReqChannelsPlug()) {
        evalFgRequested(plug);
    } else if (plug == getInput(kInputHoldOutMatte)->getReqChannelsPlug()) {
        makeDescriptionCurrent();
        evalMatteRequested(plug, kInputHoldOutMatte, m_holdInUse, m_holdLetter);
    } else if (plug == getInput(kInputGarbageMatte)->getReqChannelsPlug()) {
        makeDescriptionCurrent();
        evalMatteRequested(plug, kInputGarbageMatte, m_garbageInUse, m_garbageLetter);
    }
    return PXiNadic::eval(plug);
}

void PXxZephra::makeDescriptionCurrent() {
    PXiPlug* description = getOutput()->getDescriptionPlug();
    if (!description->isValid()) description->asVoid();
}

void PXxZephra::evalChannels(PXiPlug* plug) {
    int fg = getInput(kInputFg)->getChannelsPlug()->asInt();
    int bg = getInput(kInputBg)->getChannelsPlug()->asInt();
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
    // clipMode 0 or less takes the size from Fg, 1 or more from Bg.
    const int source = std::min(std::max(clipMode->asInt(), int(kInputFg)), int(kInputBg));
    PXiIPlug* in = getInput(source);
    plug->set((width ? in->getWidthPlug() : in->getHeightPlug())->asInt());
}

void PXxZephra::evalBackgroundPixel(PXiPlug* plug) {
    makeDescriptionCurrent();
    int keyed = bgColor->asInt();
    getInput(kInputFg)->getBPixel(m_bgPixel);
    if (keyed == 0) {
        plug->set(static_cast<void*>(&m_bgPixel));
        return;
    }
    int depth = getDepthPlug()->asInt();
    PXiBPixel bg = getInput(kInputBg)->getBPixel();
    PXiBPixel hold = getInput(kInputHoldOutMatte)->getBPixel();
    PXiBPixel garbage = getInput(kInputGarbageMatte)->getBPixel();
    PXiBPixel keyedPixel;
    if (depth == 1 || depth == 2) {
        ensureTables();
        keyedPixel = depth == 1 ? keyOnePixel<std::uint8_t>(m_engine, m_bgPixel, bg, hold, garbage,
                                                            m_holdLetter, m_garbageLetter)
                                : keyOnePixel<std::uint16_t>(m_engine, m_bgPixel, bg, hold, garbage,
                                                             m_holdLetter, m_garbageLetter);
        for (int i = 0; i < 4; ++i) m_bgPixel[i] = keyedPixel[i];
    }
    m_bgPixel.quantize(depth);
    plug->set(static_cast<void*>(&m_bgPixel));
}

KeyerParams PXxZephra::readParams() {
    KeyerParams p;
    for (std::size_t i = 0; i < zephraArgCount(); ++i) {
        const ZephraArg& a = zephraArgs()[i];
        PXiPlug* plug = a.kind == ZephraArgKind::Image ? nullptr : getPlug(a.plug);
        if (!plug) continue;
        switch (a.kind) {
            case ZephraArgKind::Float:
                p.setFloat(a.plug, plug->asFloat());
                break;
            case ZephraArgKind::Int:
                p.setInt(a.plug, plug->asInt());
                break;
            case ZephraArgKind::Text:
                p.setText(a.plug, plug->asString().c_str());
                break;
            case ZephraArgKind::Image:
                break;
        }
    }
    p.bgConnected = isConnectedInput("Bg");
    p.holdConnected = isConnectedInput("HoldOutMatte");
    p.garbageConnected = isConnectedInput("GarbageMatte");
    p.depth = getDepthPlug()->asInt();
    return p;
}

bool PXxZephra::isConnectedInput(const char* name) {
    PXiPlug* input = getPlug(name);
    return input && input->isConnected();
}

void PXxZephra::evalDescription(PXiPlug* plug) {
    const KeyerParams p = readParams();
    const int holdInUse = p.holdInUse();
    const int garbageInUse = p.garbageInUse();

    PXiName fgText = getInput(kInputFg)->getDescriptionPlug()->asString();
    PXiName bgText = getInput(kInputBg)->getDescriptionPlug()->asString();
    PXiName holdText =
        holdInUse ? getInput(kInputHoldOutMatte)->getDescriptionPlug()->asString() : PXiName("0");
    PXiName garbageText = garbageInUse
                              ? getInput(kInputGarbageMatte)->getDescriptionPlug()->asString()
                              : PXiName("0");
    PXiName text = PXiName::sprintf(
        "%s(%s,%s,%s,%s,%i,%s,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,%g,"
        "%g,%g,%s,%d,%c,%d,%c,%i)",
        className().c_str(), fgText.c_str(), bgText.c_str(), holdText.c_str(), garbageText.c_str(),
        clipMode->asInt() != 0 ? 1 : 0, p.output.c_str(), double(p.screen[0]), double(p.screen[1]),
        double(p.screen[2]), double(p.screenRange), double(p.fgBias[0]), double(p.fgBias[1]),
        double(p.fgBias[2]), double(p.balance[0]), double(p.balance[1]), double(p.balance[2]),
        double(p.midTonesAt), double(p.gain[0]), double(p.gain[1]), double(p.gain[2]),
        double(p.replace[0]), double(p.replace[1]), double(p.replace[2]), double(p.exposure[0]),
        double(p.exposure[1]), double(p.exposure[2]), double(p.gamma[0]), double(p.gamma[1]),
        double(p.gamma[2]), double(p.saturation), p.colourspace.c_str(), holdInUse, p.holdLetter(),
        garbageInUse, p.garbageLetter(), bgColor->asInt() != 0 ? 1 : 0);

    // A failure of the table building (screen colour zero or illegal, with its message; memory
    // exhausted) leaves the engine stale: the fill then renders nothing and the output keeps
    // the foreground with its screen fill. The next evaluation tries again. The result is
    // kept for fillFailure, which tells the render driver.
    const KeyerTransfer t = [&] {
        const PXiStandardErrorLock printing;  // a failure prints the engine's line
        return keyerTransfer(p, m_engine);
    }();
    m_tablesResult = t.makeLutsResult;
    m_tablesReleased = false;
    // A graph's descriptions are all evaluated before its first fill: a node past the table
    // budget frees its tables here too, or every node would hold them at once.
    settleTables();
    m_holdInUse = t.holdInUse;
    m_holdLetter = t.holdLetter;
    m_garbageInUse = t.garbageInUse;
    m_garbageLetter = t.garbageLetter;
    m_keyView = t.keyView;

    plug->set(text.compress());
}

void PXxZephra::evalDepth(PXiPlug* plug, bool limited) {
    int depth = 0;
    for (int k = 0; k < kInputCount; ++k)
        depth = std::max(depth, getInput(k)->getDepthPlug()->asInt());
    // The node keys 8-bit samples when every input is 8-bit and 16-bit ones otherwise.
    plug->set(limited ? std::min(depth, 2) : depth);
}

void PXxZephra::evalBgRequested(PXiPlug* plug) {
    makeDescriptionCurrent();
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    if (output->asString() == zephraCompositeName) wanted |= PXiChanAll;
    plug->set(getInput(kInputBg)->getChannelsPlug()->asInt() & wanted);
}

void PXxZephra::evalFgRequested(PXiPlug* plug) {
    makeDescriptionCurrent();
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    // The keyer never reads the foreground's alpha.
    plug->set(wanted == 0 ? 0 : getInput(kInputFg)->getChannelsPlug()->asInt() & kMaskColour);
}

void PXxZephra::evalMatteRequested(PXiPlug* plug, int input, int inUse, char letter) {
    int wanted = getOutput()->getReqChannelsPlug()->asInt();
    if (wanted == 0 || !inUse) {
        plug->set(0);
        return;
    }
    int channels = getInput(input)->getChannelsPlug()->asInt();
    plug->set(zephraLetterIsColour(letter) ? channels & kMaskColour : channels & kMaskA);
}
