#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/script/PXiScriptAst.h"
#include "sdk/script/PXiScriptFunction.h"
#include "sdk/script/PXiScriptValue.h"

class PXiScope;

// A script checked against a scope: every function resolved to its declaration, every name to an
// image assigned before, every argument checked against its parameter and every omitted one
// filled from its default. Compiling reports the first error (PXiScriptError) before anything
// runs; running performs the calls.
class PXiScriptProgram {
public:
    // `library` is recorded in each declaration as the library that declared it (empty when
    // no plug-in library is loading).
    static PXiScriptProgram compile(const std::string& text, const std::string& file,
                                    const PXiScope& scope, const std::string& library = "");

    // The functions the text declares, to be added to the scope before running.
    const std::vector<std::shared_ptr<const PXiScriptFunction>>& declarations() const {
        return m_declarations;
    }
    // The type of the last statement's value (null when the text has no statement).
    PXiType resultType() const;
    // Position of the last statement, or of the end of the text.
    PXiScriptPos resultPos() const { return m_resultPos; }

    // Runs the statements in `scope`, assigning names there. Throws PXiScriptError at the call
    // that failed. Returns the last statement's value.
    // Each call made is added to `calls` when it is given.
    PXiValue run(PXiScope& scope, std::vector<PXiScriptCallRecord>* calls = nullptr) const;

    // An image-valued expression, resolved.
    struct ImageExpr {
        enum class Kind { NoImage, Name, Call };
        Kind kind = Kind::NoImage;
        PXiScriptPos pos;
        std::string name;
        std::shared_ptr<const PXiScriptFunction> function;
        std::vector<ImageExpr> images;
        std::vector<std::string> texts;
        // For each text: where it was given, or the call's ')' when it is the default.
        std::vector<PXiScriptPos> textPos;
        std::vector<bool> textGiven;
    };
    struct Step {
        PXiScriptPos pos;
        std::string target;  // empty: no assignment
        bool isImage = true;
        ImageExpr image;
        PXiValue literal;  // when !isImage
    };

    // The statements, resolved.
    const std::vector<Step>& steps() const { return m_steps; }
    const std::string& file() const { return m_file; }

private:
    std::string m_file;
    std::vector<std::shared_ptr<const PXiScriptFunction>> m_declarations;
    std::vector<Step> m_steps;
    PXiScriptPos m_resultPos;
};
