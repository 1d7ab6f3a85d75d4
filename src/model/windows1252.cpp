// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/windows1252.h"

namespace {

// 0x80..0x9F; the five positions Windows-1252 leaves unassigned map to the C1
// control character of the same value, as the Windows converter does.
constexpr char16_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char EncodeOne(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighTable[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

}   // namespace

QString DecodeWindows1252(const char* data, size_t size)
{
    QString text(static_cast<qsizetype>(size), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (size_t i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(data[i]);
        out[i] = (b >= 0x80 && b < 0xA0) ? kHighTable[b - 0x80] : char16_t(b);
    }
    return text;
}

void AppendWindows1252(std::string& out, const QString& text)
{
    const qsizetype n = text.size();
    const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            ++i;   // a surrogate pair is one character, and Windows-1252 has none of them
            c = 0x10000;
        }
        out.push_back(EncodeOne(c));
    }
}

std::string EncodeWindows1252(const QString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    AppendWindows1252(out, text);
    return out;
}
