// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reassembles the datagram train of one capture into a buffer of sample words.
// Plain code without sockets: the capture thread feeds it one received
// datagram at a time, and so do the tests and the fuzzer.
//
// A capture is opened by its first packet (type 0xE1), which fixes its id,
// sample width and depth. Further packets (0xE2) count toward it only when
// their id, width and depth agree with the first packet's, and each packet
// index counts once: a capture is complete when every one of its packets has
// arrived, so it never carries bytes of an older capture. The buffer grows
// with the packets that arrive, so a header that merely claims a large
// capture costs no memory.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acquisition/capture_frame.h"

// What the caller has to do after a datagram.
enum class DatagramOutcome {
    Ignored,          // nothing counted: see LastFault() for why
    Accepted,         // stored and counted; keep receiving
    ForeignCapture,   // not part of the capture in progress (another id, width or depth, or none open)
    Complete,         // the capture is complete: hand it over with HandOver()
};

// Why the last datagram did not count toward a capture.
enum class DatagramFault {
    None,
    TooShort,           // fewer than 1032 bytes: no full header and payload
    UnsupportedWidth,   // samples wider than 32 bits
    DepthAboveLimit,    // more samples than capture_protocol::kMaxCaptureDepth
    UnknownType,        // neither a first nor a further packet
    NotInCapture,       // outcome ForeignCapture
    Duplicate,          // a packet of the capture that has already arrived
    OutOfMemory,        // the buffer could not grow: the capture was dropped
};

// The capture being received (the back side of the exchange).
struct BackFrame {
    uint8_t* words = nullptr;
    int32_t capacityBytes = 0;
    int32_t bitsPerSample = 0;
    int32_t depth = 0;
    int32_t captureId = 0;
};

class CCaptureAssembler {
public:
    // Returns `bytes` bytes from new[] (released with delete[]) or null.
    using BufferAllocator = uint8_t* (*)(size_t bytes);

    CCaptureAssembler() = default;
    ~CCaptureAssembler();
    CCaptureAssembler(const CCaptureAssembler&) = delete;
    CCaptureAssembler& operator=(const CCaptureAssembler&) = delete;

    // Takes one datagram as received (length is the received length).
    DatagramOutcome Accept(const uint8_t* data, size_t length);
    DatagramFault LastFault() const { return m_lastFault; }

    // Exchanges the completed capture with `front` (pointers, not samples) and
    // sets the front's trigger position. The caller holds the front's lock.
    // Does nothing unless the last outcome was Complete.
    void HandOver(CaptureFrame& front);

    // Forgets the capture in progress, complete or not: its further packets
    // no longer count. The buffer is kept for the next capture.
    void Abandon();

    // A first packet opened a capture that has not been handed over or abandoned.
    bool CaptureOpen() const { return m_open; }
    bool CaptureComplete() const { return m_complete; }
    // Bytes of the open capture as its first packet announced them.
    int64_t CaptureBytes() const { return m_captureBytes; }

    const BackFrame& Back() const { return m_back; }
    int32_t PacketsCounted() const { return m_packetsCounted; }   // distinct packets of the open capture
    int32_t ExpectedPackets() const { return m_expectedPackets; }
    int32_t TriggerIndex() const { return m_triggerIndex; }
    // Number of sample buffers allocated so far; readable from any thread.
    uint32_t Allocations() const { return m_allocations.load(std::memory_order_relaxed); }
    // Captures dropped because their buffer could not grow.
    uint32_t CapturesDropped() const { return m_dropped.load(std::memory_order_relaxed); }

    // Replaces the allocator of sample buffers (tests simulate exhausted memory).
    void SetAllocator(BufferAllocator allocator) { m_allocator = allocator; }

private:
    DatagramOutcome Ignore(DatagramFault fault);
    DatagramOutcome OpenCapture(const uint8_t* data, int32_t id, int32_t bitsPerSample, int32_t depth);
    DatagramOutcome Store(const uint8_t* data, int32_t index);
    bool Received(int32_t index) const;
    bool GrowToHold(int32_t index);
    void ReleaseBuffer();

    BackFrame m_back;
    bool m_open = false;
    bool m_complete = false;
    int64_t m_captureBytes = 0;
    int32_t m_packetsCounted = 0;
    int32_t m_expectedPackets = 0;      // from the open capture's first packet
    int32_t m_triggerIndex = 0;         // likewise
    std::vector<uint64_t> m_received;   // one bit per packet index of the open capture
    DatagramFault m_lastFault = DatagramFault::None;
    BufferAllocator m_allocator = nullptr;
    std::atomic<uint32_t> m_allocations{0};
    std::atomic<uint32_t> m_dropped{0};
};
