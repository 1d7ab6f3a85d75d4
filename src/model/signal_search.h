// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Searching a capture and measuring pulses, on the samples of one signal.
// Plain functions over a sample array so that tests drive them directly; the
// view moves the marker and centres on what they find.
//
// An edge is at sample i (1 <= i < count) when bit 0 of sample i differs from
// bit 0 of sample i - 1: a one-bit signal changes level there. Rising when
// the new level is 1.

#include <cstdint>

#include <QString>

#include "model/signal.h"

namespace SignalSearch {

enum class Direction { Forward, Backward };

// The next edge after `from` (Forward: the smallest i > from) or before it
// (Backward: the largest i < from); -1 when there is none. `from` may lie
// outside the samples (-1 searches forward from the start, count backward
// from the end).
int32_t FindEdge(const uint32_t* samples, int32_t count, int32_t from, Direction direction);

// The next or previous place where the value equals `value` in the bits of
// `mask`: the first sample of a run of matching samples (a run that starts
// at sample 0 starts there). Forward finds the smallest such i > from,
// Backward the largest i < from; -1 when there is none.
int32_t FindValue(const uint32_t* samples, int32_t count, int32_t from, Direction direction, uint32_t value,
                  uint32_t mask);

struct EdgeCounts {
    int32_t rising = 0;
    int32_t falling = 0;
};

// Edges at the samples after the earlier of a and b up to the later one
// (both clamped to the samples): what happens between two markers.
EdgeCounts CountEdges(const uint32_t* samples, int32_t count, int32_t a, int32_t b);

// The pulse and the cycle around one sample of a one-bit signal, in samples.
// Every figure that the capture does not show whole is -1 (a level that
// starts before the first sample or lasts past the last one).
struct PulseMeasurement {
    bool valid = false;        // the sample lies inside the capture
    bool high = false;         // level at the sample
    int32_t pulseStart = -1;   // the edge where this level began
    int32_t pulseEnd = -1;     // the edge where it ends
    int32_t width = -1;        // pulseEnd - pulseStart
    // The cycle from the last rising edge at or before the sample to the
    // next rising edge after it, and the falling edge between them.
    int32_t cycleStart = -1;
    int32_t cycleFall = -1;
    int32_t cycleEnd = -1;
    int32_t period = -1;     // cycleEnd - cycleStart
    int32_t highTime = -1;   // cycleFall - cycleStart
    // highTime / period, -1 when the cycle is not whole.
    double DutyCycle() const { return period > 0 && highTime >= 0 ? double(highTime) / double(period) : -1.0; }
};

PulseMeasurement MeasureAround(const uint32_t* samples, int32_t count, int32_t sample);

// Reads the value or mask typed into the search dialog for a field of
// `numBits` bits: "0x1F" or "x1F" (hexadecimal), "0b101" or (except in Hex,
// where b is a digit) "b101" (binary),
// "-3" (decimal, sign-extended into the field), or bare digits in the
// signal's radix (Hex: hexadecimal, Binary: binary, otherwise decimal). False
// for anything else or a value that does not fit the field.
bool ParseFieldValue(const QString& text, SignalRadix radix, int32_t numBits, uint32_t& value);

// The same functions on a signal's samples.
inline int32_t FindEdge(const CSignal& s, int32_t from, Direction d)
{
    return FindEdge(s.m_samples, s.m_count, from, d);
}
inline int32_t FindValue(const CSignal& s, int32_t from, Direction d, uint32_t value, uint32_t mask)
{
    return FindValue(s.m_samples, s.m_count, from, d, value, mask);
}
inline EdgeCounts CountEdges(const CSignal& s, int32_t a, int32_t b)
{
    return CountEdges(s.m_samples, s.m_count, a, b);
}
inline PulseMeasurement MeasureAround(const CSignal& s, int32_t sample)
{
    return MeasureAround(s.m_samples, s.m_count, sample);
}

}   // namespace SignalSearch
