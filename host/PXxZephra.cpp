#include "host/PXxZephra.h"

#include "host/ZephraPlugin.h"
#include "sdk/PXiIPlug.h"

namespace {

// Image inputs, in the order added: also their index for getInput and the input buffers.
enum { kFg = 0, kBg = 1, kHoldOut = 2, kGarbage = 3 };

// Flags this node raises on plugs.
constexpr int kCreditSerializeFlag = 4;
constexpr int kClipModeFlag = 8;

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
    addInput("Fg");
    addInput("Bg");
    addInput("HoldOutMatte");
    addInput("GarbageMatte");

    credit = addPlug("Zephra_1v4", PXiPlug::kString, 1, 0, 0);
    credit->set(zephraCreditName);

    output = addPlug("output", PXiPlug::kString, 1, 0, 0);
    rScreen = addPlug("rScreen", PXiPlug::kFloat, 1, 0, 0);
    gScreen = addPlug("gScreen", PXiPlug::kFloat, 1, 0, 0);
    bScreen = addPlug("bScreen", PXiPlug::kFloat, 1, 0, 0);
    screenRange = addPlug("screenRange", PXiPlug::kFloat, 1, 0, 0);
    rFgBias = addPlug("rFgBias", PXiPlug::kFloat, 1, 0, 0);
    gFgBias = addPlug("gFgBias", PXiPlug::kFloat, 1, 0, 0);
    bFgBias = addPlug("bFgBias", PXiPlug::kFloat, 1, 0, 0);
    shadowBalance = addPlug("shadowBalance", PXiPlug::kFloat, 1, 0, 0);
    midtoneBalance = addPlug("midtoneBalance", PXiPlug::kFloat, 1, 0, 0);
    highlightBalance = addPlug("highlightBalance", PXiPlug::kFloat, 1, 0, 0);
    shadowGain = addPlug("shadowGain", PXiPlug::kFloat, 1, 0, 0);
    midtoneGain = addPlug("midtoneGain", PXiPlug::kFloat, 1, 0, 0);
    highlightGain = addPlug("highlightGain", PXiPlug::kFloat, 1, 0, 0);
    midTonesAt = addPlug("midTonesAt", PXiPlug::kFloat, 1, 0, 0);
    rReplace = addPlug("rReplace", PXiPlug::kFloat, 1, 0, 0);
    gReplace = addPlug("gReplace", PXiPlug::kFloat, 1, 0, 0);
    bReplace = addPlug("bReplace", PXiPlug::kFloat, 1, 0, 0);
    rExposure = addPlug("rExposure", PXiPlug::kFloat, 1, 0, 0);
    gExposure = addPlug("gExposure", PXiPlug::kFloat, 1, 0, 0);
    bExposure = addPlug("bExposure", PXiPlug::kFloat, 1, 0, 0);
    rGamma = addPlug("rGamma", PXiPlug::kFloat, 1, 0, 0);
    gGamma = addPlug("gGamma", PXiPlug::kFloat, 1, 0, 0);
    bGamma = addPlug("bGamma", PXiPlug::kFloat, 1, 0, 0);
    saturation = addPlug("saturation", PXiPlug::kFloat, 1, 0, 0);
    colourspace = addPlug("colourspace", PXiPlug::kString, 1, 0, 0);
    useHoldOutMatte = addPlug("useHoldOutMatte", PXiPlug::kInt, 1, 0, 0);
    holdOutChannel = addPlug("holdOutChannel", PXiPlug::kString, 1, 0, 0);
    useGarbageMatte = addPlug("useGarbageMatte", PXiPlug::kInt, 1, 0, 0);
    garbageChannel = addPlug("garbageChannel", PXiPlug::kString, 1, 0, 0);
    bgColor = addPlug("bgColor", PXiPlug::kInt, 1, 0, 0);
    clipMode = addPlug("clipMode", PXiPlug::kInt, 1, 0, 0);

    clipMode->unset();

    rScreen->set(0.0f);
    gScreen->set(0.0f);
    bScreen->set(0.9f);
    screenRange->set(0.0f);
    for (PXiPlug* p :
         {rFgBias, gFgBias, bFgBias, shadowBalance, midtoneBalance, highlightBalance, midTonesAt})
        p->set(0.5f);
    for (PXiPlug* p : {shadowGain, midtoneGain, highlightGain}) p->set(0.0f);
    for (PXiPlug* p : {rReplace, gReplace, bReplace}) p->set(0.5f);
    for (PXiPlug* p : {rExposure, gExposure, bExposure, rGamma, gGamma, bGamma}) p->set(1.0f);
    saturation->set(1.0f);
    colourspace->set("linear");
    output->set(zephraCompositeName);
    useHoldOutMatte->set(1);
    holdOutChannel->set("A");
    useGarbageMatte->set(1);
    garbageChannel->set("A");
    // bgColor keeps the value a new int plug starts with.

    zephra_useRef(m_engine, 0);

    PXiIPlug* out = getOutput();
    PXiIPlug* in[4] = {getInput(kFg), getInput(kBg), getInput(kHoldOut), getInput(kGarbage)};

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

PXxZephra::~PXxZephra() {
    if (m_engine) zephra_delete(m_engine);
}

int PXxZephra::getKeyView() {
    const float replace[3] = {keyerRound(rReplace->asFloat()), keyerRound(gReplace->asFloat()),
                              keyerRound(bReplace->asFloat())};
    return keyerOutputView(m_engine, output->asString().c_str(), replace);
}

void PXxZephra::notify(PXiPlug* plug) {
    if (plug == clipMode) {
        int s = clipMode->asInt() <= 0 ? 0 : 1;
        int o = 1 - s;
        PXiIPlug* out = getOutput();
        PXiIPlug* from = getInput(s);
        PXiIPlug* other = getInput(o);
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
