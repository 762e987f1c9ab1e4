#pragma once
// Frame pictures handed back once keyed, for the reader to fill again: a sequence of
// same-sized frames then reads into the same few sample stores instead of allocating (and
// faulting in) fresh picture-sized memory for every frame. The pool holds no more pictures
// than the frame pipeline has in flight, since each one given back was taken or made earlier.

#include <mutex>
#include <utility>
#include <vector>

#include "app/Raster.h"

namespace pxhost {

class RasterPool {
public:
    // A picture to read into: one given back, or an empty one.
    Raster take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_free.empty()) return Raster();
        Raster raster = std::move(m_free.back());
        m_free.pop_back();
        return raster;
    }
    // Keeps a picture's sample store for a later take; an empty one is not kept.
    void give(Raster&& raster) {
        if (raster.samples.capacity() == 0) return;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(std::move(raster));
    }
    void clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<Raster> m_free;
};

}  // namespace pxhost
