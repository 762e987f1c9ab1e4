#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sdk/script/PXiScriptError.h"
#include "sdk/script/PXiScriptFunction.h"

class PXiIPlug;
class PXiScope;

// The outcome of running a user script.
struct PXiScriptResult {
    // Set when the script failed: file, line, column and message.
    std::optional<PXiScriptError> error;
    // The images the script assigned to names, in the order each name was first assigned, with
    // their last values (null for "no image").
    std::vector<std::pair<std::string, PXiIPlug*>> images;

    // Arguments the script gives that commands take, but not as meant (PXiCheckScript).
    std::vector<PXiScriptError> warnings;
    // The calls the script made, in the order they returned.
    std::vector<PXiScriptCallRecord> calls;

    bool ok() const { return !error; }
    // The image assigned to `name`; null when there is none (or it is "no image").
    PXiIPlug* image(const std::string& name) const;
};

// Runs a user script in a fresh scope under `parent` (null: the global scope, where the host's
// built-ins and the plug-ins' commands are declared). Nothing runs unless the whole text
// compiles; a call that fails stops the script there. `fileName` names the script in errors.
// Never throws for any text.
PXiScriptResult PXiRunScript(const std::string& text, const std::string& fileName,
                             PXiScope* parent = nullptr);
