#pragma once
// Reassembles the datagram train of one capture into a buffer of sample words.
// Plain code without sockets: the capture thread feeds it one received
// datagram at a time, and so do the tests and the fuzzer.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "acquisition/capture_frame.h"

// What the caller has to do after a datagram.
enum class DatagramOutcome {
    Ignored,          // too short or with impossible exponents: nothing stored, nothing counted
    Accepted,         // counted and/or stored; keep receiving
    ForeignCapture,   // a further packet of another capture: counted, not stored; end the burst
    Complete,         // the capture is complete: hand it over with HandOver()
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
    CCaptureAssembler() = default;
    ~CCaptureAssembler();
    CCaptureAssembler(const CCaptureAssembler&) = delete;
    CCaptureAssembler& operator=(const CCaptureAssembler&) = delete;

    // Takes one datagram as received (length is the received length).
    DatagramOutcome Accept(const uint8_t* data, size_t length);

    // Exchanges the completed capture with `front` (pointers, not samples) and
    // sets the front's trigger position. The caller holds the front's lock.
    void HandOver(CaptureFrame& front);

    const BackFrame& Back() const { return m_back; }
    int32_t PacketsCounted() const { return m_packetsCounted; }
    int32_t ExpectedPackets() const { return m_expectedPackets; }
    int32_t TriggerIndex() const { return m_triggerIndex; }
    // Number of sample buffers allocated so far; readable from any thread.
    uint32_t Allocations() const { return m_allocations.load(std::memory_order_relaxed); }

private:
    bool BackCaptureFitsBuffer() const;

    BackFrame m_back;
    int32_t m_packetsCounted = 0;    // reset to 1 by every first packet, nowhere else
    int32_t m_expectedPackets = 0;   // from the header of the last accepted datagram
    int32_t m_triggerIndex = 0;      // likewise
    std::atomic<uint32_t> m_allocations{0};
};
