#pragma once
// File names in scripts: a relative name in a script file is taken from the script's folder,
// so a script runs the same from any current folder; inline scripts (-e) and scripts read from
// standard input take names from the current folder.

#include <string>

namespace pxhost {

// The folder of a script file, for relative names in it; empty for "-" (standard input) and
// for a script in the current folder.
std::string scriptFolder(const std::string& scriptPath);

// `name` as the program opens it: unchanged when absolute or when folder is empty, else
// folder/name.
std::string resolveScriptFile(const std::string& folder, const std::string& name);

}  // namespace pxhost
