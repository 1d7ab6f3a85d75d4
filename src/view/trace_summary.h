// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Per-block summaries of one sample array, so that a pixel column that spans
// many samples is answered from a few precomputed blocks instead of a walk
// over every sample: where the samples change (the OR of every sample XOR its
// predecessor) and the lowest and highest value as the analog graph reads it.
// Blocks of 16, 256 and 4096 samples; a range query reads the partial
// blocks at its two ends sample by sample and the largest whole blocks in
// between, so a pixel column of n samples costs about 50 + n / 4096 reads.
// Plain C++ without Qt, so it can be tested and benchmarked on its own.

#include <cstddef>
#include <cstdint>
#include <vector>

// How a stored sample word becomes the signed number the analog graph plots:
// the word read as a signed 32-bit integer, after sign extension of the bit
// field when the signal's radix is Signed.
struct SampleValueRule {
    bool signExtend = false;
    uint32_t signBit = 0;      // the field's top bit
    uint32_t extendBits = 0;   // ~mask: ORed in when the top bit is set

    int32_t Value(uint32_t word) const
    {
        const uint32_t w = (signExtend && (word & signBit) != 0) ? (word | extendBits) : word;
        return static_cast<int32_t>(w);
    }
    friend bool operator==(const SampleValueRule&, const SampleValueRule&) = default;
};

// What a drawing needs to know of a change mask: every bit of `bits`, and
// whether anything changed at all. A query given a need may stop reading as
// soon as both are known: its result then agrees with the full OR in the bits
// of `bits` and in being zero or not (the default need asks for every bit, so
// the result is the full OR).
struct ChangeNeed {
    uint32_t bits = 0xFFFFFFFFu;
    bool Met(uint32_t r) const { return r != 0 && (r & bits) == bits; }
};

// The same answers read straight from the samples (used for short ranges and
// whenever no summary is at hand). a and b are inclusive; b < a gives "empty"
// (0 for the change mask, lo > hi for the range).
uint32_t ScanChangeMask(const uint32_t* samples, int32_t a, int32_t b);   // needs a >= 1
uint32_t ScanChangeMask(const uint32_t* samples, int32_t a, int32_t b, ChangeNeed need);
void ScanValueRange(const uint32_t* samples, int32_t a, int32_t b, const SampleValueRule& rule, int32_t& lo,
                    int32_t& hi);

class CSampleSummary {
public:
    static constexpr int kLevels = 3;
    static constexpr int kShift[kLevels] = {4, 8, 12};   // 16, 256 and 4096 samples per block

    // Summarises samples[0..count-1]; the array must stay unchanged (and
    // alive) while queries are made. withChanges/withRanges choose which of
    // the two summaries are built.
    void Build(const uint32_t* samples, int32_t count, bool withChanges, bool withRanges, const SampleValueRule& rule);

    bool HasChanges() const { return m_hasChanges; }
    bool HasRanges() const { return m_hasRanges; }
    const SampleValueRule& Rule() const { return m_rule; }
    int32_t Count() const { return m_count; }
    const uint32_t* Samples() const { return m_samples; }
    size_t MemoryBytes() const;

    // OR of samples[i] ^ samples[i-1] for i in [a, b]; a >= 1, b < Count().
    uint32_t ChangeMask(int32_t a, int32_t b, ChangeNeed need = {}) const;
    // Lowest and highest Rule().Value over [a, b], b < Count().
    void ValueRange(int32_t a, int32_t b, int32_t& lo, int32_t& hi) const;

private:
    const uint32_t* m_samples = nullptr;
    int32_t m_count = 0;
    bool m_hasChanges = false;
    bool m_hasRanges = false;
    SampleValueRule m_rule;
    std::vector<uint32_t> m_or[kLevels];
    std::vector<int32_t> m_min[kLevels], m_max[kLevels];
};
