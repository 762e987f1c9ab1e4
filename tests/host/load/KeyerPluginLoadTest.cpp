// The plug-in library loaded at run time, as the host program loads it: its registration, its
// declarations and its exported names. That nothing else is exported is checked on the
// library's symbol table (api_exports); the host program's end-to-end tests key through it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "sdk/graph/PXiClassName.h"
#include "sdk/graph/PXiNode.h"
#include "sdk/plugin/PXiPluginLoader.h"
#include "sdk/plugin/PXxPlugin.h"
#include "sdk/script/PXiScope.h"

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

}  // namespace
