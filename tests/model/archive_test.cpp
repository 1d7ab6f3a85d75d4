// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "model/archive.h"
#include "model/errors.h"
#include "model/windows1252.h"

namespace {

std::vector<uint8_t> Written(void (*fn)(CArchiveWriter&))
{
    CMemorySink sink;
    CArchiveWriter w(sink, 64);
    fn(w);
    w.Flush();
    return sink.m_bytes;
}

TEST(Archive, PrimitivesAreLittleEndian)
{
    const auto bytes = Written([](CArchiveWriter& w) {
        w.WriteInt32(-2);
        w.WriteUInt32(0x01020304);
        w.WriteBool(true);
        w.WriteBool(false);
        w.WriteDouble(1.0);
    });
    const std::vector<uint8_t> expected = {0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01, 1,
                                           0,    0,    0,    0,    0,    0,    0,    0xF0, 0x3F};
    EXPECT_EQ(bytes, expected);
    CArchiveReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.ReadInt32(), -2);
    EXPECT_EQ(r.ReadUInt32(), 0x01020304u);
    EXPECT_TRUE(r.ReadBool());
    EXPECT_FALSE(r.ReadBool());
    EXPECT_EQ(r.ReadDouble(), 1.0);
    EXPECT_EQ(r.Remaining(), 0u);
    EXPECT_THROW(r.ReadByte(), CFileFormatException);
}

TEST(Archive, AnyNonzeroByteReadsTrue)
{
    const uint8_t bytes[] = {0x02, 0x80, 0x00};
    CArchiveReader r(bytes, sizeof bytes);
    EXPECT_TRUE(r.ReadBool());
    EXPECT_TRUE(r.ReadBool());
    EXPECT_FALSE(r.ReadBool());
}

TEST(Archive, StringLengthForms)
{
    struct Case {
        qsizetype length;
        std::vector<uint8_t> prefix;
    };
    const Case cases[] = {
        {0, {0xFF, 0xFE, 0xFF, 0x00}},
        {8, {0xFF, 0xFE, 0xFF, 0x08}},
        {254, {0xFF, 0xFE, 0xFF, 0xFE}},
        {255, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00}},
        {300, {0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01}},
        {65533, {0xFF, 0xFE, 0xFF, 0xFF, 0xFD, 0xFF}},
        {65534, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}},
        {70000, {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00}},
    };
    for (const Case& c : cases) {
        QString text(c.length, QChar(0x263A));   // non-Latin text survives as UTF-16
        if (c.length > 0)
            text[0] = QChar('a');
        CMemorySink sink;
        CArchiveWriter w(sink, 1024);
        w.WriteString(text);
        w.Flush();
        ASSERT_EQ(sink.m_bytes.size(), c.prefix.size() + size_t(c.length) * 2) << c.length;
        EXPECT_TRUE(std::equal(c.prefix.begin(), c.prefix.end(), sink.m_bytes.begin())) << c.length;
        CArchiveReader r(sink.m_bytes.data(), sink.m_bytes.size());
        EXPECT_EQ(r.ReadString(), text) << c.length;
        EXPECT_EQ(r.Remaining(), 0u);
    }
}

// The writer puts 65534 in the 7-byte form, but the 3-byte form FF FE FF of
// the same length is valid too (only 0xFFFF leads on to a uint32): a reader
// that took it for the longer form would misread every byte after it.
TEST(Archive, TwoByteLengthOfFFFEIsALength)
{
    std::vector<uint8_t> bytes = {0xFF, 0xFE, 0xFF, 0xFF, 0xFE, 0xFF};
    for (int i = 0; i < 0xFFFE; ++i)
        bytes.insert(bytes.end(), {uint8_t('a' + i % 26), 0});
    bytes.insert(bytes.end(), {0x03, 'e', 'n', 'd'});
    CArchiveReader r(bytes.data(), bytes.size());
    const QString text = r.ReadString();
    ASSERT_EQ(text.size(), 0xFFFE);
    EXPECT_EQ(text.back(), QChar('a' + (0xFFFE - 1) % 26));
    EXPECT_EQ(r.ReadString(), QStringLiteral("end"));
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(Archive, EightBitStringsWithoutTheMarker)
{
    // "Ab", then 300 bytes in the three-byte form, then Windows-1252 specials.
    std::vector<uint8_t> bytes = {0x02, 'A', 'b'};
    bytes.insert(bytes.end(), {0xFF, 0x2C, 0x01});
    bytes.insert(bytes.end(), 300, 'z');
    bytes.insert(bytes.end(), {0x05, 0x80, 0xE9, 0x9F, 0x81, 0xFF});
    CArchiveReader r(bytes.data(), bytes.size());
    EXPECT_EQ(r.ReadString(), QStringLiteral("Ab"));
    EXPECT_EQ(r.ReadString(), QString(300, QChar('z')));
    EXPECT_EQ(r.ReadString(), QString::fromUtf16(u"\u20AC\u00E9\u0178\u0081\u00FF"));
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(Archive, StringLongerThanTheInputIsAFormatError)
{
    const std::vector<std::vector<uint8_t>> inputs = {
        {0x05, 'a', 'b'},                                               // 8-bit, 5 claimed, 2 present
        {0xFF, 0xFE, 0xFF, 0x03, 'a', 0, 'b', 0},                       // UTF-16, 3 claimed, 2 present
        {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},   // 2^31-1 units
        {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F},
        {0xFF, 0xFE, 0xFF},   // marker, then nothing
        {0xFF, 0x10},         // cut inside the uint16
        {},
    };
    for (const auto& in : inputs) {
        CArchiveReader r(in.data(), in.size());
        EXPECT_THROW(r.ReadString(), CFileFormatException) << in.size();
    }
}

TEST(Windows1252, EncodesWithQuestionMarksForMissingCharacters)
{
    EXPECT_EQ(EncodeWindows1252(QStringLiteral("all_bits")), "all_bits");
    EXPECT_EQ(EncodeWindows1252(QString::fromUtf16(u"\u20AC\u00E9\u0178")), "\x80\xE9\x9F");
    EXPECT_EQ(EncodeWindows1252(QString::fromUtf16(u"a\u4E2Db")), "a?b");
    EXPECT_EQ(EncodeWindows1252(QString::fromUtf16(u"x\U0001F600y")), "x?y");
    // Every byte decodes and encodes back to itself.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(EncodeWindows1252(DecodeWindows1252(all.data(), all.size())), all);
}

}   // namespace
