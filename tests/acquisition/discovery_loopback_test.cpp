// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery restricted to 127.0.0.1: the broadcast of a socket bound to the
// loopback address stays on the loopback interface. These tests use the real
// discovery port and therefore run one at a time (ctest RESOURCE_LOCK).

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "acquisition/capture_link.h"
#include "acquisition/device_scanner.h"
#include "core_simulator.h"
#include "udp_test_socket.h"

using Clock = std::chrono::steady_clock;

namespace {

AdapterSource LoopbackOnly()
{
    return [] { return std::vector<std::string>{"127.0.0.1"}; };
}

coresim::CoreOptions LoopbackCore(uint32_t coreId = LOGIC_ANALYZER_CORE_ID)
{
    coresim::CoreOptions o;
    o.address = "127.0.0.1";
    o.discoveryPort = DISCOVERY_PORT;
    o.coreId = coreId;
    return o;
}

TEST(LoopbackDiscoveryTest, TwoCoresOnOneHostAnswerWithTheirOwnPorts)
{
    coresim::CoreSimulator first(LoopbackCore());
    coresim::CoreSimulator second(LoopbackCore());
    coresim::CoreSimulator other(LoopbackCore(0x0BADC0DE));
    ASSERT_TRUE(first.Start()) << first.LastError();
    ASSERT_TRUE(second.Start()) << second.LastError();
    ASSERT_TRUE(other.Start()) << other.LastError();

    CDeviceScanner scanner(LoopbackOnly());
    scanner.Scan();
    EXPECT_EQ(scanner.m_adapterAddresses, (std::list<std::string>{"127.0.0.1"}));
    int logicAnalyzers = 0;
    bool sawFirst = false, sawSecond = false, sawOther = false;
    for (const auto& r : scanner.m_devices) {
        EXPECT_EQ(r->address, "127.0.0.1");
        EXPECT_EQ(r->adapterAddress, "127.0.0.1");
        EXPECT_EQ(r->status, 1);
        logicAnalyzers += r->coreId == LOGIC_ANALYZER_CORE_ID ? 1 : 0;
        sawFirst |= r->port == first.CapturePort();
        sawSecond |= r->port == second.CapturePort();
        sawOther |= r->coreId == 0x0BADC0DE && r->port == other.CapturePort();
    }
    EXPECT_EQ(scanner.m_devices.size(), 3u) << "each core answers both requests but has one record";
    EXPECT_EQ(logicAnalyzers, 2);
    EXPECT_TRUE(sawFirst && sawSecond && sawOther);
    EXPECT_EQ(first.DiscoveryReplies(), 2u) << "one reply per request";
}

TEST(LoopbackDiscoveryTest, LinkWithoutACoreFindsOneAndCaptures)
{
    coresim::CoreSimulator notAnalyzer(LoopbackCore(0x0BADC0DE));
    coresim::CoreSimulator core(LoopbackCore());
    ASSERT_TRUE(notAnalyzer.Start()) << notAnalyzer.LastError();
    ASSERT_TRUE(core.Start()) << core.LastError();
    CCaptureLink link;
    link.SetCore("", 0);
    link.SetAdapterSource(LoopbackOnly());
    link.Start();
    ASSERT_TRUE(WaitFor([&] { return link.CompletedCaptures() >= 2; }, 5000));
    EXPECT_EQ(link.CoreAddress(), "127.0.0.1");
    EXPECT_EQ(link.CorePort(), core.CapturePort());
    EXPECT_EQ(notAnalyzer.CapturesSent(), 0u);
    link.StopAndWait();
}

TEST(LoopbackDiscoveryTest, LinkStillSearchingStopsWithinAboutASecond)
{
    CCaptureLink link;
    link.SetAdapterSource(LoopbackOnly());
    link.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(700));   // inside a discovery pass
    const auto t = Clock::now();
    link.StopAndWait();
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(1100));
    EXPECT_FALSE(link.IsRunning());
    EXPECT_EQ(link.FrontCaptureId(), 0);
}

TEST(LoopbackDiscoveryTest, CancelledScanEndsEarly)
{
    CDeviceScanner scanner(LoopbackOnly());
    const auto t = Clock::now();
    scanner.SetCancelCheck([&] { return Clock::now() - t > std::chrono::milliseconds(100); });
    scanner.Scan();
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(400));
}

}   // namespace
