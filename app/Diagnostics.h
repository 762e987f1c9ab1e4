#pragma once
// Warnings of a run: things the keyer will do, but probably not what the user meant. They are
// printed as "file:line:column: warning: message" on standard error and leave the exit status
// alone; with --strict they are errors (exit status 2).

#include <string>
#include <vector>

#include "sdk/script/PXiScriptError.h"

namespace pxhost {

class Diagnostics {
public:
    void setStrict(bool strict) { m_strict = strict; }
    bool strict() const { return m_strict; }

    // Prints the script's warnings; with --strict, any warning ends the run (UsageError).
    void scriptWarnings(const std::vector<PXiScriptError>& warnings);
    // Prints one warning about a frame, placed at the call it concerns; with --strict it ends
    // the run (UsageError).
    void frameWarning(const PXiScriptError& placeAndMessage);

    // How many warnings were printed.
    int count() const { return m_count; }

private:
    void print(const PXiScriptError& warning);

    bool m_strict = false;
    int m_count = 0;
};

// "file:line:column: warning: message".
std::string warningText(const PXiScriptError& warning);

}  // namespace pxhost
