#include "sdk/script/PXiScope.h"

#include <dlfcn.h>

#include <stdexcept>

PXiScope::PXiScope(PXiScope* parent) : m_parent(parent) {}

PXiScope* PXiScope::getGlobal() {
    // Never destroyed: plug-ins' static objects may still compile or call through it while the
    // process exits.
    static PXiScope* global = new PXiScope();
    return global;
}

std::shared_ptr<const PXiScriptFunction> PXiScope::findFunction(const std::string& name) const {
    for (const PXiScope* s = this; s; s = s->m_parent) {
        std::lock_guard<std::mutex> lock(s->m_mutex);
        auto it = s->m_functions.find(name);
        if (it != s->m_functions.end()) return it->second;
    }
    return nullptr;
}

void PXiScope::declare(std::shared_ptr<const PXiScriptFunction> function) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_functions.emplace(function->name, std::move(function));
}

void PXiScope::bindHostFunction(const std::string& name, PXiHostFunction fn) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hostFunctions[name] = std::move(fn);
}

void PXiScope::attachLibrary(const std::string& path, void* handle, const std::string& failure) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_libraries[path] = handle;
    m_libraryFailures.emplace(handle, failure);
}

bool PXiScope::findAttached(void* handle, std::string& failure) const {
    for (const PXiScope* s = this; s; s = s->m_parent) {
        std::lock_guard<std::mutex> lock(s->m_mutex);
        auto it = s->m_libraryFailures.find(handle);
        if (it != s->m_libraryFailures.end()) {
            failure = it->second;
            return true;
        }
    }
    return false;
}

bool PXiScope::findHost(const std::string& name, PXiHostFunction& fn) const {
    for (const PXiScope* s = this; s; s = s->m_parent) {
        std::lock_guard<std::mutex> lock(s->m_mutex);
        auto it = s->m_hostFunctions.find(name);
        if (it != s->m_hostFunctions.end()) {
            fn = it->second;
            return true;
        }
    }
    return false;
}

void* PXiScope::findLibrary(const std::string& path) const {
    for (const PXiScope* s = this; s; s = s->m_parent) {
        std::lock_guard<std::mutex> lock(s->m_mutex);
        auto it = s->m_libraries.find(path);
        if (it != s->m_libraries.end()) return it->second;
    }
    return nullptr;
}

PXiScope::Binding PXiScope::bind(const PXiScriptFunction& function) const {
    Binding b;
    if (findHost(function.name, b.host)) return b;
    if (!function.library.empty()) {
        if (void* handle = findLibrary(function.library)) {
            if (void* sym = dlsym(handle, function.name.c_str())) {
                b.exported = reinterpret_cast<PXiExportedAddress>(sym);
                return b;
            }
            throw std::runtime_error("the plug-in " + function.library + " declares " +
                                     function.name + " but does not export it");
        }
    }
    // Declared by the host program or by a library linked into it: look in the whole process.
    if (void* sym = dlsym(RTLD_DEFAULT, function.name.c_str())) {
        b.exported = reinterpret_cast<PXiExportedAddress>(sym);
        return b;
    }
    throw std::runtime_error(function.name + " is declared (by " + function.origin +
                             ") but neither the host program nor a loaded plug-in provides it");
}

bool PXiScope::findValue(const std::string& name, PXiValue& value) const {
    for (const PXiScope* s = this; s; s = s->m_parent) {
        std::lock_guard<std::mutex> lock(s->m_mutex);
        auto it = s->m_valueIndex.find(name);
        if (it != s->m_valueIndex.end()) {
            value = s->m_values[it->second].second;
            return true;
        }
    }
    return false;
}

void PXiScope::setValue(const std::string& name, const PXiValue& value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_valueIndex.find(name);
    if (it != m_valueIndex.end()) {
        m_values[it->second].second = value;
        return;
    }
    m_valueIndex.emplace(name, m_values.size());
    m_values.emplace_back(name, value);
}

std::vector<std::pair<std::string, PXiValue>> PXiScope::values() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_values;
}
