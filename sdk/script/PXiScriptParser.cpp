#include "sdk/script/PXiScriptParser.h"

#include "sdk/script/PXiScriptLexer.h"

namespace {

bool typeFromName(const std::string& name, PXiScriptTypeKind& type) {
    if (name == "image")
        type = PXiScriptTypeKind::Image;
    else if (name == "float")
        type = PXiScriptTypeKind::Float;
    else if (name == "int")
        type = PXiScriptTypeKind::Int;
    else if (name == "string")
        type = PXiScriptTypeKind::String;
    else
        return false;
    return true;
}

// A token as a message names it: names, numbers and texts by their value.
std::string describe(const PXiToken& t) {
    switch (t.kind) {
        case PXiTokenKind::Identifier:
            return "'" + t.text + "'";
        case PXiTokenKind::Number:
            return "number " + t.text;
        case PXiTokenKind::String:
            return "quoted text";
        default:
            return PXiTokenKindName(t.kind);
    }
}

class Parser {
public:
    Parser(std::vector<PXiToken> tokens, const std::string& file)
        : m_tokens(std::move(tokens)), m_file(file) {}

    std::vector<PXiScriptStatement> run() {
        std::vector<PXiScriptStatement> statements;
        while (peek().kind != PXiTokenKind::End) statements.push_back(statement());
        return statements;
    }

private:
    const PXiToken& peek(size_t ahead = 0) const {
        size_t i = m_index + ahead;
        return i < m_tokens.size() ? m_tokens[i] : m_tokens.back();
    }
    const PXiToken& take() {
        const PXiToken& t = peek();
        if (m_index + 1 < m_tokens.size()) ++m_index;
        return t;
    }
    bool is(PXiTokenKind kind) const { return peek().kind == kind; }
    bool isWord(const char* word) const {
        return is(PXiTokenKind::Identifier) && peek().text == word;
    }

    [[noreturn]] void fail(PXiScriptPos pos, const std::string& message) const {
        throw PXiScriptError(m_file, pos, message);
    }
    [[noreturn]] void unexpected(const std::string& wanted) const {
        fail(peek().pos, "expected " + wanted + " but found " + describe(peek()));
    }
    const PXiToken& expect(PXiTokenKind kind, const std::string& wanted) {
        if (!is(kind)) unexpected(wanted);
        return take();
    }
    // A name that is not reserved, for a variable, a function or a parameter.
    const PXiToken& expectName(const std::string& what) {
        if (is(PXiTokenKind::Identifier) && PXiIsScriptKeyword(peek().text))
            fail(peek().pos, "'" + peek().text + "' is reserved and cannot be used as " + what);
        return expect(PXiTokenKind::Identifier, what);
    }

    PXiScriptStatement statement() {
        PXiScriptStatement s;
        s.pos = peek().pos;
        if (isWord("extern")) {
            s.kind = PXiScriptStatement::Kind::Extern;
            s.decl = externDecl();
        } else if (is(PXiTokenKind::Identifier) && peek(1).kind == PXiTokenKind::Equals) {
            s.kind = PXiScriptStatement::Kind::Assign;
            s.target = expectName("a name to assign to").text;
            take();
            s.expr = expr(0);
        } else {
            s.kind = PXiScriptStatement::Kind::Expr;
            s.expr = expr(0);
        }
        expect(PXiTokenKind::Semicolon, "';' at the end of the statement");
        return s;
    }

    PXiScriptExternDecl externDecl() {
        PXiScriptExternDecl d;
        d.pos = take().pos;
        d.returnType = type("the function's result type");
        d.namePos = peek().pos;
        d.name = expectName("the function's name").text;
        expect(PXiTokenKind::LParen, "'(' after the function's name");
        if (!is(PXiTokenKind::RParen)) {
            for (;;) {
                d.params.push_back(param());
                if (!is(PXiTokenKind::Comma)) break;
                take();
            }
        }
        expect(PXiTokenKind::RParen, "',' or ')' in the parameter list");
        return d;
    }

    PXiScriptTypeKind type(const std::string& what) {
        PXiScriptTypeKind t;
        if (!is(PXiTokenKind::Identifier) || !typeFromName(peek().text, t))
            unexpected(what + " (image, float, int or string)");
        take();
        return t;
    }

    PXiScriptParamDecl param() {
        PXiScriptParamDecl p;
        p.pos = peek().pos;
        p.type = type("a parameter type");
        if (is(PXiTokenKind::Identifier)) p.name = expectName("a parameter name").text;
        if (is(PXiTokenKind::Equals)) {
            take();
            p.hasDefault = true;
            if (is(PXiTokenKind::Identifier)) {
                p.defaultValue.kind = PXiScriptExpr::Kind::Name;
                p.defaultValue.pos = peek().pos;
                p.defaultValue.text = expectName("a default").text;
            } else if (is(PXiTokenKind::String)) {
                p.defaultValue.kind = PXiScriptExpr::Kind::Text;
                p.defaultValue.pos = peek().pos;
                p.defaultValue.text = take().text;
            } else {
                p.defaultValue = number("a default (a number, a quoted text or a parameter name)");
            }
        }
        return p;
    }

    // ["-"|"+"] NUMBER, kept as the text written (a "+" sign is dropped, as it changes nothing).
    PXiScriptExpr number(const std::string& what) {
        PXiScriptExpr e;
        e.kind = PXiScriptExpr::Kind::Number;
        e.pos = peek().pos;
        std::string sign;
        if (is(PXiTokenKind::Minus) || is(PXiTokenKind::Plus)) {
            if (is(PXiTokenKind::Minus)) sign = "-";
            take();
            if (!is(PXiTokenKind::Number)) unexpected("a number after the sign");
        }
        if (!is(PXiTokenKind::Number)) unexpected(what);
        e.text = sign + take().text;
        return e;
    }

    PXiScriptExpr expr(int depth) {
        if (is(PXiTokenKind::String)) {
            PXiScriptExpr e;
            e.kind = PXiScriptExpr::Kind::Text;
            e.pos = peek().pos;
            e.text = take().text;
            return e;
        }
        if (!is(PXiTokenKind::Identifier))
            return number("a value (a number, a quoted text, a name or a call)");
        PXiScriptExpr e;
        e.pos = peek().pos;
        e.text = expectName("a value").text;
        if (!is(PXiTokenKind::LParen)) {
            e.kind = PXiScriptExpr::Kind::Name;
            return e;
        }
        e.kind = PXiScriptExpr::Kind::Call;
        if (depth >= kPXiScriptMaxNesting)
            fail(e.pos, "calls nested more than " + std::to_string(kPXiScriptMaxNesting) + " deep");
        take();
        if (!is(PXiTokenKind::RParen)) {
            for (;;) {
                e.args.push_back(argument(depth + 1));
                if (!is(PXiTokenKind::Comma)) break;
                take();
            }
        }
        e.closePos = expect(PXiTokenKind::RParen, "',' or ')' in the argument list").pos;
        return e;
    }

    // An argument of a call: a value, or a name, "=" and a value.
    PXiScriptExpr argument(int depth) {
        if (!is(PXiTokenKind::Identifier) || peek(1).kind != PXiTokenKind::Equals)
            return expr(depth);
        const PXiToken& name = take();
        take();
        PXiScriptExpr e = expr(depth);
        e.label = name.text;
        e.labelPos = name.pos;
        return e;
    }

    std::vector<PXiToken> m_tokens;
    const std::string& m_file;
    size_t m_index = 0;
};

}  // namespace

bool PXiIsScriptKeyword(const std::string& name) {
    return name == "extern" || name == "image" || name == "float" || name == "int" ||
           name == "string";
}

std::vector<PXiScriptStatement> PXiParseScript(const std::string& text, const std::string& file) {
    return Parser(PXiTokenize(text, file), file).run();
}
