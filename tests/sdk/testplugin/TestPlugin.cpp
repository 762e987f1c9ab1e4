// A small plug-in that the loader tests load at run time. Its static initialisation registers a
// node class and constructs its plug-in object, which compiles the declaration of its command;
// the command is exported under the declared name. Built a second time with
// SCRIPT_TEST_PLUGIN_BROKEN, its declaration has a syntax error.
#include <string>

#include "sdk/base/PXiError.h"
#include "sdk/base/PXiName.h"
#include "sdk/graph/PXiClassName.h"
#include "sdk/plugin/PXxPlugin.h"
#include "sdk/script/PXiCmplr.h"

#define TEST_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

#ifdef SCRIPT_TEST_PLUGIN_BROKEN
const char* const kClassName = "ScriptBrokenKey";
const char* const kPluginName = "Broken test keyer";
// Line 2, column 38: the comma before "float gain" is missing.
const char* const kDeclarations =
    "extern image ScriptBrokenKey(image,\n"
    "                   string mode = \"x\" float gain = 1);\n";
#else
const char* const kClassName = "ScriptTestKey";
const char* const kPluginName = "Test keyer";
const char* const kDeclarations =
    "extern image ScriptTestKey(image, image, string mode = \"screen\",\n"
    "\tfloat gain = 1.0,\tfloat bias = gain);\n";
#endif

const PXiName thisClassName = PXiClassName::registerClassName(kClassName, "PXiNadic");

std::string lastCall;

class TestPlugin : public PXxPlugin {
public:
    TestPlugin() : PXxPlugin(PXiName::getString(kPluginName)) {
        if (m_status == 0) {
            PXiValue value;
            m_status = m_compiler.execute(PXiScope::getGlobal(), PXiType::null, value,
                                          PXiName::getString(kDeclarations), getName());
        }
    }

private:
    PXiCmplr m_compiler;
};

TestPlugin plugin;

}  // namespace

// Passes its first image through (the second when the first is "no image") and remembers the
// call; mode "fail" throws the SDK's error.
TEST_PLUGIN_EXPORT PXiIPlug* ScriptTestKey(PXiIPlug* fg, PXiIPlug* bg, const char* mode,
                                           const char* gain, const char* bias) {
    if (std::string(mode) == "fail") throw PXiError("mode 'fail' cannot key anything");
    lastCall =
        std::string(fg ? "fg " : "- ") + (bg ? "bg " : "- ") + mode + " " + gain + " " + bias;
    return fg ? fg : bg;
}

TEST_PLUGIN_EXPORT const char* ScriptTestKey_lastCall() { return lastCall.c_str(); }
