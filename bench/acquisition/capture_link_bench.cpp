// Capture throughput of the link against the simulated core over loopback.
//
// BM_DefaultCaptures: 32-bit samples at depth 4096 with Run on, as fast as the
// link's own pacing allows (one capture per request, the next request 10 ms
// after the hand-over). Reports captures per second and captures lost (sent
// by the core but never handed over).
//
// BM_DeepCapturesPaced: depth 2^20 (4 MiB, 4096 datagrams) sent by the core
// at 1 Gb/s. Reports the fraction of captures sent that were completed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "acquisition/capture_link.h"
#include "core_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

struct RunResult {
    double seconds = 0;
    uint64_t completed = 0;
    uint32_t sent = 0;
    uint64_t timeouts = 0;
    uint64_t requests = 0;
    double coreGbps = 0;   // pacing the core achieved while sending captures
};

// Runs the link against `options` until the core has sent `captures`
// captures or `limit` passed, then lets the last capture in flight arrive.
RunResult Measure(const coresim::CoreOptions& options, uint32_t captures, std::chrono::seconds limit)
{
    RunResult r;
    coresim::CoreSimulator core(options);
    if (!core.Start())
        return r;
    CCaptureLink link;
    link.SetCore("127.0.0.1", core.CapturePort());
    const auto start = Clock::now();
    link.Start();
    while (core.CapturesSent() < captures && Clock::now() - start < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    link.SetRunEnabled(false);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // A capture already sent either completes or times out within a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    link.StopAndWait();
    core.Stop();
    r.completed = link.CompletedCaptures();
    r.sent = core.CapturesSent();
    r.timeouts = link.ReceiveTimeouts();
    r.requests = link.RequestsSent();
    r.coreGbps = core.CaptureSendSeconds() > 0 ? core.CaptureBitsSent() / core.CaptureSendSeconds() * 1e-9 : 0;
    return r;
}

void Report(benchmark::State& state, const RunResult& r)
{
    state.counters["captures_sent"] = r.sent;
    state.counters["captures_completed"] = static_cast<double>(r.completed);
    state.counters["captures_lost"] = static_cast<double>(r.sent) - static_cast<double>(r.completed);
    state.counters["receive_timeouts"] = static_cast<double>(r.timeouts);
    state.counters["requests"] = static_cast<double>(r.requests);
    state.counters["captures_per_s"] = r.seconds > 0 ? static_cast<double>(r.completed) / r.seconds : 0;
    state.counters["core_send_gbps"] = r.coreGbps;
    state.counters["fraction_completed"] = r.sent > 0 ? static_cast<double>(r.completed) / r.sent : 0;
}

void BM_DefaultCaptures(benchmark::State& state)
{
    coresim::CoreOptions options;
    options.discoveryPort = 0;
    for (auto _ : state) {
        const RunResult r = Measure(options, static_cast<uint32_t>(state.range(0)), std::chrono::seconds(300));
        state.SetIterationTime(r.seconds);
        Report(state, r);
    }
}
BENCHMARK(BM_DefaultCaptures)->Arg(2000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_DeepCapturesPaced(benchmark::State& state)
{
    coresim::CoreOptions options;
    options.discoveryPort = 0;
    options.depthExponent = 20;
    options.bitsPerSecond = 1e9;
    for (auto _ : state) {
        const RunResult r = Measure(options, static_cast<uint32_t>(state.range(0)), std::chrono::seconds(120));
        state.SetIterationTime(r.seconds);
        Report(state, r);
    }
}
BENCHMARK(BM_DeepCapturesPaced)->Arg(30)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}   // namespace

BENCHMARK_MAIN();
