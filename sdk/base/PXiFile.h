#pragma once

#include <iosfwd>
#include <memory>
#include <string>

// The text output that nodes serialize themselves into. Either collects the text in memory
// (default constructor; read it back with str()) or writes to a caller's stream. Writing a
// file safely (to a temporary, then renaming) is the caller's business: the caller owns the
// stream.
class PXiFile {
public:
    PXiFile();
    explicit PXiFile(std::ostream& out);
    ~PXiFile();
    PXiFile(const PXiFile&) = delete;
    PXiFile& operator=(const PXiFile&) = delete;

    // Writes text as it is; returns 0, or -1 when the stream has failed.
    int write(const char* text);
    int write(const std::string& text);
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Writes text as a script string literal: in double quotes, with '"' and '\' escaped by a
    // backslash, and tab and line feed written as \t and \n.
    int writeQuoted(const char* text);

    // The text collected so far (memory mode); empty when writing to a caller's stream.
    std::string str() const;
    bool ok() const;

private:
    std::unique_ptr<std::ostringstream> m_memory;
    std::ostream* m_out;
};
