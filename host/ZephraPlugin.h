#pragma once

#include "engine/ZephraExport.h"
#include "sdk/base/PXiName.h"
#include "sdk/plugin/PXxPlugin.h"
#include "sdk/script/PXiCmplr.h"

// The credit line: the text of every node's credit plug and the plug-in's name.
extern const char* const kZephraCreditText;

// Names made once when the library is loaded, in this order: the node's class name
// (PXxZephra::thisClassName), the composite name, the credit name; then the plug-in object.
extern PXiName zephraCompositeName;
extern PXiName zephraCreditName;

// The plug-in's global object: constructing it compiles the declarations of the script
// commands Zephra_1v4 and Zephra_1v3 into the global scope, unless the base already reports
// a non-zero status. What compiling returned becomes the status.
class PXxZephra_1v4_Plugin : public PXxPlugin {
public:
    PXxZephra_1v4_Plugin();
    ~PXxZephra_1v4_Plugin() override;

private:
    PXiCmplr m_compiler;
};

extern ZEPHRA_EXPORT PXxZephra_1v4_Plugin zephraPlugin;
