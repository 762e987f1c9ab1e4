// The procedural interface: forwarding, the handle's life cycle and the callback contract.

#include <gtest/gtest.h>

#include <vector>

#include "api/zephra.h"
#include "engine/VRFZephraTable.h"

extern "C" int apiCallEveryFunctionFromC(void);

namespace {

void countCall(void* data) { ++*static_cast<int*>(data); }

TEST(Api, EveryFunctionIsCallableFromC) {
    // 22 effective changes (the unchanged fg maximum makes none; the four new input maxima
    // notify through nukeTables), none from makeLuts, render, getView or installCallback,
    // and one at deletion.
    EXPECT_EQ(apiCallEveryFunctionFromC(), 23);
}

TEST(Api, FreshHandleState) {
    ZephraHandle h = zephra_new();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(zephra_getView(h), 0);
    zephra_setView(h, 5);
    EXPECT_EQ(zephra_getView(h), 5);
    Ztile tile{};
    EXPECT_EQ(zephra_render(h, 1, 8, 8, &tile), 0);  // stale before the first makeLuts
    zephra_delete(h);
}

TEST(Api, ForwardsArgumentsInOrder) {
    // Each function reaches its operation with the arguments unchanged: the handle is the
    // engine, so the stored fields show them.
    ZephraHandle h = zephra_new();
    VRFZephraTable* e = h;
    zephra_setScreen(h, 0.1f, 0.2f, 0.3f);
    zephra_setExposure(h, 1.5f, 2.5f, 3.5f, 1);
    zephra_setSaturation(h, 0.25f, 1);
    zephra_setBalance(h, 2, 0.75f);
    zephra_setGain(h, 0, -0.5f);
    zephra_setRefMax(h, 4095);
    EXPECT_EQ(std::vector<float>(e->screen, e->screen + 3), (std::vector<float>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(std::vector<float>(e->exposure[1], e->exposure[1] + 3),
              (std::vector<float>{1.5f, 2.5f, 3.5f}));
    EXPECT_EQ(e->saturation[1], 0.25f);
    EXPECT_EQ(e->balance[2], 0.75f);
    EXPECT_EQ(e->gain[0], -0.5f);
    EXPECT_EQ(e->refMax, 4095);
    zephra_delete(h);
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
