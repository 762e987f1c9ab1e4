// The plug-in library loaded at run time, as the host program loads it: its registration, its
// declarations, its exported names, and a script keying through it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "api/zephra.h"
#include "sdk/graph/PXiClassName.h"
#include "sdk/image/PXiMemoryImage.h"
#include "sdk/image/PXiRender.h"
#include "sdk/plugin/PXiPluginLoader.h"
#include "sdk/plugin/PXxPlugin.h"
#include "sdk/script/PXiCmplr.h"
#include "sdk/script/PXiScriptRunner.h"

namespace {

class KeyerPluginLoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        PXiPluginLoader loader;
        report_ = loader.load(PXZ_PLUGIN_PATH);
        handle_ = dlopen(PXZ_PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD);
    }
    void SetUp() override {
        ASSERT_TRUE(report_.ok) << report_.reason;
        ASSERT_NE(handle_, nullptr);
    }
    template <typename F>
    static F fn(const char* name) {
        return reinterpret_cast<F>(dlsym(handle_, name));
    }
    static PXiPluginReport report_;
    static void* handle_;
};
PXiPluginReport KeyerPluginLoad::report_;
void* KeyerPluginLoad::handle_ = nullptr;

TEST_F(KeyerPluginLoad, ExportsTheCommandsAndThePluginObjectByPlainName) {
    void* plugin = dlsym(handle_, "zephraPlugin");
    EXPECT_NE(plugin, nullptr);
    EXPECT_NE(dlsym(handle_, "Zephra_1v4"), nullptr);
    EXPECT_NE(dlsym(handle_, "Zephra_1v3"), nullptr);
    // The node class itself stays inside the library.
    EXPECT_EQ(dlsym(handle_, "_ZN9PXxZephraC1Ev"), nullptr);
    EXPECT_EQ(dlsym(handle_, "_ZN9PXxZephra4evalEP7PXiPlug"), nullptr);

    // The exported object is the live plug-in, well, under a one-line name.
    bool found = false;
    for (PXxPlugin* p : PXxPlugin::getPlugins()) {
        if (static_cast<void*>(p) != plugin) continue;
        found = true;
        EXPECT_EQ(p->getStatus(), 0);
        std::string name = p->getName().c_str();
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(name.find('\n'), std::string::npos);
    }
    EXPECT_TRUE(found);
}

// What the declarations say is checked byte for byte in the node's tests; here, that loading
// the library declares them.
TEST_F(KeyerPluginLoad, RegistersTheClassAndDeclaresBothCommands) {
    const PXiName cls = PXiName::getString("Zephra_1v4");
    EXPECT_TRUE(PXiClassName::isRegistered(cls));
    EXPECT_EQ(PXiClassName::getParent(cls), PXiName::getString("PXiNadic"));
    PXiNode* made = PXiClassName::create(cls);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->className(), cls);
    delete made;

    auto v4 = PXiScope::getGlobal()->findFunction("Zephra_1v4");
    auto v3 = PXiScope::getGlobal()->findFunction("Zephra_1v3");
    ASSERT_TRUE(v4 && v3);
    EXPECT_EQ(v4->imageCount, 4u);
    EXPECT_EQ(v4->textCount, 32u);
    EXPECT_EQ(v3->imageCount, 3u);
    EXPECT_EQ(v3->textCount, 30u);
}

// A script keys through the loaded library; the result equals the library's own engine
// keying the same samples directly.
TEST_F(KeyerPluginLoad, ScriptKeysLikeTheEngineItCarries) {
    const int w = 7, h = 5;
    PXiMemoryImage fg(w, h, 1), bg(w, h, 1);
    // Keyer nodes go before the images they read from, however the test ends.
    struct NodesFirst {
        ~NodesFirst() { PXiNode::getRoot()->deleteChildren(); }
    } nodesFirst;
    for (PXiMemoryImage* img : {&fg, &bg}) {
        auto* p = static_cast<std::uint8_t*>(img->getPixels());
        for (int i = 0; i < w * h * 4; ++i) p[i] = std::uint8_t((i * 37 + (img == &bg) * 11) % 256);
    }
    PXiScope scope(PXiScope::getGlobal());
    scope.setValue("fg", PXiValue::ofImage(fg.getOutput()));
    scope.setValue("bg", PXiValue::ofImage(bg.getOutput()));
    PXiScriptResult r = PXiRunScript("k = Zephra_1v4(fg, bg, 0, 0);", "load.pxs", &scope);
    ASSERT_TRUE(r.ok()) << r.error->what();
    PXiIBuf out = PXiRenderImage(r.image("k"));

    std::uint8_t expected[w * h * 4];
    std::uint8_t plate[w * h * 4];
    std::copy_n(static_cast<std::uint8_t*>(fg.getPixels()), w * h * 4, expected);
    std::copy_n(static_cast<std::uint8_t*>(bg.getPixels()), w * h * 4, plate);
    auto make = fn<ZephraHandle (*)()>("zephra_new");
    auto useRef = fn<void (*)(ZephraHandle, int)>("zephra_useRef");
    auto colourspace = fn<void (*)(ZephraHandle, int)>("zephra_setColourspace");
    auto makeLuts = fn<int (*)(ZephraHandle)>("zephra_makeLuts");
    auto render = fn<int (*)(ZephraHandle, int, int, int, Ztile*)>("zephra_render");
    auto destroy = fn<void (*)(ZephraHandle)>("zephra_delete");
    ASSERT_TRUE(make && useRef && colourspace && makeLuts && render && destroy);
    ZephraHandle e = make();
    useRef(e, 0);
    colourspace(e, 0);
    for (const char* setMax : {"zephra_setFgMax", "zephra_setBgMax", "zephra_setHMatteMax",
                               "zephra_setGMatteMax", "zephra_setDstMax"})
        fn<void (*)(ZephraHandle, int)>(setMax)(e, 255);
    fn<void (*)(ZephraHandle, int)>("zephra_useHold")(e, 0);
    fn<void (*)(ZephraHandle, int)>("zephra_useGarbage")(e, 0);
    // The command's defaults, set explicitly.
    using Set3 = void (*)(ZephraHandle, float, float, float);
    using Set3In = void (*)(ZephraHandle, float, float, float, int);
    using SetIdx = void (*)(ZephraHandle, int, float);
    fn<Set3>("zephra_setScreen")(e, 0.0f, 0.0f, 0.9f);
    fn<void (*)(ZephraHandle, int)>("zephra_setView")(e, 0);
    fn<void (*)(ZephraHandle, float)>("zephra_setScreenRange")(e, 0.0f);
    fn<Set3>("zephra_setNeutral")(e, 0.5f, 0.5f, 0.5f);
    for (int i = 0; i < 3; ++i) {
        fn<SetIdx>("zephra_setBalance")(e, i, 0.5f);
        fn<SetIdx>("zephra_setGain")(e, i, 0.0f);
    }
    fn<Set3>("zephra_setMp")(e, 0.5f, 0.5f, 0.5f);
    fn<Set3>("zephra_setReplace")(e, 0.5f, 0.5f, 0.5f);
    fn<Set3In>("zephra_setExposure")(e, 1.0f, 1.0f, 1.0f, 0);
    fn<Set3In>("zephra_setGamma")(e, 1.0f, 1.0f, 1.0f, 0);
    fn<void (*)(ZephraHandle, float, int)>("zephra_setSaturation")(e, 1.0f, 0);
    ASSERT_EQ(makeLuts(e), 0);
    Ztile t = {};
    t.fg = {expected + 3, expected + 2, expected + 1, expected, 4, 4 * w};
    t.dst = t.fg;
    t.bg = {plate + 3, plate + 2, plate + 1, plate, 4, 4 * w};
    EXPECT_EQ(render(e, 1, w, h, &t), 0);
    destroy(e);

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(static_cast<const std::uint8_t*>(out.pixelAddress(x, y))[c],
                          expected[(y * w + x) * 4 + c])
                    << x << "," << y << " sample " << c;
}

}  // namespace
