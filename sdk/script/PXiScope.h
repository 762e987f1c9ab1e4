#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sdk/script/PXiScriptFunction.h"
#include "sdk/script/PXiScriptValue.h"

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

    // The function declared under `name` here or in a parent; null if none.
    std::shared_ptr<const PXiScriptFunction> findFunction(const std::string& name) const;
    // Adds a declaration to this scope (the compiler's step once a text has compiled).
    void declare(std::shared_ptr<const PXiScriptFunction> function);

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
