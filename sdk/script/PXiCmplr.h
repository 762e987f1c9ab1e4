#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/script/PXiScriptError.h"
#include "sdk/script/PXiScriptFunction.h"
#include "sdk/script/PXiScriptValue.h"

class PXiName;

// A scope of the script language: declared functions, functions the host program binds to
// declared names, and named images. Lookups walk from a scope to its parents; the global scope
// (getGlobal) is the root that plug-ins declare their commands into. A scope is safe to use from
// several threads.
class PXiScope {
public:
    explicit PXiScope(PXiScope* parent = nullptr);
    PXiScope(const PXiScope&) = delete;
    PXiScope& operator=(const PXiScope&) = delete;

    // The process's global scope, made on first use and never destroyed (plug-ins declare into
    // it from their static initialisation and may use it until they are unloaded).
    static PXiScope* getGlobal();
    PXiScope* parent() const { return m_parent; }

    // The function declared under `name` here or in a parent; null if none.
    std::shared_ptr<const PXiScriptFunction> findFunction(const std::string& name) const;
    // Adds a declaration to this scope (the compiler's step once a text has compiled).
    void declare(std::shared_ptr<const PXiScriptFunction> function);
    // Names of the functions declared in this scope, sorted.
    std::vector<std::string> functionNames() const;

    // Makes calls to the function declared as `name` run `fn` (replacing an earlier binding).
    // The name may be declared before or after binding it.
    void bindHostFunction(const std::string& name, PXiHostFunction fn);
    // Makes functions declared while the library at `path` was loading resolve in `handle`;
    // `failure` is what went wrong while it loaded (empty when nothing did).
    void attachLibrary(const std::string& path, void* handle, const std::string& failure = "");
    // Whether the library `handle` was attached here or in a parent, and what went wrong when
    // it loaded.
    bool findAttached(void* handle, std::string& failure) const;

    // What a call to `function` runs: the nearest host function bound to its name, else the
    // function of that name exported by the library that declared it, else the one the process
    // itself exports. Throws std::runtime_error when there is none.
    struct Binding {
        PXiHostFunction host;
        PXiExportedAddress exported = nullptr;
    };
    Binding bind(const PXiScriptFunction& function) const;

    // The value named `name` here or in a parent.
    bool findValue(const std::string& name, PXiValue& value) const;
    void setValue(const std::string& name, const PXiValue& value);
    // This scope's named values, in the order each name was first assigned.
    std::vector<std::pair<std::string, PXiValue>> values() const;

private:
    void* findLibrary(const std::string& path) const;
    bool findHost(const std::string& name, PXiHostFunction& fn) const;

    PXiScope* m_parent;
    mutable std::mutex m_mutex;
    std::map<std::string, std::shared_ptr<const PXiScriptFunction>> m_functions;
    std::map<std::string, PXiHostFunction> m_hostFunctions;
    std::map<std::string, void*> m_libraries;
    std::map<void*, std::string> m_libraryFailures;
    std::map<std::string, size_t> m_valueIndex;
    std::vector<std::pair<std::string, PXiValue>> m_values;
};

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
