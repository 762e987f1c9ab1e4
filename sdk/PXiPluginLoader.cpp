#include "sdk/PXiPluginLoader.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sdk/PXiCmplr.h"
#include "sdk/PXxPlugin.h"

namespace {

// The library whose static initialisation is running on this thread. Static initialisation is
// the only way a plug-in reaches the compiler while it loads, so this is how its declarations
// learn where they come from.
thread_local PXiPluginLoading* t_loading = nullptr;

class LoadingOnThisThread {
public:
    explicit LoadingOnThisThread(PXiPluginLoading* loading) : m_previous(t_loading) {
        t_loading = loading;
    }
    ~LoadingOnThisThread() { t_loading = m_previous; }
    LoadingOnThisThread(const LoadingOnThisThread&) = delete;
    LoadingOnThisThread& operator=(const LoadingOnThisThread&) = delete;

private:
    PXiPluginLoading* m_previous;
};

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

PXiPluginLoading* PXiPluginLoading::current() { return t_loading; }

PXiPluginLoader::PXiPluginLoader(PXiScope* scope)
    : m_scope(scope ? scope : PXiScope::getGlobal()) {}

PXiPluginReport PXiPluginLoader::load(const std::string& path) {
    PXiPluginReport report;
    report.path = path;
    PXiPluginLoading loading;
    loading.path = path;
    std::vector<PXxPlugin*> before = PXxPlugin::getPlugins();
    void* handle = nullptr;
    {
        LoadingOnThisThread scope(&loading);
        dlerror();
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) {
        const char* why = dlerror();
        report.reason = why ? why : path + ": cannot be loaded";
    } else {
        // A library loaded before is not initialised again: repeat its first outcome.
        if (!m_scope->findAttached(handle, report.reason)) {
            auto note = [&report](const std::string& text) {
                report.reason += (report.reason.empty() ? "" : "; ") + text;
            };
            for (const std::string& failure : loading.failures) note(failure);
            // The plug-in objects that the library's static initialisation made.
            for (PXxPlugin* plugin : PXxPlugin::getPlugins()) {
                if (std::find(before.begin(), before.end(), plugin) != before.end()) continue;
                if (plugin->getStatus() != 0)
                    note("plug-in '" + std::string(plugin->getName().c_str()) +
                         "' reports status " + std::to_string(plugin->getStatus()));
            }
        }
        m_scope->attachLibrary(path, handle, report.reason);
    }
    report.ok = report.reason.empty();
    m_reports.push_back(report);
    return report;
}

std::vector<PXiPluginReport> PXiPluginLoader::loadFolder(const std::string& folder) {
    std::vector<PXiPluginReport> reports;
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        PXiPluginReport report;
        report.path = folder;
        report.reason = std::string("cannot read the folder: ") + std::strerror(errno);
        m_reports.push_back(report);
        reports.push_back(report);
        return reports;
    }
    std::vector<std::string> names;
    // The 64-bit form, so that a 32-bit host also lists folders whose files have inode numbers
    // beyond 32 bits (the plain form then stops early with EOVERFLOW).
    errno = 0;
    while (dirent64* entry = readdir64(dir)) {
        std::string name = entry->d_name;
        if (endsWith(name, ".so") && name.size() > 3) names.push_back(name);
    }
    int listError = errno;
    closedir(dir);
    if (listError != 0) {
        PXiPluginReport report;
        report.path = folder;
        report.reason = std::string("cannot list the folder: ") + std::strerror(listError);
        m_reports.push_back(report);
        reports.push_back(report);
        return reports;
    }
    std::sort(names.begin(), names.end());
    std::string prefix = endsWith(folder, "/") ? folder : folder + "/";
    for (const std::string& name : names) reports.push_back(load(prefix + name));
    return reports;
}
