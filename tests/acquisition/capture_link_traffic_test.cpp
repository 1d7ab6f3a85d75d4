// SPDX-License-Identifier: GPL-3.0-or-later
// The capture link under heavy traffic: bursts that arrive before the link
// could read, a receive buffer smaller than the capture, no memory for a
// capture, and exit in the middle of a long burst. Loopback only.

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/capture_protocol.h"
#include "datagram_builder.h"
#include "scripted_core.h"
#include "udp_test_socket.h"

using namespace testing_datagrams;

namespace {

// Sends packets [first, end) of a capture in batches of sendmmsg, as fast as
// the system takes them.
void Blast(UdpTestSocket& from, const sockaddr_in& to, uint16_t id, int first, int end, uint8_t depthExp)
{
    constexpr int kBatch = 64;
    std::vector<std::vector<uint8_t>> datagrams;
    for (int i = first; i < end; ++i)
        datagrams.push_back(Packet(id, static_cast<uint16_t>(i), 2, depthExp));
    size_t next = 0;
    while (next < datagrams.size()) {
        mmsghdr messages[kBatch];
        iovec vectors[kBatch];
        unsigned count = 0;
        for (; count < kBatch && next + count < datagrams.size(); ++count) {
            vectors[count] = {datagrams[next + count].data(), datagrams[next + count].size()};
            messages[count] = {};
            messages[count].msg_hdr.msg_name = const_cast<sockaddr_in*>(&to);
            messages[count].msg_hdr.msg_namelen = sizeof to;
            messages[count].msg_hdr.msg_iov = &vectors[count];
            messages[count].msg_hdr.msg_iovlen = 1;
        }
        const int sent = ::sendmmsg(from.Fd(), messages, count, 0);
        ASSERT_GT(sent, 0);
        next += static_cast<size_t>(sent);
    }
}

bool FrontBlockIs(CCaptureLink& link, uint16_t id, int index)
{
    std::lock_guard<std::mutex> guard(link.m_lock);
    for (size_t k = 0; k < 1024; k += 97) {
        if (link.m_front.words[static_cast<size_t>(index) * 1024 + k] !=
            PayloadByte(id, static_cast<uint16_t>(index), k))
            return false;
    }
    return true;
}

TEST_F(ScriptedCoreTest, BurstOfAThousandDatagramsRightAfterTheRequestIsReceivedWhole)
{
    // Depth 2^18: 1 MiB in 1024 datagrams, sent back to back the moment the
    // request arrives. A link that waited before reading, with a buffer of a
    // few hundred datagrams, lost most of them.
    link.Start();
    ExpectRunRequest(core);
    Blast(core, client, 31, 0, 1024, 18);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 31; }, 3000))
        << "ignored: " << link.Status().ignored.Total() << ", time-outs " << link.ReceiveTimeouts();
    EXPECT_EQ(link.Status().capturesLost, 0u);
    EXPECT_TRUE(FrontBlockIs(link, 31, 0));
    EXPECT_TRUE(FrontBlockIs(link, 31, 512));
    EXPECT_TRUE(FrontBlockIs(link, 31, 1023));
}

TEST_F(ScriptedCoreTest, ReceiveBufferIsAskedForTheLargestCaptureAndTheGrantIsReadBack)
{
    link.Start();
    ExpectRunRequest(core);
    const CaptureLinkStatus status = link.Status();
    EXPECT_EQ(status.receiveBufferRequested, capture_protocol::kSocketReceiveBufferRequest);
    // The kernel grants at least its minimum and at most twice the request.
    EXPECT_GT(status.receiveBufferGranted, 0);
    EXPECT_LE(status.receiveBufferGranted, 2 * status.receiveBufferRequested);
    SendPackets(core, 1, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 1; }, 2000));
    EXPECT_FALSE(link.Status().receiveBufferTooSmall) << "a default capture fits any buffer";
}

TEST_F(ScriptedCoreTest, GrantSmallerThanTheCaptureIsReportedOnceWithTheFix)
{
    link.SetReceiveBufferRequest(64 * 1024);
    ::testing::internal::CaptureStderr();
    link.Start();
    ExpectRunRequest(core);
    ASSERT_TRUE(WaitFor([&] { return link.Status().receiveBufferGranted > 0; }, 1000));
    const int64_t granted = link.Status().receiveBufferGranted;
    ASSERT_LT(granted, 1024 * 1024);
    EXPECT_FALSE(link.Status().receiveBufferTooSmall);
    EXPECT_EQ(link.Status().noticeCount, 0u);

    // The first packets of two captures of depth 2^18 (1 MiB each), one per
    // request: the second capture must not repeat the message.
    for (uint16_t id = 1; id <= 2; ++id) {
        ASSERT_TRUE(core.SendTo(client, Packet(id, 0, 2, 18)));
        ASSERT_TRUE(WaitFor([&] { return link.Status().lastDepth == 1 << 18; }, 2000));
        ExpectRunRequest(core, 3000);
    }
    link.StopAndWait();
    const std::string err = ::testing::internal::GetCapturedStderr();
    const CaptureLinkStatus status = link.Status();
    EXPECT_TRUE(status.receiveBufferTooSmall);
    EXPECT_EQ(status.noticeCount, 1u) << "said once, not per capture";
    const std::string fix = "net.core.rmem_max=" + std::to_string(capture_protocol::kSocketReceiveBufferRequest);
    EXPECT_NE(status.notice.find(fix), std::string::npos) << status.notice;
    EXPECT_NE(status.notice.find(std::to_string(granted)), std::string::npos) << status.notice;
    EXPECT_NE(err.find(fix), std::string::npos) << err;
    EXPECT_EQ(err.find(fix), err.rfind(fix)) << "stderr got it more than once: " << err;
}

std::atomic<bool> g_memoryExhausted{false};

uint8_t* ExhaustedAbove64KiB(size_t bytes)
{
    if (g_memoryExhausted.load() && bytes > 64 * 1024)
        return nullptr;
    return new (std::nothrow) uint8_t[bytes];
}

TEST_F(ScriptedCoreTest, CaptureWithoutMemoryIsDroppedWithAMessageAndCapturesGoOn)
{
    g_memoryExhausted = true;
    link.SetBufferAllocator(ExhaustedAbove64KiB);
    ::testing::internal::CaptureStderr();
    link.Start();
    ExpectRunRequest(core);
    Blast(core, client, 40, 0, 1024, 18);   // 1 MiB: no memory for it
    ASSERT_TRUE(WaitFor([&] { return link.Status().capturesDropped == 1; }, 2000));
    CaptureLinkStatus status = link.Status();
    EXPECT_NE(status.notice.find("dropped"), std::string::npos) << status.notice;
    EXPECT_EQ(status.noticeCount, 1u);
    // After the time-out the next request goes out and a default capture fits.
    ExpectRunRequest(core, 3000);
    SendPackets(core, 41, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 41; }, 2000));
    link.StopAndWait();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("dropped"), std::string::npos) << err;
    status = link.Status();
    EXPECT_EQ(status.capturesDropped, 1u);
    EXPECT_EQ(status.capturesLost, 0u) << "a dropped capture is not counted as lost as well";
    g_memoryExhausted = false;
}

TEST_F(ScriptedCoreTest, ExitInTheMiddleOfALongBurstReturnsWithinAboutASecond)
{
    link.Start();
    ExpectRunRequest(core);
    // A stream of datagrams that never completes a capture, for at most 5 s.
    std::atomic<bool> stop{false};
    std::thread stream([&] {
        core.SendTo(client, Packet(50, 0, 2, 18));
        const auto end = Clock::now() + std::chrono::seconds(5);
        uint16_t index = 1;
        while (!stop.load() && Clock::now() < end) {
            core.SendTo(client, Packet(50, index, 2, 18));
            index = static_cast<uint16_t>(index % 1000 + 1);   // packets 1001 to 1023 never come
        }
    });
    ASSERT_TRUE(WaitFor([&] { return link.Status().secondsSinceAnswer >= 0; }, 2000));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto t = Clock::now();
    link.StopAndWait();
    const int64_t ms = MsSince(t);
    stop = true;
    stream.join();
    EXPECT_LT(ms, 1300);
    EXPECT_FALSE(link.IsRunning());
}

TEST_F(ScriptedCoreTest, FrontTakenForACopyIsGivenBackOrKeptAsSpare)
{
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 1, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 1; }, 2000));
    link.SetRunEnabled(false);

    // Taken and given back with no hand-over in between: the front has it again.
    CaptureFrame taken;
    link.TakeFront(taken);
    ASSERT_NE(taken.words, nullptr);
    EXPECT_EQ(taken.captureId.load(), 1);
    EXPECT_EQ(taken.depth, 4096);
    {
        std::lock_guard<std::mutex> guard(link.m_lock);
        EXPECT_EQ(link.m_front.words, nullptr) << "the lock is not held during the copy: the buffer is out";
        EXPECT_EQ(link.m_front.captureId.load(), 1);
    }
    uint8_t* const buffer = taken.words;
    link.ReturnFront(taken);
    EXPECT_EQ(taken.words, nullptr);
    {
        std::lock_guard<std::mutex> guard(link.m_lock);
        EXPECT_EQ(link.m_front.words, buffer);
    }

    // Taken while the next capture is handed over: the new capture becomes
    // front and the taken buffer comes back as a spare, not as the front.
    link.TakeFront(taken);
    link.TrigNow();
    auto request = core.Receive(2000);
    ASSERT_TRUE(request.has_value());
    SendPackets(core, 2, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 2; }, 2000));
    EXPECT_EQ(taken.words[5], PayloadByte(1, 0, 5)) << "the taken capture stays intact while it is copied";
    link.ReturnFront(taken);
    std::lock_guard<std::mutex> guard(link.m_lock);
    ASSERT_NE(link.m_front.words, nullptr);
    EXPECT_NE(link.m_front.words, buffer);
    EXPECT_EQ(link.m_front.words[5], PayloadByte(2, 0, 5));
}

}   // namespace
