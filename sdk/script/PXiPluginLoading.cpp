#include "sdk/script/PXiPluginLoading.h"

namespace {

// The library whose static initialisation is running on this thread. Static initialisation is
// the only way a plug-in reaches the compiler while it loads, so this is how its declarations
// learn where they come from.
thread_local PXiPluginLoading* t_loading = nullptr;

}  // namespace

PXiPluginLoading* PXiPluginLoading::current() { return t_loading; }

PXiLoadingOnThisThread::PXiLoadingOnThisThread(PXiPluginLoading* loading) : m_previous(t_loading) {
    t_loading = loading;
}

PXiLoadingOnThisThread::~PXiLoadingOnThisThread() { t_loading = m_previous; }
