// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds document files byte by byte, independently of the writer under test.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct FileBuilder {
    std::vector<uint8_t> bytes;

    FileBuilder& I32(int32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
        return *this;
    }
    FileBuilder& U16(uint16_t v)
    {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
        return *this;
    }
    FileBuilder& Byte(uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }
    FileBuilder& F64(double v)
    {
        uint8_t b[8];
        std::memcpy(b, &v, 8);
        bytes.insert(bytes.end(), b, b + 8);
        return *this;
    }
    // Marked UTF-16 string (ASCII text), one-byte length.
    FileBuilder& Wide(const std::string& text)
    {
        Byte(0xFF).U16(0xFFFE).Byte(static_cast<uint8_t>(text.size()));
        for (char c : text)
            U16(static_cast<uint8_t>(c));
        return *this;
    }
    // 8-bit string without the marker, one-byte length.
    FileBuilder& Narrow(const std::string& text)
    {
        Byte(static_cast<uint8_t>(text.size()));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return *this;
    }
    // Fields 5 to 16 of a record.
    FileBuilder& Fields(int32_t bits, int32_t first, bool allBits, bool expanded, bool selected, bool frozen,
                        int32_t theme, bool analog, int32_t min, int32_t max, int32_t height, int32_t radix)
    {
        I32(bits).I32(first).Byte(allBits).Byte(expanded).Byte(selected).Byte(frozen);
        I32(theme).Byte(analog).I32(min).I32(max).I32(height).I32(radix);
        return *this;
    }
    // Fields 17 to 21 of a version 2 record, peak hold all `peak`.
    FileBuilder& V2Fields(bool spectrum, double freq, double minDb, double maxDb, double peak)
    {
        Byte(spectrum).F64(freq).F64(minDb).F64(maxDb);
        for (int k = 0; k < 2048; ++k)
            F64(peak);
        return *this;
    }
};
