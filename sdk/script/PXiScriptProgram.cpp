#include "sdk/script/PXiScriptProgram.h"

#include <exception>
#include <map>
#include <set>

#include "sdk/script/PXiScope.h"
#include "sdk/script/PXiScriptArguments.h"
#include "sdk/script/PXiScriptParser.h"

namespace {

using ImageExpr = PXiScriptProgram::ImageExpr;
using Step = PXiScriptProgram::Step;
using Expr = PXiScriptExpr;

PXiType typeOf(PXiScriptTypeKind kind) {
    switch (kind) {
        case PXiScriptTypeKind::Image:
            return PXiType::image;
        case PXiScriptTypeKind::Float:
            return PXiType::floatType;
        case PXiScriptTypeKind::Int:
            return PXiType::intType;
        case PXiScriptTypeKind::String:
            return PXiType::string;
    }
    return PXiType::null;
}

// A number literal stands for "no image" where an image is expected when its value is zero,
// however it is written (0, 0.0, -0, 0e7): all digits before any exponent are zeros.
bool isZeroLiteral(const std::string& text) {
    for (char c : text) {
        if (c == 'e' || c == 'E') break;
        if (c >= '1' && c <= '9') return false;
    }
    return true;
}

std::string describeParam(const PXiScriptFunction& f, size_t i) {
    return PXiDescribeParameter(f, i);
}

std::string describeArg(const Expr& e) {
    switch (e.kind) {
        case Expr::Kind::Number:
            return "the number " + e.text;
        case Expr::Kind::Text:
            return "a quoted text";
        case Expr::Kind::Name:
            return "'" + e.text + "'";
        case Expr::Kind::Call:
            return "a call of " + e.text;
    }
    return "a value";
}

class Resolver {
public:
    Resolver(const std::string& file, const PXiScope& scope, const std::string& library)
        : m_file(file), m_scope(scope), m_library(library) {}

    void statement(const PXiScriptStatement& s, std::vector<Step>& steps,
                   std::vector<std::shared_ptr<const PXiScriptFunction>>& declarations) {
        if (s.kind == PXiScriptStatement::Kind::Extern) {
            auto f = declaration(s.decl);
            if (f) {
                m_pending[f->name] = f;
                declarations.push_back(f);
            }
            return;
        }
        Step step;
        step.pos = s.pos;
        step.target = s.target;
        if (s.expr.kind == Expr::Kind::Number || s.expr.kind == Expr::Kind::Text) {
            bool noImage = s.expr.kind == Expr::Kind::Number && isZeroLiteral(s.expr.text);
            if (!s.target.empty() && !noImage)
                fail(s.expr.pos, "only an image (or 0 for no image) can be assigned to '" +
                                     s.target + "', not " + describeArg(s.expr));
            if (noImage && !s.target.empty()) {
                step.image = image(s.expr, 0);
            } else {
                step.isImage = false;
                step.literal = PXiValue::ofText(
                    s.expr.kind == Expr::Kind::Text ? PXiType::string : PXiType::floatType,
                    s.expr.text);
            }
        } else {
            step.image = image(s.expr, 0);
        }
        if (!s.target.empty()) m_assigned.insert(s.target);
        steps.push_back(std::move(step));
    }

private:
    [[noreturn]] void fail(PXiScriptPos pos, const std::string& message) const {
        throw PXiScriptError(m_file, pos, message);
    }

    std::shared_ptr<const PXiScriptFunction> findFunction(const std::string& name) const {
        auto it = m_pending.find(name);
        if (it != m_pending.end()) return it->second;
        return m_scope.findFunction(name);
    }

    bool isAssigned(const std::string& name) const {
        PXiValue v;
        return m_assigned.count(name) || m_scope.findValue(name, v);
    }

    // An image argument or an assigned value.
    ImageExpr image(const Expr& e, int depth) const {
        ImageExpr r;
        r.pos = e.pos;
        switch (e.kind) {
            case Expr::Kind::Number:
                if (!isZeroLiteral(e.text))
                    fail(e.pos, "expected an image (or 0 for no image), not " + describeArg(e));
                r.kind = ImageExpr::Kind::NoImage;
                return r;
            case Expr::Kind::Text:
                fail(e.pos, "expected an image (or 0 for no image), not " + describeArg(e));
            case Expr::Kind::Name:
                if (!isAssigned(e.text)) fail(e.pos, "undeclared name '" + e.text + "'");
                r.kind = ImageExpr::Kind::Name;
                r.name = e.text;
                return r;
            case Expr::Kind::Call:
                return call(e, depth);
        }
        return r;
    }

    ImageExpr call(const Expr& e, int depth) const {
        ImageExpr r;
        r.kind = ImageExpr::Kind::Call;
        r.pos = e.pos;
        r.function = findFunction(e.text);
        if (!r.function) fail(e.pos, "unknown function '" + e.text + "'");
        const PXiScriptFunction& f = *r.function;
        const std::vector<const Expr*> given = PXiMatchArguments(f, e, m_file);
        for (size_t i = 0; i < f.params.size(); ++i) {
            const PXiScriptParam& p = f.params[i];
            bool isImage = p.type == PXiType::image;
            if (!isImage) {
                r.textPos.push_back(given[i] ? given[i]->pos : e.closePos);
                r.textGiven.push_back(given[i] != nullptr);
            }
            if (given[i]) {
                const Expr& a = *given[i];
                if (isImage) {
                    if (a.kind == Expr::Kind::Text)
                        fail(a.pos, f.name + ": " + describeParam(f, i) +
                                        " expects an image (or 0 for no image), not " +
                                        describeArg(a));
                    if (a.kind == Expr::Kind::Number && !isZeroLiteral(a.text))
                        fail(a.pos, f.name + ": " + describeParam(f, i) +
                                        " expects an image (or 0 for no image), not " +
                                        describeArg(a));
                    r.images.push_back(image(a, depth + 1));
                } else if (a.kind == Expr::Kind::Number || a.kind == Expr::Kind::Text) {
                    r.texts.push_back(a.text);
                } else if (a.kind == Expr::Kind::Name && !isAssigned(a.text)) {
                    fail(a.pos, "undeclared name '" + a.text + "' (quote it to pass it as text)");
                } else {
                    fail(a.pos, f.name + ": " + describeParam(f, i) + " expects a " +
                                    p.type.name() + ", not an image (" + describeArg(a) + ")");
                }
                continue;
            }
            switch (p.defaultKind) {
                case PXiScriptParam::Default::None:
                    fail(e.closePos,
                         "missing argument for " + describeParam(f, i) + " of " + f.name);
                case PXiScriptParam::Default::Text:
                case PXiScriptParam::Default::Number:
                    if (isImage) {
                        ImageExpr none;
                        none.pos = e.closePos;
                        r.images.push_back(none);
                    } else {
                        r.texts.push_back(p.defaultText);
                    }
                    break;
                case PXiScriptParam::Default::Earlier:
                    r.texts.push_back(r.texts.at(p.earlier - f.imageCount));
                    break;
            }
        }
        return r;
    }

    std::shared_ptr<const PXiScriptFunction> declaration(const PXiScriptExternDecl& d) const {
        auto f = std::make_shared<PXiScriptFunction>();
        f->name = d.name;
        f->returnType = typeOf(d.returnType);
        if (f->returnType != PXiType::image)
            fail(d.pos, "'" + d.name + "' must be declared 'extern image': functions give images");
        std::map<std::string, size_t> byName;
        bool sawDefault = false;
        for (size_t i = 0; i < d.params.size(); ++i) {
            const PXiScriptParamDecl& pd = d.params[i];
            PXiScriptParam p;
            p.type = typeOf(pd.type);
            p.name = pd.name;
            bool isImage = p.type == PXiType::image;
            if (!p.name.empty() && !byName.emplace(p.name, i).second)
                fail(pd.pos, "parameter '" + p.name + "' appears twice in " + d.name);
            if (isImage && f->textCount > 0)
                fail(pd.pos, "image parameters of " + d.name +
                                 " must come before all its other parameters");
            if (pd.hasDefault) {
                sawDefault = true;
                const Expr& v = pd.defaultValue;
                if (isImage) {
                    if (v.kind != Expr::Kind::Number || !isZeroLiteral(v.text))
                        fail(v.pos, "the default of an image parameter can only be 0 (no image)");
                    p.defaultKind = PXiScriptParam::Default::Number;
                    p.defaultText = v.text;
                } else if (v.kind == Expr::Kind::Name) {
                    auto it = byName.find(v.text);
                    if (it == byName.end() || it->second == i)
                        fail(v.pos,
                             "default '" + v.text + "' names no earlier parameter of " + d.name);
                    if (f->params[it->second].type == PXiType::image)
                        fail(v.pos, "default '" + v.text + "' names an image parameter");
                    p.defaultKind = PXiScriptParam::Default::Earlier;
                    p.earlier = it->second;
                } else {
                    p.defaultKind = v.kind == Expr::Kind::Text ? PXiScriptParam::Default::Text
                                                               : PXiScriptParam::Default::Number;
                    p.defaultText = v.text;
                }
            } else if (sawDefault) {
                fail(pd.pos, "parameter " + std::to_string(i + 1) + " of " + d.name +
                                 " needs a default: it follows parameters with defaults");
            }
            (isImage ? f->imageCount : f->textCount) += 1;
            f->params.push_back(std::move(p));
        }
        if (f->imageCount > kPXiMaxImageParams)
            fail(d.namePos, d.name + " has " + std::to_string(f->imageCount) +
                                " image parameters; at most " + std::to_string(kPXiMaxImageParams) +
                                " are supported");
        if (f->textCount > kPXiMaxTextParams)
            fail(d.namePos, d.name + " has " + std::to_string(f->textCount) +
                                " non-image parameters; at most " +
                                std::to_string(kPXiMaxTextParams) + " are supported");
        f->origin = m_file;
        f->library = m_library;
        if (auto earlier = findFunction(d.name)) {
            if (!earlier->sameSignature(*f))
                fail(d.namePos, d.name + " is already declared differently (by " + earlier->origin +
                                    "): " + earlier->signature());
            return nullptr;  // the same declaration again changes nothing
        }
        return f;
    }

    const std::string& m_file;
    const PXiScope& m_scope;
    const std::string& m_library;
    std::map<std::string, std::shared_ptr<const PXiScriptFunction>> m_pending;
    std::set<std::string> m_assigned;
};

class Interpreter {
public:
    Interpreter(const std::string& file, PXiScope& scope, std::vector<PXiScriptCallRecord>* calls)
        : m_file(file), m_scope(scope), m_calls(calls) {}

    PXiIPlug* evaluate(const ImageExpr& e) const {
        switch (e.kind) {
            case ImageExpr::Kind::NoImage:
                return nullptr;
            case ImageExpr::Kind::Name: {
                PXiValue v;
                if (!m_scope.findValue(e.name, v))
                    throw PXiScriptError(m_file, e.pos, "undeclared name '" + e.name + "'");
                return v.image();
            }
            case ImageExpr::Kind::Call:
                break;
        }
        std::vector<PXiIPlug*> images;
        for (const ImageExpr& a : e.images) images.push_back(evaluate(a));
        std::vector<const char*> texts;
        for (const std::string& t : e.texts) texts.push_back(t.c_str());
        const PXiScriptFunction& f = *e.function;
        try {
            PXiScope::Binding b = m_scope.bind(f);
            PXiIPlug* result = b.host ? b.host(PXiScriptCall{f, images, texts})
                                      : PXiCallExported(b.exported, images, texts);
            if (m_calls)
                m_calls->push_back(
                    PXiScriptCallRecord{e.function, m_file, e.pos, images, e.texts, result});
            return result;
        } catch (const std::exception& x) {
            throw PXiScriptError(m_file, e.pos, f.name + " failed: " + x.what());
        } catch (...) {
            throw PXiScriptError(m_file, e.pos, f.name + " failed with an unknown error");
        }
    }

private:
    const std::string& m_file;
    PXiScope& m_scope;
    std::vector<PXiScriptCallRecord>* m_calls;
};

}  // namespace

PXiScriptProgram PXiScriptProgram::compile(const std::string& text, const std::string& file,
                                           const PXiScope& scope, const std::string& library) {
    PXiScriptProgram program;
    program.m_file = file;
    std::vector<PXiScriptStatement> statements = PXiParseScript(text, file);
    Resolver resolver(file, scope, library);
    for (const PXiScriptStatement& s : statements)
        resolver.statement(s, program.m_steps, program.m_declarations);
    if (!program.m_steps.empty()) {
        program.m_resultPos = program.m_steps.back().pos;
    } else if (!statements.empty()) {
        program.m_resultPos = statements.back().pos;
    }
    return program;
}

PXiType PXiScriptProgram::resultType() const {
    if (m_steps.empty()) return PXiType::null;
    const Step& last = m_steps.back();
    return last.isImage ? PXiType::image : last.literal.type();
}

PXiValue PXiScriptProgram::run(PXiScope& scope, std::vector<PXiScriptCallRecord>* calls) const {
    Interpreter interpreter(m_file, scope, calls);
    PXiValue result;
    for (const Step& step : m_steps) {
        result = step.isImage ? PXiValue::ofImage(interpreter.evaluate(step.image)) : step.literal;
        if (!step.target.empty()) scope.setValue(step.target, result);
    }
    return result;
}
