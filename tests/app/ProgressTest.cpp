#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#include "app/Progress.h"
#include "app/StderrCapture.h"
#include "sdk/base/PXiStandardError.h"

namespace pxhost {
namespace {

TEST(Progress, DurationsReadLikeClocks) {
    const std::pair<double, const char*> cases[] = {
        {0, "0.0s"},       {3.44, "3.4s"},    {59.9, "59.9s"},   {60, "1:00"}, {125.4, "2:05"},
        {3599.4, "59:59"}, {3600, "1:00:00"}, {3723, "1:02:03"}, {-1, "?"},    {1e12, "?"},
    };
    for (const auto& c : cases) EXPECT_EQ(Progress::formatDuration(c.first), c.second) << c.first;
}

// Reads what a Progress wrote into a temporary stream.
std::string report(bool showLine, bool verbose, long failedFrame) {
    FILE* f = std::tmpfile();
    {
        Progress p(f, 3, showLine, verbose);
        p.frameDone(1, {0.5, 1.0, 0.5});
        if (failedFrame) p.frameFailed(failedFrame);
        p.frameDone(3, {0.5, 1.0, 0.5});
        p.finish();
    }
    std::rewind(f);
    std::string text;
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, f)) text.append(buf, n);
    std::fclose(f);
    return text;
}

TEST(Progress, LineAndTimingsAsAsked) {
    EXPECT_EQ(report(false, false, 0), "");  // silent unless asked
    const std::string line = report(true, false, 2);
    EXPECT_NE(line.find("frame 3 of 3"), std::string::npos) << line;
    EXPECT_NE(line.find("(1 failed)"), std::string::npos) << line;
    EXPECT_EQ(line.back(), '\n');
    const std::string verbose = report(false, true, 0);
    EXPECT_NE(verbose.find("frame 1: read 0.500s  key 1.000s  write 0.500s  total 2.000s\n"),
              std::string::npos)
        << verbose;
    // Totals with each stage's share of the time.
    EXPECT_NE(verbose.find("2 frames: read 1.000s (25%)  key 2.000s (50%)  write 1.000s (25%)"),
              std::string::npos)
        << verbose;
}

TEST(StderrCapture, CollectsBothStreamsAndRestores) {
    StderrCapture capture;
    for (int round = 0; round < 2; ++round) {  // reusable, and each round starts empty
        std::string text;
        {
            StderrCaptureScope scope(capture);
            std::fprintf(stderr, "from C %d\n", round);
            std::cerr << "from C++" << std::endl;
            text = scope.end();
        }
        EXPECT_EQ(text, "from C " + std::to_string(round) + "\nfrom C++\n");
    }
    // An exception leaves standard error restored: this line is not captured.
    try {
        StderrCaptureScope scope(capture);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(capture.end(), "");
}

// What another thread (a node in a render) writes under the standard-error lock waits for a
// capture to end: it is neither taken for the reader's messages nor lost.
TEST(StderrCaptureThreads, AWriteUnderTheLockWaitsForTheCapture) {
    StderrCapture outside;  // what reaches standard error after the capture
    StderrCapture reading;
    outside.begin();
    std::string captured;
    std::atomic<bool> capturing{false};
    std::thread node([&] {
        while (!capturing) std::this_thread::yield();
        const PXiStandardErrorLock printing;
        std::fputs("node\n", stderr);
    });
    {
        StderrCaptureScope scope(reading);
        capturing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // time to write, if it could
        std::fputs("reader\n", stderr);
        captured = scope.end();
    }
    node.join();
    EXPECT_EQ(captured, "reader\n");
    EXPECT_EQ(outside.end(), "node\n");
}

}  // namespace
}  // namespace pxhost
