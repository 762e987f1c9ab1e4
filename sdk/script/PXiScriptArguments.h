#pragma once

#include <string>
#include <vector>

#include "sdk/script/PXiScriptAst.h"
#include "sdk/script/PXiScriptFunction.h"

// Matching a call's arguments to the function's parameters. Arguments come by position first,
// then by name; a parameter is named as its declaration names it or as the plug-in describes
// it (PXiCommandInfo: names for unnamed image parameters, and further names).

// The argument given for each parameter, in parameter order; null where none was given.
// Throws PXiScriptError at the argument at fault: too many arguments, a positional one after
// named ones, an unknown name (with the closest valid names), a parameter given twice.
std::vector<const PXiScriptExpr*> PXiMatchArguments(const PXiScriptFunction& function,
                                                    const PXiScriptExpr& call,
                                                    const std::string& file);

// Every name by which parameter `index` of `function` may be given; empty if none.
std::vector<std::string> PXiParameterNames(const PXiScriptFunction& function, size_t index);

// How messages name parameter `index`: "the garbage matte" for a described image,
// "parameter 'output' (string)", or "image parameter 2".
std::string PXiDescribeParameter(const PXiScriptFunction& function, size_t index);

// Up to `count` of `candidates` closest to `name` in spelling (letter case counts less than
// other differences), closest first; ties keep the candidates' order.
std::vector<std::string> PXiClosestNames(const std::string& name,
                                         const std::vector<std::string>& candidates, size_t count);
