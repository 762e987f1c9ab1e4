#include "host/ZephraPlugin.h"

#include "host/PXxZephra.h"
#include "host/ZephraCommandInfo.h"
#include "host/ZephraParams.h"
#include "sdk/graph/PXiClassName.h"

const char* const kZephraCreditText = "Zephra 1.4 chroma keyer: screen matte, spill and composite";

namespace {

// Registers the node class, and the factory through which the host makes nodes of it by name.
PXiName registerZephraClass() {
    PXiName name = PXiClassName::registerClassName("Zephra_1v4", "PXiNadic");
    PXiClassName::registerFactoryOf<PXxZephra>(name);
    return name;
}

}  // namespace

// Load-time names, in the order they must be made (one translation unit keeps that order).
PXiName PXxZephra::thisClassName = registerZephraClass();
PXiName zephraCompositeName = PXiName::getString(zephraFindArg("output")->defaultText);
PXiName zephraCreditName = PXiName::getString(kZephraCreditText);

PXxZephra_1v4_Plugin::PXxZephra_1v4_Plugin() : PXxPlugin(zephraCreditName), m_compiler() {
    if (m_status == 0) {
        PXiValue result;
        m_status = m_compiler.execute(PXiScope::getGlobal(), PXiType::null, result,
                                      PXiName::getString(zephraDeclarations().c_str()), m_name);
    }
}

PXxZephra_1v4_Plugin::~PXxZephra_1v4_Plugin() = default;

PXxZephra_1v4_Plugin zephraPlugin;

// Tells the host program what the commands' arguments mean, for named arguments, messages
// and tools that build controls.
[[maybe_unused]] static const bool zephraCommandsDescribed = (describeZephraCommands(), true);
