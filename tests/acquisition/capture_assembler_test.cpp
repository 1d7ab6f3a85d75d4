#include "acquisition/capture_assembler.h"

#include <gtest/gtest.h>

#include <cstring>
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
        EXPECT_EQ(Feed(Packet(4, i, 0, 9)), DatagramOutcome::Accepted);
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

TEST_F(AssemblerTest, DuplicatedAndLostPacketCompleteWithAStaleGap)
{
    // Two captures first, so that the buffer being refilled holds capture 1.
    CompleteAndHandOver(1);
    CompleteAndHandOver(2);
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t i = 0; i < 16; ++i) {
        if (i == 9)
            continue;   // lost
        last = Feed(Packet(3, i));
        if (i == 5)
            last = Feed(Packet(3, i));   // duplicated
    }
    ASSERT_EQ(last, DatagramOutcome::Complete);
    assembler.HandOver(front);
    EXPECT_EQ(front.captureId.load(), 3);
    for (uint16_t i = 0; i < 16; ++i) {
        if (i != 9) {
            EXPECT_TRUE(FrontBlockIs(3, i)) << "block " << i;
        }
    }
    EXPECT_TRUE(FrontBlockIs(1, 9)) << "the lost block keeps the bytes of capture 1";
}

TEST_F(AssemblerTest, FurtherPacketBeforeItsFirstPacketIsCountedButNotStored)
{
    CompleteAndHandOver(7);
    // Packet 3 of capture 8 overtakes its first packet.
    EXPECT_EQ(Feed(Packet(8, 3)), DatagramOutcome::ForeignCapture);
    DatagramOutcome last = DatagramOutcome::Ignored;
    for (uint16_t i = 0; i < 16; ++i) {
        if (i != 3)
            last = Feed(Packet(8, i));
    }
    EXPECT_EQ(last, DatagramOutcome::Accepted) << "capture 8 lacks packet 3 and must not complete";
    EXPECT_EQ(assembler.PacketsCounted(), 15);
}

TEST_F(AssemblerTest, LatePacketOfAnOlderCaptureAdvancesTheCount)
{
    CompleteAndHandOver(7);
    EXPECT_EQ(Feed(Packet(8, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(8, 1)), DatagramOutcome::Accepted);
    // A late packet of capture 7 lands in the middle of capture 8.
    std::vector<uint8_t> late = Packet(7, 2);
    EXPECT_EQ(Feed(late), DatagramOutcome::ForeignCapture);
    EXPECT_EQ(assembler.PacketsCounted(), 3);
    // The count reaches 16 one packet early: capture 8 completes without its packet 15.
    for (uint16_t i = 2; i < 14; ++i)
        EXPECT_EQ(Feed(Packet(8, i)), DatagramOutcome::Accepted);
    ASSERT_EQ(Feed(Packet(8, 14)), DatagramOutcome::Complete);
    assembler.HandOver(front);
    EXPECT_EQ(front.captureId.load(), 8);
    EXPECT_TRUE(FrontBlockIs(8, 2)) << "the late packet's payload must not overwrite block 2";
}

TEST_F(AssemblerTest, RepeatedFirstPacketResetsTheCount)
{
    for (uint16_t i = 0; i < 6; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(5, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.PacketsCounted(), 1);
    for (uint16_t i = 6; i < 16; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted) << "packet " << i;
    // Only when packets 1 to 5 arrive again does the count reach 16.
    for (uint16_t i = 1; i < 5; ++i)
        EXPECT_EQ(Feed(Packet(5, i)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(5, 5)), DatagramOutcome::Complete);
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

TEST_F(AssemblerTest, PacketBeyondTheBufferIsCountedButDropped)
{
    EXPECT_EQ(Feed(Packet(6, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(6, 16)), DatagramOutcome::Accepted);
    EXPECT_EQ(Feed(Packet(6, 0xFFFF)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.PacketsCounted(), 3);
}

TEST_F(AssemblerTest, PacketOfUnknownTypeIsStoredButNotCounted)
{
    EXPECT_EQ(Feed(Packet(6, 0)), DatagramOutcome::Accepted);
    std::vector<uint8_t> odd = Datagram(0x42, 999, 4, 2, 12, 0x5A);
    EXPECT_EQ(Feed(odd), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.PacketsCounted(), 1);
    EXPECT_EQ(assembler.Back().words[4 * 1024], 0x5A);
    EXPECT_EQ(assembler.Back().words[5 * 1024 - 1], 0x5A);
}

struct RejectedDatagram {
    const char* what;
    std::vector<uint8_t> bytes;
};

TEST_F(AssemblerTest, ShortDatagramsAndImpossibleExponentsAreIgnored)
{
    CompleteAndHandOver(1);
    ASSERT_EQ(Feed(Packet(2, 0)), DatagramOutcome::Accepted);
    const BackFrame before = assembler.Back();
    std::vector<uint8_t> backBefore(before.words, before.words + before.capacityBytes);
    const uint32_t allocationsBefore = assembler.Allocations();

    const RejectedDatagram cases[] = {
        {"empty", {}},
        {"header only", Datagram(0xE2, 2, 1, 2, 12, 0x11, 8)},
        {"one byte short", Datagram(0xE2, 2, 1, 2, 12, 0x11, 1031)},
        {"short first packet", Datagram(0xE1, 3, 0, 2, 12, 0x11, 100)},
        {"width exponent 3", Datagram(0xE1, 4, 0, 3, 12, 0x11)},
        {"width exponent 255", Datagram(0xE1, 4, 0, 255, 12, 0x11)},
        {"depth exponent 25", Datagram(0xE1, 4, 0, 2, 25, 0x11)},
        {"depth exponent 255", Datagram(0xE1, 4, 0, 2, 255, 0x11)},
        {"further packet, depth exponent 31", Datagram(0xE2, 2, 1, 2, 31, 0x11)},
        {"unknown type, width exponent 7", Datagram(0x00, 2, 1, 7, 12, 0x11)},
    };
    for (const RejectedDatagram& c : cases) {
        EXPECT_EQ(assembler.Accept(c.bytes.data(), c.bytes.size()), DatagramOutcome::Ignored) << c.what;
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

TEST_F(AssemblerTest, LargestAcceptedHeaderAllocatesTheWholeCapture)
{
    // 32-bit samples at depth 2^24: 64 MiB in 65536 datagrams.
    EXPECT_EQ(Feed(Packet(9, 0, 2, 24)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.ExpectedPackets(), 65536);
    EXPECT_EQ(assembler.Back().capacityBytes, 64 * 1024 * 1024);
}

TEST_F(AssemblerTest, HeaderDisagreeingWithItsFirstPacketCannotHandOverAnUndersizedBuffer)
{
    // The first packet announces 8-bit samples at depth 1 (no buffer needed);
    // a further packet's header claims a two-packet capture, which the count
    // then matches. Handing that over would give the views a depth with no
    // buffer behind it.
    EXPECT_EQ(Feed(Packet(12, 0, 0, 0)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.Back().words, nullptr);
    EXPECT_EQ(Feed(Packet(12, 1, 2, 9)), DatagramOutcome::Accepted);
    EXPECT_EQ(assembler.PacketsCounted(), 2);
    EXPECT_EQ(assembler.ExpectedPackets(), 2);
}

}   // namespace
