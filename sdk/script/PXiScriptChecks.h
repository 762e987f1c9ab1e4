#pragma once

#include <vector>

#include "sdk/script/PXiScriptError.h"

class PXiScriptProgram;

// Checks a compiled script's arguments against what the plug-ins describe about their commands
// (PXiCommandInfo). Returns warnings for arguments the command will take but not as meant: a
// text that is none of the argument's choices (the command falls back to its default), a
// number outside the range the command honours (it acts as the nearer end). Throws
// PXiScriptError for a colour component given as an 8-bit or 16-bit code value instead of a
// fraction of 1.
std::vector<PXiScriptError> PXiCheckScript(const PXiScriptProgram& program);
