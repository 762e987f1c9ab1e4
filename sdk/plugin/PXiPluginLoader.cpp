#include "sdk/plugin/PXiPluginLoader.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#include "sdk/plugin/PXxPlugin.h"
#include "sdk/script/PXiPluginLoading.h"
#include "sdk/script/PXiScope.h"

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The library each plug-in name was first loaded from, for the whole process: a second library
// making a plug-in of the same name adds nothing (its declarations repeat the first's).
class PluginOrigins {
public:
    // The library that made `name` before, or empty after recording `path` as its origin.
    std::string claim(const std::string& name, const std::string& path) {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_paths.emplace(name, path).first;
        return it->second == path ? std::string() : it->second;
    }

private:
    std::mutex m_mutex;
    std::map<std::string, std::string> m_paths;
};

PluginOrigins& origins() {
    static PluginOrigins* table = new PluginOrigins;  // usable until the process ends
    return *table;
}

// Why a path cannot be a library to open, or empty. Opening a FIFO or a device would wait
// or read without end.
std::string notALibraryFile(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return path + ": " + std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return "is a folder, not a library";
    if (!S_ISREG(st.st_mode)) return "is not a regular file";
    return std::string();
}

}  // namespace

PXiPluginLoader::PXiPluginLoader(PXiScope* scope)
    : m_scope(scope ? scope : PXiScope::getGlobal()) {}

PXiPluginReport PXiPluginLoader::load(const std::string& path) {
    PXiPluginReport report;
    report.path = path;
    PXiPluginLoading loading;
    loading.path = path;
    std::vector<PXxPlugin*> before = PXxPlugin::getPlugins();
    void* handle = nullptr;
    report.reason = notALibraryFile(path);
    if (report.reason.empty()) {
        PXiLoadingOnThisThread marker(&loading);
        dlerror();
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!report.reason.empty()) {
        // not a file that could be a library: nothing was opened
    } else if (!handle) {
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
            int made = 0;
            for (PXxPlugin* plugin : PXxPlugin::getPlugins()) {
                if (std::find(before.begin(), before.end(), plugin) != before.end()) continue;
                ++made;
                const std::string name = plugin->getName().c_str();
                if (plugin->getStatus() != 0)
                    note("plug-in '" + name + "' reports status " +
                         std::to_string(plugin->getStatus()));
                const std::string first = origins().claim(name, path);
                if (!first.empty())
                    note("plug-in '" + name + "' is already loaded from " + first +
                         "; this library's copy is not used");
            }
            if (made == 0 && report.reason.empty())
                note("not a plug-in: the library makes no plug-in object");
        }
        m_scope->attachLibrary(path, handle, report.reason);
    }
    report.ok = report.reason.empty();
    m_reports.push_back(report);
    return report;
}

std::vector<PXiPluginReport> PXiPluginLoader::loadFolder(const std::string& folder) {
    std::vector<PXiPluginReport> reports;
    // A folder that cannot be read or listed is one report, kept and returned.
    const auto folderFailed = [&](const char* what, int error) {
        PXiPluginReport report;
        report.path = folder;
        report.reason = std::string(what) + std::strerror(error);
        m_reports.push_back(report);
        reports.push_back(report);
        return reports;
    };
    DIR* dir = opendir(folder.c_str());
    if (!dir) return folderFailed("cannot read the folder: ", errno);
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
    if (listError != 0) return folderFailed("cannot list the folder: ", listError);
    std::sort(names.begin(), names.end());
    std::string prefix = endsWith(folder, "/") ? folder : folder + "/";
    for (const std::string& name : names) reports.push_back(load(prefix + name));
    return reports;
}
