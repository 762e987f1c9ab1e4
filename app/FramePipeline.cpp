#include "app/FramePipeline.h"

#include <pthread.h>

#include <csignal>

#include "app/AtomicOutputFile.h"

namespace pxhost {

struct HoldOutputSignals::Saved {
    sigset_t mask;
};

HoldOutputSignals::HoldOutputSignals() : m_saved(std::make_unique<Saved>()) {
    const sigset_t signals = AtomicOutputFile::removalSignals();
    pthread_sigmask(SIG_BLOCK, &signals, &m_saved->mask);
}

HoldOutputSignals::~HoldOutputSignals() { pthread_sigmask(SIG_SETMASK, &m_saved->mask, nullptr); }

void HoldOutputSignals::takeOnThisThread() {
    const sigset_t signals = AtomicOutputFile::removalSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}

}  // namespace pxhost
