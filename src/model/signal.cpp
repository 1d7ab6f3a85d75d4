// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "model/errors.h"
#include "model/spectrum_input_cache.h"

CSignal::CSignal(SignalList* owner) : m_owner(owner)
{
    std::fill(std::begin(m_peakHold), std::end(m_peakHold), kPeakHoldFloor);
}

CSignal::~CSignal()
{
    delete[] m_samples;
}

void CSignal::UpdateMask()
{
    uint32_t mask = 0;
    uint32_t bit = 1;
    for (int32_t i = 0; i < m_numBits && bit != 0; ++i) {
        mask |= bit;
        bit <<= 1;   // runs out after 32 bits, so wider fields keep all bits
    }
    m_mask = mask;
}

int32_t CSignal::GetRowHeight() const
{
    if (m_numBits == 1)
        return m_bitHeight;
    if (m_analog || m_spectrum)
        return m_graphHeight;
    if (m_expanded) {
        // 64-bit so that an absurd width from the dialog or a file cannot overflow.
        const int64_t h = int64_t(m_numBits) * (int64_t(m_bitHeight) + m_bitGap) + m_busHeight;
        return int32_t(
            std::clamp<int64_t>(h, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
    }
    return m_busHeight;
}

void CSignal::GetValueRange(int first, int last, double& lo, double& hi) const
{
    lo = 0.0;
    hi = 0.0;
    last = std::min(last, m_count - 1);
    first = std::max(first, 0);
    if (int64_t(last) - first < 1)
        return;
    if (m_radix == Signed) {
        int32_t mn = std::numeric_limits<int32_t>::max();
        int32_t mx = std::numeric_limits<int32_t>::min();
        for (int i = first; i <= last; ++i) {
            const int32_t v = static_cast<int32_t>(SignExtend(m_samples[i]));
            mn = std::min(mn, v);
            mx = std::max(mx, v);
        }
        lo = mn;
        hi = mx;
    } else {
        uint32_t mn = 0xFFFFFFFFu;
        uint32_t mx = 0;
        for (int i = first; i <= last; ++i) {
            mn = std::min(mn, m_samples[i]);
            mx = std::max(mx, m_samples[i]);
        }
        lo = mn;
        hi = mx;
    }
}

namespace {
// Truncates toward zero like a C cast, but saturates instead of overflowing
// (an unsigned 32-bit range does not fit m_min/m_max).
int32_t TruncateToInt32(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
}   // namespace

void CSignal::Autoscale(int first, int last)
{
    double lo = 0.0;
    double hi = 0.0;
    GetValueRange(first, last, lo, hi);
    double margin = (hi - lo) * 0.05;
    if (margin == 0.0)
        margin = 1.0;
    m_min = TruncateToInt32(lo - margin - 0.5);
    m_max = TruncateToInt32(hi + margin + 0.5);
}

void CSignal::EnsureCapacity(int32_t n)
{
    if (n <= m_capacity)
        return;
    delete[] m_samples;
    m_samples = nullptr;
    m_capacity = 0;
    m_samples = new uint32_t[static_cast<size_t>(n)]();
    m_capacity = n;
}

void CSignal::UpdateFromSource()
{
    if (m_owner == nullptr || m_owner->empty())
        throw CInvalidArgumentException();
    const CSignal* source = m_owner->front();
    const int32_t n = std::max(source->m_count, 0);
    if (source != this)
        EnsureCapacity(n);
    m_count = n;
    if (m_allBits) {
        m_numBits = 32;
        m_firstBit = 0;
    }
    const uint32_t* from = source->m_samples;
    for (int32_t i = 0; i < n; ++i)
        m_samples[i] = Extract(from[i]);
}

void CSignal::RefreshSpectrum(PeakHold peakHold)
{
    if (m_spectrum && m_count > 0 && m_samples != nullptr)
        UpdateSpectrum(peakHold);
}

void CSignal::ResetPeakHold()
{
    std::fill(std::begin(m_peakHold), std::end(m_peakHold), kPeakHoldFloor);
}

void CSignal::UpdateSpectrum(PeakHold peakHold)
{
    if (!m_spectrumCache)
        m_spectrumCache = std::make_unique<SpectrumInputCache>();
    SpectrumInputCache& cache = *m_spectrumCache;

    // The transform reads the first 6144 values only; positions beyond
    // m_count count as zero and are never read.
    const int32_t used = std::clamp(m_count, 0, SpectrumInputCache::kUsedSamples);
    const bool signExtend = m_radix == Signed;

    // Same input words, same sign extension and same sample frequency give
    // the same spectrum: reuse it instead of transforming again. Comparing
    // the words themselves (not a counter) keeps this right whoever wrote
    // m_samples.
    const bool unchanged = cache.valid && cache.used == used && cache.signExtend == signExtend &&
                           (!signExtend || (cache.numBits == m_numBits && cache.mask == m_mask)) &&
                           std::memcmp(&cache.sampleFreq, &m_sampleFreq, sizeof(double)) == 0 &&
                           (used == 0 || std::memcmp(cache.words, m_samples, size_t(used) * 4) == 0);
    if (unchanged) {
        std::memcpy(m_spectrumDb, cache.spectrum, sizeof(m_spectrumDb));
    } else {
        cache.valid = false;
        // The transform's input is a temporary of this computation, shared
        // by every signal of the thread: each spectrum signal keeps only the
        // words and the result it compares against.
        thread_local std::vector<double> input(SpectrumInputCache::kInputLength);
        for (int32_t i = 0; i < used; ++i)
            input[size_t(i)] = static_cast<double>(static_cast<int32_t>(SignExtend(m_samples[i])));
        std::fill(input.begin() + used, input.end(), 0.0);
        m_fft.AveragePower(input.data(), m_spectrumDb, m_sampleFreq);

        if (used > 0)
            std::memcpy(cache.words, m_samples, size_t(used) * 4);
        std::memcpy(cache.spectrum, m_spectrumDb, sizeof(m_spectrumDb));
        cache.used = used;
        cache.signExtend = signExtend;
        cache.numBits = m_numBits;
        cache.mask = m_mask;
        cache.sampleFreq = m_sampleFreq;
        cache.valid = true;
    }

    double lo = m_spectrumDb[0];
    double hi = m_spectrumDb[0];
    double finiteLo = std::numeric_limits<double>::infinity();
    double finiteHi = -std::numeric_limits<double>::infinity();
    for (int32_t k = 0; k < kSpectrumBins; ++k) {
        const double db = m_spectrumDb[k];
        if (peakHold == PeakHold::Raise && db > m_peakHold[k])
            m_peakHold[k] = db;
        if (db < lo)
            lo = db;
        if (db > hi)
            hi = db;
        if (std::isfinite(db)) {
            finiteLo = std::min(finiteLo, db);
            finiteHi = std::max(finiteHi, db);
        }
    }
    m_specMin = lo;
    m_specMax = hi;

    // A new spectrum row (display range 0..0) takes the range of its first
    // spectrum, so it shows a usable graph at once.
    if (m_minDb == 0.0 && m_maxDb == 0.0 && finiteLo <= finiteHi) {
        m_minDb = finiteLo;
        m_maxDb = finiteHi > finiteLo ? finiteHi : finiteLo + 1.0;
    }
}
