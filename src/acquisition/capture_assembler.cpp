// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture_assembler.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "acquisition/capture_protocol.h"

namespace cp = capture_protocol;

namespace {

// The buffer of a capture grows with the packets that arrive, by doubling,
// but never by less than this: small captures get their whole buffer at once
// and deep ones a few steps.
constexpr int64_t kSmallestGrowthBytes = 256 * 1024;
// A buffer this much larger than the capture that opens in it, and larger
// than the threshold, is given back and grown again: a run of small captures
// after a deep one does not keep the deep one's memory.
constexpr int64_t kShrinkFactor = 4;
constexpr int64_t kShrinkThresholdBytes = 1024 * 1024;

uint8_t* AllocateWithNew(size_t bytes)
{
    return new (std::nothrow) uint8_t[bytes];
}

}   // namespace

CCaptureAssembler::~CCaptureAssembler()
{
    delete[] m_back.words;
}

DatagramOutcome CCaptureAssembler::Ignore(DatagramFault fault)
{
    m_lastFault = fault;
    return fault == DatagramFault::NotInCapture ? DatagramOutcome::ForeignCapture : DatagramOutcome::Ignored;
}

DatagramOutcome CCaptureAssembler::Accept(const uint8_t* data, size_t length)
{
    m_lastFault = DatagramFault::None;
    // A datagram without a full header and payload carries no capture data we
    // could place; reading past its end would pick up bytes of an earlier one.
    if (data == nullptr || length < cp::kDatagramBytes)
        return Ignore(DatagramFault::TooShort);

    const uint8_t type = data[0];
    const int32_t id = (data[2] << 8) | data[3];
    const int32_t index = (data[4] << 8) | data[5];
    const int widthExponent = data[6];
    const int depthExponent = data[7];
    // Corrupt or unsupported headers must not size an allocation nor complete
    // a capture.
    if (widthExponent > cp::kMaxWidthExponent)
        return Ignore(DatagramFault::UnsupportedWidth);
    if (depthExponent > 30 || (int32_t{1} << depthExponent) > cp::kMaxCaptureDepth)
        return Ignore(DatagramFault::DepthAboveLimit);
    const int32_t bitsPerSample = 8 << widthExponent;
    const int32_t depth = int32_t{1} << depthExponent;

    if (type == cp::kFirstPacket) {
        // The same first packet again (a duplicate on the wire) is not a new
        // capture: restarting would throw away what already arrived.
        if (m_open && id == m_back.captureId && bitsPerSample == m_back.bitsPerSample && depth == m_back.depth)
            return Ignore(DatagramFault::Duplicate);
        return OpenCapture(data, id, bitsPerSample, depth);
    }
    if (type != cp::kFurtherPacket)
        return Ignore(DatagramFault::UnknownType);
    // A further packet counts only toward the capture its first packet opened.
    if (!m_open || id != m_back.captureId || bitsPerSample != m_back.bitsPerSample || depth != m_back.depth ||
        index >= m_expectedPackets)
        return Ignore(DatagramFault::NotInCapture);
    if (Received(index))
        return Ignore(DatagramFault::Duplicate);
    return Store(data, index);
}

DatagramOutcome CCaptureAssembler::OpenCapture(const uint8_t* data, int32_t id, int32_t bitsPerSample, int32_t depth)
{
    m_open = true;
    m_complete = false;
    m_back.captureId = id;
    m_back.bitsPerSample = bitsPerSample;
    m_back.depth = depth;
    m_captureBytes = static_cast<int64_t>(bitsPerSample / 8) * depth;
    // A capture smaller than one payload has no whole packet: it never completes.
    m_expectedPackets = static_cast<int32_t>(m_captureBytes / static_cast<int64_t>(cp::kPayloadBytes));
    m_triggerIndex = depth / 2;
    m_packetsCounted = 0;
    m_received.assign((static_cast<size_t>(m_expectedPackets) + 63) / 64, 0);
    if (m_back.capacityBytes > kShrinkThresholdBytes && m_back.capacityBytes > kShrinkFactor * m_captureBytes)
        ReleaseBuffer();
    if (m_expectedPackets == 0)
        return DatagramOutcome::Accepted;
    // The first packet always fills block 0, whatever index its header names.
    return Store(data, 0);
}

bool CCaptureAssembler::Received(int32_t index) const
{
    return (m_received[static_cast<size_t>(index) / 64] >> (index % 64)) & 1u;
}

DatagramOutcome CCaptureAssembler::Store(const uint8_t* data, int32_t index)
{
    const int64_t offset = static_cast<int64_t>(index) * static_cast<int64_t>(cp::kPayloadBytes);
    if (offset + static_cast<int64_t>(cp::kPayloadBytes) > m_back.capacityBytes && !GrowToHold(index)) {
        // No memory for the capture: drop it rather than fail; its further
        // packets no longer count.
        m_open = false;
        m_complete = false;
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return Ignore(DatagramFault::OutOfMemory);
    }
    std::memcpy(m_back.words + offset, data + cp::kHeaderBytes, cp::kPayloadBytes);
    m_received[static_cast<size_t>(index) / 64] |= uint64_t{1} << (index % 64);
    ++m_packetsCounted;
    if (m_packetsCounted == m_expectedPackets) {
        m_complete = true;
        return DatagramOutcome::Complete;
    }
    return DatagramOutcome::Accepted;
}

bool CCaptureAssembler::GrowToHold(int32_t index)
{
    const int64_t needed = (static_cast<int64_t>(index) + 1) * static_cast<int64_t>(cp::kPayloadBytes);
    const int64_t whole = static_cast<int64_t>(m_expectedPackets) * static_cast<int64_t>(cp::kPayloadBytes);
    const int64_t target =
        std::min(whole, std::max({needed, 2 * static_cast<int64_t>(m_back.capacityBytes), kSmallestGrowthBytes}));
    const BufferAllocator allocate = m_allocator != nullptr ? m_allocator : AllocateWithNew;
    uint8_t* grown = allocate(static_cast<size_t>(target));
    if (grown == nullptr)
        return false;
    m_allocations.fetch_add(1, std::memory_order_relaxed);
    // Keep the packets of this capture that already arrived; nothing else of
    // the old buffer is worth copying (or touching).
    const int32_t oldBlocks = m_back.capacityBytes / static_cast<int32_t>(cp::kPayloadBytes);
    for (int32_t block = 0; block < oldBlocks && block < m_expectedPackets; ++block) {
        if (Received(block)) {
            const size_t at = static_cast<size_t>(block) * cp::kPayloadBytes;
            std::memcpy(grown + at, m_back.words + at, cp::kPayloadBytes);
        }
    }
    delete[] m_back.words;
    m_back.words = grown;
    m_back.capacityBytes = static_cast<int32_t>(target);
    return true;
}

void CCaptureAssembler::ReleaseBuffer()
{
    delete[] m_back.words;
    m_back.words = nullptr;
    m_back.capacityBytes = 0;
}

void CCaptureAssembler::Abandon()
{
    m_open = false;
    m_complete = false;
    m_packetsCounted = 0;
}

void CCaptureAssembler::HandOver(CaptureFrame& front)
{
    if (!m_complete)
        return;
    std::swap(front.words, m_back.words);
    std::swap(front.capacityBytes, m_back.capacityBytes);
    std::swap(front.depth, m_back.depth);
    std::swap(front.bitsPerSample, m_back.bitsPerSample);
    front.triggerPos = m_triggerIndex;
    const int32_t previousFrontId = front.captureId.load(std::memory_order_relaxed);
    front.captureId.store(m_back.captureId, std::memory_order_release);
    m_back.captureId = previousFrontId;
    m_open = false;
    m_complete = false;
    m_packetsCounted = 0;
}
