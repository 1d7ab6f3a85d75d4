// SPDX-License-Identifier: GPL-3.0-or-later
// Block summaries of the samples answer every range exactly as a walk over
// the samples does: change masks and value ranges, signed and unsigned,
// short and long ranges, block edges.

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "view/trace_summary.h"

namespace {

struct Brute {
    const std::vector<uint32_t>& s;
    SampleValueRule rule;
    uint32_t Change(int a, int b) const
    {
        uint32_t r = 0;
        for (int i = std::max(a, 1); i <= b; ++i)
            r |= s[size_t(i)] ^ s[size_t(i) - 1];
        return r;
    }
    void Range(int a, int b, int32_t& lo, int32_t& hi) const
    {
        lo = INT32_MAX;
        hi = INT32_MIN;
        for (int i = a; i <= b; ++i) {
            lo = std::min(lo, rule.Value(s[size_t(i)]));
            hi = std::max(hi, rule.Value(s[size_t(i)]));
        }
    }
};

}   // namespace

TEST(TraceSummary, RangesMatchAWalkOverTheSamples)
{
    std::mt19937 rng(3);
    for (const int count : {1, 17, 255, 4096, 4097, 70001}) {
        std::vector<uint32_t> s(static_cast<size_t>(count));
        // Long constant stretches with rare changes in single bits, so that
        // many blocks have no change at all and some have exactly one.
        uint32_t w = rng();
        for (auto& x : s) {
            if (rng() % 97 == 0)
                w ^= 1u << (rng() % 32);
            x = w & 0xFFFu;
        }
        for (const bool sign : {false, true}) {
            SampleValueRule rule;
            rule.signExtend = sign;
            rule.signBit = 0x800u;
            rule.extendBits = ~0xFFFu;
            CSampleSummary summary;
            summary.Build(s.data(), count, true, true, rule);
            const Brute brute{s, rule};
            std::uniform_int_distribution<int> pos(0, count - 1);
            for (int k = 0; k < 3000; ++k) {
                int a = pos(rng), b = pos(rng);
                if (a > b)
                    std::swap(a, b);
                if (k % 3 == 0)
                    b = std::min(count - 1, a + int(rng() % 40));   // short ranges
                ASSERT_EQ(summary.ChangeMask(a, b), brute.Change(a, b)) << count << " [" << a << ", " << b << "]";
                int32_t lo, hi, blo, bhi;
                summary.ValueRange(a, b, lo, hi);
                brute.Range(a, b, blo, bhi);
                ASSERT_EQ(lo, blo) << count << " [" << a << ", " << b << "] signed " << sign;
                ASSERT_EQ(hi, bhi) << count << " [" << a << ", " << b << "] signed " << sign;
                uint32_t mask = ScanChangeMask(s.data(), std::max(a, 1), b);
                ASSERT_EQ(mask, brute.Change(a, b));
            }
        }
    }
}

TEST(TraceSummary, SignedValuesAndEmptyRanges)
{
    const std::vector<uint32_t> s = {0x7Fu, 0x80u, 0xFFu, 0x01u};
    SampleValueRule rule{true, 0x80u, ~0xFFu};
    CSampleSummary summary;
    summary.Build(s.data(), 4, true, true, rule);
    int32_t lo, hi;
    summary.ValueRange(0, 3, lo, hi);
    EXPECT_EQ(lo, -128);
    EXPECT_EQ(hi, 127);
    summary.ValueRange(2, 1, lo, hi);   // empty
    EXPECT_GT(lo, hi);
    EXPECT_EQ(summary.ChangeMask(3, 2), 0u);
    EXPECT_EQ(summary.ChangeMask(0, 0), 0u);   // the first sample has no predecessor
    EXPECT_EQ(summary.ChangeMask(1, 1), 0x7Fu ^ 0x80u);
    const SampleValueRule plain;
    summary.Build(s.data(), 4, false, true, plain);
    summary.ValueRange(0, 3, lo, hi);
    EXPECT_EQ(lo, 1);
    EXPECT_EQ(hi, 255);
    EXPECT_FALSE(summary.HasChanges());
}

// A query that may stop early agrees with the full OR in the bits it was
// asked for and in being zero, on samples that change at every sample, on
// samples that change rarely, and on a single bit that changes once.
TEST(TraceSummary, QueriesThatStopEarlyKeepTheBitsAskedFor)
{
    std::mt19937 rng(11);
    const int count = 20000;
    std::vector<std::vector<uint32_t>> inputs(3, std::vector<uint32_t>(size_t(count)));
    uint32_t w = 0;
    for (int i = 0; i < count; ++i) {
        inputs[0][size_t(i)] = rng();
        if (rng() % 300 == 0)
            w ^= 1u << (rng() % 8);
        inputs[1][size_t(i)] = w;
        inputs[2][size_t(i)] = i >= 12345 ? 0x40u : 0u;
    }
    for (const auto& s : inputs) {
        CSampleSummary summary;
        summary.Build(s.data(), count, true, false, SampleValueRule{});
        const Brute brute{s, SampleValueRule{}};
        std::uniform_int_distribution<int> pos(1, count - 1);
        for (const uint32_t bits : {0u, 1u, 0x40u, 0xFFu, 0xFFFFFFFFu}) {
            const ChangeNeed need{bits};
            for (int k = 0; k < 2000; ++k) {
                int a = pos(rng), b = pos(rng);
                if (a > b)
                    std::swap(a, b);
                const uint32_t full = brute.Change(a, b);
                for (const uint32_t got : {summary.ChangeMask(a, b, need), ScanChangeMask(s.data(), a, b, need)}) {
                    ASSERT_EQ(got & bits, full & bits) << "[" << a << ", " << b << "] bits " << bits;
                    ASSERT_EQ(got != 0, full != 0) << "[" << a << ", " << b << "] bits " << bits;
                }
            }
        }
    }
}
