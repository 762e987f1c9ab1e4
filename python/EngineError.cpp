#include "python/EngineError.h"

#include "host/KeyerParams.h"

namespace zephra_python {

namespace {

std::string tablesMessage(int code) {
    const std::string problem = keyerTablesProblem(code);
    const std::string result = "make_luts returned " + std::to_string(code);
    return problem.empty() ? result : result + ": " + problem;
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
