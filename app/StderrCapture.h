#pragma once
// Collects what is written to standard error while an input is read. Some image readers
// print their complaints there; capturing them lets the program report a failed read as the
// frame's failure alone, and pass on the messages of a read that worked.

#include <string>

#include "sdk/base/PXiStandardError.h"

namespace pxhost {

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Starts sending standard error into the capture.
    void begin();
    // Restores standard error and returns what was written since begin().
    std::string end();

private:
    int m_file = -1;   // the capture file (unlinked, private)
    int m_saved = -1;  // standard error while capturing
};

// One capture, holding PXiStandardErrorLock from its start to its end of life, so that
// nothing else writes to standard error meanwhile, and what end() returns can be passed on
// before anything else is written. Restores standard error if an exception leaves the capture
// running.
class StderrCaptureScope {
public:
    explicit StderrCaptureScope(StderrCapture& capture) : m_capture(capture) { capture.begin(); }
    ~StderrCaptureScope() {
        if (!m_ended) m_capture.end();
    }
    std::string end() {
        m_ended = true;
        return m_capture.end();
    }

private:
    PXiStandardErrorLock m_printing;  // taken before the capture begins, released after it ends
    StderrCapture& m_capture;
    bool m_ended = false;
};

}  // namespace pxhost
