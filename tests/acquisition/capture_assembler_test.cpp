// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture_assembler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <vector>

#include "datagram_builder.h"

using namespace testing_datagrams;

namespace {

class AssemblerTest : public ::testing::Test {
protected:
    ~AssemblerTest() override { delete[] front.words; }

    DatagramOutcome Feed(const std::vector<uint8_t>& d) { return assembler.Accept(d.data(), d.size()); }

    // Feeds every packet of a capture in order; returns the outcome of the last.
    DatagramOutcome FeedCapture(uint16_t id, int packets, uint8_t widthExp = 2, uint8_t depthExp = 12)
    {
        DatagramOutcome last = DatagramOutcome::Ignored;
        for (int i = 0; i < packets; ++i)
            last = Feed(Packet(id, static_cast<uint16_t>(i), widthExp, depthExp));
        return last;
    }

    void CompleteAndHandOver(uint16_t id, int packets = 16)
    {
        ASSERT_EQ(FeedCapture(id, packets), DatagramOutcome::Complete);
        assembler.HandOver(front);
    }

    // True when payload block `index` of the front capture holds packet (id, index).
    bool FrontBlockIs(uint16_t id, uint16_t index) const
    {
        for (size_t k = 0; k < 1024; ++k) {
            if (front.words[index * 1024 + k] != PayloadByte(id, index, k))
                return false;
        }
        return true;
    }

    CCaptureAssembler assembler;
    CaptureFrame front;
};

TEST_F(AssemblerTest, HeaderExampleCapture7CompletesAfterSixteenDatagrams)
{
    const std::vector<uint8_t> first = Packet(7, 0);
    const uint8_t header[8] = {0xE1, 0x00, 0x00, 0x07, 0x00, 0x00, 0x02, 0x0C};
    ASSERT_EQ(0, std::memcmp(first.data(), header, 8));
    EXPECT_EQ(Feed(first), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.ExpectedPackets(), 16);
    for (uint16_t i = 1; i < 15; ++i)
        EXPECT_EQ(Feed(Packet(7, i)), DatagramOutcome::Accepted) << "packet " << i;
    const std::vector<uint8_t> last = Packet(7, 15);
    const uint8_t lastHeader[8] = {0xE2, 0x00, 0x00, 0x07, 0x00, 0x0F, 0x02, 0x0C};
    ASSERT_EQ(0, std::memcmp(last.data(), lastHeader, 8));
    ASSERT_EQ(Feed(last), DatagramOutcome::Complete);

    assembler.HandOver(front);
    EXPECT_EQ(front.captureId.load(), 7);
    EXPECT_EQ(front.depth, 4096);
    EXPECT_EQ(front.bitsPerSample, 32);
    EXPECT_EQ(front.triggerPos, 2048);
    EXPECT_EQ(front.capacityBytes, 16384);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(7, i)) << "block " << i;
    // Word 0 is the first four payload bytes, least significant first.
    const uint32_t expectedWord0 = PayloadByte(7, 0, 0) | (PayloadByte(7, 0, 1) << 8) | (PayloadByte(7, 0, 2) << 16) |
                                   (static_cast<uint32_t>(PayloadByte(7, 0, 3)) << 24);
    EXPECT_EQ(CaptureWord(front.words, 0), expectedWord0);
}

TEST_F(AssemblerTest, OneDatagramCaptureCompletesOnItsFirstPacket)
{
    // 32-bit samples at depth 256: exactly 1024 bytes.
    ASSERT_EQ(Feed(Packet(3, 0, 2, 8)), DatagramOutcome::Complete);
    assembler.HandOver(front);
    EXPECT_EQ(front.captureId.load(), 3);
    EXPECT_EQ(front.depth, 256);
    EXPECT_EQ(front.triggerPos, 128);
    EXPECT_TRUE(FrontBlockIs(3, 0));
}

TEST_F(AssemblerTest, CaptureSmallerThanOneDatagramNeverCompletes)
{
    // 8-bit samples at depth 512: 512 bytes, zero expected packets.
    EXPECT_EQ(Feed(Packet(4, 0, 0, 9)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.ExpectedPackets(), 0);
    for (uint16_t i = 1; i < 20; ++i)
        EXPECT_EQ(Feed(Packet(4, i, 0, 9)), DatagramOutcome::ForeignCapture) << "no packet index lies inside";
}

TEST_F(AssemblerTest, OutOfOrderFurtherPacketsAreStoredAtTheirIndexes)
{
    const uint16_t order[] = {0, 9, 3, 15, 1, 2, 14, 4, 5, 13, 6, 7, 12, 8, 11, 10};
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t index : order)
        last = Feed(Packet(11, index));
    ASSERT_EQ(last, DatagramOutcome::Complete);
    assembler.HandOver(front);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(11, i)) << "block " << i;
}

TEST_F(AssemblerTest, FirstPacketFillsBlockZeroWhateverIndexItsHeaderNames)
{
    // A first packet whose header says index 9: its payload is still block 0,
    // and the real packet 9 that follows is not taken for a duplicate.
    std::vector<uint8_t> first = Packet(12, 0);
    first[5] = 9;
    ASSERT_EQ(Feed(first), DatagramOutcome::Accepted);
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t i = 1; i < 16; ++i)
        last = Feed(Packet(12, i));
    ASSERT_EQ(last, DatagramOutcome::Complete);
    assembler.HandOver(front);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(12, i)) << "block " << i;
}

TEST_F(AssemblerTest, CompletedCaptureIsCompletedAndHandedOverOnce)
{
    ASSERT_EQ(FeedCapture(13, 16), DatagramOutcome::Complete);
    // Every packet of the capture delivered once more before the hand-over.
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_NE(Feed(Packet(13, i)), DatagramOutcome::Complete) << "packet " << i;
    assembler.HandOver(front);
    uint8_t* const handedOver = front.words;
    // ... and after it: a late copy neither completes the capture nor makes a
    // second hand-over swap the buffers back.
    for (uint16_t i = 1; i < 16; ++i)
        EXPECT_NE(Feed(Packet(13, i)), DatagramOutcome::Complete) << "packet " << i;
    assembler.HandOver(front);
    ASSERT_EQ(front.words, handedOver);
    EXPECT_EQ(front.captureId.load(), 13);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(13, i)) << "block " << i;
}

TEST_F(AssemblerTest, DuplicatedPacketDoesNotStandInForALostOne)
{
    // Two captures first, so that the buffer being refilled holds capture 1:
    // completing on the count would show its bytes as part of capture 3.
    CompleteAndHandOver(1);
    CompleteAndHandOver(2);
    for (uint16_t i = 0; i < 16; ++i) {
        if (i == 9)
            continue;   // lost
        EXPECT_EQ(Feed(Packet(3, i)), DatagramOutcome::Accepted) << "packet " << i;
        if (i == 5) {
            EXPECT_EQ(Feed(Packet(3, i)), DatagramOutcome::Ignored);
            EXPECT_EQ(assembler.LastFault(), DatagramFault::Duplicate);
        }
    }
    EXPECT_EQ(assembler.PacketsCounted(), 15);
    ASSERT_EQ(Feed(Packet(3, 9)), DatagramOutcome::Complete) << "the lost packet arriving late completes it";
    assembler.HandOver(front);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(3, i)) << "block " << i;
}

TEST_F(AssemblerTest, FurtherPacketBeforeItsFirstPacketIsNeitherCountedNorStored)
{
    CompleteAndHandOver(7);
    // Packet 3 of capture 8 overtakes its first packet.
    EXPECT_EQ(Feed(Packet(8, 3)), DatagramOutcome::ForeignCapture);
    EXPECT_EQ(assembler.LastFault(), DatagramFault::NotInCapture);
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t i = 0; i < 16; ++i) {
        if (i != 3)
            last = Feed(Packet(8, i));
    }
    EXPECT_EQ(last, DatagramOutcome::Accepted) << "capture 8 lacks packet 3 and must not complete";
    EXPECT_EQ(assembler.PacketsCounted(), 15);
}

TEST_F(AssemblerTest, LatePacketOfAnOlderCaptureDoesNotCount)
{
    CompleteAndHandOver(7);
    EXPECT_EQ(Feed(Packet(8, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(8, 1)), DatagramOutcome::Accepted);
    // A late packet of capture 7 lands in the middle of capture 8.
    EXPECT_EQ(Feed(Packet(7, 2)), DatagramOutcome::ForeignCapture);
    EXPECT_EQ(assembler.PacketsCounted(), 2);
    // Counting it would complete capture 8 one packet early, without packet 15.
    for (uint16_t i = 2; i < 15; ++i)
        EXPECT_EQ(Feed(Packet(8, i)), DatagramOutcome::Accepted) << "packet " << i;
    ASSERT_EQ(Feed(Packet(8, 15)), DatagramOutcome::Complete);
    assembler.HandOver(front);
    EXPECT_EQ(front.captureId.load(), 8);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(8, i)) << "block " << i;
}

struct DisagreeingPacket {
    const char* what;
    std::vector<uint8_t> bytes;
};

TEST_F(AssemblerTest, FurtherPacketDisagreeingWithTheFirstPacketDoesNotCount)
{
    ASSERT_EQ(Feed(Packet(8, 0)), DatagramOutcome::Accepted);   // 32-bit samples, depth 4096
    const DisagreeingPacket cases[] = {
        {"another id", Packet(9, 1)},
        {"another width", Packet(8, 1, 1, 12)},
        {"another depth", Packet(8, 1, 2, 13)},
        {"a smaller depth", Packet(8, 1, 2, 10)},
        {"an index beyond the capture", Packet(8, 16)},
        {"the largest index", Packet(8, 0xFFFF)},
    };
    for (const DisagreeingPacket& c : cases) {
        EXPECT_EQ(Feed(c.bytes), DatagramOutcome::ForeignCapture) << c.what;
        EXPECT_EQ(assembler.LastFault(), DatagramFault::NotInCapture) << c.what;
        EXPECT_EQ(assembler.PacketsCounted(), 1) << c.what;
        EXPECT_EQ(assembler.ExpectedPackets(), 16) << c.what;
    }
    for (uint16_t i = 1; i < 15; ++i)
        ASSERT_EQ(Feed(Packet(8, i)), DatagramOutcome::Accepted) << "packet " << i;
    ASSERT_EQ(Feed(Packet(8, 15)), DatagramOutcome::Complete);
    assembler.HandOver(front);
    for (uint16_t i = 0; i < 16; ++i)
        EXPECT_TRUE(FrontBlockIs(8, i)) << "block " << i;
}

TEST_F(AssemblerTest, RepeatedFirstPacketIsADuplicateNotARestart)
{
    for (uint16_t i = 0; i < 6; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(5, 0)), DatagramOutcome::Ignored);
    EXPECT_EQ(assembler.LastFault(), DatagramFault::Duplicate);
    EXPECT_EQ(assembler.PacketsCounted(), 6) << "the packets that already arrived still count";
    for (uint16_t i = 6; i < 15; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted) << "packet " << i;
    EXPECT_EQ(Feed(Packet(5, 15)), DatagramOutcome::Complete);
}

TEST_F(AssemblerTest, FirstPacketOfANewCaptureRestarts)
{
    for (uint16_t i = 0; i < 6; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(6, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.Back().captureId, 6);
    EXPECT_EQ(assembler.PacketsCounted(), 1);
    EXPECT_EQ(Feed(Packet(5, 6)), DatagramOutcome::ForeignCapture) << "the abandoned capture no longer counts";
    for (uint16_t i = 1; i < 15; ++i)
        EXPECT_EQ(Feed(Packet(6, i)), DatagramOutcome::Accepted) << "packet " << i;
    EXPECT_EQ(Feed(Packet(6, 15)), DatagramOutcome::Complete);
}

TEST_F(AssemblerTest, LostFirstPacketNeverCompletes)
{
    CompleteAndHandOver(20);
    for (uint16_t i = 1; i < 16; ++i)
        EXPECT_EQ(Feed(Packet(21, i)), DatagramOutcome::ForeignCapture) << "packet " << i;
    EXPECT_EQ(front.captureId.load(), 20);
}

TEST_F(AssemblerTest, BufferOnlyGrowsAndSameSizeCapturesStopAllocating)
{
    CompleteAndHandOver(1);
    EXPECT_EQ(assembler.Allocations(), 1u);
    CompleteAndHandOver(2);   // the back buffer after the first exchange was empty
    EXPECT_EQ(assembler.Allocations(), 2u);
    for (uint16_t id = 3; id < 10; ++id)
        CompleteAndHandOver(id);
    EXPECT_EQ(assembler.Allocations(), 2u) << "same-size captures must reuse the exchanged buffers";

    // A smaller capture (depth 1024) fits the existing buffer.
    ASSERT_EQ(FeedCapture(10, 4, 2, 10), DatagramOutcome::Complete);
    assembler.HandOver(front);
    EXPECT_EQ(assembler.Allocations(), 2u);
    EXPECT_EQ(front.capacityBytes, 16384);
    EXPECT_EQ(front.depth, 1024);

    // A larger one (depth 8192) grows the buffer it lands in.
    ASSERT_EQ(FeedCapture(11, 32, 2, 13), DatagramOutcome::Complete);
    EXPECT_EQ(assembler.Allocations(), 3u);
    assembler.HandOver(front);
    EXPECT_EQ(front.capacityBytes, 32768);
}

TEST_F(AssemblerTest, PacketOfUnknownTypeIsNeitherStoredNorCounted)
{
    EXPECT_EQ(Feed(Packet(6, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Datagram(0x42, 6, 4, 2, 12, 0x5A)), DatagramOutcome::Ignored);
    EXPECT_EQ(assembler.LastFault(), DatagramFault::UnknownType);
    EXPECT_EQ(assembler.PacketsCounted(), 1);
    EXPECT_EQ(Feed(Packet(6, 4)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.Back().words[4 * 1024], PayloadByte(6, 4, 0));
}

struct RejectedDatagram {
    const char* what;
    std::vector<uint8_t> bytes;
    DatagramFault fault;
};

TEST_F(AssemblerTest, ShortDatagramsAndImpossibleExponentsAreIgnored)
{
    CompleteAndHandOver(1);
    ASSERT_EQ(Feed(Packet(2, 0)), DatagramOutcome::Accepted);
    const BackFrame before = assembler.Back();
    std::vector<uint8_t> backBefore(before.words, before.words + before.capacityBytes);
    const uint32_t allocationsBefore = assembler.Allocations();

    const RejectedDatagram cases[] = {
        {"empty", {}, DatagramFault::TooShort},
        {"header only", Datagram(0xE2, 2, 1, 2, 12, 0x11, 8), DatagramFault::TooShort},
        {"one byte short", Datagram(0xE2, 2, 1, 2, 12, 0x11, 1031), DatagramFault::TooShort},
        {"short first packet", Datagram(0xE1, 3, 0, 2, 12, 0x11, 100), DatagramFault::TooShort},
        {"width exponent 3", Datagram(0xE1, 4, 0, 3, 12, 0x11), DatagramFault::UnsupportedWidth},
        {"width exponent 255", Datagram(0xE1, 4, 0, 255, 12, 0x11), DatagramFault::UnsupportedWidth},
        {"depth exponent 25", Datagram(0xE1, 4, 0, 2, 25, 0x11), DatagramFault::DepthAboveLimit},
        {"depth exponent 255", Datagram(0xE1, 4, 0, 2, 255, 0x11), DatagramFault::DepthAboveLimit},
        {"further packet, depth exponent 31", Datagram(0xE2, 2, 1, 2, 31, 0x11), DatagramFault::DepthAboveLimit},
        {"unknown type, width exponent 7", Datagram(0x00, 2, 1, 7, 12, 0x11), DatagramFault::UnsupportedWidth},
        {"unknown type", Datagram(0x00, 2, 1, 2, 12, 0x11), DatagramFault::UnknownType},
        {"first packet repeated", Packet(2, 0), DatagramFault::Duplicate},
    };
    for (const RejectedDatagram& c : cases) {
        EXPECT_EQ(assembler.Accept(c.bytes.data(), c.bytes.size()), DatagramOutcome::Ignored) << c.what;
        EXPECT_EQ(assembler.LastFault(), c.fault) << c.what;
        EXPECT_EQ(assembler.PacketsCounted(), 1) << c.what;
        EXPECT_EQ(assembler.Back().captureId, 2) << c.what;
        EXPECT_EQ(assembler.Back().depth, 4096) << c.what;
        EXPECT_EQ(assembler.Allocations(), allocationsBefore) << c.what;
    }
    EXPECT_EQ(0, std::memcmp(backBefore.data(), assembler.Back().words, backBefore.size()))
        << "an ignored datagram must not store anything";
    EXPECT_EQ(assembler.Accept(nullptr, 1032), DatagramOutcome::Ignored);

    // Longer than 1032 bytes is fine: only the header and 1024 payload bytes are used.
    std::vector<uint8_t> longer = Packet(2, 1);
    longer.resize(1500, 0xEE);
    EXPECT_EQ(Feed(longer), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.PacketsCounted(), 2);
}

TEST_F(AssemblerTest, LargestAcceptedHeaderAllocatesOnlyWhatArrives)
{
    // 32-bit samples at depth 2^24: 64 MiB in 65536 datagrams, claimed by one
    // header. The buffer follows the packets that actually arrive.
    EXPECT_EQ(Feed(Packet(9, 0, 2, 24)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.ExpectedPackets(), 65536);
    EXPECT_LE(assembler.Back().capacityBytes, 256 * 1024);
    EXPECT_EQ(assembler.CaptureBytes(), int64_t{64} * 1024 * 1024);
}

TEST_F(AssemblerTest, TwoDatagramsCannotMakeADeepCapture)
{
    // A first packet announcing 2^24 samples and a further packet whose
    // header says 2^9 (two packets: "complete" if expected packets were
    // taken from every header).
    EXPECT_EQ(Feed(Packet(12, 0, 2, 24)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(12, 1, 2, 9)), DatagramOutcome::ForeignCapture);
    EXPECT_EQ(assembler.PacketsCounted(), 1);
    EXPECT_EQ(assembler.ExpectedPackets(), 65536);
    EXPECT_FALSE(assembler.CaptureComplete());
}

TEST_F(AssemblerTest, HeaderDisagreeingWithItsFirstPacketCannotHandOverAnUndersizedBuffer)
{
    // The first packet announces 8-bit samples at depth 1 (no buffer needed);
    // a further packet's header claims a two-packet capture. Handing that
    // over would give the views a depth with no buffer behind it.
    EXPECT_EQ(Feed(Packet(12, 0, 0, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.Back().words, nullptr);
    EXPECT_EQ(Feed(Packet(12, 1, 2, 9)), DatagramOutcome::ForeignCapture);
    EXPECT_EQ(assembler.PacketsCounted(), 0);
    EXPECT_EQ(assembler.ExpectedPackets(), 0);
}

struct ArrivalOrder {
    const char* name;
    std::vector<uint16_t> (*order)(uint16_t packets);
};

class DeepCaptureOrderTest : public AssemblerTest, public ::testing::WithParamInterface<ArrivalOrder> {};

TEST_P(DeepCaptureOrderTest, GrowingBufferKeepsEveryPacket)
{
    // Depth 2^18: 1 MiB in 1024 datagrams, so the buffer grows several times
    // while the capture arrives.
    const std::vector<uint16_t> order = GetParam().order(1024);
    ASSERT_EQ(order.size(), 1024u);
    ASSERT_EQ(order.front(), 0);
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t index : order)
        last = Feed(Packet(21, index, 2, 18));
    ASSERT_EQ(last, DatagramOutcome::Complete);
    EXPECT_GT(assembler.Allocations(), 1u) << "the buffer should have grown in steps";
    assembler.HandOver(front);
    EXPECT_EQ(front.capacityBytes, 1024 * 1024);
    for (uint16_t i = 0; i < 1024; ++i)
        ASSERT_TRUE(FrontBlockIs(21, i)) << "block " << i;
}

INSTANTIATE_TEST_SUITE_P(Orders, DeepCaptureOrderTest,
                         ::testing::Values(ArrivalOrder{"in_order",
                                                        [](uint16_t n) {
                                                            std::vector<uint16_t> v;
                                                            for (uint16_t i = 0; i < n; ++i)
                                                                v.push_back(i);
                                                            return v;
                                                        }},
                                           ArrivalOrder{"last_first",
                                                        [](uint16_t n) {
                                                            std::vector<uint16_t> v{0};
                                                            for (uint16_t i = n - 1; i > 0; --i)
                                                                v.push_back(i);
                                                            return v;
                                                        }},
                                           ArrivalOrder{"odd_then_even",
                                                        [](uint16_t n) {
                                                            std::vector<uint16_t> v{0};
                                                            for (uint16_t i = 1; i < n; i += 2)
                                                                v.push_back(i);
                                                            for (uint16_t i = 2; i < n; i += 2)
                                                                v.push_back(i);
                                                            return v;
                                                        }}),
                         [](const ::testing::TestParamInfo<ArrivalOrder>& p) { return std::string(p.param.name); });

TEST_F(AssemblerTest, SmallCaptureAfterADeepOneGivesTheDeepBufferBack)
{
    for (uint16_t id = 1; id <= 2; ++id) {
        for (uint16_t i = 0; i < 2048; ++i)
            Feed(Packet(id, i, 2, 19));
        ASSERT_TRUE(assembler.CaptureComplete());
        assembler.HandOver(front);
    }
    EXPECT_EQ(assembler.Back().capacityBytes, 2 * 1024 * 1024);
    ASSERT_EQ(FeedCapture(3, 16), DatagramOutcome::Complete);
    EXPECT_EQ(assembler.Back().capacityBytes, 16384) << "the 2 MiB buffer should have been given back";
}

bool g_failLargeAllocations = false;

uint8_t* FailingAbove64KiB(size_t bytes)
{
    if (g_failLargeAllocations && bytes > 64 * 1024)
        return nullptr;
    return new (std::nothrow) uint8_t[bytes];
}

TEST_F(AssemblerTest, CaptureWhoseBufferCannotBeAllocatedIsDroppedAndTheNextOneCompletes)
{
    g_failLargeAllocations = true;
    assembler.SetAllocator(FailingAbove64KiB);
    // Depth 2^20: the first growth step (256 KiB) already fails.
    EXPECT_EQ(Feed(Packet(4, 0, 2, 20)), DatagramOutcome::Ignored);
    EXPECT_EQ(assembler.LastFault(), DatagramFault::OutOfMemory);
    EXPECT_EQ(assembler.CapturesDropped(), 1u);
    EXPECT_FALSE(assembler.CaptureOpen());
    EXPECT_EQ(Feed(Packet(4, 1, 2, 20)), DatagramOutcome::ForeignCapture)
        << "the dropped capture's packets no longer count";
    // A default capture (16 KiB) still fits.
    CompleteAndHandOver(5);
    EXPECT_EQ(front.captureId.load(), 5);
    EXPECT_TRUE(FrontBlockIs(5, 15));
    g_failLargeAllocations = false;
}

}   // namespace
