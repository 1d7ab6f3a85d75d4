// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/trace_summary.h"

#include <algorithm>
#include <climits>

// Eight lanes side by side, so that the compiler can keep them in vector
// registers; the lanes are folded at the end. On x86-64 a second version for
// processors with AVX2 (8 lanes in one register, 32-bit minimum and maximum)
// is chosen at load time.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VEXLAR_SCAN_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VEXLAR_SCAN_CLONES
#endif

VEXLAR_SCAN_CLONES
uint32_t ScanChangeMask(const uint32_t* samples, int32_t a, int32_t b)
{
    constexpr int kLanes = 8;
    uint32_t lanes[kLanes] = {};
    int64_t i = a;
    for (; i + kLanes - 1 <= b; i += kLanes)
        for (int k = 0; k < kLanes; ++k)
            lanes[k] |= samples[i + k] ^ samples[i + k - 1];
    uint32_t r = 0;
    for (; i <= b; ++i)
        r |= samples[i] ^ samples[i - 1];
    for (int k = 0; k < kLanes; ++k)
        r |= lanes[k];
    return r;
}

uint32_t ScanChangeMask(const uint32_t* samples, int32_t a, int32_t b, ChangeNeed need)
{
    // Stretches of a few cache lines: a column of changing samples is known
    // after its first stretch.
    constexpr int32_t kStretch = 64;
    uint32_t r = 0;
    for (int64_t i = a; i <= b; i += kStretch) {
        r |= ScanChangeMask(samples, int32_t(i), int32_t(std::min<int64_t>(b, i + kStretch - 1)));
        if (need.Met(r))
            break;
    }
    return r;
}

VEXLAR_SCAN_CLONES
void ScanValueRange(const uint32_t* samples, int32_t a, int32_t b, const SampleValueRule& rule, int32_t& lo,
                    int32_t& hi)
{
    constexpr int kLanes = 8;
    int32_t mn[kLanes], mx[kLanes];
    for (int k = 0; k < kLanes; ++k) {
        mn[k] = INT32_MAX;
        mx[k] = INT32_MIN;
    }
    int64_t i = a;
    if (rule.signExtend) {
        const uint32_t signBit = rule.signBit;
        const uint32_t extend = rule.extendBits;
        for (; i + kLanes - 1 <= b; i += kLanes)
            for (int k = 0; k < kLanes; ++k) {
                const uint32_t w = samples[i + k];
                const int32_t v = static_cast<int32_t>((w & signBit) != 0 ? (w | extend) : w);
                mn[k] = std::min(mn[k], v);
                mx[k] = std::max(mx[k], v);
            }
    } else {
        for (; i + kLanes - 1 <= b; i += kLanes)
            for (int k = 0; k < kLanes; ++k) {
                const int32_t v = static_cast<int32_t>(samples[i + k]);
                mn[k] = std::min(mn[k], v);
                mx[k] = std::max(mx[k], v);
            }
    }
    for (; i <= b; ++i) {
        const int32_t v = rule.Value(samples[i]);
        mn[0] = std::min(mn[0], v);
        mx[0] = std::max(mx[0], v);
    }
    for (int k = 1; k < kLanes; ++k) {
        mn[0] = std::min(mn[0], mn[k]);
        mx[0] = std::max(mx[0], mx[k]);
    }
    lo = mn[0];
    hi = mx[0];
}

void CSampleSummary::Build(const uint32_t* samples, int32_t count, bool withChanges, bool withRanges,
                           const SampleValueRule& rule)
{
    m_samples = samples;
    m_count = std::max(count, 0);
    m_hasChanges = withChanges;
    m_hasRanges = withRanges;
    m_rule = rule;
    for (int level = 0; level < kLevels; ++level) {
        m_or[level].clear();
        m_min[level].clear();
        m_max[level].clear();
        const int32_t size = 1 << kShift[level];
        const int32_t blocks = (m_count + size - 1) >> kShift[level];
        if (withChanges)
            m_or[level].assign(size_t(blocks), 0u);
        if (withRanges) {
            m_min[level].assign(size_t(blocks), INT32_MAX);
            m_max[level].assign(size_t(blocks), INT32_MIN);
        }
    }
    // The smallest blocks from the samples, every larger one from the blocks below it.
    const int32_t blocks0 = (m_count + (1 << kShift[0]) - 1) >> kShift[0];
    for (int32_t k = 0; k < blocks0; ++k) {
        const int32_t a = k << kShift[0];
        const int32_t b = std::min(((k + 1) << kShift[0]) - 1, m_count - 1);
        if (withChanges)
            m_or[0][size_t(k)] = ScanChangeMask(samples, std::max(a, 1), b);
        if (withRanges)
            ScanValueRange(samples, a, b, rule, m_min[0][size_t(k)], m_max[0][size_t(k)]);
    }
    for (int level = 1; level < kLevels; ++level) {
        const int ratio = kShift[level] - kShift[level - 1];
        const size_t below = withChanges ? m_or[level - 1].size() : m_min[level - 1].size();
        for (size_t k = 0; k < below; ++k) {
            const size_t up = k >> ratio;
            if (withChanges)
                m_or[level][up] |= m_or[level - 1][k];
            if (withRanges) {
                m_min[level][up] = std::min(m_min[level][up], m_min[level - 1][k]);
                m_max[level][up] = std::max(m_max[level][up], m_max[level - 1][k]);
            }
        }
    }
}

size_t CSampleSummary::MemoryBytes() const
{
    size_t bytes = 0;
    for (int level = 0; level < kLevels; ++level)
        bytes += m_or[level].size() * sizeof(uint32_t) + (m_min[level].size() + m_max[level].size()) * sizeof(int32_t);
    return bytes;
}

namespace {

// Walks [a, b]: sample by sample up to the first boundary of a smallest
// block, then ever larger whole blocks up to the largest, and back down to
// the smallest and the samples of the tail. `partial` and `block` return true
// when the walk may stop (the answer is known).
template <typename Partial, typename Block>
void WalkBlocks(int32_t a, int32_t b, Partial partial, Block block)
{
    constexpr int kLevels = CSampleSummary::kLevels;
    const int* shift = CSampleSummary::kShift;
    if (int64_t(b) - a < 2 * (1 << shift[0])) {
        partial(a, b);
        return;
    }
    int64_t i = a;
    const int64_t end = int64_t(b) + 1;
    // Up: align to ever larger blocks.
    {
        const int64_t mask0 = (1 << shift[0]) - 1;
        if ((i & mask0) != 0) {
            const int64_t next = (i | mask0) + 1;
            if (partial(int32_t(i), int32_t(next - 1)))
                return;
            i = next;
        }
    }
    for (int level = 0; level + 1 < kLevels; ++level) {
        const int64_t size = int64_t(1) << shift[level];
        const int64_t upper = (int64_t(1) << shift[level + 1]) - 1;
        while ((i & upper) != 0 && i + size <= end) {
            if (block(level, int32_t(i >> shift[level])))
                return;
            i += size;
        }
    }
    // Down: the largest blocks that fit, then smaller ones.
    for (int level = kLevels - 1; level >= 0; --level) {
        const int64_t size = int64_t(1) << shift[level];
        while (i + size <= end) {
            if (block(level, int32_t(i >> shift[level])))
                return;
            i += size;
        }
    }
    if (i < end)
        partial(int32_t(i), b);
}

}   // namespace

uint32_t CSampleSummary::ChangeMask(int32_t a, int32_t b, ChangeNeed need) const
{
    a = std::max(a, 1);
    if (b < a)
        return 0;
    uint32_t r = 0;
    WalkBlocks(
        a, b,
        [&](int32_t p, int32_t q) {
            r |= ScanChangeMask(m_samples, p, q);
            return need.Met(r);
        },
        [&](int level, int32_t k) {
            r |= m_or[level][size_t(k)];
            return need.Met(r);
        });
    return r;
}

void CSampleSummary::ValueRange(int32_t a, int32_t b, int32_t& lo, int32_t& hi) const
{
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
                return false;
            },
            [&](int level, int32_t k) {
                mn = std::min(mn, m_min[level][size_t(k)]);
                mx = std::max(mx, m_max[level][size_t(k)]);
                return false;
            });
    }
    lo = mn;
    hi = mx;
}
