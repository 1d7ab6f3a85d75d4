// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/signal_commands.h"
#include "document/vexlar_doc.h"

namespace {

std::vector<QString> Names(const CVexlarDoc& doc)
{
    std::vector<QString> names;
    for (const CSignal* s : doc.m_signals)
        names.push_back(s->m_name);
    return names;
}

TEST(Document, NewDocumentHoldsTheStartUpSignal)
{
    CVexlarDoc doc;
    ASSERT_EQ(doc.m_signals.size(), 1u);
    const CSignal* s = doc.m_signals.front();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->m_name, QStringLiteral("all_bits"));
    EXPECT_EQ(s->m_numBits, 32);
    EXPECT_EQ(s->m_firstBit, 0);
    EXPECT_EQ(s->m_colorTheme, 2);
    EXPECT_TRUE(s->m_expanded);
    EXPECT_EQ(s->m_mask, 0xFFFFFFFFu);
    EXPECT_FALSE(s->m_allBits);
    EXPECT_EQ(s->m_radix, Hex);
    EXPECT_EQ(s->m_owner, &doc.m_signals);
    EXPECT_EQ(doc.m_triggerPos, 2048);
    EXPECT_FALSE(doc.IsModified());
}

TEST(Document, ListKeepsStablePositions)
{
    CVexlarDoc doc;
    CSignal* a = doc.AppendNewSignal();
    a->m_name = QStringLiteral("a");
    CSignal* c = doc.AppendNewSignal();
    c->m_name = QStringLiteral("c");
    auto posA = std::next(doc.m_signals.begin());
    CSignal* b = doc.InsertNewSignalAfter(posA);
    b->m_name = QStringLiteral("b");
    EXPECT_EQ(Names(doc), (std::vector<QString>{"all_bits", "a", "b", "c"}));
    EXPECT_EQ(*posA, a);   // the position still names the same signal
    for (const CSignal* s : doc.m_signals)
        EXPECT_EQ(s->m_owner, &doc.m_signals);

    // Remove while iterating: every other signal.
    a->m_selected = true;
    c->m_selected = true;
    for (auto it = doc.m_signals.begin(); it != doc.m_signals.end();) {
        if ((*it)->m_selected)
            it = doc.EraseSignal(it);
        else
            ++it;
    }
    EXPECT_EQ(Names(doc), (std::vector<QString>{"all_bits", "b"}));

    doc.RemoveAllSignals();
    EXPECT_TRUE(doc.m_signals.empty());
    EXPECT_EQ(doc.Head(), nullptr);
    // The document stays usable without signals.
    doc.AppendNewSignal();
    EXPECT_EQ(doc.m_signals.size(), 1u);
}

TEST(Document, SwapContentMovesOwnership)
{
    CVexlarDoc a;
    CVexlarDoc b;
    b.AppendNewSignal()->m_name = QStringLiteral("x");
    b.m_triggerPos = 7;
    const uint64_t ra = a.Revision();
    a.SwapContent(b);
    EXPECT_EQ(Names(a), (std::vector<QString>{"all_bits", "x"}));
    EXPECT_EQ(Names(b), (std::vector<QString>{"all_bits"}));
    for (const CSignal* s : a.m_signals)
        EXPECT_EQ(s->m_owner, &a.m_signals);
    for (const CSignal* s : b.m_signals)
        EXPECT_EQ(s->m_owner, &b.m_signals);
    EXPECT_EQ(a.m_triggerPos, 7);
    EXPECT_NE(a.Revision(), ra);
    // UpdateFromSource of a moved signal reads its new document's first signal.
    CSignal* head = a.Head();
    head->EnsureCapacity(1);
    head->m_samples[0] = 0x5;
    head->m_count = 1;
    CSignal* x = a.m_signals.back();
    x->UpdateFromSource();
    EXPECT_EQ(x->m_count, 1);
}

TEST(Document, ModifiedFlagAndRevision)
{
    CVexlarDoc doc;
    EXPECT_FALSE(doc.IsModified());
    doc.SetModifiedFlag();
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    EXPECT_FALSE(doc.IsModified());
    const uint64_t r = doc.Revision();
    doc.BumpRevision();
    EXPECT_GT(doc.Revision(), r);
}

TEST(Document, RevisionsAreNeverRepeatedAcrossDocuments)
{
    // A document created where another one lived must not reach a revision
    // the old one had: drawing caches keyed on the document and its revision
    // would otherwise show the old samples.
    std::vector<uint64_t> seen;
    for (int i = 0; i < 3; ++i) {
        auto doc = std::make_unique<CVexlarDoc>();
        seen.push_back(doc->Revision());
        doc->BumpRevision();
        seen.push_back(doc->Revision());
    }
    CVexlarDoc a;
    CVexlarDoc b;
    seen.push_back(a.Revision());
    seen.push_back(b.Revision());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end());
}

}   // namespace

// A duplicate is a new record with an engine of its own, which computes the
// same spectrum as the signal it copies when the copy is made.
TEST(Document, DuplicateOfASpectrumSignalGetsAFreshEngine)
{
    CVexlarDoc doc;
    CSignal* original = doc.m_signals.front();
    original->m_numBits = 12;
    original->UpdateMask();
    original->m_spectrum = true;
    original->EnsureCapacity(8192);
    for (int32_t i = 0; i < 8192; ++i)
        original->m_samples[i] = uint32_t(i * 37) & 0xFFF;
    original->m_count = 8192;
    original->UpdateSpectrum();
    ASSERT_TRUE(original->m_fft.HasWorkArrays());
    original->m_selected = true;

    ASSERT_EQ(DuplicateSelectedSignals(doc), 1);
    ASSERT_EQ(doc.m_signals.size(), 2u);
    CSignal* copy = doc.m_signals.back();
    // The copy shows its spectrum at once, computed by its own engine on the
    // shared tables.
    EXPECT_EQ(copy->m_fft.m_window, original->m_fft.m_window);
    ASSERT_TRUE(copy->m_fft.HasWorkArrays());
    EXPECT_NE(copy->m_fft.m_re, original->m_fft.m_re);
    ASSERT_NE(copy->m_spectrumCache, nullptr);
    EXPECT_NE(copy->m_spectrumCache, original->m_spectrumCache);
    EXPECT_EQ(std::vector<double>(copy->m_spectrumDb, copy->m_spectrumDb + CSignal::kSpectrumBins),
              std::vector<double>(original->m_spectrumDb, original->m_spectrumDb + CSignal::kSpectrumBins));
}

// Whatever the commands make, the loader opens again: Add and Duplicate
// Selected stop at the number of signals a file may hold, with a message and
// without changing the document.
TEST(Document, SignalCommandsStopAtTheLimitTheLoaderKeeps)
{
    CVexlarDoc doc;
    while (doc.m_signals.size() < static_cast<size_t>(CVexlarDoc::kMaxSignals) - 1)
        doc.AppendNewSignal();
    int edits = 0;
    const SignalEditor confirm = [&edits](CSignal&) { return ++edits > 0; };

    // One below the limit: one more fits, by Add or by Duplicate.
    doc.m_signals.back()->m_selected = true;
    EXPECT_EQ(DuplicateSelectedSignals(doc), 1);
    ASSERT_EQ(doc.m_signals.size(), size_t(CVexlarDoc::kMaxSignals));
    doc.EraseSignal(std::prev(doc.m_signals.end()));
    EXPECT_TRUE(AddSignal(doc, confirm));
    ASSERT_EQ(doc.m_signals.size(), size_t(CVexlarDoc::kMaxSignals));

    // At the limit the file round-trips.
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    {
        CVexlarDoc reopened;
        ASSERT_NO_THROW(LoadDocumentBytes(reopened, bytes.data(), bytes.size()));
        EXPECT_EQ(reopened.m_signals.size(), size_t(CVexlarDoc::kMaxSignals));
    }

    // Beyond it: refused before anything is asked or changed.
    doc.SetModifiedFlag(false);
    edits = 0;
    try {
        AddSignal(doc, confirm);
        ADD_FAILURE() << "Add went beyond the limit";
    } catch (const CSignalLimitError& e) {
        EXPECT_NE(std::string(e.what()).find("4096"), std::string::npos) << e.what();
    }
    EXPECT_EQ(edits, 0);
    for (CSignal* s : doc.m_signals)
        s->m_selected = false;
    doc.m_signals.front()->m_selected = true;
    EXPECT_THROW(DuplicateSelectedSignals(doc), CSignalLimitError);
    EXPECT_FALSE(doc.m_signals.front()->m_freeze);   // not half done
    EXPECT_EQ(doc.m_signals.size(), size_t(CVexlarDoc::kMaxSignals));
    EXPECT_FALSE(doc.IsModified());
}
