#pragma once
// Reporting a render's progress on standard error: a progress line that rewrites itself (frame
// n of N, frames per second, time left), and with -v one line of timings per frame.

#include <chrono>
#include <cstdio>
#include <string>

namespace pxhost {

// Seconds one frame spent in each stage.
struct FrameTimes {
    double read = 0;
    double key = 0;
    double write = 0;
    double total() const { return read + key + write; }
};

class Progress {
public:
    // showLine: draw the rewriting progress line; verbose: print per-frame timings.
    Progress(FILE* stream, long frameCount, bool showLine, bool verbose);

    void frameDone(long frame, const FrameTimes& times);
    void frameFailed(long frame);
    // Clears the progress line before a message, so that the message stands on its own line.
    void clearLine();
    // Ends the progress line; with -v prints the totals of the run.
    void finish();

    // "1:02:03", "2:03" or "3.4s" for a time left.
    static std::string formatDuration(double seconds);

private:
    void drawLine();

    FILE* m_stream;
    long m_count;
    long m_done = 0;
    long m_failed = 0;
    bool m_showLine;
    bool m_verbose;
    bool m_lineShown = false;
    FrameTimes m_sum;
    std::chrono::steady_clock::time_point m_start;
};

}  // namespace pxhost
