#include "python/EngineError.h"

namespace zephra_python {

namespace {

// What zephra_makeLuts' results mean.
std::string tablesMessage(int code) {
    switch (code) {
        case 1:
            return "make_luts returned 1: the foreground bias (neutral colour) has a component "
                   "that is zero in the working colour space";
        case 2:
            return "make_luts returned 2: the screen colour is zero or illegal (its strongest "
                   "channel must stand out from the other two)";
        case 3:
            return "make_luts returned 3: out of memory for the keyer's tables, or unusable "
                   "sample maxima";
        default:
            return "make_luts returned " + std::to_string(code);
    }
}

std::string renderMessage(int code) {
    return "render returned " + std::to_string(code) +
           ": the engine refused the tile (a sample width other than 1 or 2 bytes, an output "
           "without red, green, blue and alpha, or an image the view or the switched-on inputs "
           "need is missing)";
}

}  // namespace

EngineError::EngineError(Kind kind, int code)
    : std::runtime_error(kind == Kind::Tables ? tablesMessage(code) : renderMessage(code)),
      m_kind(kind),
      m_code(code) {}

void checkMakeLuts(int result) {
    if (result != 0) throw EngineError(EngineError::Kind::Tables, result);
}

void checkRender(int result) {
    if (result != 0) throw EngineError(EngineError::Kind::Render, result);
}

}  // namespace zephra_python
