// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "model/signal.h"

namespace {

struct FormatCase {
    SignalRadix radix;
    int32_t bits;
    uint32_t value;
    const char* text;
};

class ValueFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ValueFormat, GivesTheValueText)
{
    const FormatCase& c = GetParam();
    SignalList owner;
    CSignal s(&owner);
    s.m_radix = c.radix;
    s.m_numBits = c.bits;
    s.UpdateMask();
    QString text = QStringLiteral("old");
    s.FormatValue(text, c.value);
    EXPECT_EQ(text.toStdString(), c.text);
    EXPECT_EQ(s.FormatValue(c.value).toStdString(), c.text);
    char ascii[CSignal::kMaxValueChars];
    const int32_t len = s.FormatValueAscii(ascii, c.value);
    EXPECT_EQ(std::string(ascii, size_t(len)), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Radixes, ValueFormat,
    ::testing::Values(
        // Hex: "x" and ceil(bits/4) digits, longer values not cut.
        FormatCase{Hex, 1, 0, "x0"}, FormatCase{Hex, 1, 1, "x1"}, FormatCase{Hex, 4, 0xF, "xF"},
        FormatCase{Hex, 5, 0x1F, "x1F"}, FormatCase{Hex, 8, 0x3, "x03"}, FormatCase{Hex, 9, 0x3, "x003"},
        FormatCase{Hex, 12, 0xABC, "xABC"}, FormatCase{Hex, 13, 0xA, "x000A"}, FormatCase{Hex, 16, 0xBEEF, "xBEEF"},
        FormatCase{Hex, 17, 0x1, "x00001"}, FormatCase{Hex, 24, 0xA5, "x0000A5"}, FormatCase{Hex, 25, 0x0, "x0000000"},
        FormatCase{Hex, 32, 0xABC, "x00000ABC"}, FormatCase{Hex, 32, 0xFFFFFFFF, "xFFFFFFFF"},
        FormatCase{Hex, 4, 0x123, "x123"},   // a longer value is not cut
        FormatCase{Hex, 4, 0xABCDEF12, "xABCDEF12"}, FormatCase{Hex, 1, 0x80000000, "x80000000"},
        FormatCase{Hex, 0, 0x10000000, "x10000000"}, FormatCase{Hex, -3, 0xFFFFFFFF, "xFFFFFFFF"},
        FormatCase{Hex, 0, 0, "x0"}, FormatCase{Hex, 0, 0xA5F7, "xA5F7"}, FormatCase{Hex, 40, 0x12, "x12"},
        FormatCase{Hex, -3, 0x0, "x0"},
        // Binary: exactly numBits characters, MSB first.
        FormatCase{Binary, 12, 0x5, "000000000101"}, FormatCase{Binary, 1, 1, "1"}, FormatCase{Binary, 4, 0xA, "1010"},
        FormatCase{Binary, 0, 0x5, ""}, FormatCase{Binary, -1, 0x5, ""},
        FormatCase{Binary, 34, 0xFFFFFFFF, "0011111111111111111111111111111111"},
        // Signed: sign extension from bit numBits-1.
        FormatCase{Signed, 8, 0x80, "-128"}, FormatCase{Signed, 8, 0x7F, "127"}, FormatCase{Signed, 4, 0xF, "-1"},
        FormatCase{Signed, 4, 0x8, "-8"}, FormatCase{Signed, 4, 0x7, "7"},
        FormatCase{Signed, 32, 0x80000000, "-2147483648"}, FormatCase{Signed, 32, 0xFFFFFFFF, "-1"},
        FormatCase{Signed, 1, 1, "-1"}, FormatCase{Signed, 12, 0, "0"},
        FormatCase{Signed, 0, 0x80000000, "-1"},           // sign bit 31, mask 0
        FormatCase{Signed, INT32_MIN, 0x80000000, "-1"},   // no overflow in numBits-1
        // Unsigned prints the unsigned value for every width.
        FormatCase{Unsigned, 32, 0xFFFFFFFF, "4294967295"}, FormatCase{Unsigned, 32, 0x80000000, "2147483648"},
        FormatCase{Unsigned, 31, 0x7FFFFFFF, "2147483647"}, FormatCase{Unsigned, 8, 0xFF, "255"},
        FormatCase{Unsigned, 1, 0, "0"}));

TEST(ValueFormatUnknownRadix, LeavesTheTextAsItWas)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_radix = static_cast<SignalRadix>(7);
    QString text = QStringLiteral("before");
    s.FormatValue(text, 5);
    EXPECT_EQ(text, QStringLiteral("before"));
    char ascii[CSignal::kMaxValueChars];
    EXPECT_EQ(s.FormatValueAscii(ascii, 5), -1);
}

TEST(ValueFormatBinary, AbsurdWidthIsBounded)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_radix = Binary;
    s.m_numBits = 2000000000;
    const QString text = s.FormatValue(1);
    ASSERT_EQ(text.size(), CSignal::kMaxBinaryDigits);
    EXPECT_TRUE(text.endsWith(QStringLiteral("01")));
}

}   // namespace
