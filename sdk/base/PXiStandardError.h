#pragma once

// Standard error belongs to the whole process, and a host may send it elsewhere for a while:
// to collect what a file reader prints about one file, say. Code that writes to standard
// error while pictures render on other threads holds this lock for the write, and the host
// holds it while it redirects; a node's message then never lands among a reader's, and the
// render never waits for a read to finish.
//
// Not recursive: hold it only around the writing itself, never around a call that renders.

#include <mutex>

class PXiStandardErrorLock {
public:
    PXiStandardErrorLock() : m_lock(mutex()) {}
    PXiStandardErrorLock(const PXiStandardErrorLock&) = delete;
    PXiStandardErrorLock& operator=(const PXiStandardErrorLock&) = delete;

    // The one lock of the process (defined in the SDK library, so the host program and every
    // plug-in share it).
    static std::mutex& mutex();

private:
    std::lock_guard<std::mutex> m_lock;
};
