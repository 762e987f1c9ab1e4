#pragma once

// The engine's integer results as exceptions: zephra.TablesError for a table build that
// failed, zephra.RenderRefused for a tile the engine would not render. Both derive from
// zephra.Error and carry the engine's result in `code`.

#include <stdexcept>
#include <string>

namespace zephra_python {

class EngineError : public std::runtime_error {
public:
    enum class Kind { Tables, Render };
    EngineError(Kind kind, int code);

    Kind kind() const { return m_kind; }
    int code() const { return m_code; }

private:
    Kind m_kind;
    int m_code;
};

// Throws EngineError for a non-zero result of zephra_makeLuts or zephra_render.
void checkMakeLuts(int result);
void checkRender(int result);

}  // namespace zephra_python
