// The procedural interface: forwarding, the handle's life cycle and the callback contract.

#include <gtest/gtest.h>

#include <vector>

#include "api/zephra.h"
#include "engine/VRFZephraTable.h"
#include "tests/engine/tables_support.h"

extern "C" int apiCallEveryFunctionFromC(void);

namespace {

using tables_test::parametersOf;

void countCall(void* data) { ++*static_cast<int*>(data); }

TEST(Api, EveryFunctionIsCallableFromC) {
    // 22 effective changes (the unchanged fg maximum makes none; the four new input maxima
    // notify through nukeTables), none from makeLuts, render, getView or installCallback,
    // and one at deletion.
    EXPECT_EQ(apiCallEveryFunctionFromC(), 23);
}

// Every function against the engine operation it stands for: the same arguments given both
// ways leave two engines with the same parameters. Arguments differ from each other and from
// the defaults, so a swapped argument or a call to the wrong operation shows.
struct ForwardCase {
    const char* name;
    void (*viaC)(ZephraHandle);
    void (*direct)(VRFZephraTable&);
};

const ForwardCase kForwardCases[] = {
    {"colourspace", [](ZephraHandle h) { zephra_setColourspace(h, 2); },
     [](VRFZephraTable& e) { e.setColourspace(2); }},
    {"screen", [](ZephraHandle h) { zephra_setScreen(h, 0.1f, 0.2f, 0.3f); },
     [](VRFZephraTable& e) { e.setScreen(0.1f, 0.2f, 0.3f); }},
    {"neutral", [](ZephraHandle h) { zephra_setNeutral(h, 0.2f, 0.3f, 0.4f); },
     [](VRFZephraTable& e) { e.setNeutral(0.2f, 0.3f, 0.4f); }},
    {"replace", [](ZephraHandle h) { zephra_setReplace(h, 0.3f, 0.4f, 0.6f); },
     [](VRFZephraTable& e) { e.setReplace(0.3f, 0.4f, 0.6f); }},
    {"background", [](ZephraHandle h) { zephra_setBackground(h, 0.7f, 0.8f, 0.9f); },
     [](VRFZephraTable& e) { e.setBackground(0.7f, 0.8f, 0.9f); }},
    {"balance", [](ZephraHandle h) { zephra_setBalance(h, 2, 0.75f); },
     [](VRFZephraTable& e) { e.setBalance(2, 0.75f); }},
    {"gain", [](ZephraHandle h) { zephra_setGain(h, 1, -0.5f); },
     [](VRFZephraTable& e) { e.setGain(1, -0.5f); }},
    {"mp", [](ZephraHandle h) { zephra_setMp(h, 0.25f, 0.35f, 0.45f); },
     [](VRFZephraTable& e) { e.setMp(0.25f, 0.35f, 0.45f); }},
    {"screenRange", [](ZephraHandle h) { zephra_setScreenRange(h, 0.125f); },
     [](VRFZephraTable& e) { e.setScreenRange(0.125f); }},
    {"exposure", [](ZephraHandle h) { zephra_setExposure(h, 1.5f, 2.5f, 3.5f, 1); },
     [](VRFZephraTable& e) { e.setExposure(1.5f, 2.5f, 3.5f, 1); }},
    {"gamma", [](ZephraHandle h) { zephra_setGamma(h, 1.25f, 0.75f, 2.0f, 0); },
     [](VRFZephraTable& e) { e.setGamma(1.25f, 0.75f, 2.0f, 0); }},
    {"offset", [](ZephraHandle h) { zephra_setOffset(h, 0.01f, 0.02f, 0.03f, 1); },
     [](VRFZephraTable& e) { e.setOffset(0.01f, 0.02f, 0.03f, 1); }},
    {"saturation", [](ZephraHandle h) { zephra_setSaturation(h, 0.25f, 1); },
     [](VRFZephraTable& e) { e.setSaturation(0.25f, 1); }},
    {"view", [](ZephraHandle h) { zephra_setView(h, 5); }, [](VRFZephraTable& e) { e.setView(5); }},
    {"fgMax", [](ZephraHandle h) { zephra_setFgMax(h, 1023); },
     [](VRFZephraTable& e) { e.setFgMax(1023); }},
    {"bgMax", [](ZephraHandle h) { zephra_setBgMax(h, 1022); },
     [](VRFZephraTable& e) { e.setBgMax(1022); }},
    {"gMatteMax", [](ZephraHandle h) { zephra_setGMatteMax(h, 1021); },
     [](VRFZephraTable& e) { e.setGMatteMax(1021); }},
    {"hMatteMax", [](ZephraHandle h) { zephra_setHMatteMax(h, 1020); },
     [](VRFZephraTable& e) { e.setHMatteMax(1020); }},
    {"dstMax", [](ZephraHandle h) { zephra_setDstMax(h, 1019); },
     [](VRFZephraTable& e) { e.setDstMax(1019); }},
    {"refMax", [](ZephraHandle h) { zephra_setRefMax(h, 4095); },
     [](VRFZephraTable& e) { e.setRefMax(4095); }},
    {"useHold", [](ZephraHandle h) { zephra_useHold(h, 0); },
     [](VRFZephraTable& e) { e.useHold(0); }},
    {"useGarbage", [](ZephraHandle h) { zephra_useGarbage(h, 0); },
     [](VRFZephraTable& e) { e.useGarbage(0); }},
    {"useRef", [](ZephraHandle h) { zephra_useRef(h, 0); }, [](VRFZephraTable& e) { e.useRef(0); }},
};

TEST(Api, EachFunctionReachesItsOperationWithItsArguments) {
    for (const ForwardCase& c : kForwardCases) {
        ZephraHandle h = zephra_new();
        VRFZephraTable* direct = new VRFZephraTable();
        const std::vector<float> before = parametersOf(*direct);
        c.viaC(h);
        c.direct(*direct);
        EXPECT_EQ(parametersOf(*h), parametersOf(*direct)) << c.name;
        EXPECT_NE(parametersOf(*direct), before) << c.name << " changes nothing";
        delete direct;
        zephra_delete(h);
    }
}

TEST(Api, CallbackContract) {
    int calls = 0;
    ZephraHandle h = zephra_new();
    zephra_installCallback(h, countCall, &calls);
    EXPECT_EQ(calls, 0);
    zephra_setNeutral(h, 0.5f, 0.5f, 0.5f);  // same value
    EXPECT_EQ(calls, 0);
    zephra_setNeutral(h, 0.5f, 0.5f, 0.6f);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(zephra_makeLuts(h), 0);
    EXPECT_EQ(zephra_makeLuts(h), 0);
    EXPECT_EQ(calls, 1);
    zephra_setFgMax(h, 65535);
    EXPECT_EQ(calls, 2);
    zephra_delete(h);
    EXPECT_EQ(calls, 3);
}

TEST(Api, DeleteIgnoresNull) { zephra_delete(nullptr); }

}  // namespace
