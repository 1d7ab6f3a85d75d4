#include "acquisition/capture_assembler.h"

#include <cstring>
#include <new>
#include <utility>

#include "acquisition/capture_protocol.h"

namespace cp = capture_protocol;

CCaptureAssembler::~CCaptureAssembler()
{
    delete[] m_back.words;
}

DatagramOutcome CCaptureAssembler::Accept(const uint8_t* data, size_t length)
{
    // A datagram without a full header and payload carries no capture data we
    // could place; reading past its end would pick up bytes of an earlier one.
    if (data == nullptr || length < cp::kDatagramBytes)
        return DatagramOutcome::Ignored;

    const uint8_t type = data[0];
    const int32_t id = (data[2] << 8) | data[3];
    int64_t index = (data[4] << 8) | data[5];
    const int widthExponent = data[6];
    const int depthExponent = data[7];
    // Exponents beyond 32-bit samples or 2^24 samples are corrupt headers;
    // they must not size an allocation nor complete a capture.
    if (widthExponent > cp::kMaxWidthExponent || depthExponent > cp::kMaxDepthExponent)
        return DatagramOutcome::Ignored;

    const int32_t bitsPerSample = 8 << widthExponent;
    const int32_t depth = 1 << depthExponent;
    const int64_t captureBytes = static_cast<int64_t>(bitsPerSample / 8) * depth;
    // Recomputed from every datagram's header, not only from first packets.
    m_expectedPackets = static_cast<int32_t>(captureBytes / static_cast<int64_t>(cp::kPayloadBytes));
    m_triggerIndex = depth / 2;

    if (type == cp::kFirstPacket) {
        m_back.depth = depth;
        m_back.captureId = id;
        m_back.bitsPerSample = bitsPerSample;
        m_packetsCounted = 1;
        index = 0;
        const int64_t needed = static_cast<int64_t>(m_expectedPackets) * static_cast<int64_t>(cp::kPayloadBytes);
        if (needed > m_back.capacityBytes) {
            // The buffer only grows; its old contents are not kept.
            delete[] m_back.words;
            m_back.words = new (std::nothrow) uint8_t[static_cast<size_t>(needed)];
            m_back.capacityBytes = m_back.words != nullptr ? static_cast<int32_t>(needed) : 0;
            m_allocations.fetch_add(1, std::memory_order_relaxed);
        }
    } else if (type == cp::kFurtherPacket) {
        ++m_packetsCounted;
        if (id != m_back.captureId)
            return DatagramOutcome::ForeignCapture;   // counted, not stored
    }
    // Any other type is neither counted nor checked; its payload is stored at
    // the header's index like a further packet.

    const int64_t offset = index * static_cast<int64_t>(cp::kPayloadBytes);
    if (m_back.words != nullptr && offset + static_cast<int64_t>(cp::kPayloadBytes) <= m_back.capacityBytes)
        std::memcpy(m_back.words + offset, data + cp::kHeaderBytes, cp::kPayloadBytes);

    // Completion follows the count; the buffer check keeps a header that
    // disagrees with its first packet from handing over a capture larger
    // than the buffer that holds it.
    if (m_packetsCounted == m_expectedPackets && BackCaptureFitsBuffer())
        return DatagramOutcome::Complete;
    return DatagramOutcome::Accepted;
}

bool CCaptureAssembler::BackCaptureFitsBuffer() const
{
    if (m_back.words == nullptr || m_back.depth <= 0 || m_back.bitsPerSample <= 0)
        return false;
    const int64_t bytes = static_cast<int64_t>(m_back.bitsPerSample / 8) * m_back.depth;
    return bytes <= m_back.capacityBytes;
}

void CCaptureAssembler::HandOver(CaptureFrame& front)
{
    std::swap(front.words, m_back.words);
    std::swap(front.capacityBytes, m_back.capacityBytes);
    std::swap(front.depth, m_back.depth);
    std::swap(front.bitsPerSample, m_back.bitsPerSample);
    front.triggerPos = m_triggerIndex;
    const int32_t previousFrontId = front.captureId.load(std::memory_order_relaxed);
    front.captureId.store(m_back.captureId, std::memory_order_release);
    m_back.captureId = previousFrontId;
}
