// SPDX-License-Identifier: GPL-3.0-or-later
// Undo and redo of the user's edits: signal-list commands, property edits,
// reordering, sample rate and markers, with the saved state and the limits.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "acquisition/capture_frame.h"
#include "document/capture_handoff.h"
#include "document/document_edits.h"
#include "document/document_file.h"
#include "document/edit_commands.h"
#include "document/signal_commands.h"
#include "document/vexlar_doc.h"

namespace {

// A document whose signals are named a, b, c, ... with samples name-dependent.
void MakeSignals(CVexlarDoc& doc, const std::string& names)
{
    doc.RemoveAllSignals();
    for (char c : names) {
        CSignal* s = doc.AppendNewSignal();
        s->m_name = QString(QChar(c));
        s->m_numBits = 8;
        s->UpdateMask();
        s->EnsureCapacity(4);
        for (int i = 0; i < 4; ++i)
            s->m_samples[i] = static_cast<uint32_t>(c) + static_cast<uint32_t>(i);
        s->m_count = 4;
    }
    doc.SetModifiedFlag(false);
}

std::string Names(const CVexlarDoc& doc)
{
    std::string names;
    for (const CSignal* s : doc.m_signals)
        names += s->m_name.toStdString();
    return names;
}

std::string Frozen(const CVexlarDoc& doc)
{
    std::string flags;
    for (const CSignal* s : doc.m_signals)
        flags += s->m_freeze ? 'F' : '-';
    return flags;
}

void Select(CVexlarDoc& doc, const std::string& names)
{
    for (CSignal* s : doc.m_signals)
        s->m_selected = names.find(s->m_name.toStdString()) != std::string::npos;
}

TEST(Undo, DeleteSelectedAndBack)
{
    CVexlarDoc doc;
    MakeSignals(doc, "abcde");
    const std::vector<CSignal*> before(doc.m_signals.begin(), doc.m_signals.end());
    Select(doc, "ace");
    EXPECT_EQ(DeleteSelectedSignals(doc), 3);
    EXPECT_EQ(Names(doc), "bd");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_undo.UndoText().toStdString(), "Delete Selected");

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(doc), "abcde");
    // The very signals come back, with their samples and their owner.
    EXPECT_EQ(std::vector<CSignal*>(doc.m_signals.begin(), doc.m_signals.end()), before);
    EXPECT_EQ(doc.m_signals.back()->m_samples[3], uint32_t('e') + 3);
    for (const CSignal* s : doc.m_signals)
        EXPECT_EQ(s->m_owner, &doc.m_signals);
    EXPECT_FALSE(doc.IsModified()) << "back at the saved state";

    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Names(doc), "bd");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(doc.Redo());

    // Neighbours, and the last signal: each comes back at its own place.
    ASSERT_TRUE(doc.Undo());
    for (const char* selection : {"ab", "de", "abcde"}) {
        Select(doc, selection);
        DeleteSelectedSignals(doc);
        ASSERT_TRUE(doc.Undo());
        EXPECT_EQ(Names(doc), "abcde") << selection;
    }
}

TEST(Undo, DuplicateFreezeAndAddSequence)
{
    CVexlarDoc doc;
    MakeSignals(doc, "axb");
    Select(doc, "ab");
    EXPECT_EQ(DuplicateSelectedSignals(doc), 2);
    EXPECT_EQ(Names(doc), "aaxbb");
    EXPECT_EQ(Frozen(doc), "F--F-");

    Select(doc, "x");
    EXPECT_EQ(FreezeSelectedSignals(doc), 1);
    EXPECT_EQ(Frozen(doc), "F-FF-");

    const bool added = AddSignal(doc, [](CSignal& s) {
        s.m_name = QStringLiteral("n");
        s.m_colorTheme = 0;
        return true;
    });
    ASSERT_TRUE(added);
    EXPECT_EQ(Names(doc), "aaxbbn");
    EXPECT_FALSE(AddSignal(doc, [](CSignal&) { return false; })) << "a cancelled Add records nothing";
    EXPECT_EQ(doc.m_undo.Count(), 3u);

    ASSERT_TRUE(doc.Undo());   // the Add
    EXPECT_EQ(Names(doc), "aaxbb");
    ASSERT_TRUE(doc.Undo());   // the Freeze
    EXPECT_EQ(Frozen(doc), "F--F-");
    ASSERT_TRUE(doc.Undo());   // the Duplicate
    EXPECT_EQ(Names(doc), "axb");
    EXPECT_EQ(Frozen(doc), "---");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.Undo());

    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Names(doc), "aaxbb");
    EXPECT_EQ(Frozen(doc), "F--F-");
    ASSERT_TRUE(doc.Redo());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Names(doc), "aaxbbn");
    EXPECT_EQ(doc.m_signals.back()->m_colorTheme, 0);
    EXPECT_EQ(Frozen(doc), "F-FF--");
}

TEST(Undo, ReorderSequence)
{
    CVexlarDoc doc;
    MakeSignals(doc, "abcd");
    EXPECT_TRUE(DocumentEdits::MoveSignal(doc, 0, 2));
    EXPECT_EQ(Names(doc), "bcad");
    EXPECT_TRUE(DocumentEdits::MoveSignal(doc, 3, 0));
    EXPECT_EQ(Names(doc), "dbca");
    EXPECT_FALSE(DocumentEdits::MoveSignal(doc, 1, 1));
    EXPECT_FALSE(DocumentEdits::MoveSignal(doc, 0, 4));
    EXPECT_FALSE(DocumentEdits::MoveSignal(doc, -1, 0));
    EXPECT_EQ(doc.m_undo.Count(), 2u);

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(doc), "bcad");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(doc), "abcd");
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(Names(doc), "bcad");

    // A delete after a move, undone one step at a time.
    Select(doc, "a");
    DeleteSelectedSignals(doc);
    EXPECT_EQ(Names(doc), "bcd");
    EXPECT_FALSE(doc.m_undo.CanRedo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(doc), "bcad");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(Names(doc), "abcd");
}

TEST(Undo, PropertyEditOfAFrozenSignalGivesItsSamplesBack)
{
    CVexlarDoc doc;
    CSignal* raw = doc.m_signals.front();   // all_bits, the source of the others
    raw->EnsureCapacity(3);
    raw->m_samples[0] = 0x0FED;
    raw->m_samples[1] = 0x0ABC;
    raw->m_samples[2] = 0x0123;
    raw->m_count = 3;
    CSignal* field = doc.AppendNewSignal();
    field->m_name = QStringLiteral("f");
    field->m_numBits = 4;
    field->UpdateMask();
    field->UpdateFromSource();
    field->m_freeze = true;
    // The frozen capture differs from what the source holds now.
    field->m_samples[0] = 0x9;
    doc.SetModifiedFlag(false);

    const bool changed = DocumentEdits::ChangeSignal(doc, *field, QStringLiteral("Properties"), [](CSignal& s) {
        s.m_numBits = 8;
        s.m_firstBit = 4;
        s.m_radix = Signed;
        s.UpdateMask();
        s.UpdateFromSource();   // what the dialog's OK does, frozen or not
        return true;
    });
    ASSERT_TRUE(changed);
    EXPECT_EQ(field->m_samples[0], 0xFEu);
    EXPECT_EQ(field->m_samples[1], 0xABu);

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(field->m_numBits, 4);
    EXPECT_EQ(field->m_firstBit, 0);
    EXPECT_EQ(field->m_mask, 0xFu);
    EXPECT_EQ(field->m_radix, Hex);
    EXPECT_EQ(field->m_samples[0], 0x9u) << "the frozen sample, not one extracted again";
    EXPECT_EQ(field->m_samples[1], 0xCu);
    EXPECT_FALSE(doc.IsModified());

    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(field->m_numBits, 8);
    EXPECT_EQ(field->m_samples[0], 0xFEu);
}

TEST(Undo, EditsThatChangeNothingRecordNothingAndSettingsOnlyEditsKeepNoSamples)
{
    CVexlarDoc doc;
    MakeSignals(doc, "ab");
    CSignal* b = doc.m_signals.back();
    EXPECT_FALSE(DocumentEdits::ChangeSignal(doc, *b, QStringLiteral("Properties"), [](CSignal&) { return true; }));
    EXPECT_FALSE(DocumentEdits::ChangeSignal(doc, *b, QStringLiteral("Properties"),
                                             [](CSignal&) { return false; }));   // a cancelled dialog
    EXPECT_EQ(doc.m_undo.Count(), 0u);
    EXPECT_FALSE(doc.IsModified());

    b->EnsureCapacity(1 << 20);
    b->m_count = 1 << 20;
    EXPECT_TRUE(DocumentEdits::ChangeSignal(doc, *b, QStringLiteral("Properties"), [](CSignal& s) {
        s.m_colorTheme = 2;
        return true;
    }));
    EXPECT_LT(doc.m_undo.MemoryBytes(), size_t(64) << 10) << "unchanged samples are not copied";
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(b->m_colorTheme, 1);
}

TEST(Undo, SampleRateAndMarkers)
{
    CVexlarDoc doc;
    EXPECT_TRUE(DocumentEdits::SetSampleRate(doc, 100e6));
    EXPECT_FALSE(DocumentEdits::SetSampleRate(doc, 100e6));
    EXPECT_FALSE(DocumentEdits::SetSampleRate(doc, -1.0));
    EXPECT_FALSE(DocumentEdits::SetSampleRate(doc, 1e13));
    EXPECT_TRUE(DocumentEdits::SetMarkers(doc, 10, -1));
    EXPECT_TRUE(DocumentEdits::SetMarkers(doc, 10, 30));
    EXPECT_FALSE(DocumentEdits::SetMarkers(doc, 10, 30));
    EXPECT_TRUE(doc.IsModified());

    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_marker2, -1);
    EXPECT_EQ(doc.m_marker1, 10);
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_marker1, -1);
    EXPECT_EQ(doc.m_undo.UndoText().toStdString(), "Sample Rate");
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(doc.m_sampleRate, 0.0);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(doc.m_sampleRate, 100e6);
    EXPECT_TRUE(DocumentEdits::SetSampleRate(doc, 0.0));   // back to samples
    EXPECT_EQ(doc.m_sampleRate, 0.0);
}

TEST(Undo, SavedStateAndCaptures)
{
    CVexlarDoc doc;
    MakeSignals(doc, "ab");
    DocumentEdits::SetMarkers(doc, 1, -1);
    doc.SetModifiedFlag(false);   // saved here
    DocumentEdits::SetMarkers(doc, 2, -1);
    EXPECT_TRUE(doc.IsModified());
    doc.Undo();
    EXPECT_FALSE(doc.IsModified());
    doc.Undo();
    EXPECT_TRUE(doc.IsModified()) << "before the saved state";
    doc.Redo();
    EXPECT_FALSE(doc.IsModified());

    // A capture is no edit: it is not undone, and the document stays
    // modified after undoing back to the saved state.
    DocumentEdits::SetMarkers(doc, 3, -1);
    CaptureFrame frame;
    std::vector<uint8_t> words(4 * 4, 0x55);
    frame.words = words.data();
    frame.capacityBytes = static_cast<int32_t>(words.size());
    frame.depth = 4;
    frame.bitsPerSample = 32;
    frame.triggerPos = 2;
    CopyCaptureIntoDocument(frame, doc);
    doc.SetModifiedFlag(true);   // what a capture into a live document does
    EXPECT_EQ(doc.m_undo.Count(), 2u);
    doc.Undo();
    EXPECT_EQ(doc.m_marker1, 1);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.m_signals.front()->m_samples[0], 0x55u) << "the capture stays";

    // Saving, then a new edit after an undo: the saved state cannot come back.
    doc.SetModifiedFlag(false);
    doc.Undo();
    DocumentEdits::SetMarkers(doc, 9, -1);
    EXPECT_FALSE(doc.m_undo.CanRedo());
    EXPECT_TRUE(doc.IsModified());
    doc.Undo();
    EXPECT_TRUE(doc.IsModified());
}

TEST(Undo, WheelStepsMergeIntoOneEditButNotAcrossTheSavedState)
{
    CVexlarDoc doc;
    MakeSignals(doc, "ab");
    CSignal* a = doc.m_signals.front();
    CSignal* b = doc.m_signals.back();
    auto taller = [&](CSignal& s) {
        return DocumentEdits::ChangeSignal(
            doc, s, QStringLiteral("Graph Height"),
            [](CSignal& t) {
                t.m_graphHeight += 10;
                return true;
            },
            false, DocumentEdits::kGraphHeightSteps);
    };
    taller(*a);
    taller(*a);
    taller(*a);
    EXPECT_EQ(doc.m_undo.Count(), 1u);
    taller(*b);   // another signal: another edit
    EXPECT_EQ(doc.m_undo.Count(), 2u);
    doc.SetModifiedFlag(false);
    taller(*b);
    EXPECT_EQ(doc.m_undo.Count(), 3u) << "the saved state stays reachable";
    doc.Undo();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(b->m_graphHeight, 110);
    doc.Undo();
    EXPECT_EQ(b->m_graphHeight, 100);
    doc.Undo();
    EXPECT_EQ(a->m_graphHeight, 100);
}

TEST(Undo, TheOldestEditsGoBeyondTheLimits)
{
    CVexlarDoc doc;
    const int edits = int(CUndoStack::kMaxCommands) + 5;
    for (int i = 0; i < edits; ++i)
        DocumentEdits::SetMarkers(doc, i, -1);
    EXPECT_EQ(doc.m_undo.Count(), CUndoStack::kMaxCommands);
    int undone = 0;
    while (doc.Undo())
        ++undone;
    EXPECT_EQ(undone, int(CUndoStack::kMaxCommands));
    EXPECT_EQ(doc.m_marker1, 4);
    EXPECT_TRUE(doc.IsModified()) << "the saved state was cut off";
}

TEST(Undo, LoadingForgetsTheEdits)
{
    CVexlarDoc doc;
    MakeSignals(doc, "abc");
    Select(doc, "b");
    DeleteSelectedSignals(doc);
    const std::vector<uint8_t> file = StoreDocumentBytes(CVexlarDoc());
    LoadDocumentBytes(doc, file.data(), file.size());
    EXPECT_FALSE(doc.m_undo.CanUndo());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(Names(doc), "all_bits");
}

}   // namespace
