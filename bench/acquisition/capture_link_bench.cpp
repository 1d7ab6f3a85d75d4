// SPDX-License-Identifier: GPL-3.0-or-later
// Capture throughput of the link against the simulated core over loopback.
//
// BM_DefaultCaptures: 32-bit samples at depth 4096 with Run on, as fast as the
// link's own pacing allows (one capture per request, the next request 10 ms
// after the hand-over). Reports captures per second and captures lost (sent
// by the core but never handed over).
//
// BM_DefaultCapturesBusy: the same while two other processes, started by the
// benchmark and ended with it (at most five minutes), keep both cores busy.
//
// BM_DeepCapturesPaced/D/N: N captures of depth 2^D (32-bit samples) sent by
// the core at 1 Gb/s. Reports the fraction of captures sent that completed
// and the socket receive buffer the kernel granted.
//
// Every case reports the CPU time of the capture thread per captured MiB
// (the thread is found as the one the link starts).

#include <benchmark/benchmark.h>

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/capture_link.h"
#include "core_simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

std::set<int> ThreadIds()
{
    std::set<int> ids;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                ids.insert(std::atoi(entry->d_name));
        }
        ::closedir(dir);
    }
    return ids;
}

// User plus system CPU seconds of one thread of this process.
double ThreadCpuSeconds(int tid)
{
    const std::string path = "/proc/self/task/" + std::to_string(tid) + "/stat";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return 0;
    char text[1024] = {};
    const size_t length = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    // Fields after the command name, which ends at the last ')': state is
    // field 3, utime field 14 and stime field 15.
    const char* p = std::strrchr(text, ')');
    if (length == 0 || p == nullptr)
        return 0;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return 0;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Processes that keep the cores busy until stopped (or for five minutes).
class BusyProcesses {
public:
    explicit BusyProcesses(int count)
    {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::alarm(300);
                volatile unsigned long spin = 0;
                for (;;)
                    spin = spin + 1;
            }
            if (pid > 0)
                m_pids.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (pid_t pid : m_pids)
            ::kill(pid, SIGKILL);
        for (pid_t pid : m_pids)
            ::waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;

private:
    std::vector<pid_t> m_pids;
};

struct RunResult {
    double seconds = 0;
    uint64_t completed = 0;
    uint32_t sent = 0;
    uint64_t timeouts = 0;
    uint64_t requests = 0;
    uint64_t lost = 0;
    double coreGbps = 0;   // pacing the core achieved while sending captures
    double threadCpuSeconds = 0;
    int64_t granted = 0;
    uint32_t coreAccepted = 0;   // requests the core answered with a capture
    uint64_t ignored = 0;        // datagrams the link did not take
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
    const std::set<int> before = ThreadIds();
    const auto start = Clock::now();
    link.Start();
    int captureThread = 0;
    while (captureThread == 0 && Clock::now() - start < std::chrono::seconds(5)) {
        for (int tid : ThreadIds()) {
            if (before.count(tid) == 0)
                captureThread = tid;
        }
    }
    const double cpuStart = ThreadCpuSeconds(captureThread);
    while (core.CapturesSent() < captures && Clock::now() - start < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    link.SetRunEnabled(false);
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // A capture already sent either completes or times out within a second.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    r.threadCpuSeconds = ThreadCpuSeconds(captureThread) - cpuStart;
    link.StopAndWait();
    core.Stop();
    const CaptureLinkStatus status = link.Status();
    r.completed = status.capturesCompleted;
    r.sent = core.CapturesSent();
    r.timeouts = status.receiveTimeouts;
    r.requests = status.requestsSent;
    r.lost = status.capturesLost;
    r.granted = status.receiveBufferGranted;
    r.coreAccepted = core.RequestsAccepted();
    r.ignored = status.ignored.Total();
    r.coreGbps = core.CaptureSendSeconds() > 0 ? core.CaptureBitsSent() / core.CaptureSendSeconds() * 1e-9 : 0;
    return r;
}

void Report(benchmark::State& state, const RunResult& r, double captureMiB)
{
    state.counters["captures_sent"] = r.sent;
    state.counters["captures_completed"] = static_cast<double>(r.completed);
    state.counters["captures_lost"] = static_cast<double>(r.sent) - static_cast<double>(r.completed);
    state.counters["link_lost"] = static_cast<double>(r.lost);
    state.counters["receive_timeouts"] = static_cast<double>(r.timeouts);
    state.counters["requests"] = static_cast<double>(r.requests);
    state.counters["captures_per_s"] = r.seconds > 0 ? static_cast<double>(r.completed) / r.seconds : 0;
    state.counters["core_send_gbps"] = r.coreGbps;
    state.counters["fraction_completed"] = r.sent > 0 ? static_cast<double>(r.completed) / r.sent : 0;
    state.counters["rcvbuf_granted"] = static_cast<double>(r.granted);
    state.counters["core_answered"] = r.coreAccepted;
    state.counters["ignored"] = static_cast<double>(r.ignored);
    const double mib = static_cast<double>(r.completed) * captureMiB;
    state.counters["thread_cpu_ms_per_MiB"] = mib > 0 ? r.threadCpuSeconds * 1e3 / mib : 0;
}

coresim::CoreOptions DefaultOptions()
{
    coresim::CoreOptions options;
    options.discoveryPort = 0;
    return options;
}

void BM_DefaultCaptures(benchmark::State& state)
{
    for (auto _ : state) {
        const RunResult r = Measure(DefaultOptions(), static_cast<uint32_t>(state.range(0)), std::chrono::seconds(300));
        state.SetIterationTime(r.seconds);
        Report(state, r, 4096.0 * 4 / (1 << 20));
    }
}
BENCHMARK(BM_DefaultCaptures)->Arg(2000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_DefaultCapturesBusy(benchmark::State& state)
{
    for (auto _ : state) {
        const BusyProcesses busy(2);
        const RunResult r = Measure(DefaultOptions(), static_cast<uint32_t>(state.range(0)), std::chrono::seconds(280));
        state.SetIterationTime(r.seconds);
        Report(state, r, 4096.0 * 4 / (1 << 20));
    }
}
BENCHMARK(BM_DefaultCapturesBusy)->Arg(2000)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_DeepCapturesPaced(benchmark::State& state)
{
    coresim::CoreOptions options = DefaultOptions();
    options.depthExponent = static_cast<int>(state.range(0));
    options.bitsPerSecond = 1e9;
    for (auto _ : state) {
        const RunResult r = Measure(options, static_cast<uint32_t>(state.range(1)), std::chrono::seconds(180));
        state.SetIterationTime(r.seconds);
        Report(state, r, static_cast<double>(int64_t{4} << options.depthExponent) / (1 << 20));
    }
}
BENCHMARK(BM_DeepCapturesPaced)
    ->Args({20, 40})
    ->Args({22, 20})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}   // namespace

BENCHMARK_MAIN();
