// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Sample words of UART, SPI and I2C traffic of known bytes, and documents
// that hold them, for the decode tests and the benchmark.

#include <cstdint>
#include <string>
#include <vector>

#include "document/vexlar_doc.h"

// A stream of 32-bit sample words with some lines driven, one sample at a time.
struct WordStream {
    std::vector<uint32_t> words;
    uint32_t level = 0;

    void Set(int bit, bool high) { level = high ? (level | (1u << bit)) : (level & ~(1u << bit)); }
    void Hold(int samples) { words.insert(words.end(), static_cast<size_t>(samples), level); }
};

// UART 8N1, LSB first, on bit `bit`; `samplesPerBit` samples per bit time.
// The line idles high for `idle` samples before, between and after the bytes.
inline void AppendUart(WordStream& s, int bit, const std::vector<uint8_t>& bytes, int samplesPerBit, int idle)
{
    s.Set(bit, true);
    s.Hold(idle);
    for (uint8_t b : bytes) {
        s.Set(bit, false);
        s.Hold(samplesPerBit);
        for (int i = 0; i < 8; ++i) {
            s.Set(bit, (b >> i) & 1);
            s.Hold(samplesPerBit);
        }
        s.Set(bit, true);
        s.Hold(samplesPerBit);
        s.Hold(idle);
    }
}

// SPI mode 0, MSB first, chip select active low: clock on bit 0, MOSI on
// bit 1, CS on bit 2, MISO on bit 3 (the complement of MOSI); `half`
// samples per clock half period.
inline void AppendSpi(WordStream& s, const std::vector<uint8_t>& bytes, int half)
{
    s.Set(0, false);
    s.Set(2, true);
    s.Hold(4 * half);
    s.Set(2, false);
    s.Hold(2 * half);
    for (uint8_t b : bytes) {
        for (int i = 7; i >= 0; --i) {
            const bool v = (b >> i) & 1;
            s.Set(1, v);
            s.Set(3, !v);
            s.Set(0, false);
            s.Hold(half);
            s.Set(0, true);
            s.Hold(half);
        }
        s.Set(0, false);
        s.Hold(2 * half);
    }
    s.Set(2, true);
    s.Hold(4 * half);
}

// I2C: SCL on bit 0, SDA on bit 1. One write transfer of `bytes` to the
// 7-bit `address`, every byte acknowledged; `q` samples per quarter clock.
inline void AppendI2cWrite(WordStream& s, uint8_t address, const std::vector<uint8_t>& bytes, int q)
{
    auto bitOut = [&](bool v) {
        s.Set(0, false);
        s.Hold(q);
        s.Set(1, v);
        s.Hold(q);
        s.Set(0, true);
        s.Hold(2 * q);
    };
    s.Set(0, true);
    s.Set(1, true);
    s.Hold(4 * q);
    s.Set(1, false);   // start: SDA falls while SCL is high
    s.Hold(2 * q);
    std::vector<uint8_t> all{static_cast<uint8_t>(address << 1)};
    all.insert(all.end(), bytes.begin(), bytes.end());
    for (uint8_t b : all) {
        for (int i = 7; i >= 0; --i)
            bitOut((b >> i) & 1);
        bitOut(false);   // the receiver's ACK
    }
    s.Set(0, false);
    s.Hold(q);
    s.Set(1, false);
    s.Hold(q);
    s.Set(0, true);
    s.Hold(2 * q);
    s.Set(1, true);   // stop: SDA rises while SCL is high
    s.Hold(4 * q);
}

// A document whose "all_bits" signal holds the words, followed by one-bit
// signals named `names[i]` for bit i, and sample frequency `hz` everywhere.
inline void FillDocument(CVexlarDoc& doc, const std::vector<uint32_t>& words, const std::vector<std::string>& names,
                         double hz)
{
    CSignal* all = doc.Head();
    if (all == nullptr)
        return;
    all->EnsureCapacity(static_cast<int32_t>(words.size()));
    all->m_count = static_cast<int32_t>(words.size());
    std::copy(words.begin(), words.end(), all->m_samples);
    all->m_sampleFreq = hz;
    for (size_t i = 0; i < names.size(); ++i) {
        CSignal* s = doc.AppendNewSignal();
        s->m_name = QString::fromStdString(names[i]);
        s->m_numBits = 1;
        s->m_firstBit = static_cast<int32_t>(i);
        s->m_sampleFreq = hz;
        s->UpdateMask();
        s->UpdateFromSource();
    }
}
