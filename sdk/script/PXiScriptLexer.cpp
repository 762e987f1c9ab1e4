#include "sdk/script/PXiScriptLexer.h"

#include <cstdio>

namespace {

bool isIdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isIdentChar(char c) { return isIdentStart(c) || isDigit(c); }

// A character as a reader recognises it in a message: printable ones quoted, others in hex.
std::string describeChar(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x20 && u < 0x7f) return std::string("'") + c + "'";
    char buf[16];
    std::snprintf(buf, sizeof buf, "byte 0x%02x", u);
    return buf;
}

class Lexer {
public:
    Lexer(const std::string& text, const std::string& file) : m_text(text), m_file(file) {}

    std::vector<PXiToken> run() {
        std::vector<PXiToken> tokens;
        // A byte-order mark that some editors put before UTF-8 text is not part of the script;
        // columns count from after it, as the editor shows them.
        if (m_text.compare(0, 3, "\xEF\xBB\xBF") == 0) m_index = 3;
        for (;;) {
            skipBlanksAndComments();
            PXiToken token;
            token.pos = m_pos;
            if (atEnd()) {
                tokens.push_back(token);
                return tokens;
            }
            char c = peek();
            if (isIdentStart(c)) {
                token.kind = PXiTokenKind::Identifier;
                while (!atEnd() && isIdentChar(peek())) token.text += take();
            } else if (isDigit(c) || (c == '.' && isDigit(peek(1)))) {
                token.kind = PXiTokenKind::Number;
                token.text = number();
            } else if (c == '"') {
                token.kind = PXiTokenKind::String;
                token.text = quoted();
            } else {
                token.kind = punctuation(c);
                take();
            }
            tokens.push_back(std::move(token));
        }
    }

private:
    bool atEnd() const { return m_index >= m_text.size(); }
    char peek(size_t ahead = 0) const {
        return m_index + ahead < m_text.size() ? m_text[m_index + ahead] : '\0';
    }
    char take() {
        char c = m_text[m_index++];
        if (c == '\n') {
            ++m_pos.line;
            m_pos.column = 1;
        } else {
            ++m_pos.column;
        }
        return c;
    }
    [[noreturn]] void fail(PXiScriptPos pos, const std::string& message) const {
        throw PXiScriptError(m_file, pos, message);
    }

    void skipBlanksAndComments() {
        while (!atEnd()) {
            char c = peek();
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
                take();
            } else if (c == '#' || (c == '/' && peek(1) == '/')) {
                while (!atEnd() && peek() != '\n') take();
            } else if (c == '/' && peek(1) == '*') {
                PXiScriptPos start = m_pos;
                take();
                take();
                while (!(peek() == '*' && peek(1) == '/')) {
                    if (atEnd()) fail(start, "unterminated comment");
                    take();
                }
                take();
                take();
            } else {
                return;
            }
        }
    }

    // digits [. digits] [e [+-] digits], or . digits [...]; kept exactly as written so that a
    // number reaches a command as the text the user typed, however large it is.
    std::string number() {
        PXiScriptPos start = m_pos;
        std::string s;
        while (isDigit(peek())) s += take();
        if (peek() == '.') {
            s += take();
            while (isDigit(peek())) s += take();
        }
        if (peek() == 'e' || peek() == 'E') {
            s += take();
            if (peek() == '+' || peek() == '-') s += take();
            if (!isDigit(peek()))
                fail(start, "malformed number '" + s + "': exponent has no digits");
            while (isDigit(peek())) s += take();
        }
        if (isIdentChar(peek()) || peek() == '.') {
            while (!atEnd() && (isIdentChar(peek()) || peek() == '.')) s += take();
            fail(start, "malformed number '" + s + "'");
        }
        return s;
    }

    // A double-quoted text on one line; escapes \" \\ \n \t.
    std::string quoted() {
        PXiScriptPos start = m_pos;
        take();
        std::string s;
        for (;;) {
            if (atEnd() || peek() == '\n') fail(start, "unterminated string");
            char c = peek();
            if (c == '"') {
                take();
                return s;
            }
            if (c == '\0') fail(m_pos, "a string cannot hold a NUL byte");
            if (c == '\\') {
                PXiScriptPos escPos = m_pos;
                take();
                char e = atEnd() ? '\n' : peek();
                switch (e) {
                    case '"':
                        s += '"';
                        break;
                    case '\\':
                        s += '\\';
                        break;
                    case 'n':
                        s += '\n';
                        break;
                    case 't':
                        s += '\t';
                        break;
                    case '\n':
                        fail(start, "unterminated string");
                    default:
                        fail(escPos, "unknown escape \\" + describeChar(e) + " in a string");
                }
                take();
                continue;
            }
            s += take();
        }
    }

    PXiTokenKind punctuation(char c) const {
        switch (c) {
            case '(':
                return PXiTokenKind::LParen;
            case ')':
                return PXiTokenKind::RParen;
            case ',':
                return PXiTokenKind::Comma;
            case ';':
                return PXiTokenKind::Semicolon;
            case '=':
                return PXiTokenKind::Equals;
            case '-':
                return PXiTokenKind::Minus;
            case '+':
                return PXiTokenKind::Plus;
            default:
                fail(m_pos, "unexpected character " + describeChar(c));
        }
    }

    const std::string& m_text;
    const std::string& m_file;
    size_t m_index = 0;
    PXiScriptPos m_pos;
};

}  // namespace

std::vector<PXiToken> PXiTokenize(const std::string& text, const std::string& file) {
    return Lexer(text, file).run();
}

const char* PXiTokenKindName(PXiTokenKind kind) {
    switch (kind) {
        case PXiTokenKind::Identifier:
            return "a name";
        case PXiTokenKind::Number:
            return "a number";
        case PXiTokenKind::String:
            return "a quoted text";
        case PXiTokenKind::LParen:
            return "'('";
        case PXiTokenKind::RParen:
            return "')'";
        case PXiTokenKind::Comma:
            return "','";
        case PXiTokenKind::Semicolon:
            return "';'";
        case PXiTokenKind::Equals:
            return "'='";
        case PXiTokenKind::Minus:
            return "'-'";
        case PXiTokenKind::Plus:
            return "'+'";
        case PXiTokenKind::End:
            return "the end of the text";
    }
    return "a token";
}
