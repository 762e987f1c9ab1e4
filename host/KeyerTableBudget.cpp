#include "host/KeyerTableBudget.h"

#include <mutex>

namespace {

// Nodes of several graphs may fill on different threads.
std::mutex& budgetLock() {
    static std::mutex lock;
    return lock;
}
int g_limit = KeyerTableBudget::kDefaultLimit;
int g_kept = 0;

}  // namespace

bool KeyerTableBudget::keep() {
    const std::lock_guard<std::mutex> hold(budgetLock());
    if (g_kept >= g_limit) return false;
    ++g_kept;
    return true;
}

void KeyerTableBudget::release() {
    const std::lock_guard<std::mutex> hold(budgetLock());
    if (g_kept > 0) --g_kept;
}

void KeyerTableBudget::setLimit(int nodes) {
    const std::lock_guard<std::mutex> hold(budgetLock());
    g_limit = nodes < 0 ? 0 : nodes;
}

int KeyerTableBudget::kept() {
    const std::lock_guard<std::mutex> hold(budgetLock());
    return g_kept;
}
