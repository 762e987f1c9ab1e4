#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sdk/script/PXiScope.h"
#include "sdk/script/PXiScriptError.h"
#include "sdk/script/PXiScriptFunction.h"
#include "sdk/script/PXiScriptValue.h"

class PXiName;

// The script compiler: compiles a text (extern declarations and statements) into a scope and
// runs its statements there.
class PXiCmplr {
public:
    enum Status {
        kOk = 0,
        kTextError = 1,  // the text does not compile; nothing of it was declared or run
        kCallError = 2,  // a call failed while the statements ran
    };

    PXiCmplr();
    ~PXiCmplr();

    // Compiles `text` into `scope` (null means the global scope) and runs it. The declarations
    // are added only when the whole text compiles; the statements then run in order. `result`
    // receives the value of the last statement (null for declarations). When `type` is not
    // PXiType::null the last statement must give a value of that type. `name` names the text in
    // error messages. Returns a Status; on failure lastError() tells what and where.
    int execute(PXiScope* scope, const PXiType& type, PXiValue& result, const PXiName& text,
                const PXiName& name);
    int execute(PXiScope* scope, const PXiType& type, PXiValue& result, const std::string& text,
                const std::string& name);

    // Compiles a declaration of one function into `scope` and binds `fn` to it.
    int declareHostFunction(PXiScope* scope, const std::string& declaration, PXiHostFunction fn,
                            const std::string& name);

    // The error of the last execute that failed; null after a success.
    const PXiScriptError* lastError() const { return m_error.get(); }
    // What the last execute's text gives commands that they take but not as meant
    // (PXiCheckScript); found before anything ran.
    const std::vector<PXiScriptError>& warnings() const { return m_warnings; }
    // The calls the last execute made, in the order they returned.
    const std::vector<PXiScriptCallRecord>& calls() const { return m_calls; }

private:
    std::unique_ptr<PXiScriptError> m_error;
    std::vector<PXiScriptError> m_warnings;
    std::vector<PXiScriptCallRecord> m_calls;
};
