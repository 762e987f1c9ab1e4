#include "sdk/base/PXiName.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <unordered_set>

namespace {

// The interned texts. Node-based, so the address of a stored text never changes; texts are
// never removed. Made on first use, which makes it usable from static initialisation of
// plug-ins, and deliberately never destroyed so names stay usable during process exit.
struct NameTable {
    std::mutex mutex;
    std::unordered_set<std::string> texts;
};

NameTable& table() {
    static NameTable* t = new NameTable;
    return *t;
}

const char* intern(const char* text, std::size_t length) {
    NameTable& t = table();
    std::lock_guard<std::mutex> lock(t.mutex);
    return t.texts.emplace(text, length).first->c_str();
}

const char* emptyText() {
    static const char* empty = intern("", 0);
    return empty;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Longest compressed text kept as it is. Descriptions nest the descriptions of their inputs, so
// a graph that uses one node along several paths would otherwise describe itself in text that
// doubles with every level, and a long chain in text that grows with its length.
constexpr std::size_t kLongestCompressed = 4096;
constexpr std::size_t kLongestHead = 64;

// 64-bit FNV-1a of text, from a given starting value.
std::uint64_t fnv1a(const std::string& text, std::uint64_t hash) {
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

// A short text that stands for a long one: its head up to the first '(' (the class of a
// description) and a 128-bit digest of the whole, so that different texts keep different
// stand-ins. It holds no blank and no number, so compressing it again leaves it unchanged.
std::string standIn(const std::string& text) {
    std::string head = text.substr(0, std::min(text.find('('), kLongestHead));
    char digest[40];
    std::snprintf(digest, sizeof digest, "%016llx%016llx",
                  static_cast<unsigned long long>(fnv1a(text, 0xcbf29ce484222325ull)),
                  static_cast<unsigned long long>(fnv1a(text, 0x84222325cbf29ce4ull)));
    return head + "(digest:h" + digest + ")";
}
bool isWordChar(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Copies the decimal number starting at s[i] to out with trailing zeros of its fraction
// removed; returns the index after the number. The number is digits '.' digits, optionally
// followed by an exponent, which is copied unchanged.
std::size_t copyNumber(const std::string& s, std::size_t i, std::string& out) {
    std::size_t start = i;
    std::size_t wordEnd = i;
    while (wordEnd < s.size() && isWordChar(s[wordEnd])) ++wordEnd;
    while (i < s.size() && isDigit(s[i])) ++i;
    std::string mantissa = s.substr(start, i - start);
    if (i < s.size() && s[i] == '.') {
        std::size_t fracStart = i + 1, j = fracStart;
        while (j < s.size() && isDigit(s[j])) ++j;
        std::size_t fracEnd = j;
        while (fracEnd > fracStart && s[fracEnd - 1] == '0') --fracEnd;
        if (fracEnd > fracStart) {
            mantissa += s.substr(i, fracEnd - i);
        } else if (mantissa.empty()) {
            mantissa = "0";  // ".000" -> "0"
        }
        i = j;
    }
    std::string exponent;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) ++j;
            exponent = s.substr(i, j - i);
            i = j;
        }
    }
    // Part of a longer word ("10.0.1", "1.50x"): not a number, copied as it is.
    if (i < s.size() && isWordChar(s[i])) {
        std::size_t end = std::max(i, wordEnd);
        while (end < s.size() && isWordChar(s[end])) ++end;
        out.append(s, start, end - start);
        return end;
    }
    out += mantissa;
    out += exponent;
    return i;
}

}  // namespace

PXiName::PXiName() : m_text(emptyText()) {}
PXiName::PXiName(const char* text) : m_text(getString(text).m_text) {}
PXiName::PXiName(const std::string& text) : m_text(getString(text).m_text) {}

PXiName PXiName::getString(const char* text) {
    PXiName n;
    if (text && *text) n.m_text = intern(text, std::strlen(text));
    return n;
}

PXiName PXiName::getString(const std::string& text) {
    PXiName n;
    if (!text.empty()) n.m_text = intern(text.data(), text.size());
    return n;
}

PXiName PXiName::sprintf(const char* format, ...) {
    if (!format) return PXiName();
    char small[256];
    va_list args;
    va_start(args, format);
    int needed = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (needed < 0) return PXiName();
    if (static_cast<std::size_t>(needed) < sizeof small) return getString(small);
    std::string big(static_cast<std::size_t>(needed) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(&big[0], big.size(), format, args);
    va_end(args);
    big.resize(static_cast<std::size_t>(needed));
    return getString(big);
}

PXiName PXiName::upperCase() const {
    std::string s(m_text);
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return getString(s);
}

PXiName PXiName::compress() const {
    const std::string s(m_text);
    std::string out;
    out.reserve(s.size());
    bool pendingSpace = false;
    std::size_t i = 0;
    while (i < s.size()) {
        char c = s[i];
        if (isSpace(c)) {
            pendingSpace = true;
            ++i;
            continue;
        }
        if (pendingSpace) {
            char prev = out.empty() ? '\0' : out.back();
            bool dropped = out.empty() || prev == '(' || prev == ',' || c == ')' || c == ',';
            if (!dropped) out += ' ';
            pendingSpace = false;
        }
        if (c == '"') {  // a quoted part, kept byte for byte
            std::size_t j = i + 1;
            while (j < s.size() && s[j] != '"') j += (s[j] == '\\' && j + 1 < s.size()) ? 2 : 1;
            j = j < s.size() ? j + 1 : s.size();
            out.append(s, i, j - i);
            i = j;
            continue;
        }
        bool startsNumber = (isDigit(c) || (c == '.' && i + 1 < s.size() && isDigit(s[i + 1]))) &&
                            (i == 0 || !isWordChar(s[i - 1]));
        if (startsNumber) {
            i = copyNumber(s, i, out);
            continue;
        }
        out += c;
        ++i;
    }
    if (out.size() > kLongestCompressed) out = standIn(out);
    return getString(out);
}

bool PXiName::operator<(const PXiName& other) const {
    return std::strcmp(m_text, other.m_text) < 0;
}
