#pragma once

#include <string>
#include <vector>

#include "sdk/script/PXiScriptAst.h"

// How deeply calls may nest inside one another's arguments; deeper texts are refused with an
// error rather than risking the stack.
constexpr int kPXiScriptMaxNesting = 200;

// Reads a whole script into statements. The language:
//
//   script     := statement*
//   statement  := "extern" type NAME "(" [param {"," param}] ")" ";"
//               | NAME "=" expr ";"
//               | expr ";"
//   param      := type [NAME] ["=" default]
//   default    := ["-"|"+"] NUMBER | QUOTED | NAME
//   expr       := ["-"|"+"] NUMBER | QUOTED | NAME | NAME "(" [expr {"," expr}] ")"
//   type       := "image" | "float" | "int" | "string"
//
// "extern", "image", "float", "int" and "string" are reserved. Comments and blanks are as the
// tokenizer describes. Throws PXiScriptError naming `file` at the first error.
std::vector<PXiScriptStatement> PXiParseScript(const std::string& text, const std::string& file);

// True for the names the language reserves.
bool PXiIsScriptKeyword(const std::string& name);
