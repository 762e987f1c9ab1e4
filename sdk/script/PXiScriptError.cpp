#include "sdk/script/PXiScriptError.h"

#include <utility>

namespace {
std::string formatError(const std::string& file, PXiScriptPos pos, const std::string& message) {
    return file + ":" + std::to_string(pos.line) + ":" + std::to_string(pos.column) + ": " +
           message;
}
}  // namespace

PXiScriptError::PXiScriptError(std::string file, PXiScriptPos pos, std::string message)
    : std::runtime_error(formatError(file, pos, message)),
      m_file(std::move(file)),
      m_pos(pos),
      m_message(std::move(message)) {}
