#include "document/capture_handoff.h"

#include <algorithm>
#include <bit>

#include "acquisition/capture_frame.h"
#include "document/vexlar_doc.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void ExtractBitField(const uint8_t* words, int32_t n, int32_t shift, uint32_t mask, uint32_t* out)
{
    shift &= 31;
    int32_t i = 0;
#if defined(__SSE2__)
    if constexpr (std::endian::native == std::endian::little) {
        const __m128i vmask = _mm_set1_epi32(static_cast<int>(mask));
        const __m128i vshift = _mm_cvtsi32_si128(shift);
        for (; i + 8 <= n; i += 8) {
            const auto* src = reinterpret_cast<const __m128i*>(words + static_cast<size_t>(i) * 4);
            __m128i a = _mm_loadu_si128(src);
            __m128i b = _mm_loadu_si128(src + 1);
            a = _mm_and_si128(_mm_srl_epi32(a, vshift), vmask);
            b = _mm_and_si128(_mm_srl_epi32(b, vshift), vmask);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), a);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 4), b);
        }
    }
#endif
    for (; i < n; ++i)
        out[i] = (CaptureWord(words, i) >> shift) & mask;
}

void CopyCaptureIntoDocument(const CaptureFrame& front, CVexlarDoc& doc)
{
    const int32_t n = front.depth;
    // Never read beyond the capture buffer, whatever its header claimed.
    const int32_t available = front.words == nullptr ? 0 : std::max(front.capacityBytes, 0) / 4;
    const int32_t copied = std::min(n, available);
    for (CSignal* s : doc.m_signals) {
        if (s->m_freeze)
            continue;
        if (n <= 0)
            continue;
        s->EnsureCapacity(n);
        s->m_count = n;
        if (front.bitsPerSample != 32)
            continue;   // only 32-bit sample words become values
        if (s->m_allBits) {
            s->m_numBits = 32;
            s->m_firstBit = 0;
        }
        if (copied > 0)
            ExtractBitField(front.words, copied, s->m_firstBit, s->m_mask, s->m_samples);
    }
    doc.m_triggerPos = front.triggerPos;
    doc.BumpRevision();
}
