#pragma once
// Frame pictures handed back once keyed, for the reader to fill again: a sequence of
// same-sized frames then reads into the same few sample stores instead of allocating (and
// faulting in) fresh picture-sized memory for every frame. The pool holds no more pictures
// than the reader can take while frames are in flight (setLimit).

#include <mutex>
#include <utility>
#include <vector>

#include "app/Raster.h"

namespace pxhost {

class RasterPool {
public:
    // A picture to read into: one given back, or an empty one.
    Raster take() {
        Raster raster;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.empty()) return raster;
        raster.samples = std::move(m_free.back());
        m_free.pop_back();
        return raster;
    }
    // Keeps a picture's sample store for a later take; an empty one is not kept, nor one
    // past the limit.
    void give(SampleStore&& samples) {
        if (samples.capacity() == 0) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.size() < m_limit) m_free.push_back(std::move(samples));
    }
    void give(Raster&& raster) { give(std::move(raster.samples)); }
    // The most pictures kept: the reader takes one per input and frame, for at most the
    // frames in flight; a run whose frames give back more than the reader takes (outputs,
    // stills) then stays bounded.
    void setLimit(size_t limit) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_limit = limit;
        if (m_free.size() > m_limit) m_free.resize(m_limit);
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<SampleStore> m_free;
    size_t m_limit = 0;
};

}  // namespace pxhost
