// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/capture_handoff.h"

#include <algorithm>
#include <bit>
#include <new>

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

namespace {

// A signal's array is given back and made anew when a capture needs at most
// half of it and this many samples (4 MiB) would be freed: one deep capture
// does not keep its memory in every signal for good, while captures of
// similar sizes still reuse their arrays.
constexpr int32_t kShrinkSlackSamples = 1 << 20;

// Sizes the signal's array for n samples: grows it, or shrinks it as above.
// False, with the signal untouched, when no memory can be had.
bool SizeSamplesFor(CSignal& s, int32_t n)
{
    const bool grow = n > s.m_capacity;
    const bool shrink = !grow && s.m_capacity - n >= kShrinkSlackSamples && n <= s.m_capacity / 2;
    if (!grow && !shrink)
        return true;
    // Zeroed: a capture whose width gives no values shows zeros, not old memory.
    auto* fresh = new (std::nothrow) uint32_t[static_cast<size_t>(n)]();
    if (fresh == nullptr)
        return !grow;   // a shrink that cannot be had keeps the larger array
    delete[] s.m_samples;
    s.m_samples = fresh;
    s.m_capacity = n;
    return true;
}

}   // namespace

bool CopyCaptureIntoDocument(const CaptureFrame& front, CVexlarDoc& doc)
{
    if (!doc.IsLive())
        return false;
    const int32_t n = front.depth;
    // Never read beyond the capture buffer, whatever its header claimed.
    const int32_t available = front.words == nullptr ? 0 : std::max(front.capacityBytes, 0) / 4;
    const int32_t copied = std::min(n, available);
    bool samplesChanged = false;
    for (CSignal* s : doc.m_signals) {
        if (s->m_freeze)
            continue;
        if (n <= 0)
            continue;
        if (!SizeSamplesFor(*s, n))
            continue;   // no memory for this capture: the signal keeps what it had
        s->m_count = n;
        samplesChanged = true;
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
    doc.m_captureId = front.captureId.load();
    doc.BumpRevision();
    if (samplesChanged)
        doc.NoteCaptureTaken();
    return true;
}
