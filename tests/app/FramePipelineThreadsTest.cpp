// The frame pipeline against the plain loop it stands for: the same frames reach each stage and
// the report, in the same order, with the same failures, whether the stages run on their own
// threads or all on one; frames are encoded several at once; and the frames held at once stay
// few however long the run.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>

#include "app/FramePipeline.h"

namespace pxhost {
namespace {

struct Fails : std::runtime_error {
    Fails(const std::string& what, bool endsRun) : std::runtime_error(what), endsRun(endsRun) {}
    bool endsRun;
};

// A frame's picture, counted while it lives.
struct Counted {
    static std::atomic<int> alive;
    static std::atomic<int> mostAlive;
    long value;
    explicit Counted(long v) : value(v) {
        const int now = ++alive;
        int most = mostAlive;
        while (now > most && !mostAlive.compare_exchange_weak(most, now)) {
        }
    }
    ~Counted() { --alive; }
};
std::atomic<int> Counted::alive{0};
std::atomic<int> Counted::mostAlive{0};

struct Work {
    std::unique_ptr<Counted> picture;
};

// What a run did: the frames each stage saw and each report, as text.
struct Record {
    std::string read, keyed, encoded, written, finished;
    bool keyedOnCaller = true, fileWorkOnCaller = false;
    int mostEncodedAtOnce = 0;
};

// The encoder threads a threaded run is tried with: none (the writer encodes) and two.
constexpr size_t kEncoderCounts[] = {0, 2};

// A failing stage: "k7" fails frame 7 when keyed; `ends` whether that ends the run.
struct Plan {
    char failStage = 0;
    long failFrame = -1;
    bool ends = true;
    bool slowWriter = false;
    bool slowEncoder = false;
    bool slowEvenEncodes = false;  // odd frames' encoding overtakes the even frame before them
    size_t encoders = 0;
    int refusedThread = -1;  // the system refuses the run's thread started this many before
};

Record runPipeline(const std::vector<long>& frames, const Plan& plan, bool threaded) {
    Record r;
    std::mutex mutex;
    const std::thread::id caller = std::this_thread::get_id();
    const auto failIf = [&](char stage, long frame) {
        if (stage == plan.failStage && frame == plan.failFrame)
            throw Fails(std::string(1, stage) + std::to_string(frame), plan.ends);
    };
    const auto note = [&](std::string& list, long frame) {
        const std::lock_guard<std::mutex> lock(mutex);
        list += std::to_string(frame) + " ";
        if (std::this_thread::get_id() == caller && &list != &r.keyed && &list != &r.finished)
            r.fileWorkOnCaller = true;
        if (std::this_thread::get_id() != caller && &list == &r.keyed) r.keyedOnCaller = false;
    };
    FramePipeline<Work>::Stages stages;
    stages.read = [&](long frame, Work& w) {
        note(r.read, frame);
        failIf('r', frame);
        w.picture = std::make_unique<Counted>(frame);
    };
    stages.key = [&](long frame, Work& w) {
        note(r.keyed, frame);
        failIf('k', frame);
        w.picture->value *= 2;
    };
    std::atomic<int> encoding{0};
    stages.encode = [&](long frame, Work& w) {
        const int now = ++encoding;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            r.mostEncodedAtOnce = std::max(r.mostEncodedAtOnce, now);
        }
        if (plan.slowEncoder || (plan.slowEvenEncodes && frame % 2 == 0))
            std::this_thread::sleep_for(std::chrono::milliseconds(3));
        --encoding;
        EXPECT_EQ(w.picture->value, frame * 2);
        note(r.encoded, frame);
        failIf('e', frame);
    };
    stages.write = [&](long frame, Work& w) {
        if (plan.slowWriter) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(w.picture->value, frame * 2);
        failIf('w', frame);
        note(r.written, frame);
        w.picture.reset();
    };
    stages.finished = [&](long frame, Work&, std::exception_ptr failure) {
        note(r.finished, frame);
        if (failure) r.finished.back() = '!';
    };
    stages.endsRun = [](const std::exception_ptr& failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const Fails& e) {
            return e.endsRun;
        } catch (...) {
            return true;
        }
    };
    int started = 0;
    stages.startThread = [&](std::function<void()> body) {
        if (started++ == plan.refusedThread)
            throw std::system_error(
                std::make_error_code(std::errc::resource_unavailable_try_again));
        return std::thread(std::move(body));
    };
    FramePipeline<Work>::run(frames, stages, threaded, plan.encoders);
    return r;
}

std::vector<long> framesFrom(long first, long count) {
    std::vector<long> frames;
    for (long f = first; f < first + count; ++f) frames.push_back(f);
    return frames;
}

TEST(FramePipelineThreads, KeysOnTheCallingThreadAndReportsInOrder) {
    const std::vector<long> frames = framesFrom(1, 40);
    const Record plain = runPipeline(frames, {}, false);
    EXPECT_EQ(plain.finished.substr(0, 6), "1 2 3 ");
    for (const size_t encoders : kEncoderCounts) {
        SCOPED_TRACE(encoders);
        Plan plan;
        plan.encoders = encoders;
        plan.slowEvenEncodes = true;
        const Record threaded = runPipeline(frames, plan, true);
        EXPECT_EQ(threaded.finished, plain.finished);
        EXPECT_EQ(threaded.written, plain.written);
        EXPECT_EQ(threaded.keyed, plain.keyed);
        EXPECT_EQ(threaded.encoded.size(), plain.encoded.size());
        EXPECT_TRUE(threaded.keyedOnCaller);
        EXPECT_FALSE(threaded.fileWorkOnCaller);
    }
}

// A thread the system refuses, whichever it is, leaves the whole run to the calling thread,
// with the plain loop's record, failures included.
TEST(FramePipelineThreads, RefusedThreadRunsEverythingOnTheCaller) {
    const std::vector<long> frames = framesFrom(1, 12);
    Plan plan;
    plan.failStage = 'w';
    plan.failFrame = 5;
    plan.ends = false;
    const Record plain = runPipeline(frames, plan, false);
    for (const size_t encoders : kEncoderCounts) {
        for (int refused = 0; refused <= static_cast<int>(encoders) + 1; ++refused) {
            SCOPED_TRACE(std::to_string(encoders) + " encoders, thread " + std::to_string(refused));
            plan.encoders = encoders;
            plan.refusedThread = refused;
            const Record threaded = runPipeline(frames, plan, true);
            EXPECT_EQ(threaded.read, plain.read);
            EXPECT_EQ(threaded.written, plain.written);
            EXPECT_EQ(threaded.finished, plain.finished);
            EXPECT_TRUE(threaded.keyedOnCaller);
        }
    }
}

// A failure in any stage, ending the run or not, leaves the same record as the plain loop: the
// frames before it written and reported, the frame itself reported as failed, and after a
// failure that ends the run, no later frame written or reported.
TEST(FramePipelineThreads, FailuresLeaveWhatThePlainLoopLeaves) {
    const std::vector<long> frames = framesFrom(10, 20);
    for (char stage : {'r', 'k', 'e', 'w'}) {
        for (bool ends : {true, false}) {
            for (long at : {10L, 17L, 29L}) {
                SCOPED_TRACE(std::string(1, stage) + std::to_string(at) + (ends ? " ends" : ""));
                Plan plan;
                plan.failStage = stage;
                plan.failFrame = at;
                plan.ends = ends;
                const Record plain = runPipeline(frames, plan, false);
                EXPECT_NE(plain.finished.find(std::to_string(at) + "!"), std::string::npos);
                if (ends) {
                    EXPECT_EQ(plain.finished.find(std::to_string(at + 1) + " "), std::string::npos);
                }
                for (const size_t encoders : kEncoderCounts) {
                    plan.encoders = encoders;
                    const Record threaded = runPipeline(frames, plan, true);
                    EXPECT_EQ(threaded.finished, plain.finished) << encoders;
                    EXPECT_EQ(threaded.written, plain.written) << encoders;
                }
            }
        }
    }
}

// A slow writer or slow encoders hold the frames back: the run never holds more than its few
// frames in flight. Slow encoders work on several frames at once.
TEST(FramePipelineThreads, HoldsAFewFramesWhateverTheLength) {
    for (const size_t encoders : kEncoderCounts) {
        for (const bool slowWriter : {true, false}) {
            SCOPED_TRACE(std::string(slowWriter ? "slow writer, " : "slow encoding, ") +
                         std::to_string(encoders) + " encoders");
            Counted::mostAlive = 0;
            Plan plan;
            plan.encoders = encoders;
            plan.slowWriter = slowWriter;
            plan.slowEncoder = !slowWriter;
            const Record r = runPipeline(framesFrom(1, 60), plan, true);
            EXPECT_EQ(Counted::alive, 0);
            EXPECT_LE(Counted::mostAlive, static_cast<int>(framesInFlight(encoders)));
            EXPECT_EQ(r.written.size(), r.finished.size());
            if (!slowWriter) {
                EXPECT_EQ(r.mostEncodedAtOnce, static_cast<int>(std::max<size_t>(encoders, 1)));
            }
        }
    }
}

}  // namespace
}  // namespace pxhost
