// SPDX-License-Identifier: GPL-3.0-or-later
// Malformed document files: each is "Unexpected file format.", allocates
// nothing large on the strength of a count in the file, and leaves the open
// document as it was. This program replaces the global operator new to see
// the largest single allocation made while loading.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "allocation_tracker.h"
#include "document/document_extension.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "file_builder.h"
#include "model/archive.h"
#include "model/errors.h"

using allocation_tracker::g_largest;

namespace {

constexpr size_t kLargeAllocation = 1 << 20;

FileBuilder ValidTwoRecordFile()
{
    FileBuilder f;
    f.I32(1).I32(2);
    f.I32(1).I32(3).I32(7).I32(8).I32(9).Narrow("v1").Fields(4, 0, false, true, false, false, 1, false, 0, 15, 100, 2);
    f.I32(2)
        .I32(2)
        .I32(1)
        .I32(2)
        .Wide("v2")
        .Fields(8, 4, false, true, true, false, 2, false, 0, 255, 100, 0)
        .V2Fields(false, 1.0, 0.0, 0.0, -1e100);
    return f;
}

struct Malformed {
    std::string what;
    std::vector<uint8_t> bytes;
};

std::vector<Malformed> Cases()
{
    std::vector<Malformed> cases;
    auto add = [&](const std::string& what, const FileBuilder& f) { cases.push_back({what, f.bytes}); };

    for (int32_t version : {0, 2, -1, 0x7FFFFFFF})
        add("document version " + std::to_string(version), FileBuilder().I32(version).I32(0));
    add("negative signal count", FileBuilder().I32(1).I32(-1));
    add("huge signal count", FileBuilder().I32(1).I32(0x7FFFFFFF));
    {
        // Every record present, but more signals than a file may hold.
        FileBuilder f;
        f.I32(1).I32(4097);
        for (int i = 0; i < 4097; ++i)
            f.I32(1).I32(0).Narrow("").Fields(1, 0, false, true, false, false, 1, false, 0, 1024, 100, 2);
        add("signal count 4097, all records present", f);
    }
    {
        FileBuilder f = ValidTwoRecordFile();
        f.bytes[4] = 3;   // three records claimed, two present
        add("signal count one too many", f);
    }
    for (int32_t version : {0, 3, -2}) {
        FileBuilder f;
        f.I32(1)
            .I32(1)
            .I32(version)
            .I32(0)
            .Wide("x")
            .Fields(1, 0, 0, 1, 0, 0, 1, 0, 0, 1024, 100, 2)
            .V2Fields(false, 1.0, 0, 0, -1e100);
        add("record version " + std::to_string(version), f);
    }
    add("negative sample count",
        FileBuilder().I32(1).I32(1).I32(2).I32(-5).Wide("x").Fields(1, 0, 0, 1, 0, 0, 1, 0, 0, 1024, 100, 2));
    for (int32_t count : {0x7FFFFFFF, 0x40000000, 1 << 20}) {
        add("sample count " + std::to_string(count),
            FileBuilder().I32(1).I32(1).I32(2).I32(count).I32(0).I32(0).Wide("x"));
    }
    {
        // More samples than the rest of the file holds, though fewer than its
        // bytes: only a count checked in words keeps them from being allocated.
        FileBuilder f;
        f.I32(1).I32(1).I32(2).I32(300000);
        f.bytes.resize(f.bytes.size() + 1000000);
        add("sample count between a quarter of the rest and the rest", f);
    }
    {
        // Likewise a UTF-16 name of more code units than half the bytes left.
        FileBuilder f;
        f.I32(1).I32(1).I32(2).I32(0).Byte(0xFF).U16(0xFFFE).Byte(0xFF).U16(0xFFFF).I32(600000);
        f.bytes.resize(f.bytes.size() + 1000000);
        add("UTF-16 name between half the rest and the rest", f);
    }
    {
        // A 64-bit name length whose low half alone would fit: 1 code unit
        // with the high half 1. The rest is a complete record for that name.
        FileBuilder f;
        f.I32(1).I32(1).I32(2).I32(0);
        f.Byte(0xFF).U16(0xFFFE).Byte(0xFF).U16(0xFFFF).I32(-1).I32(1).I32(1).U16('x');
        f.Fields(1, 0, 0, 1, 0, 0, 1, 0, 0, 1024, 100, 2).V2Fields(false, 1.0, 0, 0, -1e100);
        add("UTF-16 name, 64-bit length with the high half set", f);
    }
    {
        FileBuilder f;
        f.I32(1).I32(1).I32(1).I32(2).I32(1).I32(2).Narrow("x");   // 2 samples, then fields missing
        add("record cut after the name", f);
    }
    struct StringCase {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const StringCase strings[] = {
        {"8-bit name longer than the file", {0xFE, 'a'}},
        {"8-bit name, uint16 length", {0xFF, 0x00, 0x10, 'a'}},
        {"8-bit name, uint32 length", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"8-bit name, uint64 length", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}},
        {"UTF-16 name, byte length", {0xFF, 0xFE, 0xFF, 0x20, 'a', 0}},
        {"UTF-16 name, uint16 length", {0xFF, 0xFE, 0xFF, 0xFF, 0x00, 0x80}},
        {"UTF-16 name, uint32 length", {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40}},
        {"UTF-16 name, uint64 length",
         {0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 1}},
    };
    for (const StringCase& s : strings) {
        FileBuilder f;
        f.I32(1).I32(1).I32(2).I32(0);
        f.bytes.insert(f.bytes.end(), s.bytes.begin(), s.bytes.end());
        add(s.what, f);
    }

    // The valid file cut short: at every byte through the fields, then at
    // every double of the peak hold.
    const FileBuilder valid = ValidTwoRecordFile();
    const size_t peakStart = valid.bytes.size() - 2048 * 8;
    for (size_t cut = 1; cut < valid.bytes.size(); cut += (cut < peakStart ? 1 : 8)) {
        FileBuilder f;
        f.bytes.assign(valid.bytes.begin(), valid.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        add("cut at " + std::to_string(cut), f);
    }
    return cases;
}

// Hands out the bytes a few at a time, as a slow file would.
class CTrickleSource : public CByteSource {
public:
    explicit CTrickleSource(const std::vector<uint8_t>& bytes, size_t chunk = 7) : m_bytes(bytes), m_chunk(chunk) {}
    size_t Read(uint8_t* data, size_t size) override
    {
        const size_t n = std::min({size, m_bytes.size() - m_pos, m_chunk});
        std::copy(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos),
                  m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos + n), data);
        m_pos += n;
        return n;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_chunk;
    size_t m_pos = 0;
};

TEST(MalformedFile, ValidFileLoads)
{
    const FileBuilder valid = ValidTwoRecordFile();
    CVexlarDoc doc;
    LoadDocumentBytes(doc, valid.bytes.data(), valid.bytes.size());
    ASSERT_EQ(doc.m_signals.size(), 2u);
    EXPECT_EQ(doc.m_signals.back()->m_samples[1], 2u);

    // Through a stream with a small buffer: the same document.
    CTrickleSource source(valid.bytes);
    CVexlarDoc streamed;
    LoadDocumentStream(streamed, source, valid.bytes.size(), 64);
    ASSERT_EQ(streamed.m_signals.size(), 2u);
    EXPECT_EQ(StoreDocumentBytes(streamed), StoreDocumentBytes(doc));

    // A file that shrinks while it is read ends early: a format error.
    const std::vector<uint8_t> cut(valid.bytes.begin(), valid.bytes.end() - 100);
    CTrickleSource shrunk(cut);
    CVexlarDoc untouched;
    EXPECT_THROW(LoadDocumentStream(untouched, shrunk, valid.bytes.size(), 64), CFileFormatException);
    EXPECT_EQ(untouched.m_signals.size(), 1u);
}

// A file that ends in small fields (version 1 records after a version 2
// one), read through a source that hands out a few bytes at a time and a
// buffer of a few dozen bytes: every refill near the end of the input, and
// the last field ending exactly at the end, load as from memory.
TEST(MalformedFile, StreamOfAFewBytesAtATimeLoadsAsFromMemory)
{
    FileBuilder f;
    f.I32(1).I32(4);
    f.I32(2).I32(3).I32(10).I32(20).I32(30).Wide("first");
    f.Fields(8, 4, false, true, true, false, 2, false, -5, 255, 90, 1).V2Fields(true, 2.5, -80, 10, -1e100);
    // 149 bytes of small fields after the peak hold, the last array read.
    f.I32(1).I32(2).I32(0x11223344).I32(0x55667788).Narrow("a");
    f.Fields(3, 5, true, false, false, true, 3, true, -7, 7, 60, 3);
    f.I32(1).I32(0).Wide("bb").Fields(1, 31, false, false, true, false, 1, false, 0, 1, 16, 0);
    f.I32(1).I32(1).I32(-1).Narrow("last").Fields(32, 0, true, true, false, false, 2, false, 0, 1024, 100, 2);
    CVexlarDoc fromMemory;
    LoadDocumentBytes(fromMemory, f.bytes.data(), f.bytes.size());
    ASSERT_EQ(fromMemory.m_signals.size(), 4u);
    EXPECT_EQ(fromMemory.m_signals.back()->m_name, QStringLiteral("last"));
    EXPECT_EQ(fromMemory.m_signals.back()->m_radix, Hex);
    const std::vector<uint8_t> expected = StoreDocumentBytes(fromMemory);

    // Buffer sizes from the smallest up to the length of the small fields
    // put the last refill at every distance from the end.
    for (size_t chunk : {1, 2, 3, 7})
        for (size_t buffer = 64; buffer <= 160; ++buffer) {
            CTrickleSource source(f.bytes, chunk);
            CVexlarDoc streamed;
            ASSERT_NO_THROW(LoadDocumentStream(streamed, source, f.bytes.size(), buffer))
                << "chunk " << chunk << ", buffer " << buffer;
            EXPECT_EQ(StoreDocumentBytes(streamed), expected) << "chunk " << chunk << ", buffer " << buffer;
        }
}

TEST(MalformedFile, EachIsAFormatErrorThatAllocatesLittleAndChangesNothing)
{
    const std::vector<Malformed> cases = Cases();
    CVexlarDoc doc;
    CSignal* kept = doc.AppendNewSignal();
    kept->m_name = QStringLiteral("kept");
    kept->EnsureCapacity(3);
    kept->m_count = 3;
    kept->m_samples[2] = 99;
    doc.SetModifiedFlag();
    doc.m_triggerPos = 1234;
    const std::vector<CSignal*> before(doc.m_signals.begin(), doc.m_signals.end());
    const uint64_t revision = doc.Revision();

    for (int pass = 0; pass < 2; ++pass)
        for (const Malformed& c : cases) {
            g_largest = 0;
            try {
                if (pass == 0) {
                    LoadDocumentBytes(doc, c.bytes.data(), c.bytes.size());
                } else {
                    CTrickleSource source(c.bytes);
                    LoadDocumentStream(doc, source, c.bytes.size(), 64);
                }
                ADD_FAILURE() << c.what << ": loaded";
            } catch (const CFileFormatException& e) {
                EXPECT_STREQ(e.what(), "Unexpected file format.") << c.what;
            } catch (const std::exception& e) {
                ADD_FAILURE() << c.what << ": " << e.what();
            }
            EXPECT_LT(g_largest.load(), kLargeAllocation) << c.what;
            ASSERT_EQ(std::vector<CSignal*>(doc.m_signals.begin(), doc.m_signals.end()), before) << c.what;
            EXPECT_EQ(kept->m_name, QStringLiteral("kept"));
            EXPECT_EQ(kept->m_samples[2], 99u);
            EXPECT_EQ(kept->m_owner, &doc.m_signals);
            EXPECT_TRUE(doc.IsModified());
            EXPECT_EQ(doc.m_triggerPos, 1234);
            EXPECT_EQ(doc.Revision(), revision) << c.what;
        }
}

// ---------------------------------------------------------------------------
// Malformed extension blocks: the signals load, the extras stay at their
// defaults, the document carries a warning, and nothing large is allocated.

struct MalformedBlock {
    std::string what;
    std::vector<uint8_t> block;   // appended to the valid two-record file
};

FileBuilder BlockHeader(uint32_t length, int32_t version = 1)
{
    FileBuilder f;
    f.Byte('V').Byte('X').Byte('E').Byte('X').I32(version).I32(static_cast<int32_t>(length));
    return f;
}

// A block of one field with the payload built by `payload`.
FileBuilder OneField(uint32_t id, const FileBuilder& payload)
{
    FileBuilder f = BlockHeader(8 + static_cast<uint32_t>(payload.bytes.size()));
    f.I32(static_cast<int32_t>(id)).I32(static_cast<int32_t>(payload.bytes.size()));
    f.bytes.insert(f.bytes.end(), payload.bytes.begin(), payload.bytes.end());
    return f;
}

std::vector<MalformedBlock> BlockCases()
{
    std::vector<MalformedBlock> cases;
    auto add = [&](const std::string& what, const FileBuilder& f) { cases.push_back({what, f.bytes}); };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    add("one byte after the records", FileBuilder().Byte('V'));
    add("three bytes of the tag", FileBuilder().Byte('V').Byte('X').Byte('E'));
    add("the tag alone", FileBuilder().Byte('V').Byte('X').Byte('E').Byte('X'));
    {
        FileBuilder f;
        f.Byte('V').Byte('X').Byte('E').Byte('Y').I32(1).I32(0);
        add("another tag", f);
    }
    add("version 0", BlockHeader(0, 0));
    add("version 2", BlockHeader(0, 2));
    add("header cut in the length", FileBuilder().Byte('V').Byte('X').Byte('E').Byte('X').I32(1).Byte(0));
    {
        FileBuilder f = BlockHeader(100);
        f.I32(1).I32(8).F64(1e6);
        add("length beyond the file", f);
    }
    {
        FileBuilder f = BlockHeader(0xFFFFFFFFu);
        f.I32(1).I32(8).F64(1e6);
        add("length of 4 GiB", f);
    }
    {
        FileBuilder f = BlockHeader(16);
        f.I32(1).I32(8).F64(1e6).I32(0);
        add("bytes after the block", f);
    }
    {
        FileBuilder f = BlockHeader(4);
        f.I32(1);
        add("field header cut", f);
    }
    {
        FileBuilder f = BlockHeader(16);
        f.I32(1).I32(100).F64(1e6);
        add("field longer than the block", f);
    }
    {
        FileBuilder f = BlockHeader(16);
        f.I32(1).I32(0xFFFFFFF0).F64(1e6);
        add("field length near 4 GiB", f);
    }
    for (double rate : {nan, inf, -inf, 0.0, -1e6, 0.001, 2e12})
        add("sample rate " + std::to_string(rate), OneField(1, FileBuilder().F64(rate)));
    add("sample rate of 4 bytes", OneField(1, FileBuilder().I32(1000)));
    for (int32_t marker : {-2, INT32_MIN})
        add("marker " + std::to_string(marker), OneField(2, FileBuilder().I32(marker).I32(5)));
    add("markers of 4 bytes", OneField(2, FileBuilder().I32(5)));
    struct View {
        const char* what;
        double zoom;
        int32_t first;
        int32_t scroll;
    };
    const View views[] = {{"zoom 0", 0.0, 0, 0},        {"zoom NaN", nan, 0, 0},
                          {"zoom -1", -1.0, 0, 0},      {"zoom above 160", 161.0, 0, 0},
                          {"zoom infinite", inf, 0, 0}, {"first visible -1", 20.0, -1, 0},
                          {"scroll +1", 20.0, 0, 1}};
    for (const View& v : views)
        add(std::string("view ") + v.what, OneField(3, FileBuilder().F64(v.zoom).I32(v.first).I32(v.scroll)));
    add("view cut", OneField(3, FileBuilder().F64(20.0).I32(0)));
    add("decoder row cut after its name", OneField(16, FileBuilder().Wide("UART")));
    add("decoder row without its flag", OneField(16, FileBuilder().Wide("UART").Wide("uart:rx=#0").F64(0.0)));
    add("decoder row with an empty decoder line", OneField(16, FileBuilder().Wide("UART").Wide("").F64(0.0).Byte(0)));
    for (double rate : {nan, inf, -1.0, 1e16})
        add("decoder row rate " + std::to_string(rate),
            OneField(16, FileBuilder().Wide("UART").Wide("uart:rx=#0").F64(rate).Byte(0)));
    {
        // A good rate before a bad marker: the whole block counts as absent.
        FileBuilder f = BlockHeader(16 + 16);
        f.I32(1).I32(8).F64(1e6).I32(2).I32(8).I32(-7).I32(0);
        add("good field before a bad one", f);
    }
    return cases;
}

TEST(MalformedFile, MalformedExtensionBlocksLoadTheSignalsWithAWarning)
{
    const FileBuilder valid = ValidTwoRecordFile();
    for (int pass = 0; pass < 2; ++pass)
        for (const MalformedBlock& c : BlockCases()) {
            std::vector<uint8_t> bytes = valid.bytes;
            bytes.insert(bytes.end(), c.block.begin(), c.block.end());
            CVexlarDoc doc;
            doc.m_sampleRate = 123.0;
            doc.m_marker1 = 4;
            g_largest = 0;
            try {
                if (pass == 0) {
                    LoadDocumentBytes(doc, bytes.data(), bytes.size());
                } else {
                    CTrickleSource source(bytes);
                    LoadDocumentStream(doc, source, bytes.size(), 64);
                }
            } catch (const std::exception& e) {
                ADD_FAILURE() << c.what << ": " << e.what();
                continue;
            }
            EXPECT_LT(g_largest.load(), kLargeAllocation) << c.what;
            ASSERT_EQ(doc.m_signals.size(), 2u) << c.what;
            EXPECT_EQ(doc.m_signals.back()->m_samples[1], 2u) << c.what;
            EXPECT_EQ(doc.m_loadWarning, DocumentExtension::MalformedBlockWarning()) << c.what;
            EXPECT_EQ(doc.m_sampleRate, 0.0) << c.what;
            EXPECT_EQ(doc.m_marker1, -1) << c.what;
            EXPECT_EQ(doc.m_marker2, -1) << c.what;
            EXPECT_EQ(doc.m_viewState, DocumentViewState()) << c.what;
            EXPECT_TRUE(doc.m_decoderRows.empty()) << c.what;
            EXPECT_FALSE(doc.IsModified()) << c.what;
        }

    // The same file with a good block: no warning, the extras arrive.
    std::vector<uint8_t> bytes = valid.bytes;
    const FileBuilder good = OneField(1, FileBuilder().F64(1e6));
    bytes.insert(bytes.end(), good.bytes.begin(), good.bytes.end());
    CVexlarDoc doc;
    LoadDocumentBytes(doc, bytes.data(), bytes.size());
    EXPECT_TRUE(doc.m_loadWarning.isEmpty());
    EXPECT_EQ(doc.m_sampleRate, 1e6);
}

}   // namespace
