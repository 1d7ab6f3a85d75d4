// SPDX-License-Identifier: GPL-3.0-or-later
// What a waveform view costs while the application runs: one document with
// its default signal, the simulated core on loopback as the demo core, the
// capture link, the capture distributor woken by the link's eventfd, and one
// shown view, over a fixed window of wall time.
//
//   Idle: nothing arriving. Run off; and Run on with a core that takes the
//         run requests and never answers. CPU seconds per second of the
//         whole process (view, link thread, simulator) and of the UI thread.
//   Live: Run on, captures at the link's pace. CPU per second, captures
//         handed over and shown; of those never shown, the longest time until
//         a newer one was handed over (short: they were overtaken, as when
//         captures outrun the paints and only the newest is shown); and the
//         time from a capture's hand-over to the end of the paint event that
//         puts it on the window.
//
// The hand-over is observed by a watcher thread that polls the link's front
// capture id every 100 microseconds; its own CPU time is measured on the
// thread and taken out of the process figure.
//
// Run: VEXLAR_BENCH=ON build, then
//   build/<dir>/bench/view/view_cpu_bench --benchmark_counters_tabular=true
// (QT_QPA_PLATFORM defaults to offscreen; the window is 10 s per case, or
// VEXLAR_BENCH_SECONDS.)

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "acquisition/capture_link.h"
#include "coresim/core_simulator.h"
#include "document/capture_distributor.h"
#include "document/vexlar_doc.h"
#include "view/vexlar_view.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

double WindowSeconds()
{
    if (const char* s = std::getenv("VEXLAR_BENCH_SECONDS")) {
        const double v = std::atof(s);
        if (v > 0)
            return v;
    }
    return 10.0;
}

void RunEventLoopFor(double seconds)
{
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

// Records when each capture id first appears at the front of the link.
class HandOverWatcher {
public:
    explicit HandOverWatcher(CCaptureLink& link) : m_link(link)
    {
        m_thread = std::thread([this] { Loop(); });
    }
    ~HandOverWatcher() { Stop(); }
    void Stop()
    {
        if (!m_thread.joinable())
            return;
        m_stop = true;
        m_thread.join();
    }
    double CpuSeconds() const { return m_cpu; }
    bool RealTime() const { return m_realTime; }
    bool Seen(int32_t id, Clock::time_point& when)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_seen.find(id);
        if (it == m_seen.end())
            return false;
        when = it->second;
        return true;
    }
    size_t Count()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen.size();
    }
    std::map<int32_t, Clock::time_point> All()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_seen;
    }

private:
    void Loop()
    {
        // Real-time priority where allowed, so that a busy machine does not
        // delay the observation (and so shorten the measured latency).
        sched_param param{};
        param.sched_priority = 1;
        m_realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
        const double start = ::CpuSeconds(RUSAGE_THREAD);
        int32_t last = m_link.FrontCaptureId();
        while (!m_stop) {
            const int32_t id = m_link.FrontCaptureId();
            if (id != last) {
                last = id;
                std::lock_guard<std::mutex> lock(m_mutex);
                m_seen.emplace(id, Clock::now());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        m_cpu = ::CpuSeconds(RUSAGE_THREAD) - start;
    }

    CCaptureLink& m_link;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    std::mutex m_mutex;
    std::map<int32_t, Clock::time_point> m_seen;
    double m_cpu = 0;
    std::atomic<bool> m_realTime{false};
};

struct Application {
    coresim::CoreSimulator core;
    CCaptureLink link;
    CVexlarDoc doc;
    CCaptureDistributor captures;
    CVexlarView view;

    // silentPort > 0: the link talks to that port, where nothing answers.
    explicit Application(bool run, int silentPort = 0)
        : core(DemoCore()), captures(link, [this] { return std::vector<CVexlarDoc*>{&doc}; }), view(&doc)
    {
        if (!core.Start())
            throw std::runtime_error("simulated core did not start");
        link.SetCore("127.0.0.1", silentPort > 0 ? silentPort : core.CapturePort());
        link.SetRunEnabled(run);
        link.Start();
        view.resize(1200, 700);
        view.show();
    }
    ~Application()
    {
        link.StopAndWait();
        core.Stop();
    }
    static coresim::CoreOptions DemoCore()
    {
        coresim::CoreOptions options;
        options.discoveryPort = 0;   // the link is given the core's port
        return options;
    }
};

// A UDP socket on loopback that takes datagrams and never answers.
class SilentCore {
public:
    SilentCore()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            throw std::runtime_error("no loopback socket for the silent core");
        m_port = ntohs(a.sin_port);
    }
    ~SilentCore() { ::close(m_fd); }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

// state.range(0): 0 Run off, 1 Run on with a silent core.
void BM_IdleView(benchmark::State& state)
{
    const double seconds = WindowSeconds();
    for (auto _ : state) {
        SilentCore silent;
        const bool run = state.range(0) != 0;
        Application app(run, run ? silent.Port() : 0);
        RunEventLoopFor(1.0);   // settle: first paints, link connected
        const uint64_t paints = app.view.PaintCount();
        const double cpu0 = CpuSeconds(RUSAGE_SELF);
        const double ui0 = CpuSeconds(RUSAGE_THREAD);
        QElapsedTimer wall;
        wall.start();
        RunEventLoopFor(seconds);
        const double elapsed = wall.nsecsElapsed() / 1e9;
        state.counters["cpu_per_s"] = (CpuSeconds(RUSAGE_SELF) - cpu0) / elapsed;
        state.counters["ui_cpu_per_s"] = (CpuSeconds(RUSAGE_THREAD) - ui0) / elapsed;
        state.counters["paints"] = static_cast<double>(app.view.PaintCount() - paints);
        state.counters["captures"] = static_cast<double>(app.link.CompletedCaptures());
        state.counters["wakeups"] = static_cast<double>(app.captures.Wakeups());
        state.SetIterationTime(elapsed);
    }
}

void BM_LiveView(benchmark::State& state)
{
    const double seconds = WindowSeconds();
    for (auto _ : state) {
        Application app(true);
        RunEventLoopFor(1.0);
        HandOverWatcher watcher(app.link);
        std::vector<double> latencies;
        std::vector<int32_t> shown;
        std::vector<Clock::time_point> paintEnds;   // of every paint that showed a new capture
        app.view.onPainted = [&](int32_t id) {
            if (!shown.empty() && shown.back() == id)
                return;
            Clock::time_point handedOver;
            const Clock::time_point now = Clock::now();
            shown.push_back(id);
            paintEnds.push_back(now);
            if (watcher.Seen(id, handedOver))
                latencies.push_back(std::chrono::duration<double, std::milli>(now - handedOver).count());
        };
        const uint64_t paints = app.view.PaintCount();
        const double cpu0 = CpuSeconds(RUSAGE_SELF);
        const double ui0 = CpuSeconds(RUSAGE_THREAD);
        QElapsedTimer wall;
        wall.start();
        RunEventLoopFor(seconds);
        const double elapsed = wall.nsecsElapsed() / 1e9;
        const double ui = CpuSeconds(RUSAGE_THREAD) - ui0;
        const double cpuNow = CpuSeconds(RUSAGE_SELF);
        app.view.onPainted = nullptr;
        watcher.Stop();
        const double cpu = cpuNow - cpu0 - watcher.CpuSeconds();
        std::sort(latencies.begin(), latencies.end());
        const auto pct = [&](double p) {
            if (latencies.empty())
                return 0.0;
            return latencies[std::min(latencies.size() - 1, static_cast<size_t>(p * latencies.size()))];
        };
        double sum = 0;
        for (double l : latencies)
            sum += l;
        const size_t handedOver = watcher.Count();
        // A capture that was never shown must have been overtaken: a newer
        // one was handed over soon after it, before a paint could show it.
        // The largest such gap says how soon (a capture left unshown for
        // want of a paint would show as a long gap).
        const std::map<int32_t, Clock::time_point> all = watcher.All();
        const std::set<int32_t> shownIds(shown.begin(), shown.end());
        double maxGap = 0;
        size_t notShown = 0;
        for (auto it = all.begin(); it != all.end(); ++it) {
            const auto next = std::next(it);
            if (shownIds.count(it->first) != 0 || next == all.end())
                continue;
            ++notShown;
            maxGap = std::max(maxGap, std::chrono::duration<double, std::milli>(next->second - it->second).count());
        }
        state.counters["cpu_per_s"] = cpu / elapsed;
        state.counters["ui_cpu_per_s"] = ui / elapsed;
        state.counters["paints"] = static_cast<double>(app.view.PaintCount() - paints);
        state.counters["handed_over"] = static_cast<double>(handedOver);
        state.counters["shown"] = static_cast<double>(latencies.size());
        state.counters["not_shown"] = static_cast<double>(notShown);
        state.counters["watcher_rt"] = watcher.RealTime() ? 1.0 : 0.0;
        state.counters["not_shown_max_gap_ms"] = maxGap;
        state.counters["lat_mean_ms"] = latencies.empty() ? 0.0 : sum / latencies.size();
        state.counters["lat_p99_ms"] = pct(0.99);
        state.counters["lat_max_ms"] = latencies.empty() ? 0.0 : latencies.back();
        state.SetIterationTime(elapsed);
    }
}

BENCHMARK(BM_IdleView)->ArgName("run")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_LiveView)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}   // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
