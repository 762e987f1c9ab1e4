#pragma once

#include <string>
#include <vector>

#include "sdk/script/PXiScriptError.h"

// The syntax tree of a script, as the parser reads it; names are not resolved yet.

// The types a declaration can name.
enum class PXiScriptTypeKind { Image, Float, Int, String };

struct PXiScriptExpr {
    enum class Kind {
        Number,  // text: the literal as written, with its sign
        Text,    // text: the quoted text, escapes resolved
        Name,    // text: the name
        Call,    // text: the function's name; args; closePos: the ')'
    };
    Kind kind = Kind::Number;
    PXiScriptPos pos;
    std::string text;
    std::vector<PXiScriptExpr> args;
    PXiScriptPos closePos;
    // An argument given by name ("output = \"matte\""): the name and where it stands; empty
    // for an argument given by position and for any other expression.
    std::string label;
    PXiScriptPos labelPos;
};

struct PXiScriptParamDecl {
    PXiScriptPos pos;
    PXiScriptTypeKind type = PXiScriptTypeKind::Image;
    std::string name;  // may be empty
    bool hasDefault = false;
    // The default as written: a Number, a Text (quoted) or a Name of an earlier parameter.
    PXiScriptExpr defaultValue;
};

struct PXiScriptExternDecl {
    PXiScriptPos pos;  // of "extern"
    PXiScriptTypeKind returnType = PXiScriptTypeKind::Image;
    PXiScriptPos namePos;
    std::string name;
    std::vector<PXiScriptParamDecl> params;
};

struct PXiScriptStatement {
    enum class Kind { Extern, Assign, Expr };
    Kind kind = Kind::Expr;
    PXiScriptPos pos;
    std::string target;  // Assign: the name assigned
    PXiScriptExternDecl decl;
    PXiScriptExpr expr;  // Assign, Expr
};
