#include "sdk/base/PXiFile.h"

#include <cstdarg>
#include <cstdio>
#include <ostream>
#include <sstream>

PXiFile::PXiFile() : m_memory(new std::ostringstream), m_out(m_memory.get()) {}
PXiFile::PXiFile(std::ostream& out) : m_out(&out) {}
PXiFile::~PXiFile() = default;

int PXiFile::write(const char* text) {
    if (text) *m_out << text;
    return ok() ? 0 : -1;
}

int PXiFile::write(const std::string& text) {
    *m_out << text;
    return ok() ? 0 : -1;
}

int PXiFile::printf(const char* format, ...) {
    if (!format) return ok() ? 0 : -1;
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (needed < 0) {
        va_end(again);
        return -1;
    }
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(static_cast<std::size_t>(needed));
    return write(text);
}

int PXiFile::writeQuoted(const char* text) {
    std::string q = "\"";
    for (const char* p = text ? text : ""; *p; ++p) {
        switch (*p) {
            case '"':
                q += "\\\"";
                break;
            case '\\':
                q += "\\\\";
                break;
            case '\n':
                q += "\\n";
                break;
            case '\t':
                q += "\\t";
                break;
            default:
                q += *p;
        }
    }
    q += '"';
    return write(q);
}

std::string PXiFile::str() const { return m_memory ? m_memory->str() : std::string(); }

bool PXiFile::ok() const { return static_cast<bool>(*m_out); }
