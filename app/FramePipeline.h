#pragma once
// Runs the frames of a render with several of them in flight: while frame n is keyed on the
// calling thread, frame n+1 is read on a reader thread, the frames before n are made into
// their files' bytes on encoder threads (the costly part of writing a compressed file), and
// the oldest of them is put in place on a writer thread. A stage starts on its next frame only
// once the stage after it has taken the last one, and the encoders work at most a window of
// frames ahead of the writer, so a run holds a few frames at once, whatever its length.
//
// The run behaves as the plain loop "read, key, encode, write, report" over the frames would:
// frames are written and reported in order, and a failure that ends the run (see
// Stages::endsRun) stops every later frame from being keyed, written or reported, while every
// earlier frame is still written and reported. When the system refuses a thread (a limit on
// threads or memory), the run takes back the threads it has and runs every stage on the
// calling thread, as it would unthreaded: slower, never a lost frame.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace pxhost {

// The frames a threaded run with `encoders` encoder threads holds at once, at most: one being
// read, one being keyed, one being written (and encoded, without encoders) and, between the
// keying and the writer, one per encoder, being encoded or waiting for the writer.
constexpr size_t framesInFlight(size_t encoders) { return 3 + encoders; }

// A first-in first-out hand-over between two threads holding at most `capacity` items
// (0: no limit). Closing it wakes every waiter: push then fails, and pop fails once it is empty.
template <typename T>
class BoundedQueue {
public:
    explicit BoundedQueue(size_t capacity) : m_capacity(capacity) {}

    bool push(T item) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock,
                       [&] { return m_closed || !m_capacity || m_items.size() < m_capacity; });
        if (m_closed) return false;
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }
    // Waits for an item unless `wait` is false.
    bool pop(T& item, bool wait = true) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (wait) m_changed.wait(lock, [&] { return m_closed || !m_items.empty(); });
        if (m_items.empty()) return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        m_changed.notify_all();
        return true;
    }
    // Waits until every item has been taken, or the queue is closed.
    void waitUntilEmpty() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || m_items.empty(); });
    }
    void close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};

// Frames handed from several threads to one in frame order: put() takes them in any order,
// take() gives them in order of their index, from 0 up. A frame may be put only while its
// index is within `window` of the next one to be taken (waitForRoom), so the frames waiting
// stay few and the next one always has room. Closing it wakes every waiter.
template <typename T>
class OrderedHandOver {
public:
    explicit OrderedHandOver(size_t window) : m_window(window) {}

    // Waits until the frame at `index` may be put; false once closed.
    bool waitForRoom(size_t index) {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_closed || index < m_next + m_window; });
        return !m_closed;
    }
    void put(size_t index, T item) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.emplace_back(index, std::move(item));
        m_changed.notify_all();
    }
    // Waits for the next frame in order; false once closed without it.
    bool take(T& item) {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            for (auto it = m_items.begin(); it != m_items.end(); ++it) {
                if (it->first != m_next) continue;
                item = std::move(it->second);
                m_items.erase(it);
                ++m_next;
                m_changed.notify_all();
                return true;
            }
            if (m_closed) return false;
            m_changed.wait(lock);
        }
    }
    void close() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

private:
    size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<size_t, T>> m_items;
    size_t m_next = 0;
    bool m_closed = false;
};

// While it lives, the signals that remove temporary output files reach only threads that take
// them back with TakeOutputSignals; threads started meanwhile inherit the block. The writer
// thread takes them, so the handler runs where the temporary files are made and renamed, which
// hold the signals off while a file and its record change together.
class HoldOutputSignals {
public:
    HoldOutputSignals();
    ~HoldOutputSignals();
    HoldOutputSignals(const HoldOutputSignals&) = delete;
    HoldOutputSignals& operator=(const HoldOutputSignals&) = delete;
    static void takeOnThisThread();

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
};

template <typename Work>
class FramePipeline {
public:
    struct Stages {
        // Each stage gets the frame number and the frame's work, which the stages fill in
        // turn. A stage that throws skips the later stages of that frame.
        std::function<void(long frame, Work&)> read;    // on the reader thread
        std::function<void(long frame, Work&)> key;     // on the calling thread
        std::function<void(long frame, Work&)> encode;  // on an encoder thread
        std::function<void(long frame, Work&)> write;   // on the writer thread
        // On the calling thread, once per frame in frame order: the frame's failure, or null
        // when it was written.
        std::function<void(long frame, Work&, std::exception_ptr failure)> finished;
        // On any thread: whether a failure stops the frames after it.
        std::function<bool(const std::exception_ptr&)> endsRun;
        // Starts a thread; throws std::system_error when it cannot. Tests refuse threads here.
        std::function<std::thread(std::function<void()>)> startThread =
            [](std::function<void()> body) { return std::thread(std::move(body)); };
    };

    // threaded: false runs every stage on the calling thread, one frame after another.
    // encoders: the threads that encode frames, each one frame at a time; with none, the
    // writer encodes each frame before it writes it.
    static void run(const std::vector<long>& frames, const Stages& stages, bool threaded,
                    size_t encoders = 0) {
        FramePipeline pipeline(frames, stages);
        if (!threaded || !pipeline.runThreaded(encoders)) pipeline.runInline();
    }

private:
    struct Slot {
        size_t index = 0;
        Work work;
        std::exception_ptr failure;
    };

    FramePipeline(const std::vector<long>& frames, const Stages& stages)
        : m_frames(frames), m_stages(stages), m_lastIndex(frames.size()) {}

    // Whether the frame at `index` is still to be worked on: no earlier frame ended the run.
    bool wanted(size_t index) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return index <= m_lastIndex;
    }

    // Runs one stage of a slot that has not failed, recording a failure and whether it ends
    // the run.
    void runStage(const std::function<void(long, Work&)>& stage, Slot& slot) {
        if (slot.failure) return;
        try {
            stage(m_frames[slot.index], slot.work);
        } catch (...) {
            slot.failure = std::current_exception();
            if (m_stages.endsRun(slot.failure)) {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (slot.index < m_lastIndex) m_lastIndex = slot.index;
            }
        }
    }

    void finish(Slot& slot) { m_stages.finished(m_frames[slot.index], slot.work, slot.failure); }

    void runInline() {
        for (size_t i = 0; i < m_frames.size() && wanted(i); ++i) {
            Slot slot;
            slot.index = i;
            runStage(m_stages.read, slot);
            runStage(m_stages.key, slot);
            runStage(m_stages.encode, slot);
            runStage(m_stages.write, slot);
            finish(slot);
        }
    }

    // False when a thread was refused before any frame was taken up: nothing has run.
    bool runThreaded(size_t encoders) {
        constexpr size_t kFramesPerHandOver = 1;
        BoundedQueue<Slot> read(kFramesPerHandOver);
        BoundedQueue<Slot> keyed(kFramesPerHandOver);
        OrderedHandOver<Slot> encoded(std::max<size_t>(encoders, 1));
        BoundedQueue<Slot> written(0);  // drained by this thread between frames
        const HoldOutputSignals held;
        const auto closeAll = [&] {
            read.close();
            keyed.close();
            encoded.close();
            written.close();
        };
        // Every frame keyed reaches the writer, so that it never waits for a frame left out;
        // the frames after one that ended the run go no further than that.
        const auto encode = [&] {
            Slot slot;
            while (keyed.pop(slot)) {
                if (wanted(slot.index)) runStage(m_stages.encode, slot);
                const size_t index = slot.index;
                encoded.put(index, std::move(slot));
            }
        };
        const auto write = [&] {
            HoldOutputSignals::takeOnThisThread();
            Slot slot;
            while (encoders ? encoded.take(slot) : keyed.pop(slot)) {
                if (!wanted(slot.index)) continue;
                if (!encoders) runStage(m_stages.encode, slot);
                runStage(m_stages.write, slot);
                written.push(std::move(slot));
            }
            written.close();
        };
        const auto readAll = [&] {
            for (size_t i = 0; i < m_frames.size() && wanted(i); ++i) {
                Slot slot;
                slot.index = i;
                runStage(m_stages.read, slot);
                if (!read.push(std::move(slot))) break;
                read.waitUntilEmpty();
            }
            read.close();
        };
        // The reader starts last: until it does, no frame has been taken up, so a refused
        // thread leaves the whole run to the calling thread.
        std::vector<std::thread> encoding, others;
        try {
            for (size_t e = 0; e < encoders; ++e) encoding.push_back(m_stages.startThread(encode));
            others.push_back(m_stages.startThread(write));
            others.push_back(m_stages.startThread(readAll));
        } catch (...) {  // std::system_error, or std::bad_alloc for a thread's state
            closeAll();
            for (std::thread& t : encoding) t.join();
            for (std::thread& t : others) t.join();
            return false;
        }
        const auto reportWritten = [&](bool wait) {
            Slot done;
            while (written.pop(done, wait)) finish(done);
        };
        Slot slot;
        while (read.pop(slot) && wanted(slot.index)) {
            runStage(m_stages.key, slot);
            if (encoders && !encoded.waitForRoom(slot.index)) break;
            keyed.push(std::move(slot));
            reportWritten(false);
            keyed.waitUntilEmpty();
        }
        read.close();
        keyed.close();
        for (std::thread& encoder : encoding) encoder.join();
        encoded.close();
        reportWritten(true);
        for (std::thread& t : others) t.join();
        return true;
    }

    const std::vector<long>& m_frames;
    const Stages& m_stages;
    std::mutex m_mutex;
    size_t m_lastIndex;  // the frame whose failure ended the run; frames.size() while none has
};

}  // namespace pxhost
