#include "app/Diagnostics.h"

#include <cstdio>

#include "app/HostError.h"

namespace pxhost {

std::string warningText(const PXiScriptError& w) {
    return w.file() + ":" + std::to_string(w.line()) + ":" + std::to_string(w.column()) +
           ": warning: " + w.message();
}

void Diagnostics::print(const PXiScriptError& warning) {
    std::fprintf(stderr, "%s\n", warningText(warning).c_str());
    ++m_count;
}

void Diagnostics::scriptWarnings(const std::vector<PXiScriptError>& warnings) {
    for (const PXiScriptError& w : warnings) print(w);
    if (m_strict && !warnings.empty())
        throw UsageError(std::to_string(warnings.size()) +
                         (warnings.size() == 1 ? " warning" : " warnings") +
                         ", which --strict makes errors");
}

void Diagnostics::frameWarning(const PXiScriptError& warning) {
    if (m_strict) throw UsageError(warning.what() + std::string(" (an error with --strict)"));
    print(warning);
}

}  // namespace pxhost
