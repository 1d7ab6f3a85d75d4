// SPDX-License-Identifier: GPL-3.0-or-later
// Memory taken by loading a document: a file of many minimal records must not
// make the program allocate far beyond what the file holds. This program
// replaces the global operator new to follow the bytes in use and their peak.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "allocation_tracker.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "file_builder.h"
#include "model/errors.h"
#include "model/signal.h"

using allocation_tracker::g_inUse;
using allocation_tracker::g_peak;

namespace {

FileBuilder MinimalVersion1Records(int32_t count)
{
    FileBuilder f;
    f.I32(1).I32(count);
    for (int32_t i = 0; i < count; ++i)   // 42 bytes: no samples, empty 8-bit name
        f.I32(1).I32(0).Narrow("").Fields(1, 0, false, true, false, false, 1, false, 0, 1024, 100, 2);
    return f;
}

// The largest file the loader accepts, of records as small as they come:
// 172 KB on disk. Each loaded signal is one CSignal record (its spectrum and
// peak-hold arrays, 32 KiB, are part of the record) plus small change: the
// list node and the name. The engine's tables are shared and its work arrays
// and input cache only come with the first spectrum, so nothing else may grow
// with the count. The bound allows 1 KiB per signal beyond the record and
// 1 MiB for the loader itself: about 140 MB in all, where a signal that still
// carried its own engine arrays (64 KiB of work arrays alone, 192 KiB with
// private tables) would need 400 MB to 1 GB. The absolute 200 MB is the limit
// a crafted file may make the program reach.
TEST(DocumentLoadMemory, MostSignalsAFileMayHoldStayNearTheirRecords)
{
    constexpr int32_t kCount = 4096;
    const FileBuilder file = MinimalVersion1Records(kCount);
    ASSERT_EQ(file.bytes.size(), 8u + 42u * kCount);

    CVexlarDoc doc;
    const size_t before = g_inUse.load();
    g_peak = before;
    LoadDocumentBytes(doc, file.bytes.data(), file.bytes.size());
    const size_t peak = g_peak.load() - before;

    ASSERT_EQ(doc.m_signals.size(), size_t(kCount));
    for (const CSignal* s : doc.m_signals) {
        ASSERT_FALSE(s->m_fft.HasWorkArrays());
        ASSERT_EQ(s->m_spectrumCache, nullptr);
    }
    RecordProperty("peak_bytes", std::to_string(peak));
    const size_t perSignal = sizeof(CSignal) + 1024;
    EXPECT_LE(peak, kCount * perSignal + (size_t(1) << 20))
        << "peak " << peak << " bytes, " << peak / kCount << " per signal, record " << sizeof(CSignal);
    EXPECT_LT(peak, size_t(200) << 20);

    // Showing one of them as a spectrum allocates that signal's arrays only.
    CSignal* shown = doc.m_signals.front();
    shown->UpdateSpectrum();
    EXPECT_TRUE(shown->m_fft.HasWorkArrays());
    EXPECT_FALSE(doc.m_signals.back()->m_fft.HasWorkArrays());
}

// One more record than the loader accepts is a format error that creates no
// signal at all, however well-formed the records are.
TEST(DocumentLoadMemory, OneSignalAboveTheCapIsRejectedBeforeAnySignalIsCreated)
{
    const FileBuilder file = MinimalVersion1Records(4097);
    CVexlarDoc doc;
    const size_t before = g_inUse.load();
    g_peak = before;
    EXPECT_THROW(LoadDocumentBytes(doc, file.bytes.data(), file.bytes.size()), CFileFormatException);
    // The loader reads into a fresh document, whose start-up signal is the
    // one record it may create.
    EXPECT_LT(g_peak.load() - before, sizeof(CSignal) + 4096);
    EXPECT_EQ(doc.m_signals.size(), 1u);
}

}   // namespace
