// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated core seen from the wire: discovery reply, one capture per
// request burst, the test pattern, fault injection and a quick stop.

#include "core_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <string>
#include <vector>

#include "acquisition/device_scanner.h"
#include "udp_test_socket.h"

using Clock = std::chrono::steady_clock;

namespace {

const std::vector<uint8_t> kRunRequest = {0xE2, 0xC2};
const std::vector<uint8_t> kTrigNowRequest = {0xE2, 0xC1};

coresim::CoreOptions NoDiscovery()
{
    coresim::CoreOptions o;
    o.discoveryPort = 0;
    return o;
}

// A free UDP port for a discovery socket of our own (not the real 4626).
uint16_t FreePort()
{
    UdpTestSocket probe("0.0.0.0", 0);
    return probe.Port();
}

struct Packet {
    uint8_t type;
    uint16_t id;
    uint16_t index;
    size_t length;
};

std::vector<Packet> Decode(const std::vector<UdpTestSocket::Datagram>& datagrams)
{
    std::vector<Packet> out;
    for (const auto& d : datagrams) {
        if (d.bytes.size() < 8)
            continue;
        out.push_back({d.bytes[0], static_cast<uint16_t>(d.bytes[2] << 8 | d.bytes[3]),
                       static_cast<uint16_t>(d.bytes[4] << 8 | d.bytes[5]), d.bytes.size()});
    }
    return out;
}

TEST(CoreSimulatorTest, AnswersDiscoveryWithItsIdAndCapturePort)
{
    coresim::CoreOptions o;
    o.discoveryPort = FreePort();
    o.coreId = 0x12345678;
    o.status = 3;
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.DiscoveryPort()), {'V'}));
    auto reply = client.Receive(1000);
    ASSERT_TRUE(reply.has_value());
    const auto port = static_cast<uint16_t>(core.CapturePort());
    const std::vector<uint8_t> expected = {
        'W', 3, 0x12, 0x34, 0x56, 0x78, static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port)};
    EXPECT_EQ(reply->bytes, expected);
    EXPECT_EQ(ntohs(reply->sender.sin_port), port) << "the reply comes from the capture socket";
    // Anything that is not a 'V' request gets no answer.
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.DiscoveryPort()), {'X'}));
    EXPECT_FALSE(client.Receive(200).has_value());
}

TEST(CoreSimulatorTest, ThreeRunRequestsBackToBackGiveOneCapture)
{
    coresim::CoreSimulator core(NoDiscovery());
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    std::vector<Packet> packets = Decode(client.ReceiveAll(1000, 150));
    ASSERT_EQ(packets.size(), 16u);
    EXPECT_EQ(packets[0].type, 0xE1);
    for (uint16_t i = 0; i < 16; ++i) {
        EXPECT_EQ(packets[i].index, i);
        EXPECT_EQ(packets[i].id, 1);
        EXPECT_EQ(packets[i].length, 1032u);
    }
    EXPECT_EQ(core.CapturesSent(), 1u);
    EXPECT_EQ(core.RequestsIgnored(), 2u);

    // The next request, as the client sends it after a capture, gets capture 2.
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kTrigNowRequest));
    packets = Decode(client.ReceiveAll(1000, 150));
    ASSERT_EQ(packets.size(), 16u);
    EXPECT_EQ(packets[0].id, 2);
}

TEST(CoreSimulatorTest, ACopyOfTheRunRequestDeliveredAfterTheCaptureGetsNoCaptureOfItsOwn)
{
    // On a busy machine the kernel can deliver the third copy of a run request
    // after the whole capture has left; answering it would send a capture that
    // nobody asked for.
    coresim::CoreSimulator core(NoDiscovery());
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    const auto port = static_cast<uint16_t>(core.CapturePort());
    ASSERT_TRUE(client.SendTo("127.0.0.1", port, kRunRequest));
    ASSERT_TRUE(client.SendTo("127.0.0.1", port, kRunRequest));
    ASSERT_EQ(Decode(client.ReceiveAll(1000, 20)).size(), 16u);
    ASSERT_TRUE(client.SendTo("127.0.0.1", port, kRunRequest));   // the late copy
    EXPECT_TRUE(client.ReceiveAll(300, 0).empty());
    EXPECT_EQ(core.CapturesSent(), 1u);

    // The next run request, three copies as the client sends it, gets capture 2.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(client.SendTo("127.0.0.1", port, kRunRequest));
    const std::vector<Packet> packets = Decode(client.ReceiveAll(1000, 150));
    ASSERT_EQ(packets.size(), 16u);
    EXPECT_EQ(packets[0].id, 2);
    EXPECT_EQ(core.CapturesSent(), 2u);
}

struct OrderCase {
    const char* name;
    void (*apply)(coresim::CoreOptions&);
    std::vector<int> indexes;   // datagram indexes in order of arrival; -n: late packet n
};

class FaultOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FaultOrderTest, DatagramsLeaveInTheFaultyOrder)
{
    coresim::CoreOptions o = NoDiscovery();
    o.depthExponent = 11;   // 8 datagrams
    GetParam().apply(o);
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    std::vector<int> arrived;
    for (const Packet& p : Decode(client.ReceiveAll(1000, 200)))
        arrived.push_back(p.id == 1 ? p.index : -p.index);
    EXPECT_EQ(arrived, GetParam().indexes);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FaultOrderTest,
    ::testing::Values(
        OrderCase{"none", [](coresim::CoreOptions&) {}, {0, 1, 2, 3, 4, 5, 6, 7}},
        OrderCase{"drop",
                  [](coresim::CoreOptions& o) {
                      o.dropIndexes = {2, 5};
                  },
                  {0, 1, 3, 4, 6, 7}},
        OrderCase{"duplicate", [](coresim::CoreOptions& o) { o.duplicateIndexes = {3}; }, {0, 1, 2, 3, 3, 4, 5, 6, 7}},
        OrderCase{"reorder",
                  [](coresim::CoreOptions& o) {
                      o.reorderIndexes = {1, 5};
                  },
                  {0, 2, 1, 3, 4, 6, 5, 7}},
        OrderCase{"lose_first", [](coresim::CoreOptions& o) { o.loseFirstPacket = true; }, {1, 2, 3, 4, 5, 6, 7}},
        OrderCase{"late",
                  [](coresim::CoreOptions& o) {
                      o.latePackets = 2;
                      o.lateBeforeIndex = 4;
                  },
                  {0, 1, 2, 3, -1, -2, 4, 5, 6, 7}},
        OrderCase{"delay",
                  [](coresim::CoreOptions& o) {
                      o.delayIndexes = {6};
                      o.delayMs = 20;
                  },
                  {0, 1, 2, 3, 4, 5, 6, 7}}),
    [](const ::testing::TestParamInfo<OrderCase>& p) { return std::string(p.param.name); });

TEST(CoreSimulatorTest, ShortAndOversizedDatagramsHaveTheirLengths)
{
    coresim::CoreOptions o = NoDiscovery();
    o.depthExponent = 10;   // 4 datagrams
    o.shortIndexes = {1};
    o.shortLength = 50;
    o.oversizedIndexes = {2};
    o.oversizedLength = 3000;
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    const std::vector<Packet> packets = Decode(client.ReceiveAll(1000, 200));
    ASSERT_EQ(packets.size(), 4u);
    EXPECT_EQ(packets[0].length, 1032u);
    EXPECT_EQ(packets[1].length, 50u);
    EXPECT_EQ(packets[2].length, 3000u);
    EXPECT_EQ(packets[3].length, 1032u);
}

TEST(CoreSimulatorTest, NarrowSamplesAreThePatternsLowBytes)
{
    coresim::CoreOptions o = NoDiscovery();
    o.widthExponent = 0;
    o.depthExponent = 11;   // 2048 one-byte samples: 2 datagrams
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    const auto datagrams = client.ReceiveAll(1000, 150);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(datagrams[1].bytes[6], 0);
    EXPECT_EQ(datagrams[1].bytes[7], 11);
    for (uint32_t k = 0; k < 1024; ++k)
        ASSERT_EQ(datagrams[1].bytes[8 + k], static_cast<uint8_t>(coresim::PatternWord(1, 1024 + k))) << k;
}

TEST(CoreSimulatorTest, WideSamplesAreThePatternZeroExtended)
{
    // 64-bit samples (width exponent 3), a width the client must refuse: the
    // simulator still sends well-defined bytes, the 32-bit pattern word in the
    // low half of each sample and zeros above it.
    coresim::CoreOptions o = NoDiscovery();
    o.widthExponent = 3;
    o.depthExponent = 8;   // 256 eight-byte samples: 2 datagrams
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    const auto datagrams = client.ReceiveAll(1000, 150);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(datagrams[0].bytes[6], 3);
    for (size_t d = 0; d < 2; ++d) {
        ASSERT_EQ(datagrams[d].bytes.size(), 1032u);
        for (uint32_t k = 0; k < 1024; ++k) {
            const uint32_t offset = static_cast<uint32_t>(d) * 1024 + k;
            const uint32_t sample = offset / 8;
            const uint32_t byte = offset % 8;
            const uint8_t expected = byte < 4 ? static_cast<uint8_t>(coresim::PatternWord(1, sample) >> (8 * byte)) : 0;
            ASSERT_EQ(datagrams[d].bytes[8 + k], expected) << "sample " << sample << " byte " << byte;
        }
    }
}

TEST(CoreSimulatorTest, PacedCaptureTakesItsTimeAndStopIsQuick)
{
    coresim::CoreOptions o = NoDiscovery();
    o.depthExponent = 14;    // 64 datagrams, 528,384 bits
    o.bitsPerSecond = 2e6;   // about 260 ms
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    UdpTestSocket client;
    const auto t = Clock::now();
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(core.CapturePort()), kRunRequest));
    EXPECT_EQ(client.ReceiveAll(1000, 100).size(), 64u);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
    EXPECT_GE(ms, 240) << "64 datagrams at 2 Mb/s";

    // A capture of 1024 datagrams at that rate would take four seconds: stop it.
    coresim::CoreOptions slow = o;
    slow.depthExponent = 18;
    coresim::CoreSimulator deep(slow);
    ASSERT_TRUE(deep.Start()) << deep.LastError();
    ASSERT_TRUE(client.SendTo("127.0.0.1", static_cast<uint16_t>(deep.CapturePort()), kRunRequest));
    ASSERT_TRUE(client.Receive(3000).has_value());
    const auto s = Clock::now();
    deep.Stop();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - s).count(), 200);
    EXPECT_EQ(deep.CapturesSent(), 0u);
}

TEST(CoreSimulatorTest, StartFailsCleanlyOnAnAddressThatIsNotOurs)
{
    coresim::CoreOptions o = NoDiscovery();
    o.address = "203.0.113.77";
    const std::vector<std::string> local = SystemAdapterAddresses();
    if (std::find(local.begin(), local.end(), o.address) == local.end()) {
        coresim::CoreSimulator core(o);
        EXPECT_FALSE(core.Start());
        EXPECT_FALSE(core.LastError().empty());
    }
    o.address = "not an address";
    coresim::CoreSimulator bad(o);
    EXPECT_FALSE(bad.Start());
}

TEST(CoreSimulatorTest, StartRefusesCapturesBeyondTheSixteenBitPacketIndex)
{
    // The packet index is 16 bits: a capture has at most 65536 datagrams
    // (64 MiB). Larger ones could not be numbered, and the largest the options
    // allow (128-byte samples at depth 2^30) cannot even be held in memory.
    struct Case {
        int width;
        int depth;
        bool starts;
    };
    const Case cases[] = {{2, 24, true}, {0, 26, true}, {3, 23, true}, {2, 25, false}, {0, 27, false}, {7, 30, false}};
    for (const Case& c : cases) {
        coresim::CoreOptions o = NoDiscovery();
        o.widthExponent = c.width;
        o.depthExponent = c.depth;
        coresim::CoreSimulator core(o);
        EXPECT_EQ(core.Start(), c.starts) << "width exponent " << c.width << ", depth exponent " << c.depth;
        if (!c.starts) {
            EXPECT_EQ(core.CapturePort(), 0);
            EXPECT_FALSE(core.LastError().empty());
        }
    }
}

TEST(TestPatternTest, SignalsOfTheSampleWord)
{
    const uint16_t id = 5;
    std::string uartText;
    int minSine = 4096, maxSine = -1;
    for (uint32_t i = 0; i < 4096; ++i) {
        const uint32_t w = coresim::PatternWord(id, i);
        ASSERT_EQ(w & 1u, i & 1u) << "clock";
        ASSERT_EQ((w >> 1) & 0xFFu, ((i >> 4) + id) & 0xFFu) << "bus";
        ASSERT_EQ((w >> 24) & 0xFFu, i & 0xFFu) << "counter";
        ASSERT_EQ((w >> 10) & 1u, (i % 256 == 0) ? 1u : 0u) << "strobe";
        const int sine = static_cast<int>((w >> 12) & 0xFFFu);
        minSine = std::min(minSine, sine);
        maxSine = std::max(maxSine, sine);
    }
    EXPECT_LT(minSine, 100);
    EXPECT_GT(maxSine, 3990);
    // The sine's phase moves from capture to capture.
    EXPECT_NE(coresim::PatternWord(1, 0) >> 12 & 0xFFFu, coresim::PatternWord(2, 0) >> 12 & 0xFFFu);

    // Decode the UART line (bit 9) at the middle of each 16-sample bit.
    uint32_t i = 0;
    while (uartText.size() < 8 && i < 4096) {
        if (((coresim::PatternWord(id, i) >> 9) & 1u) == 0) {   // start bit
            uint8_t ch = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const uint32_t mid = i + 16 * static_cast<uint32_t>(bit + 1) + 8;
                ch = static_cast<uint8_t>(ch | (((coresim::PatternWord(id, mid) >> 9) & 1u) << bit));
            }
            EXPECT_EQ((coresim::PatternWord(id, i + 16 * 9 + 8) >> 9) & 1u, 1u) << "stop bit";
            uartText.push_back(static_cast<char>(ch));
            i += 16 * 10;
        } else {
            ++i;
        }
    }
    EXPECT_EQ(uartText, "Vexlar\r\n");
}

}   // namespace
