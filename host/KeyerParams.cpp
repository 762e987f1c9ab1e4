#include "host/KeyerParams.h"

#include <cmath>
#include <cstddef>

#include "host/ZephraIds.h"
#include "host/ZephraParams.h"

namespace {

// Decimal places every float parameter keeps, and the matching scale.
constexpr double kRoundScale = 10000.0;
// From this magnitude on a float has no fractional part left to round.
constexpr float kFloatWithoutFraction = 8388608.0f;

// Sample maxima of 8-bit and 16-bit images.
constexpr int kMax8 = 255;
constexpr int kMax16 = 65535;

// Where each float plug's value lives: one component of a colour (or of the shadow, midtone,
// highlight triple), or a single value.
struct FloatSlot {
    const char* plug;
    float (KeyerParams::*triple)[3];
    int index;
    float KeyerParams::*single;
};

const FloatSlot kFloatSlots[] = {
    {"rScreen", &KeyerParams::screen, 0, nullptr},
    {"gScreen", &KeyerParams::screen, 1, nullptr},
    {"bScreen", &KeyerParams::screen, 2, nullptr},
    {"screenRange", nullptr, 0, &KeyerParams::screenRange},
    {"rFgBias", &KeyerParams::fgBias, 0, nullptr},
    {"gFgBias", &KeyerParams::fgBias, 1, nullptr},
    {"bFgBias", &KeyerParams::fgBias, 2, nullptr},
    {"shadowBalance", &KeyerParams::balance, 0, nullptr},
    {"midtoneBalance", &KeyerParams::balance, 1, nullptr},
    {"highlightBalance", &KeyerParams::balance, 2, nullptr},
    {"shadowGain", &KeyerParams::gain, 0, nullptr},
    {"midtoneGain", &KeyerParams::gain, 1, nullptr},
    {"highlightGain", &KeyerParams::gain, 2, nullptr},
    {"midTonesAt", nullptr, 0, &KeyerParams::midTonesAt},
    {"rReplace", &KeyerParams::replace, 0, nullptr},
    {"gReplace", &KeyerParams::replace, 1, nullptr},
    {"bReplace", &KeyerParams::replace, 2, nullptr},
    {"rExposure", &KeyerParams::exposure, 0, nullptr},
    {"gExposure", &KeyerParams::exposure, 1, nullptr},
    {"bExposure", &KeyerParams::exposure, 2, nullptr},
    {"rGamma", &KeyerParams::gamma, 0, nullptr},
    {"gGamma", &KeyerParams::gamma, 1, nullptr},
    {"bGamma", &KeyerParams::gamma, 2, nullptr},
    {"saturation", nullptr, 0, &KeyerParams::saturation},
};

char letterOf(int inUse, const std::string& channel) {
    if (!inUse || channel.empty()) return 'A';
    const char first = channel[0];
    return first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
}

}  // namespace

float keyerRound(float value) {
    if (std::isnan(value)) return 0.0f;
    if (std::isinf(value) || std::fabs(value) >= kFloatWithoutFraction) return value;
    return static_cast<float>(std::round(static_cast<double>(value) * kRoundScale) / kRoundScale);
}

KeyerParams KeyerParams::defaults() {
    KeyerParams p;
    for (std::size_t i = 0; i < zephraArgCount(); ++i) {
        const ZephraArg& a = zephraArgs()[i];
        switch (a.kind) {
            case ZephraArgKind::Float:
                p.setFloat(a.plug, static_cast<float>(zephraDefaultValue(a)));
                break;
            case ZephraArgKind::Int:
                p.setInt(a.plug, static_cast<int>(zephraDefaultValue(a)));
                break;
            case ZephraArgKind::Text:
                p.setText(a.plug, a.defaultText);
                break;
            case ZephraArgKind::Image:
                break;
        }
    }
    return p;
}

bool KeyerParams::setFloat(const std::string& plug, float value) {
    for (const FloatSlot& slot : kFloatSlots) {
        if (plug != slot.plug) continue;
        float& field = slot.single ? this->*slot.single : (this->*slot.triple)[slot.index];
        field = keyerRound(value);
        return true;
    }
    return false;
}

bool KeyerParams::setInt(const std::string& plug, int value) {
    if (plug == "useHoldOutMatte")
        useHoldOutMatte = value;
    else if (plug == "useGarbageMatte")
        useGarbageMatte = value;
    else
        return false;
    return true;
}

bool KeyerParams::setText(const std::string& plug, const std::string& value) {
    if (plug == "colourspace")
        colourspace = value;
    else if (plug == "output")
        output = value;
    else if (plug == "holdOutChannel")
        holdOutChannel = value;
    else if (plug == "garbageChannel")
        garbageChannel = value;
    else
        return false;
    return true;
}

char KeyerParams::holdLetter() const { return letterOf(holdInUse(), holdOutChannel); }
char KeyerParams::garbageLetter() const { return letterOf(garbageInUse(), garbageChannel); }

std::string keyerTablesProblem(int makeLutsResult) {
    switch (makeLutsResult) {
        case kTablesBuilt:
            return {};
        case kTablesNeutralZero:
            return "the foreground bias (neutral colour) has a component that is zero in the "
                   "working colour space";
        case kTablesScreenUnusable:
            return "the screen colour is zero or illegal (its strongest channel must stand out "
                   "from the other two)";
        case kTablesOutOfMemory:
            return "out of memory for the keyer's tables, or unusable sample maxima";
        default:
            return "the keyer's tables could not be built (result " +
                   std::to_string(makeLutsResult) + ")";
    }
}

int keyerOutputView(ZephraHandle engine, const std::string& output, const float replace[3]) {
    if (output == "composite") return kViewComposite;
    if (output == "compOnBlack") {
        zephra_setBackground(engine, 0.0f, 0.0f, 0.0f);
        return kViewFlat;
    }
    if (output == "compOnReplace") {
        zephra_setBackground(engine, replace[0], replace[1], replace[2]);
        return kViewFlat;
    }
    if (output == "unpremultiplied") return kViewUnpremultiplied;
    if (output == "status") return kViewStatus;
    return kViewComposite;
}

KeyerTransfer keyerTransfer(const KeyerParams& p, ZephraHandle engine) {
    KeyerTransfer t;
    t.holdInUse = p.holdInUse();
    zephra_useHold(engine, t.holdInUse);
    t.holdLetter = p.holdLetter();
    t.garbageInUse = p.garbageInUse();
    zephra_useGarbage(engine, t.garbageInUse);
    t.garbageLetter = p.garbageLetter();

    t.keyView = keyerOutputView(engine, p.output, p.replace);
    if (t.keyView == kViewComposite && !p.bgConnected) {
        // Without a background plate the composite is made over black.
        t.keyView = kViewFlat;
        zephra_setBackground(engine, 0.0f, 0.0f, 0.0f);
    }

    zephra_setScreen(engine, p.screen[0], p.screen[1], p.screen[2]);
    // Colour spaces are compared in this order; any other text leaves the engine's own.
    if (p.colourspace == "log")
        zephra_setColourspace(engine, kColourspaceLog);
    else if (p.colourspace == "linear")
        zephra_setColourspace(engine, kColourspaceLinear);
    else if (p.colourspace == "video")
        zephra_setColourspace(engine, kColourspaceVideo);
    zephra_setView(engine, t.keyView);
    zephra_setScreenRange(engine, p.screenRange);
    zephra_setNeutral(engine, p.fgBias[0], p.fgBias[1], p.fgBias[2]);
    for (int i = 0; i < 3; ++i) zephra_setBalance(engine, i, p.balance[i]);
    for (int i = 0; i < 3; ++i) zephra_setGain(engine, i, p.gain[i]);
    zephra_setMp(engine, p.midTonesAt, p.midTonesAt, p.midTonesAt);
    zephra_setReplace(engine, p.replace[0], p.replace[1], p.replace[2]);
    zephra_setExposure(engine, p.exposure[0], p.exposure[1], p.exposure[2], 0);
    zephra_setGamma(engine, p.gamma[0], p.gamma[1], p.gamma[2], 0);
    zephra_setSaturation(engine, p.saturation, 0);

    const int max = p.depth == 1 ? kMax8 : kMax16;
    zephra_setGMatteMax(engine, max);
    zephra_setFgMax(engine, max);
    zephra_setBgMax(engine, max);
    zephra_setHMatteMax(engine, max);
    zephra_setDstMax(engine, max);

    t.makeLutsResult = zephra_makeLuts(engine);
    return t;
}
