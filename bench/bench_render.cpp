// Render throughput for a 1920x1080 tile laid out as the host lays it out: interleaved
// A, B, G, R pixels, one pointer per channel, pixel step 4, keyed in place over the
// foreground. Two floors give the figures a scale: a streaming kernel with the same memory
// traffic, and a table-driven kernel with six 16-bit lookups and a background blend per
// pixel. Every render figure is also reported as a ratio to both floors. The "+haze" case
// keys the shot with haze over the whole frame: no pixel is clean screen or solid foreground.
// Figures without a suffix use the processor's preferred loops; "/portable" the loops for
// any x86 processor.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/zephra.h"
#include "engine/render/ZephraRenderDispatch.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kPixels = kWidth * kHeight;
constexpr float kBenchSaturation = 0.8f;

// A blue-screen shot: a soft-edged disc of skin-like colour and a band of semi-transparent
// blue-tinted haze over a noisy blue screen; a gradient background; mattes as ramps.
template <typename T>
struct Frame {
    int max;
    std::vector<T> fg, fgShot, bg, hold, garbage;

    // hazeEverywhere: the haze covers the whole frame, so that no pixel is clean screen or
    // solid foreground (the renderer's costliest case).
    explicit Frame(int sampleMax, bool hazeEverywhere = false) : max(sampleMax) {
        fgShot.resize(std::size_t(kPixels) * 4);
        bg.resize(fgShot.size());
        hold.resize(fgShot.size());
        garbage.resize(fgShot.size());
        std::uint32_t noise = 12345;
        auto next = [&noise]() {
            noise = noise * 1664525u + 1013904223u;
            return float(noise >> 8) / float(1u << 24);
        };
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::size_t p = (std::size_t(y) * kWidth + x) * 4;
                const float dx = (x - 960.0f) / 400.0f, dy = (y - 540.0f) / 400.0f;
                const float r = std::sqrt(dx * dx + dy * dy);
                const float inside = std::fmin(1.0f, std::fmax(0.0f, (1.0f - r) * 20.0f));
                const float haze = (hazeEverywhere || (y > 800 && y < 900)) ? 0.5f : 0.0f;
                float screen[3] = {0.1f + 0.05f * next(), 0.15f + 0.05f * next(),
                                   0.8f + 0.1f * next()};
                const float skin[3] = {0.8f, 0.6f, 0.5f};
                float c[3];
                for (int k = 0; k < 3; ++k) {
                    const float keyed = skin[k] * inside + screen[k] * (1.0f - inside);
                    c[k] = keyed * (1.0f - haze) + 0.5f * haze;
                }
                auto sample = [&](float v) { return T(std::lround(std::fmin(1.0f, v) * max)); };
                fgShot[p + 0] = T(max);  // alpha (never read)
                fgShot[p + 1] = sample(c[2]);
                fgShot[p + 2] = sample(c[1]);
                fgShot[p + 3] = sample(c[0]);
                bg[p + 0] = T(max);
                bg[p + 1] = sample(float(x) / kWidth);
                bg[p + 2] = sample(float(y) / kHeight);
                bg[p + 3] = sample(0.3f);
                hold[p + 0] = sample(x < 400 ? float(x) / 400.0f : 0.0f);
                garbage[p + 0] = sample(x > 1700 ? float(x - 1700) / 220.0f : 0.0f);
            }
        }
        fg = fgShot;
    }
};

TileImage abgr(void* pixels, int bytes, bool withColour = true) {
    char* p = static_cast<char*>(pixels);
    TileImage t{};
    t.a = p;
    if (withColour) {
        t.b = p + bytes;
        t.g = p + 2 * bytes;
        t.r = p + 3 * bytes;
    }
    t.pixelStep = 4;
    t.rowStep = 4 * kWidth;
    return t;
}

ZephraHandle makeEngine(int sampleMax, int view, bool mattes, bool saturation) {
    ZephraHandle h = zephra_new();
    zephra_setFgMax(h, sampleMax);
    zephra_setBgMax(h, sampleMax);
    zephra_setDstMax(h, sampleMax);
    zephra_setHMatteMax(h, sampleMax);
    zephra_setGMatteMax(h, sampleMax);
    zephra_useRef(h, 0);
    zephra_useHold(h, mattes);
    zephra_useGarbage(h, mattes);
    zephra_setColourspace(h, 0);
    zephra_setScreen(h, 0.1f, 0.15f, 0.85f);
    zephra_setReplace(h, 0.5f, 0.5f, 0.5f);
    zephra_setScreenRange(h, 0.1f);
    zephra_setView(h, view);
    if (saturation) {
        // Both colour matrices in use: the foreground's and the background's.
        zephra_setSaturation(h, kBenchSaturation, 0);
        zephra_setSaturation(h, kBenchSaturation, 1);
    }
    if (zephra_makeLuts(h) != 0) std::abort();
    return h;
}

void report(benchmark::State& state) {
    state.counters["Mpixel/s"] = benchmark::Counter(
        double(kPixels) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// Floor 1: read fg and bg, write the output in place over fg; the same traffic as a
// composite with background, no arithmetic to speak of.
template <typename T>
void BM_FloorStream(benchmark::State& state) {
    Frame<T> f(sizeof(T) == 1 ? 255 : 65535);
    for (auto _ : state) {
        T* out = f.fg.data();
        const T* bg = f.bg.data();
        for (std::size_t i = 0; i < f.fg.size(); ++i) out[i] = T((out[i] + bg[i]) >> 1);
        benchmark::ClobberMemory();
    }
    report(state);
}

// Floor 2: per pixel three input lookups and three output lookups in 16-bit tables, a
// matte from the colours and a blend with the background.
template <typename T>
void BM_FloorTable(benchmark::State& state) {
    const int max = sizeof(T) == 1 ? 255 : 65535;
    Frame<T> f(max);
    std::vector<std::int16_t> in(std::size_t(max) + 1);
    std::vector<std::uint16_t> out(16384);
    for (int i = 0; i <= max; ++i) in[i] = std::int16_t(std::lround(16383.0 * i / max));
    for (int i = 0; i < 16384; ++i) out[i] = std::uint16_t(std::lround(double(max) * i / 16383));
    for (auto _ : state) {
        T* px = f.fg.data();
        const T* bg = f.bg.data();
        for (int p = 0; p < kPixels; ++p, px += 4, bg += 4) {
            const int r = in[px[3]], g = in[px[2]], b = in[px[1]];
            int m = 4096 - ((b - ((r + g) >> 1)) >> 2);
            m = m < 0 ? 0 : (m > 4096 ? 4096 : m);
            const int br = bg[3] << 6 >> (sizeof(T) == 1 ? 0 : 8),
                      bgn = bg[2] << 6 >> (sizeof(T) == 1 ? 0 : 8),
                      bb = bg[1] << 6 >> (sizeof(T) == 1 ? 0 : 8);
            px[3] = T(out[br + (((r - br) * m) >> 12)]);
            px[2] = T(out[bgn + (((g - bgn) * m) >> 12)]);
            px[1] = T(out[bb + (((b - bb) * m) >> 12)]);
            px[0] = T((m * max) >> 12);
        }
        benchmark::ClobberMemory();
    }
    report(state);
}

// One render of the whole frame per iteration, keyed in place over a fresh copy of the shot.
// The processor's preferred loops through the C interface, as a caller keys; any other
// instruction set through the engine's own entry, for comparison.
template <typename T>
void BM_Render(benchmark::State& state, int view, bool mattes, bool bgAlpha, bool haze,
               bool saturation, zephra::RenderIsa isa) {
    const bool preferred = isa == zephra::preferredRenderIsa();
    const int max = sizeof(T) == 1 ? 255 : 65535;
    Frame<T> f(max, haze);
    ZephraHandle h = makeEngine(max, view, mattes, saturation);
    Ztile tile{};
    tile.fg = abgr(f.fg.data(), sizeof(T));
    tile.dst = tile.fg;
    tile.bg = abgr(f.bg.data(), sizeof(T));
    if (!bgAlpha) tile.bg.a = nullptr;
    tile.hold = abgr(f.hold.data(), sizeof(T), false);
    tile.garbage = abgr(f.garbage.data(), sizeof(T), false);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(f.fg.data(), f.fgShot.data(), f.fg.size() * sizeof(T));
        state.ResumeTiming();
        const int result = preferred
                               ? zephra_render(h, sizeof(T), kWidth, kHeight, &tile)
                               : zephra::renderWithIsa(*h, isa, sizeof(T), kWidth, kHeight, &tile);
        if (result != 0) std::abort();
        benchmark::ClobberMemory();
    }
    report(state);
    zephra_delete(h);
}

}  // namespace

// Collects every figure as it is reported, so that main can print the ratios afterwards.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("Mpixel/s");
            if (it != run.counters.end() && run.run_type == Run::RT_Iteration)
                figures.push_back({run.benchmark_name(), double(it->second)});
        }
    }
    std::vector<std::pair<std::string, double>> figures;
};

struct Case {
    const char* name;
    int view;
    bool mattes;
    bool bgAlpha;
    bool haze = false;
    bool saturation = false;  // both correction sets with a saturation other than 1
};

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("floor/stream/8", BM_FloorStream<std::uint8_t>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("floor/stream/16", BM_FloorStream<std::uint16_t>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("floor/table/8", BM_FloorTable<std::uint8_t>)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("floor/table/16", BM_FloorTable<std::uint16_t>)
        ->Unit(benchmark::kMillisecond);
    const Case cases[] = {
        {"composite+bg+alpha", 0, false, true},
        {"composite+bg+alpha+haze", 0, false, true, true},
        {"composite+bg+alpha+mattes", 0, true, true},
        {"composite+bg+alpha+saturation", 0, false, true, false, true},
        {"matte", 2, false, true},
        {"matte+mattes", 2, true, true},
        {"status", 5, false, true},
        {"status+mattes", 5, true, true},
        {"unpremultiplied", 4, false, true},
        {"unpremultiplied+mattes", 4, true, true},
    };
    // render/<case>/<depth> with the preferred loops; render/<case>/<depth>/<set> with each
    // other instruction set this processor runs.
    for (zephra::RenderIsa isa : zephra::availableRenderIsas()) {
        const std::string suffix = isa == zephra::preferredRenderIsa()
                                       ? std::string()
                                       : std::string("/") + zephra::renderIsaName(isa);
        for (int bytes : {1, 2}) {
            for (const Case& c : cases) {
                const std::string name =
                    std::string("render/") + c.name + "/" + (bytes == 1 ? "8" : "16") + suffix;
                if (bytes == 1)
                    benchmark::RegisterBenchmark(name.c_str(), [c, isa](benchmark::State& st) {
                        BM_Render<std::uint8_t>(st, c.view, c.mattes, c.bgAlpha, c.haze,
                                                c.saturation, isa);
                    })->Unit(benchmark::kMillisecond);
                else
                    benchmark::RegisterBenchmark(name.c_str(), [c, isa](benchmark::State& st) {
                        BM_Render<std::uint16_t>(st, c.view, c.mattes, c.bgAlpha, c.haze,
                                                 c.saturation, isa);
                    })->Unit(benchmark::kMillisecond);
            }
        }
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::map<std::string, double> floors;
    for (const auto& f : reporter.figures)
        if (f.first.rfind("floor/", 0) == 0) floors[f.first] = f.second;
    std::printf("\nloops: %s\n", zephra::renderIsaName(zephra::preferredRenderIsa()));
    std::printf("%-42s %10s %12s %12s\n", "render (1920x1080, single thread)", "Mpixel/s",
                "/ stream", "/ table");
    for (const auto& f : reporter.figures) {
        if (f.first.rfind("render/", 0) != 0) continue;
        // render/<case>/<depth>[/<set>]
        const std::size_t depthAt = f.first.find('/', f.first.find('/') + 1) + 1;
        const std::string depth = f.first.substr(depthAt, f.first.find('/', depthAt) - depthAt);
        const double stream =
            floors.count("floor/stream/" + depth) ? floors["floor/stream/" + depth] : 0;
        const double table =
            floors.count("floor/table/" + depth) ? floors["floor/table/" + depth] : 0;
        std::printf("%-42s %10.1f %12.3f %12.3f\n", f.first.c_str(), f.second,
                    stream > 0 ? f.second / stream : 0.0, table > 0 ? f.second / table : 0.0);
    }
    benchmark::Shutdown();
    return 0;
}
