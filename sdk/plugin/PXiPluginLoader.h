#pragma once

#include <string>
#include <vector>

class PXiScope;

// What became of one plug-in library.
struct PXiPluginReport {
    std::string path;  // the library as it was named to the loader
    bool ok = false;
    std::string reason;  // why it failed; empty when ok
};

// Loads plug-in libraries at run time. Loading runs a library's static initialisation, which
// registers its node classes and compiles its command declarations into the scope; the
// commands are then bound to the functions the library exports under their names.
//
// Libraries are opened with RTLD_NOW, so that a library with an unresolved name fails here, with
// the reason, rather than in the middle of a render; and with RTLD_LOCAL, so that two plug-ins
// exporting the same name do not capture each other's calls: each declared command is looked up
// in the library that declared it. Libraries stay loaded for the life of the process (nodes made
// from their classes may outlive any loader), also when they fail to compile their
// declarations, since their class registrations cannot be undone.
class PXiPluginLoader {
public:
    // Declarations go to `scope`; null means the global scope.
    explicit PXiPluginLoader(PXiScope* scope = nullptr);

    // Loads one library. A library that cannot be opened, that fails to compile a declaration
    // while it loads, or whose plug-in object (PXxPlugin) has a non-zero status afterwards gives
    // a failed report naming it with the reason. So does a path that is not a regular file
    // (nothing is opened), a library that makes no plug-in object, and one whose plug-in has
    // the name of a plug-in another library made first (the first one keeps serving). A
    // library loaded before is not initialised again: loading it again (under any path)
    // repeats the first outcome.
    PXiPluginReport load(const std::string& path);
    // Loads every "*.so" file of `folder` in name order; one library's failure does not stop
    // the others. A folder that cannot be read gives one failed report naming the folder.
    std::vector<PXiPluginReport> loadFolder(const std::string& folder);

    // Every report this loader made, in order.
    const std::vector<PXiPluginReport>& reports() const { return m_reports; }

private:
    PXiScope* m_scope;
    std::vector<PXiPluginReport> m_reports;
};
