// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/signal_search.h"

#include <algorithm>

namespace SignalSearch {

namespace {

bool EdgeAt(const uint32_t* samples, int32_t i)
{
    return ((samples[i] ^ samples[i - 1]) & 1u) != 0;
}

bool Matches(const uint32_t* samples, int32_t i, uint32_t value, uint32_t mask)
{
    return ((samples[i] ^ value) & mask) == 0;
}

bool RunStartsAt(const uint32_t* samples, int32_t i, uint32_t value, uint32_t mask)
{
    return Matches(samples, i, value, mask) && (i == 0 || !Matches(samples, i - 1, value, mask));
}

// The edge of the wanted direction (rising when `rising`) at or before
// `last`, or after `first`; -1 when there is none.
int32_t LastEdgeOfKindAtOrBefore(const uint32_t* samples, int32_t last, bool rising)
{
    for (int32_t i = last; i >= 1; --i) {
        if (EdgeAt(samples, i) && ((samples[i] & 1u) != 0) == rising)
            return i;
    }
    return -1;
}

int32_t FirstEdgeOfKindAfter(const uint32_t* samples, int32_t count, int32_t first, bool rising)
{
    for (int32_t i = std::max(first + 1, 1); i < count; ++i) {
        if (EdgeAt(samples, i) && ((samples[i] & 1u) != 0) == rising)
            return i;
    }
    return -1;
}

}   // namespace

int32_t FindEdge(const uint32_t* samples, int32_t count, int32_t from, Direction direction)
{
    if (samples == nullptr || count < 2)
        return -1;
    if (direction == Direction::Forward) {
        for (int64_t i = std::max<int64_t>(int64_t(from) + 1, 1); i < count; ++i) {
            if (EdgeAt(samples, static_cast<int32_t>(i)))
                return static_cast<int32_t>(i);
        }
        return -1;
    }
    for (int64_t i = std::min<int64_t>(int64_t(from) - 1, count - 1); i >= 1; --i) {
        if (EdgeAt(samples, static_cast<int32_t>(i)))
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t FindValue(const uint32_t* samples, int32_t count, int32_t from, Direction direction, uint32_t value,
                  uint32_t mask)
{
    if (samples == nullptr || count < 1)
        return -1;
    if (direction == Direction::Forward) {
        for (int64_t i = std::max<int64_t>(int64_t(from) + 1, 0); i < count; ++i) {
            if (RunStartsAt(samples, static_cast<int32_t>(i), value, mask))
                return static_cast<int32_t>(i);
        }
        return -1;
    }
    for (int64_t i = std::min<int64_t>(int64_t(from) - 1, count - 1); i >= 0; --i) {
        if (RunStartsAt(samples, static_cast<int32_t>(i), value, mask))
            return static_cast<int32_t>(i);
    }
    return -1;
}

EdgeCounts CountEdges(const uint32_t* samples, int32_t count, int32_t a, int32_t b)
{
    EdgeCounts counts;
    if (samples == nullptr || count < 2)
        return counts;
    const int32_t lo = std::clamp(std::min(a, b), 0, count - 1);
    const int32_t hi = std::clamp(std::max(a, b), 0, count - 1);
    for (int32_t i = lo + 1; i <= hi; ++i) {
        if (!EdgeAt(samples, i))
            continue;
        if ((samples[i] & 1u) != 0)
            ++counts.rising;
        else
            ++counts.falling;
    }
    return counts;
}

PulseMeasurement MeasureAround(const uint32_t* samples, int32_t count, int32_t sample)
{
    PulseMeasurement m;
    if (samples == nullptr || sample < 0 || sample >= count)
        return m;
    m.valid = true;
    m.high = (samples[sample] & 1u) != 0;

    // The level under the sample began at the last edge at or before it.
    m.pulseStart = FindEdge(samples, count, sample + 1, Direction::Backward);
    m.pulseEnd = FindEdge(samples, count, sample, Direction::Forward);
    if (m.pulseStart >= 0 && m.pulseEnd >= 0)
        m.width = m.pulseEnd - m.pulseStart;

    // Rising and falling edges alternate, so the falling edge after the
    // cycle's start comes before the next rising edge.
    m.cycleStart = LastEdgeOfKindAtOrBefore(samples, sample, true);
    if (m.cycleStart >= 0) {
        m.cycleFall = FirstEdgeOfKindAfter(samples, count, m.cycleStart, false);
        m.cycleEnd = FirstEdgeOfKindAfter(samples, count, m.cycleStart, true);
        if (m.cycleEnd >= 0) {
            m.period = m.cycleEnd - m.cycleStart;
            m.highTime = m.cycleFall - m.cycleStart;
        }
    }
    return m;
}

bool ParseFieldValue(const QString& input, SignalRadix radix, int32_t numBits, uint32_t& value)
{
    QString text = input.trimmed().toLower();
    text.remove(QLatin1Char('_'));   // digit groups: 0xdead_beef
    if (text.isEmpty())
        return false;
    int base = radix == Hex ? 16 : (radix == Binary ? 2 : 10);
    bool negative = false;
    if (text.startsWith(QLatin1String("0x"))) {
        base = 16;
        text.remove(0, 2);
    } else if (text.startsWith(QLatin1Char('x'))) {
        base = 16;
        text.remove(0, 1);
    } else if (text.startsWith(QLatin1String("0b"))) {
        base = 2;
        text.remove(0, 2);
    } else if (text.startsWith(QLatin1Char('b')) && base != 16) {   // in hexadecimal, b is a digit
        base = 2;
        text.remove(0, 1);
    } else if (text.startsWith(QLatin1Char('-'))) {
        base = 10;
        negative = true;
        text.remove(0, 1);
    }
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        const bool digit = base == 16 ? c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                                      : (c >= QLatin1Char('0') && c < QChar(u'0' + std::min(base, 10)));
        if (!digit)
            return false;
    }
    bool ok = false;
    const qulonglong parsed = text.toULongLong(&ok, base);
    if (!ok)
        return false;
    const int32_t bits = std::clamp(numBits, 1, 32);
    const uint64_t fieldMask = bits >= 32 ? 0xFFFFFFFFull : ((1ull << bits) - 1ull);
    if (negative) {
        // The smallest value of a signed field is -2^(bits-1).
        if (parsed > (1ull << (bits - 1)))
            return false;
        value = static_cast<uint32_t>((~parsed + 1ull) & fieldMask);
        return true;
    }
    if (parsed > fieldMask)
        return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

}   // namespace SignalSearch
