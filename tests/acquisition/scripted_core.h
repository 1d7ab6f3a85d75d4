// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A capture link talking to a test socket that plays the core, over loopback.

#include <gtest/gtest.h>

#include <chrono>

#include "acquisition/capture_link.h"
#include "datagram_builder.h"
#include "udp_test_socket.h"

using Clock = std::chrono::steady_clock;

inline bool IsRequest(const UdpTestSocket::Datagram& d, uint8_t kind)
{
    return d.bytes.size() == 2 && d.bytes[0] == 0xE2 && d.bytes[1] == kind;
}

inline int64_t MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

// A link talking to a test socket that plays the core.
class ScriptedCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(core.Bound());
        link.SetCore("127.0.0.1", core.Port());
    }
    void TearDown() override { link.StopAndWait(); }

    // Receives the three run requests of one idle pass.
    void ExpectRunRequest(UdpTestSocket& at, int timeoutMs = 2000)
    {
        for (int i = 0; i < 3; ++i) {
            auto d = at.Receive(i == 0 ? timeoutMs : 100);
            ASSERT_TRUE(d.has_value()) << "run request " << i << " missing";
            ASSERT_TRUE(IsRequest(*d, 0xC2)) << "run request " << i;
            client = d->sender;
        }
    }

    void SendPackets(UdpTestSocket& from, uint16_t id, int firstIndex, int endIndex)
    {
        for (int i = firstIndex; i < endIndex; ++i)
            ASSERT_TRUE(from.SendTo(client, testing_datagrams::Packet(id, static_cast<uint16_t>(i))));
    }

    UdpTestSocket core;
    CCaptureLink link;
    sockaddr_in client{};
};
