#pragma once

#include <string>
#include <vector>

// The library being loaded on this thread while its static initialisation runs: the compiler
// records it in the declarations it compiles and adds its failures here. The plug-in loader
// marks it for the time of the load (PXiLoadingOnThisThread).
struct PXiPluginLoading {
    std::string path;
    std::vector<std::string> failures;

    // Null when no library is loading on this thread.
    static PXiPluginLoading* current();
};

// Makes `loading` the library loading on this thread until the marker ends, then restores the
// one marked before (a library's initialisation may load another).
class PXiLoadingOnThisThread {
public:
    explicit PXiLoadingOnThisThread(PXiPluginLoading* loading);
    ~PXiLoadingOnThisThread();
    PXiLoadingOnThisThread(const PXiLoadingOnThisThread&) = delete;
    PXiLoadingOnThisThread& operator=(const PXiLoadingOnThisThread&) = delete;

private:
    PXiPluginLoading* m_previous;
};
