#include "python/BandRender.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "python/ArrayInput.h"

namespace zephra_python {

namespace {

Ztile bandOf(const Ztile& tile, int firstRow, int bytes) {
    Ztile band = tile;
    band.dst = tileImageBelow(tile.dst, firstRow, bytes);
    band.bg = tileImageBelow(tile.bg, firstRow, bytes);
    band.fg = tileImageBelow(tile.fg, firstRow, bytes);
    band.hold = tileImageBelow(tile.hold, firstRow, bytes);
    band.garbage = tileImageBelow(tile.garbage, firstRow, bytes);
    band.ref = tileImageBelow(tile.ref, firstRow, bytes);
    return band;
}

// Joins every thread it holds when it goes, however the caller leaves.
struct Workers {
    std::vector<std::thread> threads;
    ~Workers() {
        for (std::thread& t : threads)
            if (t.joinable()) t.join();
    }
};

}  // namespace

int defaultThreadCount() { return std::max(1u, std::thread::hardware_concurrency()); }

int renderBands(ZephraHandle engine, int bytes, int width, int height, const Ztile& tile,
                int threads) {
    const int bands = std::max(1, std::min(threads, height));
    std::vector<int> results(static_cast<std::size_t>(bands), 0);
    auto renderBand = [&](int i) {
        const int y1 = static_cast<int>(static_cast<long long>(height) * i / bands);
        const int y2 = static_cast<int>(static_cast<long long>(height) * (i + 1) / bands);
        Ztile band = bandOf(tile, y1, bytes);
        results[static_cast<std::size_t>(i)] = zephra_render(engine, bytes, width, y2 - y1, &band);
    };
    {
        Workers workers;
        workers.threads.reserve(static_cast<std::size_t>(bands - 1));
        for (int i = 1; i < bands; ++i) workers.threads.emplace_back(renderBand, i);
        renderBand(0);
    }
    for (int r : results)
        if (r != 0) return r;
    return 0;
}

}  // namespace zephra_python
