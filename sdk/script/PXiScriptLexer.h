#pragma once

#include <string>
#include <vector>

#include "sdk/script/PXiScriptError.h"

// Tokens of the script language. Keywords (extern, image, float, int, string) arrive as
// identifiers; the parser gives them their meaning where it expects a type.
enum class PXiTokenKind {
    Identifier,
    Number,
    String,
    LParen,
    RParen,
    Comma,
    Semicolon,
    Equals,
    Minus,
    Plus,
    End
};

struct PXiToken {
    PXiTokenKind kind = PXiTokenKind::End;
    // Identifier: the name; Number: the literal exactly as written; String: the text with its
    // escapes resolved (without the quotes).
    std::string text;
    PXiScriptPos pos;
};

// Splits a script into tokens, skipping blanks, tabs, line breaks and comments ("//" and "#"
// to the end of the line, "/* ... */" over any number of lines). Throws PXiScriptError, naming
// `file`, on a character that starts no token, a malformed number, an unterminated string or
// comment, or an unknown escape.
std::vector<PXiToken> PXiTokenize(const std::string& text, const std::string& file);

// The name of a token kind for messages ("')'", "a number", "the end of the text").
const char* PXiTokenKindName(PXiTokenKind kind);
