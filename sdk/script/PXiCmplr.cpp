#include "sdk/script/PXiCmplr.h"

#include <exception>

#include "sdk/base/PXiName.h"
#include "sdk/script/PXiPluginLoading.h"
#include "sdk/script/PXiScriptChecks.h"
#include "sdk/script/PXiScriptParser.h"
#include "sdk/script/PXiScriptProgram.h"

PXiCmplr::PXiCmplr() = default;
PXiCmplr::~PXiCmplr() = default;

int PXiCmplr::execute(PXiScope* scope, const PXiType& type, PXiValue& result, const PXiName& text,
                      const PXiName& name) {
    return execute(scope, type, result, std::string(text.c_str()), std::string(name.c_str()));
}

int PXiCmplr::execute(PXiScope* scope, const PXiType& type, PXiValue& result,
                      const std::string& text, const std::string& name) {
    m_error.reset();
    m_warnings.clear();
    m_calls.clear();
    if (!scope) scope = PXiScope::getGlobal();
    PXiPluginLoading* loading = PXiPluginLoading::current();
    int status = kTextError;
    try {
        PXiScriptProgram program =
            PXiScriptProgram::compile(text, name, *scope, loading ? loading->path : "");
        if (type != PXiType::null && program.resultType() != type)
            throw PXiScriptError(name, program.resultPos(),
                                 std::string("the text must end with a statement giving a value "
                                             "of type ") +
                                     type.name() + ", not " + program.resultType().name());
        m_warnings = PXiCheckScript(program);
        for (const auto& f : program.declarations()) scope->declare(f);
        status = kCallError;
        result = program.run(*scope, &m_calls);
        return kOk;
    } catch (const PXiScriptError& e) {
        m_error = std::make_unique<PXiScriptError>(e);
    } catch (const std::exception& e) {
        // Out of memory and the like, outside any particular place of the text.
        m_error = std::make_unique<PXiScriptError>(name, PXiScriptPos{}, e.what());
    }
    if (loading) loading->failures.push_back(m_error->what());
    return status;
}

int PXiCmplr::declareHostFunction(PXiScope* scope, const std::string& declaration,
                                  PXiHostFunction fn, const std::string& name) {
    if (!scope) scope = PXiScope::getGlobal();
    std::string function;
    try {
        std::vector<PXiScriptStatement> statements = PXiParseScript(declaration, name);
        if (statements.size() != 1 || statements[0].kind != PXiScriptStatement::Kind::Extern)
            throw PXiScriptError(name, statements.empty() ? PXiScriptPos{} : statements[0].pos,
                                 "a host function's text must be one extern declaration");
        function = statements[0].decl.name;
    } catch (const PXiScriptError& e) {
        m_error = std::make_unique<PXiScriptError>(e);
        return kTextError;
    }
    PXiValue ignored;
    int status = execute(scope, PXiType::null, ignored, declaration, name);
    if (status == kOk) scope->bindHostFunction(function, std::move(fn));
    return status;
}
