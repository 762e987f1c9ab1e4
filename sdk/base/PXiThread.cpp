#include "sdk/base/PXiThread.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace {

const int kMaxThreads = 256;

int defaultThreadCount() {
    unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<int>(std::min<unsigned>(n, kMaxThreads));
}

std::atomic<int>& threadCountSetting() {
    static std::atomic<int> count{defaultThreadCount()};
    return count;
}

}  // namespace

void PXiThread::setThreadCount(int count) {
    threadCountSetting().store(count <= 0 ? defaultThreadCount() : std::min(count, kMaxThreads));
}

int PXiThread::getThreadCount() { return threadCountSetting().load(); }

void PXiThread::m_fork(Worker worker, void* arg) {
    if (!worker) return;
    const int count = getThreadCount();
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(count));
    auto run = [&](int index) {
        PXiThread self(index, count);
        try {
            worker(&self, arg);
        } catch (...) {
            errors[static_cast<std::size_t>(index)] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(count));
    int started = 1;  // index 0 runs here
    for (; started < count; ++started) {
        try {
            threads.emplace_back(run, started);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the rest run here
        }
    }
    run(0);
    for (int index = started; index < count; ++index) run(index);
    for (std::thread& t : threads) t.join();
    for (std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}
