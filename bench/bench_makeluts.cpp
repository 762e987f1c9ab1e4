// makeLuts: a fresh engine at 8-bit and 16-bit maxima and at maxima between (a matte below
// the 8-bit range, 10-bit samples), and the rebuild after a single
// parameter change, which should cost only the tables that change names.

#include <benchmark/benchmark.h>

#include <memory>

#include "engine/VRFZephraTable.h"

namespace {

std::unique_ptr<VRFZephraTable> engineAt(int max, int colourspace) {
    auto e = std::make_unique<VRFZephraTable>();
    e->setColourspace(colourspace);
    e->useRef(0);
    e->setFgMax(max);
    e->setBgMax(max);
    e->setDstMax(max);
    e->setHMatteMax(max);
    e->setGMatteMax(max);
    return e;
}

// Arguments: sample maximum, colour space.
void BM_MakeLutsFresh(benchmark::State& state) {
    const int max = static_cast<int>(state.range(0));
    const int colourspace = static_cast<int>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto e = engineAt(max, colourspace);
        state.ResumeTiming();
        benchmark::DoNotOptimize(e->makeLuts());
        state.PauseTiming();
        e.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_MakeLutsFresh)
    ->ArgsProduct({{100, 255, 1023, 65535}, {0, 1, 2}})
    ->Unit(benchmark::kMillisecond);

// A change of the midtone balance: only the projection tables are rebuilt.
void BM_MakeLutsAfterMidtoneBalance(benchmark::State& state) {
    auto e = engineAt(static_cast<int>(state.range(0)), 1);
    e->makeLuts();
    float v = 0.5f;
    for (auto _ : state) {
        v = v == 0.5f ? 0.6f : 0.5f;
        e->setBalance(1, v);
        benchmark::DoNotOptimize(e->makeLuts());
    }
}
BENCHMARK(BM_MakeLutsAfterMidtoneBalance)
    ->Arg(100)
    ->Arg(255)
    ->Arg(1023)
    ->Arg(65535)
    ->Unit(benchmark::kMillisecond);

// A change of the foreground exposure: only the foreground correction is rebuilt.
void BM_MakeLutsAfterExposure(benchmark::State& state) {
    auto e = engineAt(static_cast<int>(state.range(0)), 1);
    e->makeLuts();
    float v = 1.0f;
    for (auto _ : state) {
        v = v == 1.0f ? 1.1f : 1.0f;
        e->setExposure(v, v, v, 0);
        benchmark::DoNotOptimize(e->makeLuts());
    }
}
BENCHMARK(BM_MakeLutsAfterExposure)->Arg(255)->Arg(65535)->Unit(benchmark::kMillisecond);

// Nothing changed: the early return.
void BM_MakeLutsCurrent(benchmark::State& state) {
    auto e = engineAt(65535, 1);
    e->makeLuts();
    for (auto _ : state) benchmark::DoNotOptimize(e->makeLuts());
}
BENCHMARK(BM_MakeLutsCurrent);

}  // namespace

BENCHMARK_MAIN();
