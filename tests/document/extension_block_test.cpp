// SPDX-License-Identifier: GPL-3.0-or-later
// The extension block after the signal records: what it keeps, how it is
// laid out, and that the records before it are exactly the plain format.

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "document/document_extension.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "file_builder.h"

namespace {

void FillSamples(CSignal& s, int32_t n)
{
    s.EnsureCapacity(n);
    for (int32_t i = 0; i < n; ++i)
        s.m_samples[i] = static_cast<uint32_t>(i * 7);
    s.m_count = n;
}

// A document with two signals and every extra set.
void MakeDocumentWithExtras(CVexlarDoc& doc)
{
    FillSamples(*doc.m_signals.front(), 40);
    CSignal* s = doc.AppendNewSignal();
    s->m_name = QStringLiteral("data");
    s->m_numBits = 8;
    s->UpdateMask();
    FillSamples(*s, 40);
    doc.m_sampleRate = 100e6;
    doc.m_marker1 = 10;
    doc.m_marker2 = 250;
    doc.m_viewState = DocumentViewState{3.5, 100, -40};
}

// The block that MakeDocumentWithExtras writes, built by hand.
FileBuilder ExpectedBlock()
{
    FileBuilder f;
    f.Byte('V').Byte('X').Byte('E').Byte('X').I32(1).I32(3 * 8 + 8 + 8 + 16);
    f.I32(1).I32(8).F64(100e6);
    f.I32(2).I32(8).I32(10).I32(250);
    f.I32(3).I32(16).F64(3.5).I32(100).I32(-40);
    return f;
}

TEST(ExtensionBlock, RoundTripOfRateMarkersAndView)
{
    CVexlarDoc doc;
    MakeDocumentWithExtras(doc);
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);

    CVexlarDoc back;
    back.m_sampleRate = 5.0;   // replaced by the file's
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    EXPECT_TRUE(back.m_loadWarning.isEmpty());
    EXPECT_EQ(back.m_sampleRate, 100e6);
    EXPECT_EQ(back.m_marker1, 10);
    EXPECT_EQ(back.m_marker2, 250);
    EXPECT_EQ(back.m_viewState, (DocumentViewState{3.5, 100, -40}));
    EXPECT_FALSE(back.IsModified());
    ASSERT_EQ(back.m_signals.size(), 2u);
    EXPECT_EQ(back.m_signals.back()->m_samples[39], 39u * 7u);
    EXPECT_EQ(StoreDocumentBytes(back), bytes);
}

TEST(ExtensionBlock, IsAppendedAfterThePlainRecords)
{
    CVexlarDoc withExtras;
    MakeDocumentWithExtras(withExtras);
    CVexlarDoc plain;
    MakeDocumentWithExtras(plain);
    plain.m_sampleRate = 0.0;
    plain.m_marker1 = plain.m_marker2 = -1;
    plain.m_viewState = DocumentViewState();

    // Without extras nothing is appended: the plain format, byte for byte.
    const std::vector<uint8_t> records = StoreDocumentBytes(plain);
    const std::vector<uint8_t> bytes = StoreDocumentBytes(withExtras);
    ASSERT_GT(bytes.size(), records.size());
    EXPECT_TRUE(std::equal(records.begin(), records.end(), bytes.begin()))
        << "a reader that stops after the last record reads the same records";
    const std::vector<uint8_t> block(bytes.begin() + static_cast<std::ptrdiff_t>(records.size()), bytes.end());
    EXPECT_EQ(block, ExpectedBlock().bytes);

    // The records alone still load, without the extras.
    CVexlarDoc recordsOnly;
    LoadDocumentBytes(recordsOnly, records.data(), records.size());
    EXPECT_EQ(recordsOnly.m_signals.size(), 2u);
    EXPECT_EQ(recordsOnly.m_sampleRate, 0.0);
    EXPECT_EQ(recordsOnly.m_marker1, -1);
}

TEST(ExtensionBlock, DecoderRowsRoundTripInOrderAndPlainReadersSkipThem)
{
    CVexlarDoc doc;
    MakeDocumentWithExtras(doc);
    doc.m_sampleRate = 0.0;
    doc.m_marker1 = doc.m_marker2 = -1;
    doc.m_viewState = DocumentViewState();
    const std::vector<uint8_t> records = StoreDocumentBytes(doc);
    doc.m_decoderRows.push_back({QStringLiteral("Serial \u00e9"), "uart:rx=#9:baudrate=62500", 1000000, false});
    doc.m_decoderRows.push_back({QStringLiteral("I2C"), "i2c:scl=scl:sda=sda,eeprom24xx", 0, true});
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    ASSERT_GT(bytes.size(), records.size());
    EXPECT_TRUE(std::equal(records.begin(), records.end(), bytes.begin()));

    CVexlarDoc back;
    back.m_decoderRows.push_back({QStringLiteral("old"), "spi:clk=#0", 0, false});   // replaced
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    EXPECT_TRUE(back.m_loadWarning.isEmpty());
    EXPECT_EQ(back.m_decoderRows, doc.m_decoderRows);
    EXPECT_EQ(StoreDocumentBytes(back), bytes);

    // The records alone (what a plain reader takes) load without rows.
    CVexlarDoc plain;
    LoadDocumentBytes(plain, records.data(), records.size());
    EXPECT_TRUE(plain.m_decoderRows.empty());
    EXPECT_EQ(plain.m_signals.size(), 2u);
}

TEST(ExtensionBlock, OnlyWhatIsSetIsWritten)
{
    CVexlarDoc doc;
    doc.m_marker2 = 7;
    const std::vector<uint8_t> plainSize = StoreDocumentBytes(CVexlarDoc());
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    FileBuilder f;
    f.Byte('V').Byte('X').Byte('E').Byte('X').I32(1).I32(16).I32(2).I32(8).I32(-1).I32(7);
    ASSERT_EQ(bytes.size(), plainSize.size() + f.bytes.size());
    EXPECT_TRUE(std::equal(f.bytes.begin(), f.bytes.end(), bytes.end() - static_cast<std::ptrdiff_t>(f.bytes.size())));

    CVexlarDoc back;
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    EXPECT_EQ(back.m_marker1, -1);
    EXPECT_EQ(back.m_marker2, 7);
}

TEST(ExtensionBlock, UnknownFieldsAndLongerPayloadsAreSkipped)
{
    CVexlarDoc doc;
    std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    FileBuilder f;
    f.Byte('V').Byte('X').Byte('E').Byte('X').I32(1).I32(8 + 5 + 8 + 12 + 8 + 0);
    f.I32(99).I32(5).Byte(1).Byte(2).Byte(3).Byte(4).Byte(5);   // a field of a later version
    f.I32(1).I32(12).F64(48000.0).I32(0x12345678);              // the rate, grown by 4 bytes
    f.I32(17).I32(0);                                           // an empty decoder field
    bytes.insert(bytes.end(), f.bytes.begin(), f.bytes.end());

    CVexlarDoc back;
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    EXPECT_TRUE(back.m_loadWarning.isEmpty()) << back.m_loadWarning.toStdString();
    EXPECT_EQ(back.m_sampleRate, 48000.0);
}

TEST(ExtensionBlock, LoadingAFileWithoutExtrasResetsThem)
{
    const std::vector<uint8_t> plain = StoreDocumentBytes(CVexlarDoc());
    CVexlarDoc doc;
    MakeDocumentWithExtras(doc);
    LoadDocumentBytes(doc, plain.data(), plain.size());
    EXPECT_EQ(doc.m_sampleRate, 0.0);
    EXPECT_EQ(doc.m_marker1, -1);
    EXPECT_EQ(doc.m_marker2, -1);
    EXPECT_EQ(doc.m_viewState, DocumentViewState());
    EXPECT_TRUE(doc.m_loadWarning.isEmpty());
}

}   // namespace
