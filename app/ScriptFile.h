#pragma once
// Reading a script's text.

#include <string>

namespace pxhost {

// The text of the script file at path ("-": standard input). Throws UsageError naming the
// file when it cannot be read.
std::string readScriptFile(const std::string& path);

}  // namespace pxhost
