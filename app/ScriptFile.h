#pragma once
// Reading the script the command line names: a regular file, or standard input given as "-"
// when it is a pipe or a file. Anything else (a folder, a device, a FIFO given by name) is
// refused before reading, and no script is read beyond a size that no real script reaches, so
// that a wrong name can neither hang the program nor fill its memory.

#include <cstddef>
#include <string>

namespace pxhost {

// Scripts are text written by people or small generators; beyond this they are not scripts.
constexpr std::size_t kMaxScriptBytes = 16u << 20;

// The script's text. Throws UsageError naming the file and what is wrong with it.
std::string readScriptFile(const std::string& path);

}  // namespace pxhost
