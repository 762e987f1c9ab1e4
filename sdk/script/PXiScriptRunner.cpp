#include "sdk/script/PXiScriptRunner.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "sdk/script/PXiCmplr.h"

PXiIPlug* PXiScriptResult::image(const std::string& name) const {
    for (const auto& entry : images)
        if (entry.first == name) return entry.second;
    return nullptr;
}

PXiScriptResult PXiRunScript(const std::string& text, const std::string& fileName,
                             PXiScope* parent) {
    PXiScriptResult result;
    PXiScope scope(parent ? parent : PXiScope::getGlobal());
    PXiCmplr compiler;
    PXiValue last;
    if (compiler.execute(&scope, PXiType::null, last, text, fileName) != PXiCmplr::kOk)
        result.error = *compiler.lastError();
    result.warnings = compiler.warnings();
    result.calls = compiler.calls();
    for (const auto& entry : scope.values())
        if (entry.second.isImage()) result.images.emplace_back(entry.first, entry.second.image());
    return result;
}

PXiScriptResult PXiRunScriptFile(const std::string& path, PXiScope* parent) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        PXiScriptResult result;
        result.error = PXiScriptError(
            path, PXiScriptPos{}, std::string("cannot read the script: ") + std::strerror(errno));
        return result;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return PXiRunScript(text.str(), path, parent);
}
