// SPDX-License-Identifier: GPL-3.0-or-later
// Stray and hostile traffic against the capture link: other senders, lying
// headers and floods. Loopback only (127.0.0.2 is a second local address of
// the loopback interface).

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "core_simulator.h"
#include "datagram_builder.h"
#include "scripted_core.h"
#include "udp_test_socket.h"

using namespace testing_datagrams;

namespace {

TEST_F(ScriptedCoreTest, DatagramsFromAnotherAddressNeitherFeedTheCaptureNorGetTheRequests)
{
    UdpTestSocket stranger("127.0.0.2");
    ASSERT_TRUE(stranger.Bound());
    link.Start();
    ExpectRunRequest(core);
    // The stranger sends the same capture with other bytes, and a whole
    // capture of its own, before the core's packets arrive.
    for (uint16_t i = 0; i < 16; ++i) {
        std::vector<uint8_t> forged = Datagram(i == 0 ? 0xE1 : 0xE2, 7, i, 2, 12, 0xEE);
        ASSERT_TRUE(stranger.SendTo(client, forged));
    }
    for (uint16_t i = 0; i < 16; ++i)
        ASSERT_TRUE(stranger.SendTo(client, Packet(99, i)));
    SendPackets(core, 7, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 7; }, 2000));
    {
        std::lock_guard<std::mutex> guard(link.m_lock);
        for (int block = 0; block < 16; ++block)
            ASSERT_EQ(link.m_front.words[block * 1024 + 9], PayloadByte(7, static_cast<uint16_t>(block), 9));
    }
    EXPECT_EQ(link.Status().ignored.foreignSender, 32u);
    ExpectRunRequest(core, 1000);
    EXPECT_FALSE(stranger.Receive(200).has_value()) << "the stranger must not get a request";
}

struct PortCase {
    const char* name;
    int packetsFromOtherPort;   // of capture 4, the rest from the core's port
    bool requestsMove;
};

class PortMoveTest : public ScriptedCoreTest, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortMoveTest, RequestsMoveOnlyToAPortThatDeliveredAWholeCapture)
{
    UdpTestSocket other;
    ASSERT_TRUE(other.Bound());
    link.Start();
    ExpectRunRequest(core);
    const int n = GetParam().packetsFromOtherPort;
    if (n > 0)
        SendPackets(other, 4, 0, n);
    if (n < 16)
        SendPackets(core, 5, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.CompletedCaptures() == 1; }, 2000));
    EXPECT_EQ(link.FrontCaptureId(), n == 16 ? 4 : 5);
    UdpTestSocket& expected = GetParam().requestsMove ? other : core;
    UdpTestSocket& silent = GetParam().requestsMove ? core : other;
    ExpectRunRequest(expected, 1000);
    EXPECT_FALSE(silent.Receive(100).has_value());
    EXPECT_EQ(link.CorePort(), expected.Port());
}

INSTANTIATE_TEST_SUITE_P(Ports, PortMoveTest,
                         ::testing::Values(PortCase{"whole_capture_from_another_port", 16, true},
                                           PortCase{"first_packet_from_another_port", 1, false},
                                           PortCase{"half_a_capture_from_another_port", 8, false}),
                         [](const ::testing::TestParamInfo<PortCase>& p) { return std::string(p.param.name); });

TEST_F(ScriptedCoreTest, AfterThreeTimeOutsInARowRequestsGoBackToTheCoresOwnPort)
{
    UdpTestSocket other;
    ASSERT_TRUE(other.Bound());
    link.Start();
    ExpectRunRequest(core);
    SendPackets(other, 4, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 4; }, 2000));
    // The other port goes quiet: three requests, three time-outs.
    for (int i = 0; i < 3; ++i)
        ExpectRunRequest(other, 2000);
    EXPECT_FALSE(core.Receive(100).has_value());
    ExpectRunRequest(core, 2000);
    EXPECT_EQ(link.Status().timeoutsInARow, 3u);
    EXPECT_EQ(link.CorePort(), core.Port());
    SendPackets(core, 5, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 5; }, 2000));
    EXPECT_EQ(link.Status().timeoutsInARow, 0u);
}

TEST_F(ScriptedCoreTest, AnotherPortCannotRestartTheCaptureTheRequestAsked)
{
    UdpTestSocket other;
    ASSERT_TRUE(other.Bound());
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 7, 0, 8);
    // First packets of other captures from another port of the core's host.
    for (uint16_t id = 100; id < 110; ++id)
        ASSERT_TRUE(other.SendTo(client, Packet(id, 0)));
    ASSERT_TRUE(other.SendTo(client, Packet(7, 8)));   // and one of capture 7
    SendPackets(core, 7, 8, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 7; }, 2000));
    EXPECT_EQ(link.Status().ignored.notInCapture, 11u);
}

// Largest buffer the link asked for, by way of its allocator.
std::atomic<size_t> g_largestBuffer{0};

uint8_t* RecordingAllocator(size_t bytes)
{
    size_t seen = g_largestBuffer.load();
    while (bytes > seen && !g_largestBuffer.compare_exchange_weak(seen, bytes)) {
    }
    return new (std::nothrow) uint8_t[bytes];
}

TEST_F(ScriptedCoreTest, LyingHeadersCostNoMemoryAndCompleteNothing)
{
    g_largestBuffer = 0;
    link.SetBufferAllocator(RecordingAllocator);
    link.Start();
    ExpectRunRequest(core);
    // A first packet announcing 2^24 samples (64 MiB) followed by a further
    // packet whose header says 2^9 (two packets): once enough to complete a
    // 64 MiB capture.
    for (uint16_t id = 1; id <= 50; ++id) {
        ASSERT_TRUE(core.SendTo(client, Packet(id, 0, 2, 24)));
        ASSERT_TRUE(core.SendTo(client, Packet(id, 1, 2, 9)));
    }
    ASSERT_TRUE(WaitFor([&] { return link.Status().ignored.notInCapture == 50; }, 2000));
    EXPECT_EQ(link.CompletedCaptures(), 0u);
    EXPECT_EQ(link.FrontCaptureId(), 0);
    EXPECT_LE(g_largestBuffer.load(), 256u * 1024) << "a header alone must not size a buffer";
}

// Floods from another socket of the core's own host while the simulated core
// serves the link.
struct FloodCase {
    const char* name;
    // The flood's datagram number k.
    std::function<std::vector<uint8_t>(uint32_t k, std::mt19937& random)> datagram;
    // Request datagrams the attacker may get; -1: any number (whole captures
    // from its port do move the requests there until it falls silent).
    int maxRequestsToAttacker;
};

class FloodTest : public ::testing::TestWithParam<FloodCase> {};

TEST_P(FloodTest, CapturesResumeWithinSecondsAfterAFloodEnds)
{
    coresim::CoreOptions options;
    options.discoveryPort = 0;
    coresim::CoreSimulator core(options);
    ASSERT_TRUE(core.Start()) << core.LastError();
    CCaptureLink link;
    link.SetCore("127.0.0.1", core.CapturePort());
    link.Start();
    ASSERT_TRUE(WaitFor([&] { return link.CompletedCaptures() >= 3; }, 3000));

    // The attacker floods the link's port (where the core's captures go).
    UdpTestSocket attacker;
    ASSERT_TRUE(attacker.Bound());
    sockaddr_in linkAddress{};
    linkAddress.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &linkAddress.sin_addr);
    linkAddress.sin_port = htons(static_cast<uint16_t>(core.LastClientPort()));
    ASSERT_NE(linkAddress.sin_port, 0);

    std::mt19937 random(12345);
    const auto floodEnd = Clock::now() + std::chrono::seconds(2);
    uint32_t k = 0;
    while (Clock::now() < floodEnd) {
        attacker.SendTo(linkAddress, GetParam().datagram(k++, random));
        if (k % 64 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // Within a few seconds the requests go to the core again and its
    // captures arrive.
    EXPECT_TRUE(WaitFor([&] { return link.CorePort() == core.CapturePort(); }, 5000))
        << "requests still go to port " << link.CorePort();
    const uint32_t sentBefore = core.CapturesSent();
    const uint64_t completedBefore = link.CompletedCaptures();
    EXPECT_TRUE(WaitFor(
        [&] { return core.CapturesSent() >= sentBefore + 3 && link.CompletedCaptures() >= completedBefore + 3; }, 3000))
        << "captures did not resume after the flood: " << FormatLinkStatus(link.Status());
    link.StopAndWait();
    if (GetParam().maxRequestsToAttacker >= 0) {
        const auto requests = attacker.ReceiveAll(0, 0);
        EXPECT_LE(requests.size(), static_cast<size_t>(GetParam().maxRequestsToAttacker));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Floods, FloodTest,
    ::testing::Values(FloodCase{"random_bytes",
                                [](uint32_t, std::mt19937& random) {
                                    std::vector<uint8_t> d(1032);
                                    for (uint8_t& b : d)
                                        b = static_cast<uint8_t>(random());
                                    return d;
                                },
                                0},
                      FloodCase{"first_packets",
                                [](uint32_t k, std::mt19937&) { return Packet(static_cast<uint16_t>(k), 0); }, 0},
                      FloodCase{"whole_captures",
                                [](uint32_t k, std::mt19937&) {
                                    return Packet(static_cast<uint16_t>(1000 + k / 16), static_cast<uint16_t>(k % 16));
                                },
                                -1}),
    [](const ::testing::TestParamInfo<FloodCase>& p) { return std::string(p.param.name); });

}   // namespace
