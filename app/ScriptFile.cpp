#include "app/ScriptFile.h"

#include <fstream>
#include <iostream>
#include <sstream>

#include "app/HostError.h"

namespace pxhost {

std::string readScriptFile(const std::string& path) {
    std::ostringstream text;
    if (path == "-") {
        text << std::cin.rdbuf();
        return text.str();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError(path + ": cannot read the script");
    text << in.rdbuf();
    if (in.bad()) throw UsageError(path + ": cannot read the script");
    return text.str();
}

}  // namespace pxhost
