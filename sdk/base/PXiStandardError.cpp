#include "sdk/base/PXiStandardError.h"

std::mutex& PXiStandardErrorLock::mutex() {
    static std::mutex lock;
    return lock;
}
