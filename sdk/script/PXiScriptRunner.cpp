#include "sdk/script/PXiScriptRunner.h"

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
