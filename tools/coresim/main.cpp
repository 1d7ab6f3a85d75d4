// SPDX-License-Identifier: GPL-3.0-or-later
// vexlar-coresim: a simulated logic-analyzer core on the local machine.

#include <signal.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <set>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "core_simulator.h"

namespace {

std::atomic<bool> g_interrupted{false};

void OnSignal(int)
{
    g_interrupted.store(true);
}

const char kUsage[] = "Usage: vexlar-coresim [options]\n"
                      "A simulated logic-analyzer core: answers discovery ('V') and sends one capture\n"
                      "per capture request, with a live test pattern.\n"
                      "\n"
                      "Options:\n"
                      "  --address ADDR          local IPv4 address to serve on (default 127.0.0.1)\n"
                      "  --discovery-port PORT   discovery port (default 4626)\n"
                      "  --no-discovery          do not answer discovery requests\n"
                      "  --capture-port PORT     capture port (default 0: any free port)\n"
                      "  --core-id ID            core id in discovery replies (default 0xFE010111)\n"
                      "  --status N              status byte of discovery replies (default 1)\n"
                      "  --width-exp B           sample width 8<<B bits (default 2: 32 bits)\n"
                      "  --depth-exp D           depth 1<<D samples (default 12: 4096); a capture is at\n"
                      "                          most 65536 datagrams (64 MiB)\n"
                      "  --rate BITS             pace the datagrams at BITS per second (suffix k, M, G)\n"
                      "Faults (LIST is comma-separated datagram indexes; 0 is the first packet):\n"
                      "  --drop LIST             never send these datagrams\n"
                      "  --duplicate LIST        send these datagrams twice\n"
                      "  --reorder LIST          send each after the datagram that follows it\n"
                      "  --delay LIST            pause --delay-ms (default 50) before these datagrams\n"
                      "  --delay-ms MS\n"
                      "  --lose-first            never send the first packet\n"
                      "  --short LIST            send these cut to --short-length bytes (default 100)\n"
                      "  --short-length N\n"
                      "  --oversized LIST        send these padded to --oversized-length bytes (default 4096)\n"
                      "  --oversized-length N\n"
                      "  --late N                send N packets of the previous capture ...\n"
                      "  --late-before I         ... before datagram I of each capture (default 0)\n"
                      "  --fault-captures N      apply the faults to the first N captures only\n"
                      "Run time:\n"
                      "  --captures N            exit after N captures have been sent\n"
                      "  --seconds S             exit after S seconds\n"
                      "  --help                  show this text\n";

bool ParseIndexList(const std::string& text, std::set<int>& out)
{
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        char* end = nullptr;
        const long value = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || value < 0 || value > 65535)
            return false;
        out.insert(static_cast<int>(value));
    }
    return true;
}

bool ParseLong(const std::string& text, long long lo, long long hi, long long& out)
{
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno != 0 || value < lo || value > hi)
        return false;
    out = value;
    return true;
}

bool ParseRate(const std::string& text, double& out)
{
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str())
        return false;
    const std::string suffix = end;
    if (suffix == "k" || suffix == "K")
        value *= 1e3;
    else if (suffix == "M")
        value *= 1e6;
    else if (suffix == "G")
        value *= 1e9;
    else if (!suffix.empty())
        return false;
    if (!(value >= 0))
        return false;
    out = value;
    return true;
}

}   // namespace

int main(int argc, char** argv)
{
    coresim::CoreOptions options;
    long long maxCaptures = -1;
    long long maxSeconds = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::cerr << "vexlar-coresim: " << arg << " needs a value\n";
                return false;
            }
            out = argv[++i];
            return true;
        };
        auto number = [&](long long lo, long long hi, long long& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseLong(text, lo, hi, out)) {
                std::cerr << "vexlar-coresim: bad value for " << arg << ": " << text << "\n";
                return false;
            }
            return true;
        };
        auto list = [&](std::set<int>& out) {
            std::string text;
            if (!value(text))
                return false;
            if (!ParseIndexList(text, out)) {
                std::cerr << "vexlar-coresim: bad index list for " << arg << ": " << text << "\n";
                return false;
            }
            return true;
        };
        long long n = 0;
        std::string text;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--address") {
            ok = value(options.address);
        } else if (arg == "--discovery-port") {
            ok = number(1, 65535, n);
            options.discoveryPort = static_cast<int>(n);
        } else if (arg == "--no-discovery") {
            options.discoveryPort = 0;
        } else if (arg == "--capture-port") {
            ok = number(0, 65535, n);
            options.capturePort = static_cast<int>(n);
        } else if (arg == "--core-id") {
            ok = number(0, 0xFFFFFFFFLL, n);
            options.coreId = static_cast<uint32_t>(n);
        } else if (arg == "--status") {
            ok = number(0, 255, n);
            options.status = static_cast<uint8_t>(n);
        } else if (arg == "--width-exp") {
            ok = number(0, 7, n);
            options.widthExponent = static_cast<int>(n);
        } else if (arg == "--depth-exp") {
            ok = number(0, 30, n);
            options.depthExponent = static_cast<int>(n);
        } else if (arg == "--rate") {
            ok = value(text) && ParseRate(text, options.bitsPerSecond);
            if (!ok)
                std::cerr << "vexlar-coresim: bad rate: " << text << "\n";
        } else if (arg == "--drop") {
            ok = list(options.dropIndexes);
        } else if (arg == "--duplicate") {
            ok = list(options.duplicateIndexes);
        } else if (arg == "--reorder") {
            ok = list(options.reorderIndexes);
        } else if (arg == "--delay") {
            ok = list(options.delayIndexes);
        } else if (arg == "--delay-ms") {
            ok = number(0, 60000, n);
            options.delayMs = static_cast<int>(n);
        } else if (arg == "--lose-first") {
            options.loseFirstPacket = true;
        } else if (arg == "--short") {
            ok = list(options.shortIndexes);
        } else if (arg == "--short-length") {
            ok = number(0, 1031, n);
            options.shortLength = static_cast<int>(n);
        } else if (arg == "--oversized") {
            ok = list(options.oversizedIndexes);
        } else if (arg == "--oversized-length") {
            ok = number(1033, 65507, n);
            options.oversizedLength = static_cast<int>(n);
        } else if (arg == "--late") {
            ok = number(0, 65535, n);
            options.latePackets = static_cast<int>(n);
        } else if (arg == "--late-before") {
            ok = number(0, 65535, n);
            options.lateBeforeIndex = static_cast<int>(n);
        } else if (arg == "--fault-captures") {
            ok = number(0, INT_MAX, n);
            options.faultCaptures = static_cast<int>(n);
        } else if (arg == "--captures") {
            ok = number(1, 1LL << 31, maxCaptures);
        } else if (arg == "--seconds") {
            ok = number(1, 1LL << 31, maxSeconds);
        } else {
            std::cerr << "vexlar-coresim: unknown option " << arg << "\n" << kUsage;
            return 2;
        }
        if (!ok)
            return 2;
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    coresim::CoreSimulator core(options);
    if (!core.Start()) {
        std::cerr << "vexlar-coresim: " << core.LastError() << "\n";
        return 1;
    }
    std::printf("vexlar-coresim: core 0x%08X at %s, capture port %d, discovery port %d\n",
                static_cast<unsigned>(options.coreId), options.address.c_str(), core.CapturePort(),
                core.DiscoveryPort());
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    while (!g_interrupted.load()) {
        if (maxCaptures > 0 && core.CapturesSent() >= static_cast<unsigned long long>(maxCaptures))
            break;
        if (maxSeconds > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(maxSeconds))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    core.Stop();
    std::printf("vexlar-coresim: %u captures sent\n", core.CapturesSent());
    return 0;
}
