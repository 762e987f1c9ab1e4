// The tuner's update after a parameter change, as the page sees it: from sending the request
// to having every byte of the re-keyed 1920x1080 picture, through the real server on the
// loopback address. Each iteration changes screenRange, so no picture comes from the cache.

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <malloc.h>

#include <cstdlib>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app/Demo.h"
#include "app/Session.h"
#include "app/tuner/TunerServer.h"

namespace {

using namespace pxhost;
using namespace pxhost::tuner;

// One tuner on the demo shot and plate for the whole program.
struct Bench {
    std::string folder;
    std::unique_ptr<Session> session;
    std::unique_ptr<TunerKeyer> keyer;
    std::unique_ptr<TunerServer> server;
    std::thread serving;

    Bench() {
        // Picture-sized buffers stay in the heap between updates, as pxhost's main arranges.
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        char name[] = "/tmp/bench-tuner-XXXXXX";
        folder = mkdtemp(name);
        writeDemoInputs(folder);
        session = std::make_unique<Session>(0);
        session->loadPlugins({});
        TunerInputs inputs;
        inputs.shot = folder + "/" + DemoNames::kForeground;
        inputs.background = folder + "/" + DemoNames::kBackground;
        keyer = std::make_unique<TunerKeyer>(*session, inputs);
        TunerSetup setup{inputs, folder + "/key.pxs", folder + "/key.png",
                         KeyerSettings(keyerCommand())};
        server = std::make_unique<TunerServer>(*keyer, setup, 0);
        serving = std::thread([this] { server->run(); });
        // The first picture of a frame reads the files; that is not an update.
        httplib::Client client("127.0.0.1", server->port());
        client.set_read_timeout(120);
        client.Get("/api/original?frame=1", {{"X-Tuner-Token", server->token()}});
    }
    ~Bench() {
        server->stop();
        serving.join();
        std::system(("rm -rf '" + folder + "'").c_str());
    }
};

Bench& bench() {
    static Bench b;
    return b;
}

void keyUpdate(benchmark::State& state, const char* view) {
    Bench& b = bench();
    httplib::Client client("127.0.0.1", b.server->port());
    const httplib::Headers auth = {{"X-Tuner-Token", b.server->token()}};
    nlohmann::json body = {
        {"frame", 1},
        {"view", view},
        {"values",
         {{"rScreen", 0.05}, {"gScreen", 0.11}, {"bScreen", 0.35}, {"screenRange", 0.0}}}};
    int step = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        body["values"]["screenRange"] = 0.001 * (++step % 100);
        const auto r = client.Post("/api/key", auth, body.dump(), "application/json");
        if (!r || r->status != 200) {
            state.SkipWithError("the key request failed");
            break;
        }
        bytes += r->body.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}

void BM_TunerUpdateComposite(benchmark::State& state) { keyUpdate(state, "composite"); }
void BM_TunerUpdateMatte(benchmark::State& state) { keyUpdate(state, "matte"); }
void BM_TunerUpdateStatus(benchmark::State& state) { keyUpdate(state, "status"); }

}  // namespace

BENCHMARK(BM_TunerUpdateComposite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TunerUpdateMatte)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TunerUpdateStatus)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
