#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

#include "sdk/base/PXiThread.h"

namespace {

struct ThreadCountScope {
    int saved = PXiThread::getThreadCount();
    explicit ThreadCountScope(int n) { PXiThread::setThreadCount(n); }
    ~ThreadCountScope() { PXiThread::setThreadCount(saved); }
};

struct Tally {
    std::vector<std::atomic<int>> runs;
    std::atomic<int> wrongCount{0};
    int expectedCount;
    explicit Tally(int n) : runs(static_cast<size_t>(n)), expectedCount(n) {}
};

void countRun(PXiThread* t, void* arg) {
    Tally* tally = static_cast<Tally*>(arg);
    if (t->getCount() != tally->expectedCount) ++tally->wrongCount;
    ++tally->runs[static_cast<size_t>(t->getIndex())];
}

void throwOnOdd(PXiThread* t, void*) {
    if (t->getIndex() % 2 == 1) throw std::runtime_error("worker " + std::to_string(t->getIndex()));
}

void nestedFork(PXiThread*, void* arg) { PXiThread::m_fork(countRun, arg); }

}  // namespace

TEST(ForkThreads, EveryIndexRunsExactlyOnce) {
    for (int n : {1, 2, 3, 7, 16}) {
        ThreadCountScope scope(n);
        EXPECT_EQ(PXiThread::getThreadCount(), n);
        for (int round = 0; round < 5; ++round) {
            Tally tally(n);
            PXiThread::m_fork(countRun, &tally);
            EXPECT_EQ(tally.wrongCount.load(), 0);
            for (int i = 0; i < n; ++i)
                EXPECT_EQ(tally.runs[static_cast<size_t>(i)].load(), 1) << n << ":" << i;
        }
    }
}

TEST(ForkThreads, AWorkersExceptionReachesTheCallerAfterAllFinish) {
    ThreadCountScope scope(4);
    try {
        PXiThread::m_fork(throwOnOdd, nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "worker 1");  // the lowest index that threw
    }
}

TEST(ForkThreads, NestedForksAndTheDefaultCount) {
    ThreadCountScope scope(3);
    Tally tally(3);
    PXiThread::m_fork(nestedFork, &tally);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(tally.runs[static_cast<size_t>(i)].load(), 3);
    PXiThread::setThreadCount(0);
    EXPECT_GE(PXiThread::getThreadCount(), 1);
    PXiThread::setThreadCount(100000);
    EXPECT_EQ(PXiThread::getThreadCount(), 256);
}
