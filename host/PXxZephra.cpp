#include "host/PXxZephra.h"

#include <cstddef>
#include <string>

#include "host/KeyerTableBudget.h"
#include "host/ZephraIds.h"
#include "host/ZephraParams.h"
#include "host/ZephraPlugin.h"
#include "sdk/base/PXiError.h"
#include "sdk/graph/PXiIPlug.h"

namespace {

// Flags this node raises on plugs.
constexpr int kCreditSerializeFlag = 4;
constexpr int kClipModeFlag = 8;

int plugType(ZephraArgKind kind) {
    switch (kind) {
        case ZephraArgKind::Float:
            return PXiPlug::kFloat;
        case ZephraArgKind::Int:
            return PXiPlug::kInt;
        default:
            return PXiPlug::kString;
    }
}

}  // namespace

PXxZephra::PXxZephra() : m_holdInUse(0) {
    m_bgPixel = PXiBPixel();
    m_engine = zephra_new();
    // A failing host call below propagates to whoever constructs the node; the engine must
    // not outlive the half-built node then.
    try {
        build();
    } catch (...) {
        zephra_delete(m_engine);
        m_engine = nullptr;
        throw;
    }
}

void PXxZephra::build() {
    const ZephraArg* args = zephraArgs();
    const std::size_t count = zephraArgCount();
    // Inputs, and after the credit plug the parameter plugs, in declaration order.
    for (std::size_t i = 0; i < count; ++i)
        if (args[i].kind == ZephraArgKind::Image) addInput(args[i].plug);

    credit = addPlug("Zephra_1v4", PXiPlug::kString, 1, 0, 0);
    credit->set(zephraCreditName);

    for (std::size_t i = 0; i < count; ++i)
        if (args[i].kind != ZephraArgKind::Image)
            addPlug(args[i].plug, plugType(args[i].kind), 1, 0, 0);
    bindPlugMembers();

    clipMode->unset();

    // Every parameter's default, a following one taking the value it follows. bgColor keeps
    // the value a new int plug starts with; clipMode is given its value last, below.
    for (std::size_t i = 0; i < count; ++i) {
        const ZephraArg& a = args[i];
        PXiPlug* plug = getPlug(a.plug);
        if (a.kind == ZephraArgKind::Image || plug == bgColor || plug == clipMode) continue;
        if (a.kind == ZephraArgKind::Float)
            plug->set(static_cast<float>(zephraDefaultValue(a)));
        else if (a.kind == ZephraArgKind::Int)
            plug->set(static_cast<int>(zephraDefaultValue(a)));
        else
            plug->set(a.defaultText);
    }

    zephra_useRef(m_engine, 0);

    PXiIPlug* out = getOutput();
    PXiIPlug* in[kInputCount] = {getInput(kInputFg), getInput(kInputBg),
                                 getInput(kInputHoldOutMatte), getInput(kInputGarbageMatte)};

    getInputDepthPlug()->detach(nullptr);
    getInputDepthPlug()->addDependencies(in[0]->getDepthPlug(), in[1]->getDepthPlug(),
                                         in[2]->getDepthPlug(), in[3]->getDepthPlug());

    PXiPlug* description = out->getDescriptionPlug();
    description->addDependencies(rScreen, rFgBias, shadowBalance, shadowGain, rReplace, rExposure,
                                 rGamma, gScreen, gFgBias, midtoneBalance, midtoneGain, gReplace,
                                 gExposure, gGamma, bScreen, bFgBias, highlightBalance,
                                 highlightGain, bReplace, bExposure, bGamma);
    description->addDependencies(clipMode, screenRange, colourspace, output, useHoldOutMatte,
                                 holdOutChannel, useGarbageMatte, garbageChannel, bgColor,
                                 saturation, midTonesAt);

    out->getChannelsPlug()->addDependencies(in[0]->getChannelsPlug(), in[1]->getChannelsPlug(),
                                            output);

    PXiPlug* bpixel = out->getBPixelPlug();
    bpixel->detach(nullptr);
    bpixel->addDependencies(description, bgColor, in[0]->getBPixelPlug(), in[1]->getBPixelPlug(),
                            in[2]->getBPixelPlug(), in[3]->getBPixelPlug());

    out->getWidthPlug()->detach(nullptr);
    out->getHeightPlug()->detach(nullptr);
    clipMode->addDependents(out->getWidthPlug(), out->getHeightPlug());

    clipMode->setFlag(kClipModeFlag, 1, 0);
    clipMode->set(0);
}

PXiPlug* PXxZephra::plugNamed(const char* name) const {
    PXiPlug* plug = getPlug(name);
    if (!plug) throw PXiError(std::string("Zephra_1v4: no plug named ") + name);
    return plug;
}

void PXxZephra::bindPlugMembers() {
    output = plugNamed("output");
    rScreen = plugNamed("rScreen");
    gScreen = plugNamed("gScreen");
    bScreen = plugNamed("bScreen");
    screenRange = plugNamed("screenRange");
    rFgBias = plugNamed("rFgBias");
    gFgBias = plugNamed("gFgBias");
    bFgBias = plugNamed("bFgBias");
    shadowBalance = plugNamed("shadowBalance");
    midtoneBalance = plugNamed("midtoneBalance");
    highlightBalance = plugNamed("highlightBalance");
    shadowGain = plugNamed("shadowGain");
    midtoneGain = plugNamed("midtoneGain");
    highlightGain = plugNamed("highlightGain");
    midTonesAt = plugNamed("midTonesAt");
    rReplace = plugNamed("rReplace");
    gReplace = plugNamed("gReplace");
    bReplace = plugNamed("bReplace");
    rExposure = plugNamed("rExposure");
    gExposure = plugNamed("gExposure");
    bExposure = plugNamed("bExposure");
    rGamma = plugNamed("rGamma");
    gGamma = plugNamed("gGamma");
    bGamma = plugNamed("bGamma");
    saturation = plugNamed("saturation");
    colourspace = plugNamed("colourspace");
    useHoldOutMatte = plugNamed("useHoldOutMatte");
    holdOutChannel = plugNamed("holdOutChannel");
    useGarbageMatte = plugNamed("useGarbageMatte");
    garbageChannel = plugNamed("garbageChannel");
    bgColor = plugNamed("bgColor");
    clipMode = plugNamed("clipMode");
}

PXxZephra::~PXxZephra() {
    if (m_keepsTables) KeyerTableBudget::release();
    if (m_engine) zephra_delete(m_engine);
}

int PXxZephra::getKeyView() {
    const float replace[3] = {keyerRound(rReplace->asFloat()), keyerRound(gReplace->asFloat()),
                              keyerRound(bReplace->asFloat())};
    return keyerOutputView(m_engine, output->asString().c_str(), replace);
}

void PXxZephra::notify(PXiPlug* plug) {
    if (plug == clipMode) {
        // The output's size follows Fg (clipMode 0 or less) or Bg, and no longer the other.
        const bool fromBg = clipMode->asInt() > 0;
        PXiIPlug* out = getOutput();
        PXiIPlug* from = getInput(fromBg ? kInputBg : kInputFg);
        PXiIPlug* other = getInput(fromBg ? kInputFg : kInputBg);
        PXiPlug* width = out->getWidthPlug();
        if (width->hasDependency(other->getWidthPlug(), 0))
            width->removeDependency(other->getWidthPlug());
        width->addDependency(from->getWidthPlug());
        PXiPlug* height = out->getHeightPlug();
        if (height->hasDependency(other->getHeightPlug(), 0))
            height->removeDependency(other->getHeightPlug());
        height->addDependency(from->getHeightPlug());
    }
    PXiNode::notify(plug);
}

int PXxZephra::serialize(PXiFile& file, int flags) {
    // The credit plug is flagged only while the node is written; the guard lowers the flag
    // again also when the base's serialize throws.
    struct CreditFlag {
        PXiPlug* plug;
        explicit CreditFlag(PXiPlug* p) : plug(p) { plug->setFlag(kCreditSerializeFlag, 1, 0); }
        ~CreditFlag() { plug->setFlag(kCreditSerializeFlag, 0, 0); }
    } flagged(credit);
    return PXiNode::serialize(file, flags);
}

PXiNode* PXxZephra::instantiate() const { return new PXxZephra(); }

const PXiName& PXxZephra::className() const { return thisClassName; }
