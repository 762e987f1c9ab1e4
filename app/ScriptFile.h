#pragma once
// The script file the command line names: reading it, and the file names in it.
//
// The script is a regular file, or standard input given as "-" when it is a pipe or a file.
// Anything else (a folder, a device, a FIFO given by name) is refused before reading, and no
// script is read beyond a size that no real script reaches, so that a wrong name can neither
// hang the program nor fill its memory.
//
// A relative file name in a script file is taken from the script's folder, so a script runs
// the same from any current folder; inline scripts (-e) and scripts read from standard input
// take names from the current folder.

#include <cstddef>
#include <string>

namespace pxhost {

// Scripts are text written by people or small generators; beyond this they are not scripts.
constexpr std::size_t kMaxScriptBytes = 16u << 20;

// The script's text. Throws UsageError naming the file and what is wrong with it.
std::string readScriptFile(const std::string& path);

// The folder of a script file, for relative names in it; empty for "-" (standard input) and
// for a script in the current folder.
std::string scriptFolder(const std::string& scriptPath);

// `name` as the program opens it: unchanged when absolute or when folder is empty, else
// folder/name.
std::string resolveScriptFile(const std::string& folder, const std::string& name);

}  // namespace pxhost
