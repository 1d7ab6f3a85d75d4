// SPDX-License-Identifier: GPL-3.0-or-later
// The value text of one sample: the one rule that the view's bus labels and
// every export use, so the same sample always reads the same.

#include <algorithm>

#include "model/signal.h"

namespace {

int32_t WriteDecimal(char* out, uint32_t magnitude, bool negative)
{
    char digits[10];
    int32_t n = 0;
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int32_t len = 0;
    if (negative)
        out[len++] = '-';
    while (n > 0)
        out[len++] = digits[--n];
    return len;
}

}   // namespace

int32_t CSignal::WriteBinaryDigits(char* out, uint32_t value, int32_t width)
{
    // One character per bit, most significant first; bits from 32 upward
    // read as 0.
    width = std::clamp(width, 0, kMaxBinaryDigits);
    for (int32_t i = 0; i < width; ++i) {
        const bool set = i < 32 && ((value >> i) & 1u) != 0;
        out[width - 1 - i] = set ? '1' : '0';
    }
    return width;
}

int32_t CSignal::FormatValueAscii(char* out, uint32_t value) const
{
    switch (m_radix) {
    case Hex: {
        // "x" and at least ceil(numBits/4) upper-case digits; a longer value is
        // not cut. Widths outside 1..32 use the minimal number of digits.
        static const char kHexDigits[] = "0123456789ABCDEF";
        int32_t minDigits = (m_numBits >= 1 && m_numBits <= 32) ? (m_numBits + 3) / 4 : 1;
        int32_t significant = 1;
        while (significant < 8 && (value >> (4 * significant)) != 0)
            ++significant;
        const int32_t digits = std::max(minDigits, significant);
        out[0] = 'x';
        for (int32_t i = 0; i < digits; ++i)
            out[1 + i] = kHexDigits[(value >> (4 * (digits - 1 - i))) & 0xF];
        return digits + 1;
    }
    case Unsigned:
        // The value as an unsigned number: a 32-bit sample with the top bit
        // set is large, not negative.
        return WriteDecimal(out, value, false);
    case Signed: {
        const int32_t v = static_cast<int32_t>(SignExtend(value));
        const uint32_t magnitude = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
        return WriteDecimal(out, magnitude, v < 0);
    }
    case Binary:
        return WriteBinaryDigits(out, value, m_numBits);
    }
    return -1;
}

void CSignal::FormatValue(QString& text, uint32_t value) const
{
    char buffer[kMaxValueChars];
    const int32_t len = FormatValueAscii(buffer, value);
    if (len < 0)
        return;   // unknown radix: the text stays as it was
    text = QString::fromLatin1(buffer, len);
}

QString CSignal::FormatValue(uint32_t value) const
{
    QString text;
    FormatValue(text, value);
    return text;
}
