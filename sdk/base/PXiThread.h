#pragma once

// The host's threads. m_fork runs a worker once on each of the host's threads - index 0 on the
// calling thread, the others on threads started for the call - and returns when all have
// finished. Each worker gets a PXiThread telling its index (0..count-1) and the thread count.
// If workers throw, m_fork rethrows the exception of the lowest index after all have finished.
// If the system cannot start a thread, the indices it would have run run on the calling thread
// after the others, so every index still runs exactly once. m_fork may be called from several
// threads at once, and from inside a worker.
//
// The thread count is a host setting: setThreadCount(n) with n >= 1 (limited to 256), or
// n <= 0 for the default, the number of processors. getThreadCount() gives the current count.
class PXiThread {
public:
    typedef void (*Worker)(PXiThread* thread, void* arg);

    static void m_fork(Worker worker, void* arg);
    static void setThreadCount(int count);
    static int getThreadCount();

    int getIndex() const { return m_index; }
    int getCount() const { return m_count; }

    PXiThread(int index, int count) : m_index(index), m_count(count) {}

private:
    int m_index;
    int m_count;
};
