#include "app/ScriptFiles.h"

namespace pxhost {

std::string scriptFolder(const std::string& scriptPath) {
    if (scriptPath == "-") return "";
    const size_t slash = scriptPath.rfind('/');
    if (slash == std::string::npos) return "";
    return slash == 0 ? "/" : scriptPath.substr(0, slash);
}

std::string resolveScriptFile(const std::string& folder, const std::string& name) {
    if (folder.empty() || name.empty() || name[0] == '/') return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace pxhost
