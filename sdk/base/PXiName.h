#pragma once

#include <cstddef>
#include <functional>
#include <string>

// An interned, immutable name. Equal texts always give the identical name, so names compare by
// identity (one pointer comparison): exact and case-sensitive. A PXiName is a small value
// (one pointer) that may be copied freely; the texts live until the process ends. Creating
// names is safe from any number of threads at once.
//
// The default name is the empty text "", the same name as getString("") and getString(nullptr).
class PXiName {
public:
    PXiName();
    explicit PXiName(const char* text);
    explicit PXiName(const std::string& text);

    static PXiName getString(const char* text);
    static PXiName getString(const std::string& text);

    // printf-formatted text as a name.
    static PXiName sprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

    // The name with every ASCII letter in upper case ("g" -> "G"); other bytes unchanged.
    PXiName upperCase() const;

    // A tidier form of the same text for people to read in messages and saved scripts.
    // Outside double-quoted parts (which are kept byte for byte, escapes included):
    //  - every run of blanks, tabs and line breaks becomes one blank, and leading and
    //    trailing white space is removed;
    //  - blanks right after '(' or ',' and right before ')' or ',' are removed;
    //  - decimal numbers lose trailing zeros of their fraction ("0.500000" -> "0.5",
    //    "2.000" -> "2", "1.250e+03" -> "1.25e+03"); digits of names ("Zephra_1v4") and
    //    integers are never touched.
    // Nothing else changes, so a compressed description reads and parses like the original,
    // unless the result is longer than 4096 bytes: it then becomes a short stand-in, its head
    // up to the first '(' followed by "(digest:h" and 32 hex digits of a digest of the whole
    // and ")", so that descriptions nesting descriptions stay bounded and still differ
    // whenever their texts differ.
    PXiName compress() const;

    const char* c_str() const { return m_text; }
    bool empty() const { return m_text[0] == '\0'; }

    bool operator==(const PXiName& other) const { return m_text == other.m_text; }
    bool operator!=(const PXiName& other) const { return m_text != other.m_text; }
    // Orders by text (for sorted listings); equality is identity.
    bool operator<(const PXiName& other) const;

    // The interned text's address: equal for equal names.
    const void* identity() const { return m_text; }

private:
    const char* m_text;
};

namespace std {
template <>
struct hash<PXiName> {
    std::size_t operator()(const PXiName& n) const noexcept {
        return std::hash<const void*>()(n.identity());
    }
};
}  // namespace std
