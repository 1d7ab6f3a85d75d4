// SPDX-License-Identifier: GPL-3.0-or-later
// vexlar-capture: receives captures from a logic-analyzer core without the GUI,
// prints one line per capture and, at the end, the link's counters.

#include <arpa/inet.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/capture_link.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnSignal(int)
{
    g_interrupted.store(true);
}

const char kUsage[] = "Usage: vexlar-capture [options]\n"
                      "Receives captures from a logic-analyzer core and prints one line per capture:\n"
                      "its id, depth, sample width and first sample words. At the end the link's\n"
                      "counters (completed and lost captures, ignored datagrams and why, receive\n"
                      "time-outs, the socket buffer granted) go to standard error.\n"
                      "\n"
                      "Options:\n"
                      "  --core ADDR:PORT   talk to this core directly (no discovery)\n"
                      "  --adapter ADDR     discover cores only through this local adapter address\n"
                      "                     (repeatable); without --core and --adapter every local\n"
                      "                     adapter is searched\n"
                      "  --count N          exit after N captures (default: until interrupted)\n"
                      "  --seconds S        give up after S seconds (exit status 1)\n"
                      "  --words N          sample words printed per capture (default 8)\n"
                      "  --trig-now         request single captures (Trig Now) instead of Run\n"
                      "  --help             show this text\n";

bool ParseCount(const char* text, long long lo, long long& out)
{
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < lo)
        return false;
    out = value;
    return true;
}

void PrintCapture(CCaptureLink& link, int wordsToShow)
{
    std::string line;
    char text[128];
    std::lock_guard<std::mutex> guard(link.m_lock);
    const CaptureFrame& f = link.m_front;
    std::snprintf(text, sizeof text, "capture %d: depth %d, width %d, trigger %d, words", f.captureId.load(), f.depth,
                  f.bitsPerSample, f.triggerPos);
    line = text;
    // Only words that lie inside the capture and its buffer.
    const int64_t captureBytes = static_cast<int64_t>(f.bitsPerSample / 8) * f.depth;
    const int64_t available = std::min<int64_t>(captureBytes, f.capacityBytes) / 4;
    const int64_t shown = f.words != nullptr ? std::min<int64_t>(wordsToShow, available) : 0;
    for (int64_t i = 0; i < shown; ++i) {
        std::snprintf(text, sizeof text, " %08" PRIX32, CaptureWord(f.words, static_cast<int32_t>(i)));
        line += text;
    }
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

}   // namespace

int main(int argc, char** argv)
{
    std::string coreAddress;
    int corePort = 0;
    std::vector<std::string> adapters;
    long long count = 0;
    long long seconds = 0;
    long long words = 8;
    bool trigNow = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--core" && hasValue) {
            const std::string value = argv[++i];
            const size_t colon = value.rfind(':');
            long long port = 0;
            if (colon == std::string::npos || colon == 0 || !ParseCount(value.c_str() + colon + 1, 1, port) ||
                port > 65535) {
                std::fprintf(stderr, "vexlar-capture: --core needs ADDR:PORT, got %s\n", value.c_str());
                return 2;
            }
            coreAddress = value.substr(0, colon);
            corePort = static_cast<int>(port);
            // The link takes the address as dotted IPv4 text; anything else would
            // leave it sending to 0.0.0.0, that is to this very host.
            in_addr parsed{};
            if (::inet_pton(AF_INET, coreAddress.c_str(), &parsed) != 1) {
                std::fprintf(stderr, "vexlar-capture: --core needs a dotted IPv4 address, got %s\n",
                             coreAddress.c_str());
                return 2;
            }
        } else if (arg == "--adapter" && hasValue) {
            adapters.emplace_back(argv[++i]);
        } else if (arg == "--count" && hasValue) {
            if (!ParseCount(argv[++i], 1, count)) {
                std::fprintf(stderr, "vexlar-capture: bad --count\n");
                return 2;
            }
        } else if (arg == "--seconds" && hasValue) {
            if (!ParseCount(argv[++i], 1, seconds)) {
                std::fprintf(stderr, "vexlar-capture: bad --seconds\n");
                return 2;
            }
        } else if (arg == "--words" && hasValue) {
            if (!ParseCount(argv[++i], 0, words)) {
                std::fprintf(stderr, "vexlar-capture: bad --words\n");
                return 2;
            }
        } else if (arg == "--trig-now") {
            trigNow = true;
        } else {
            std::fprintf(stderr, "vexlar-capture: unknown or incomplete option %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    CCaptureLink link;
    if (!coreAddress.empty()) {
        link.SetCore(coreAddress, corePort);
    } else if (!adapters.empty()) {
        link.SetAdapterSource([adapters] { return adapters; });
    }
    link.SetRunEnabled(!trigNow);
    link.Start();
    if (coreAddress.empty())
        std::fprintf(stderr, "vexlar-capture: searching for a logic-analyzer core...\n");

    const auto start = std::chrono::steady_clock::now();
    bool announced = !coreAddress.empty();
    int32_t lastId = 0;
    uint64_t lastCompleted = 0;
    uint64_t lastTimeouts = 0;
    long long printed = 0;
    int status = 0;
    while (!g_interrupted.load() && (count == 0 || printed < count)) {
        if (seconds > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds)) {
            std::fprintf(stderr, "vexlar-capture: %lld of %lld captures after %lld s\n", printed, count, seconds);
            status = 1;
            break;
        }
        if (!announced && !link.CoreAddress().empty()) {
            std::fprintf(stderr, "vexlar-capture: using core %s:%d\n", link.CoreAddress().c_str(), link.CorePort());
            announced = true;
        }
        // The completion counter also catches a capture whose id repeats the last one.
        const uint64_t completed = link.CompletedCaptures();
        const int32_t id = link.FrontCaptureId();
        if (completed != lastCompleted || id != lastId) {
            lastCompleted = completed;
            lastId = id;
            PrintCapture(link, static_cast<int>(words));
            ++printed;
            if (trigNow)
                link.TrigNow();
        } else if (trigNow && ((printed == 0 && link.RequestsSent() == 0) || link.ReceiveTimeouts() != lastTimeouts)) {
            // The first single capture, or another one after a capture was lost.
            lastTimeouts = link.ReceiveTimeouts();
            link.TrigNow();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    link.StopAndWait();
    std::fputs(FormatLinkStatus(link.Status()).c_str(), stderr);
    return status;
}
