#pragma once

#include <stdexcept>
#include <string>

// A place in a script text: 1-based line and column (a column counts bytes, a tab is one).
struct PXiScriptPos {
    int line = 1;
    int column = 1;
};

// An error in a script or a declaration text, with the place it was found. Thrown by the
// parser, the resolver and the interpreter; what() gives "file:line:column: message".
class PXiScriptError : public std::runtime_error {
public:
    PXiScriptError(std::string file, PXiScriptPos pos, std::string message);

    const std::string& file() const { return m_file; }
    int line() const { return m_pos.line; }
    int column() const { return m_pos.column; }
    // The message alone, without the place.
    const std::string& message() const { return m_message; }

private:
    std::string m_file;
    PXiScriptPos m_pos;
    std::string m_message;
};
