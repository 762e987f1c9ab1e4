#include "app/tuner/KeyerSettings.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pxhost::tuner {
namespace {

using Kind = KeyerParameter::Kind;

// Significant digits a number keeps in a script: more than the keyer's four decimals use.
constexpr int kNumberDigits = 6;

bool parseNumber(const std::string& text, double& value) {
    if (text.empty() || text.size() > 64) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && errno == 0 && std::isfinite(value);
}

std::string formatNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*g", kNumberDigits, value);
    return text;
}

std::string rangeText(const KeyerParameter& p) {
    return formatNumber(p.minimum) + " to " + formatNumber(p.maximum);
}

// The value's canonical text, or an InvalidParameter naming the parameter.
std::string checkedValue(const KeyerParameter& p, const std::string& text) {
    if (p.kind == Kind::Text) {
        if (p.accepted.empty()) return text;
        for (const std::string& a : p.accepted)
            if (a == text) return text;
        std::string list;
        for (const std::string& a : p.accepted) list += (list.empty() ? "" : ", ") + a;
        throw InvalidParameter(p.name + ": \"" + text + "\" is not one of " + list);
    }
    if (p.followsByDefault && text == p.defaultText) return text;
    double v = 0;
    if (!parseNumber(text, v))
        throw InvalidParameter(p.name + ": \"" + text + "\" is not a number");
    if (p.kind == Kind::Int) {
        if (v != std::floor(v) || v < p.minimum || v > p.maximum)
            throw InvalidParameter(p.name + ": " + text + " is not a whole number from " +
                                   rangeText(p));
        return formatNumber(v);
    }
    if (p.bounded && (v < p.minimum || v > p.maximum))
        throw InvalidParameter(p.name + ": " + text + " is outside " + rangeText(p));
    if (v < p.minimum)
        throw InvalidParameter(p.name + ": " + text + " is below " + formatNumber(p.minimum));
    return formatNumber(v);
}

// A parameter's default in canonical form (so that "1.0" and 1 compare equal).
std::string defaultValue(const KeyerParameter& p) {
    if (p.kind == Kind::Text || p.followsByDefault) return p.defaultText;
    double v = 0;
    return parseNumber(p.defaultText, v) ? formatNumber(v) : p.defaultText;
}

}  // namespace

std::string quoteScriptText(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

KeyerSettings::KeyerSettings(const KeyerCommand& command) : m_command(command) {
    for (const KeyerParameter& p : command.parameters) m_values.push_back(defaultValue(p));
}

size_t KeyerSettings::indexOf(const std::string& name) const {
    for (size_t i = 0; i < m_command.parameters.size(); ++i)
        if (m_command.parameters[i].name == name) return i;
    throw InvalidParameter(name + ": " + m_command.name + " has no parameter of this name");
}

void KeyerSettings::set(const std::string& name, const std::string& text) {
    const size_t i = indexOf(name);
    m_values[i] = checkedValue(m_command.parameters[i], text);
}

const std::string& KeyerSettings::value(const std::string& name) const {
    return m_values[indexOf(name)];
}

std::string KeyerSettings::call(const std::vector<std::string>& images,
                                const std::string& outputOverride) const {
    std::string text = m_command.name + "(";
    for (size_t i = 0; i < images.size(); ++i) text += (i ? ", " : "") + images[i];
    for (size_t i = 0; i < m_command.parameters.size(); ++i) {
        const KeyerParameter& p = m_command.parameters[i];
        std::string value = m_values[i];
        if (p.name == "output" && !outputOverride.empty())
            value = outputOverride;
        else if (value == defaultValue(p))
            continue;
        text += ", " + p.name + "=" + (p.kind == Kind::Text ? quoteScriptText(value) : value);
    }
    return text + ")";
}

}  // namespace pxhost::tuner
