#include "sdk/script/PXiScriptFunction.h"

const PXiType PXiType::null(PXiType::Null);
const PXiType PXiType::image(PXiType::Image);
const PXiType PXiType::floatType(PXiType::Float);
const PXiType PXiType::intType(PXiType::Int);
const PXiType PXiType::string(PXiType::String);

const char* PXiType::name() const {
    switch (m_kind) {
        case Null:
            return "null";
        case Image:
            return "image";
        case Float:
            return "float";
        case Int:
            return "int";
        case String:
            return "string";
    }
    return "null";
}

bool PXiScriptFunction::sameSignature(const PXiScriptFunction& o) const {
    if (returnType != o.returnType || params.size() != o.params.size()) return false;
    for (size_t i = 0; i < params.size(); ++i) {
        const PXiScriptParam& a = params[i];
        const PXiScriptParam& b = o.params[i];
        if (a.type != b.type || a.name != b.name || a.defaultKind != b.defaultKind ||
            a.defaultText != b.defaultText || a.earlier != b.earlier)
            return false;
    }
    return true;
}

std::string PXiScriptFunction::signature() const {
    std::string s = name + "(";
    for (size_t i = 0; i < params.size(); ++i) {
        if (i) s += ", ";
        s += params[i].type.name();
        if (!params[i].name.empty()) s += " " + params[i].name;
    }
    return s + ")";
}

const char* PXiScriptCall::text(const std::string& paramName) const {
    for (size_t i = function.imageCount; i < function.params.size(); ++i)
        if (function.params[i].name == paramName && i - function.imageCount < texts.size())
            return texts[i - function.imageCount];
    return nullptr;
}
