#pragma once

#include "api/zephra.h"
#include "host/KeyerParams.h"
#include "sdk/base/PXiFile.h"
#include "sdk/base/PXiName.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/graph/PXiPlug.h"
#include "sdk/image/PXiImage.h"

class PXiThread;

// The keyer as a node of the host's graph. It owns one keyer engine, offers the image inputs
// "Fg", "Bg", "HoldOutMatte" and "GarbageMatte", one credit plug and 32 parameter plugs, and
// keys its output in place over the foreground on all of the host's threads.
//
// Evaluating the output's description plug is the one moment at which the parameters are
// pushed into the engine and its tables rebuilt; every other answer that needs the engine
// makes the description current first. The fill only reads the engine and the members that
// the last transfer left here.
class PXxZephra : public PXiNadic {
public:
    PXxZephra();
    ~PXxZephra() override;
    PXxZephra(const PXxZephra&) = delete;
    PXxZephra& operator=(const PXxZephra&) = delete;

    void notify(PXiPlug* plug) override;
    int eval(PXiPlug* plug) override;
    int serialize(PXiFile& file, int flags) override;
    PXiNode* instantiate() const override;
    const PXiName& className() const override;
    void fillOutputBuffer() override;
    // A fill after a failed table build leaves the foreground in place: this says so, with
    // zephra_makeLuts' result as the code (kind kOutOfMemory for result 3, kSettings else).
    PXiFillFailure fillFailure() const override;

    // The engine view for the current text of the output plug. "compOnBlack" and
    // "compOnReplace" also set the engine's background colour on the way.
    int getKeyView();

    // The node's engine (for callers that inspect it; the node keeps ownership).
    ZephraHandle getEngine() const { return m_engine; }

    // Set once at load time by the class registration.
    static PXiName thisClassName;

    // Parameter plugs, one per plug and named as the plug, in declaration order.
    PXiPlug* clipMode;
    PXiPlug* rScreen;
    PXiPlug* gScreen;
    PXiPlug* bScreen;
    PXiPlug* screenRange;
    PXiPlug* rFgBias;
    PXiPlug* gFgBias;
    PXiPlug* bFgBias;
    PXiPlug* rReplace;
    PXiPlug* gReplace;
    PXiPlug* bReplace;
    PXiPlug* colourspace;
    PXiPlug* shadowBalance;
    PXiPlug* midtoneBalance;
    PXiPlug* highlightBalance;
    PXiPlug* shadowGain;
    PXiPlug* midtoneGain;
    PXiPlug* highlightGain;
    PXiPlug* midTonesAt;
    PXiPlug* rExposure;
    PXiPlug* gExposure;
    PXiPlug* bExposure;
    PXiPlug* rGamma;
    PXiPlug* gGamma;
    PXiPlug* bGamma;
    PXiPlug* saturation;
    PXiPlug* output;
    PXiPlug* useHoldOutMatte;
    PXiPlug* holdOutChannel;
    PXiPlug* useGarbageMatte;
    PXiPlug* garbageChannel;
    PXiPlug* bgColor;
    // The plug named "Zephra_1v4", holding the credit text.
    PXiPlug* credit;

private:
    // Construction after the engine exists: inputs, plugs, defaults, dependencies.
    void build();
    // Points the parameter members at the plugs of the same names; throws if one is missing.
    void bindPlugMembers();
    PXiPlug* plugNamed(const char* name) const;
    // eval's cases.
    void evalChannels(PXiPlug* plug);
    void evalSize(PXiPlug* plug, bool width);
    void evalBackgroundPixel(PXiPlug* plug);
    void evalDescription(PXiPlug* plug);
    // Every parameter plug read once, floats rounded, with the inputs' connections and the
    // node's depth: what the transfer into the engine needs.
    KeyerParams readParams();
    bool isConnectedInput(const char* name);
    void evalDepth(PXiPlug* plug, bool limited);
    void evalBgRequested(PXiPlug* plug);
    void evalFgRequested(PXiPlug* plug);
    void evalMatteRequested(PXiPlug* plug, int input, int inUse, char letter);
    // Evaluates the description plug when it is stale, so that the engine, the in-use flags,
    // the letters and the key view are current.
    void makeDescriptionCurrent();

    static void fillThread(PXiThread* thread, void* arg);

    // 16-bit tables past the limit of KeyerTableBudget are freed after each fill and built
    // again from the parameters already in the engine before the engine next keys anything.
    void ensureTables();
    void settleTables();

    ZephraHandle m_engine;
    int m_keyView = 0;
    int m_tablesResult = kTablesBuilt;  // zephra_makeLuts' last result
    bool m_keepsTables = false;         // counted by KeyerTableBudget
    bool m_tablesReleased = false;      // freed after a fill; ensureTables builds them again
    int m_holdInUse;
    int m_garbageInUse = 0;
    char m_holdLetter = 'A';
    char m_garbageLetter = 'A';
    PXiBPixel m_bgPixel;
};
