#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sdk/script/PXiScriptError.h"
#include "sdk/script/PXiScriptValue.h"

// Exported functions are called with their image arguments first, then their other arguments
// as texts: PXiIPlug* f(PXiIPlug* x k, const char* x m). These bound the family of signatures
// the language can call; a declaration outside it is refused when compiled.
constexpr size_t kPXiMaxImageParams = 8;
constexpr size_t kPXiMaxTextParams = 48;

struct PXiScriptParam {
    enum class Default {
        None,     // required
        Text,     // defaultText, a quoted text
        Number,   // defaultText, the number as written
        Earlier,  // the argument text given for parameter `earlier`
    };
    PXiType type;
    std::string name;
    Default defaultKind = Default::None;
    std::string defaultText;
    size_t earlier = 0;
};

// A declared extern function.
struct PXiScriptFunction {
    std::string name;
    PXiType returnType = PXiType::image;
    std::vector<PXiScriptParam> params;  // the images first, then the others
    size_t imageCount = 0;
    size_t textCount = 0;
    // Who declared it: the name given to the compiler (a plug-in's name, a script's file name).
    std::string origin;
    // The plug-in library that was loading when it was declared (its file path); empty when
    // it was declared outside plug-in loading.
    std::string library;

    // Same result type, and parameters of the same types, names and defaults.
    bool sameSignature(const PXiScriptFunction& o) const;
    // "Name(image, image, string output, ...)" for messages.
    std::string signature() const;
};

// The arguments of one call as a host function receives them.
struct PXiScriptCall {
    const PXiScriptFunction& function;
    std::vector<PXiIPlug*> images;   // one per image parameter; null for "no image"
    std::vector<const char*> texts;  // one per other parameter, in declaration order

    // The text given for the named parameter; null if the function has no such text parameter.
    const char* text(const std::string& paramName) const;
};

// One call a script made: what was called where, with which arguments, and what it gave.
struct PXiScriptCallRecord {
    std::shared_ptr<const PXiScriptFunction> function;
    std::string file;
    PXiScriptPos pos;
    std::vector<PXiIPlug*> images;
    std::vector<std::string> texts;
    PXiIPlug* result = nullptr;
};

// A function that the host program binds to a declared name itself.
using PXiHostFunction = std::function<PXiIPlug*(const PXiScriptCall&)>;

// Any exported function's address, before it is cast back to its real type to be called.
using PXiExportedAddress = void (*)();

// Calls `fn`, whose real type is PXiIPlug* (*)(PXiIPlug* x images.size(), const char* x
// texts.size()), through exactly that type. The counts must be within the limits above.
PXiIPlug* PXiCallExported(PXiExportedAddress fn, const std::vector<PXiIPlug*>& images,
                          const std::vector<const char*>& texts);
