#include "view/trace_summary.h"

#include <algorithm>
#include <climits>

uint32_t ScanChangeMask(const uint32_t* samples, int32_t a, int32_t b) {
    uint32_t r = 0;
    for (int32_t i = a; i <= b; ++i) r |= samples[i] ^ samples[i - 1];
    return r;
}

void ScanValueRange(const uint32_t* samples, int32_t a, int32_t b, const SampleValueRule& rule,
                    int32_t& lo, int32_t& hi) {
    int32_t mn = INT32_MAX;
    int32_t mx = INT32_MIN;
    if (rule.signExtend) {
        for (int32_t i = a; i <= b; ++i) {
            const int32_t v = rule.Value(samples[i]);
            mn = std::min(mn, v);
            mx = std::max(mx, v);
        }
    } else {
        for (int32_t i = a; i <= b; ++i) {
            const int32_t v = static_cast<int32_t>(samples[i]);
            mn = std::min(mn, v);
            mx = std::max(mx, v);
        }
    }
    lo = mn;
    hi = mx;
}

void CSampleSummary::Build(const uint32_t* samples, int32_t count, bool withChanges,
                           bool withRanges, const SampleValueRule& rule) {
    m_samples = samples;
    m_count = std::max(count, 0);
    m_hasChanges = withChanges;
    m_hasRanges = withRanges;
    m_rule = rule;
    const int32_t blocks0 = (m_count + (1 << kShift0) - 1) >> kShift0;
    const int32_t blocks1 = (m_count + (1 << kShift1) - 1) >> kShift1;
    constexpr int32_t kPer1 = 1 << (kShift1 - kShift0);
    m_or0.clear();
    m_or1.clear();
    m_min0.clear();
    m_max0.clear();
    m_min1.clear();
    m_max1.clear();
    if (withChanges) {
        m_or0.assign(size_t(blocks0), 0u);
        for (int32_t k = 0; k < blocks0; ++k) {
            const int32_t a = std::max(k << kShift0, 1);
            const int32_t b = std::min(((k + 1) << kShift0) - 1, m_count - 1);
            m_or0[size_t(k)] = ScanChangeMask(samples, a, b);
        }
        m_or1.assign(size_t(blocks1), 0u);
        for (int32_t k = 0; k < blocks0; ++k) m_or1[size_t(k / kPer1)] |= m_or0[size_t(k)];
    }
    if (withRanges) {
        m_min0.assign(size_t(blocks0), INT32_MAX);
        m_max0.assign(size_t(blocks0), INT32_MIN);
        for (int32_t k = 0; k < blocks0; ++k) {
            const int32_t a = k << kShift0;
            const int32_t b = std::min(((k + 1) << kShift0) - 1, m_count - 1);
            ScanValueRange(samples, a, b, rule, m_min0[size_t(k)], m_max0[size_t(k)]);
        }
        m_min1.assign(size_t(blocks1), INT32_MAX);
        m_max1.assign(size_t(blocks1), INT32_MIN);
        for (int32_t k = 0; k < blocks0; ++k) {
            m_min1[size_t(k / kPer1)] = std::min(m_min1[size_t(k / kPer1)], m_min0[size_t(k)]);
            m_max1[size_t(k / kPer1)] = std::max(m_max1[size_t(k / kPer1)], m_max0[size_t(k)]);
        }
    }
}

size_t CSampleSummary::MemoryBytes() const {
    return (m_or0.size() + m_or1.size()) * sizeof(uint32_t) +
           (m_min0.size() + m_max0.size() + m_min1.size() + m_max1.size()) * sizeof(int32_t);
}

namespace {

// Walks [a, b] as: a partial small block, whole small blocks up to a large
// block boundary, whole large blocks, whole small blocks, a partial tail.
template <typename Partial, typename Small, typename Large>
void WalkBlocks(int32_t a, int32_t b, Partial partial, Small small, Large large) {
    constexpr int32_t kSize0 = 1 << CSampleSummary::kShift0;
    constexpr int32_t kSize1 = 1 << CSampleSummary::kShift1;
    if (b - a < 2 * kSize0) {
        partial(a, b);
        return;
    }
    int32_t i = a;
    if ((i & (kSize0 - 1)) != 0) {
        const int32_t end = (i | (kSize0 - 1));
        partial(i, end);
        i = end + 1;
    }
    while ((i & (kSize1 - 1)) != 0 && i + kSize0 - 1 <= b) {
        small(i >> CSampleSummary::kShift0);
        i += kSize0;
    }
    while (i + kSize1 - 1 <= b) {
        large(i >> CSampleSummary::kShift1);
        i += kSize1;
    }
    while (i + kSize0 - 1 <= b) {
        small(i >> CSampleSummary::kShift0);
        i += kSize0;
    }
    if (i <= b) partial(i, b);
}

}  // namespace

uint32_t CSampleSummary::ChangeMask(int32_t a, int32_t b) const {
    a = std::max(a, 1);
    if (b < a) return 0;
    uint32_t r = 0;
    WalkBlocks(
        a, b, [&](int32_t p, int32_t q) { r |= ScanChangeMask(m_samples, p, q); },
        [&](int32_t k) { r |= m_or0[size_t(k)]; }, [&](int32_t k) { r |= m_or1[size_t(k)]; });
    return r;
}

void CSampleSummary::ValueRange(int32_t a, int32_t b, int32_t& lo, int32_t& hi) const {
    int32_t mn = INT32_MAX;
    int32_t mx = INT32_MIN;
    if (b >= a) {
        WalkBlocks(
            a, b,
            [&](int32_t p, int32_t q) {
                int32_t l, h;
                ScanValueRange(m_samples, p, q, m_rule, l, h);
                mn = std::min(mn, l);
                mx = std::max(mx, h);
            },
            [&](int32_t k) {
                mn = std::min(mn, m_min0[size_t(k)]);
                mx = std::max(mx, m_max0[size_t(k)]);
            },
            [&](int32_t k) {
                mn = std::min(mn, m_min1[size_t(k)]);
                mx = std::max(mx, m_max1[size_t(k)]);
            });
    }
    lo = mn;
    hi = mx;
}
