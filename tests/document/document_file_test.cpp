// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include <signal.h>
#include <sys/resource.h>

#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "file_builder.h"
#include "model/archive.h"
#include "model/errors.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Hex(const char* text)
{
    std::vector<uint8_t> out;
    unsigned v;
    int n;
    while (std::sscanf(text, " %2x%n", &v, &n) == 1) {
        out.push_back(static_cast<uint8_t>(v));
        text += n;
    }
    return out;
}

std::vector<uint8_t> Utf16(const char* ascii)
{
    std::vector<uint8_t> out;
    for (; *ascii; ++ascii) {
        out.push_back(static_cast<uint8_t>(*ascii));
        out.push_back(0);
    }
    return out;
}

TEST(DocumentFile, NewDocumentSavedBeforeAnyCaptureIsByteExact)
{
    CVexlarDoc doc;
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    ASSERT_EQ(bytes.size(), size_t(8 + 4 + 4 + 20 + 33 + 1 + 3 * 8 + 2048 * 8));

    std::vector<uint8_t> expected = Hex("01 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 FF FE FF 08");
    const auto name = Utf16("all_bits");
    expected.insert(expected.end(), name.begin(), name.end());
    const auto rest = Hex("20 00 00 00 00 00 00 00 00 01 00 00 02 00 00 00 00 00 00 00 00 00 04 00 00"
                          "64 00 00 00 02 00 00 00 00 00 00 00 00 00 00 F0 3F"
                          "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    expected.insert(expected.end(), rest.begin(), rest.end());
    const auto peak = Hex("7D C3 94 25 AD 49 B2 D4");
    for (int k = 0; k < 2048; ++k)
        expected.insert(expected.end(), peak.begin(), peak.end());
    EXPECT_EQ(bytes, expected);
}

TEST(DocumentFile, LongNameUsesTheThreeByteLength)
{
    CVexlarDoc doc;
    doc.m_signals.front()->m_name = QString(300, QChar('n'));
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    const auto prefix = Hex("FF FE FF FF 2C 01");
    EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), bytes.begin() + 16));
    CVexlarDoc back;
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    EXPECT_EQ(back.m_signals.front()->m_name, QString(300, QChar('n')));
}

TEST(DocumentFile, EmptyFileOpensAsANewDocument)
{
    CVexlarDoc doc;
    doc.AppendNewSignal();
    doc.SetModifiedFlag();
    LoadDocumentBytes(doc, nullptr, 0);
    ASSERT_EQ(doc.m_signals.size(), 1u);
    EXPECT_EQ(doc.m_signals.front()->m_name, QStringLiteral("all_bits"));
    EXPECT_EQ(doc.m_signals.front()->m_numBits, 32);
    EXPECT_FALSE(doc.IsModified());
}

TEST(DocumentFile, VersionOneThenVersionTwoRecordLoadsBoth)
{
    FileBuilder f;
    f.I32(1).I32(2);
    // Version 1: two samples, an 8-bit name without the marker.
    f.I32(1).I32(2).I32(0x11).I32(0x22).Narrow("old").Fields(8, 4, false, false, true, true, 0, true, -5, 300, 77, 1);
    // Version 2: a spectrum signal.
    f.I32(2)
        .I32(0)
        .Wide("new")
        .Fields(12, 0, false, true, false, false, 2, false, 0, 1024, 120, 3)
        .V2Fields(true, 48000.0, -120.0, 10.0, -3.5);
    CVexlarDoc doc;
    LoadDocumentBytes(doc, f.bytes.data(), f.bytes.size());
    ASSERT_EQ(doc.m_signals.size(), 2u);
    const CSignal* a = doc.m_signals.front();
    const CSignal* b = doc.m_signals.back();
    EXPECT_EQ(a->m_name, QStringLiteral("old"));
    EXPECT_EQ(a->m_count, 2);
    EXPECT_EQ(a->m_samples[1], 0x22u);
    EXPECT_EQ(a->m_numBits, 8);
    EXPECT_EQ(a->m_firstBit, 4);
    EXPECT_FALSE(a->m_expanded);
    EXPECT_TRUE(a->m_selected);
    EXPECT_TRUE(a->m_freeze);
    EXPECT_EQ(a->m_colorTheme, 0);
    EXPECT_TRUE(a->m_analog);
    EXPECT_EQ(a->m_min, -5);
    EXPECT_EQ(a->m_max, 300);
    EXPECT_EQ(a->m_graphHeight, 77);
    EXPECT_EQ(a->m_radix, Signed);
    EXPECT_EQ(a->m_mask, 0xFFu);
    // The version 2 fields keep their defaults in a version 1 record.
    EXPECT_FALSE(a->m_spectrum);
    EXPECT_EQ(a->m_sampleFreq, 1.0);
    EXPECT_EQ(a->m_minDb, 0.0);
    EXPECT_EQ(a->m_maxDb, 0.0);
    EXPECT_EQ(a->m_peakHold[0], -1e100);
    EXPECT_EQ(a->m_peakHold[2047], -1e100);

    EXPECT_EQ(b->m_name, QStringLiteral("new"));
    EXPECT_TRUE(b->m_spectrum);
    EXPECT_EQ(b->m_sampleFreq, 48000.0);
    EXPECT_EQ(b->m_minDb, -120.0);
    EXPECT_EQ(b->m_maxDb, 10.0);
    EXPECT_EQ(b->m_peakHold[2047], -3.5);
    EXPECT_EQ(b->m_radix, Binary);
    EXPECT_EQ(b->m_mask, 0xFFFu);
    for (const CSignal* s : doc.m_signals)
        EXPECT_EQ(s->m_owner, &doc.m_signals);
}

TEST(DocumentFile, MaskIsRecomputedOnLoad)
{
    struct Case {
        int32_t bits;
        uint32_t mask;
    };
    for (const Case c : {Case{1, 1u}, Case{8, 0xFFu}, Case{32, 0xFFFFFFFFu}, Case{40, 0xFFFFFFFFu}, Case{0, 0u}}) {
        CVexlarDoc doc;
        doc.m_signals.front()->m_numBits = c.bits;
        doc.m_signals.front()->m_mask = 0x12345678;   // whatever it was when saving
        const auto bytes = StoreDocumentBytes(doc);
        CVexlarDoc back;
        LoadDocumentBytes(back, bytes.data(), bytes.size());
        EXPECT_EQ(back.m_signals.front()->m_mask, c.mask) << c.bits;
    }
}

TEST(DocumentFile, EightBitNameLoadsAsTheSameCharacters)
{
    FileBuilder f;
    f.I32(1).I32(1).I32(2).I32(0);
    f.Byte(7);
    for (int c : {0x63, 0x61, 0x66, 0xE9, 0x5F, 0x80, 0xB5})   // café_€µ in Windows-1252
        f.Byte(static_cast<uint8_t>(c));
    f.Fields(1, 0, false, true, false, false, 1, false, 0, 1024, 100, 2).V2Fields(false, 1.0, 0, 0, -1e100);
    CVexlarDoc doc;
    LoadDocumentBytes(doc, f.bytes.data(), f.bytes.size());
    EXPECT_EQ(doc.m_signals.front()->m_name, QString::fromUtf16(u"caf\u00E9_\u20AC\u00B5"));
}

void FillSignal(CSignal& s, int32_t count, uint32_t seed)
{
    std::mt19937 rng(seed);
    s.EnsureCapacity(count);
    for (int32_t i = 0; i < count; ++i)
        s.m_samples[i] = rng();
    s.m_count = count;
}

TEST(DocumentFile, RoundTripKeepsEveryStoredField)
{
    CVexlarDoc doc;
    FillSignal(*doc.Head(), 4096, 1);
    CSignal* a = doc.AppendNewSignal();
    a->m_name = QString::fromUtf16(u"bus \u00B5 \u4E2D");
    a->m_numBits = 8;
    a->m_firstBit = 4;
    a->UpdateMask();
    a->m_allBits = true;
    a->m_expanded = false;
    a->m_selected = true;
    a->m_freeze = true;
    a->m_colorTheme = 0;
    a->m_analog = true;
    a->m_min = -100;
    a->m_max = 5000;
    a->m_graphHeight = 250;
    a->m_radix = Signed;
    a->m_spectrum = true;
    a->m_sampleFreq = 12.5e6;
    a->m_minDb = -140.25;
    a->m_maxDb = 3.5;
    for (int k = 0; k < 2048; ++k)
        a->m_peakHold[k] = -k * 0.5;
    a->m_spectrumDb[3] = 42.0;
    FillSignal(*a, 1000, 2);
    CSignal* empty = doc.AppendNewSignal();
    empty->m_name = QString();
    empty->m_radix = Unsigned;

    const auto bytes = StoreDocumentBytes(doc);
    CVexlarDoc back;
    LoadDocumentBytes(back, bytes.data(), bytes.size());
    ASSERT_EQ(back.m_signals.size(), 3u);
    auto it = back.m_signals.begin();
    for (const CSignal* s : doc.m_signals) {
        const CSignal* r = *it++;
        EXPECT_EQ(r->m_count, s->m_count);
        EXPECT_TRUE(std::equal(s->m_samples, s->m_samples + s->m_count, r->m_samples));
        EXPECT_EQ(r->m_name, s->m_name);
        EXPECT_EQ(r->m_numBits, s->m_numBits);
        EXPECT_EQ(r->m_firstBit, s->m_firstBit);
        EXPECT_EQ(r->m_allBits, s->m_allBits);
        EXPECT_EQ(r->m_expanded, s->m_expanded);
        EXPECT_EQ(r->m_selected, s->m_selected);
        EXPECT_EQ(r->m_freeze, s->m_freeze);
        EXPECT_EQ(r->m_colorTheme, s->m_colorTheme);
        EXPECT_EQ(r->m_analog, s->m_analog);
        EXPECT_EQ(r->m_min, s->m_min);
        EXPECT_EQ(r->m_max, s->m_max);
        EXPECT_EQ(r->m_graphHeight, s->m_graphHeight);
        EXPECT_EQ(r->m_radix, s->m_radix);
        EXPECT_EQ(r->m_spectrum, s->m_spectrum);
        EXPECT_EQ(r->m_sampleFreq, s->m_sampleFreq);
        EXPECT_EQ(r->m_minDb, s->m_minDb);
        EXPECT_EQ(r->m_maxDb, s->m_maxDb);
        EXPECT_TRUE(std::equal(s->m_peakHold, s->m_peakHold + 2048, r->m_peakHold));
    }
    // Not stored: the last spectrum. Loading computes it from the stored
    // samples (the stored peak hold stays as it was, checked above).
    const CSignal* ra = *std::next(back.m_signals.begin());
    a->UpdateSpectrum();
    EXPECT_NE(ra->m_spectrumDb[3], 42.0);
    EXPECT_TRUE(std::equal(a->m_spectrumDb, a->m_spectrumDb + 2048, ra->m_spectrumDb));
    // Saving again gives the same bytes.
    EXPECT_EQ(StoreDocumentBytes(back), bytes);
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/vexlar-doc-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(m_path); }
    fs::path operator/(const char* name) const { return m_path / name; }
    size_t Entries() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(m_path), fs::directory_iterator()));
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

std::vector<uint8_t> ReadFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

QString Q(const fs::path& p)
{
    return QString::fromStdString(p.string());
}

TEST(DocumentFile, SaveAndOpenThroughFiles)
{
    TempDir dir;
    CVexlarDoc doc;
    FillSignal(*doc.Head(), 70000, 3);
    doc.SetModifiedFlag();
    SaveDocumentFile(doc, Q(dir / "a.VEXLAR"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(dir.Entries(), 1u);   // no temporary file left behind
    EXPECT_EQ(ReadFile(dir / "a.VEXLAR"), StoreDocumentBytes(doc));
    EXPECT_EQ(fs::status(dir / "a.VEXLAR").permissions() & fs::perms::owner_read, fs::perms::owner_read);

    CVexlarDoc back;
    OpenDocumentFile(back, Q(dir / "a.VEXLAR"));
    ASSERT_EQ(back.m_signals.front()->m_count, 70000);
    EXPECT_EQ(back.m_signals.front()->m_samples[69999], doc.m_signals.front()->m_samples[69999]);

    EXPECT_THROW(OpenDocumentFile(back, Q(dir / "missing.VEXLAR")), CFileAccessException);
    EXPECT_THROW(OpenDocumentFile(back, Q(dir.Path())), CFileAccessException);   // a folder
    EXPECT_EQ(back.m_signals.front()->m_count, 70000);
}

TEST(DocumentFile, FailedSaveLeavesTheOldFile)
{
    TempDir dir;
    CVexlarDoc small;
    SaveDocumentFile(small, Q(dir / "keep.VEXLAR"));
    const auto before = ReadFile(dir / "keep.VEXLAR");

    // A folder that does not exist, and a target that is a folder.
    CVexlarDoc doc;
    doc.SetModifiedFlag();
    try {
        SaveDocumentFile(doc, Q(dir / "no/such/folder.VEXLAR"));
        FAIL() << "saved into a missing folder";
    } catch (const CFileSaveException& e) {
        EXPECT_STREQ(e.what(), "Failed to save document.");
    }
    fs::create_directory(dir / "sub.VEXLAR");
    EXPECT_THROW(SaveDocumentFile(doc, Q(dir / "sub.VEXLAR")), CFileSaveException);
    EXPECT_TRUE(doc.IsModified());

    // The disk fills up in the middle of the write: the file size limit
    // stands in for it.
    FillSignal(*doc.Head(), 1 << 20, 4);
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = 64 * 1024;
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    bool failed = false;
    try {
        SaveDocumentFile(doc, Q(dir / "keep.VEXLAR"));
    } catch (const CFileSaveException&) {
        failed = true;
    }
    setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(failed);
    EXPECT_EQ(ReadFile(dir / "keep.VEXLAR"), before);
    EXPECT_EQ(dir.Entries(), 2u);   // keep.VEXLAR and sub.VEXLAR: no temporary file left
    EXPECT_TRUE(doc.IsModified());
}

}   // namespace
