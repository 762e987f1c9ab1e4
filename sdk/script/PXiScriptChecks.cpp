#include "sdk/script/PXiScriptChecks.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "sdk/base/PXiNumberText.h"
#include "sdk/script/PXiCommandInfo.h"
#include "sdk/script/PXiScriptProgram.h"

namespace {

using ImageExpr = PXiScriptProgram::ImageExpr;

// Largest 8-bit and 16-bit code values.
constexpr double kMax8Bit = 255.0;
constexpr double kMax16Bit = 65535.0;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

std::string choiceList(const PXiCommandArg& a) {
    std::string text;
    for (size_t i = 0; i < a.choices.size(); ++i) text += (i ? ", \"" : "\"") + a.choices[i] + "\"";
    return text;
}

// A value of 2 or more with no fraction, in an argument that takes fractions of 1: a code
// value of an 8-bit or 16-bit picture.
bool looksLikeCodeValue(const PXiCommandArg& a, double v) {
    return a.minimum == 0.0 && a.maximum == 1.0 && v >= 2.0 && v <= kMax16Bit && v == std::floor(v);
}

class Checker {
public:
    explicit Checker(const std::string& file) : m_file(file) {}

    void call(const ImageExpr& e) {
        if (e.kind != ImageExpr::Kind::Call) return;
        for (const ImageExpr& image : e.images) call(image);
        const PXiScriptFunction& f = *e.function;
        auto d = PXiCommandInfo::find(f.name);
        if (!d || d->args.size() != f.params.size()) return;
        for (size_t k = 0; k < e.texts.size(); ++k) {
            if (!e.textGiven[k]) continue;
            argument(f.name, d->args[f.imageCount + k], e.texts[k], e.textPos[k]);
        }
    }

    std::vector<PXiScriptError> warnings;

private:
    void warn(PXiScriptPos pos, const std::string& message) {
        warnings.emplace_back(m_file, pos, message);
    }

    void argument(const std::string& command, const PXiCommandArg& a, const std::string& text,
                  PXiScriptPos pos) {
        const std::string what = command + ": " + a.name;
        if (a.kind == PXiCommandArg::Kind::Text) {
            if (!a.accepts(text))
                warn(pos, what + " \"" + text + "\" is none of " + choiceList(a) +
                              "; it is taken as \"" + a.defaultText + "\"");
            return;
        }
        double v = 0.0;
        if (a.kind != PXiCommandArg::Kind::Float || !PXiParseDecimal(text.c_str(), v)) return;
        if (looksLikeCodeValue(a, v)) {
            const double scale = v <= kMax8Bit ? kMax8Bit : kMax16Bit;
            throw PXiScriptError(m_file, pos,
                                 what + " = " + text +
                                     " is outside its range 0 to 1: give it as a fraction of 1 (" +
                                     (scale == kMax8Bit ? "8" : "16") + "-bit code value " + text +
                                     " is " + text + "/" + std::to_string(static_cast<int>(scale)) +
                                     " = " + number(v / scale) + ")");
        }
        if (!(a.minimum < a.maximum)) return;  // no range described
        if (v < a.minimum && std::isfinite(a.minimum))
            warn(pos, what + " = " + text + " is below its range; it acts as " + number(a.minimum));
        else if (v > a.maximum && std::isfinite(a.maximum))
            warn(pos, what + " = " + text + " is above its range; it acts as " + number(a.maximum));
    }

    const std::string& m_file;
};

}  // namespace

std::vector<PXiScriptError> PXiCheckScript(const PXiScriptProgram& program) {
    Checker checker(program.file());
    for (const PXiScriptProgram::Step& step : program.steps())
        if (step.isImage) checker.call(step.image);
    return checker.warnings;
}
