// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "acquisition/capture_frame.h"
#include "document/capture_handoff.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"

namespace {

// A capture frame over its own buffer of little-endian words.
struct Capture {
    std::vector<uint8_t> bytes;
    CaptureFrame frame;

    Capture(int32_t id, int32_t depth, int32_t bits, uint32_t (*word)(int32_t)) : bytes(static_cast<size_t>(depth) * 4)
    {
        for (int32_t i = 0; i < depth; ++i) {
            const uint32_t w = word(i);
            bytes[4 * size_t(i) + 0] = uint8_t(w);
            bytes[4 * size_t(i) + 1] = uint8_t(w >> 8);
            bytes[4 * size_t(i) + 2] = uint8_t(w >> 16);
            bytes[4 * size_t(i) + 3] = uint8_t(w >> 24);
        }
        frame.captureId = id;
        frame.words = bytes.data();
        frame.capacityBytes = static_cast<int32_t>(bytes.size());
        frame.depth = depth;
        frame.bitsPerSample = bits;
        frame.triggerPos = depth / 2;
    }
};

uint32_t Pattern(int32_t i)
{
    return 0x9E3779B9u * static_cast<uint32_t>(i + 1);
}
uint32_t Other(int32_t i)
{
    return ~Pattern(i);
}

CSignal* AddField(CVexlarDoc& doc, int32_t bits, int32_t first)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_numBits = bits;
    s->m_firstBit = first;
    s->UpdateMask();
    return s;
}

TEST(HandOff, ExtractsEveryNonFrozenSignal)
{
    CVexlarDoc doc;
    CSignal* all = doc.Head();
    CSignal* data = AddField(doc, 8, 4);
    CSignal* bit = AddField(doc, 1, 31);
    CSignal* high = AddField(doc, 5, 27);
    const uint64_t revision = doc.Revision();
    Capture cap(1, 4096, 32, Pattern);
    CopyCaptureIntoDocument(cap.frame, doc);
    struct Case {
        CSignal* s;
        uint32_t shift;
        uint32_t mask;
    };
    for (const Case& c : {Case{all, 0, 0xFFFFFFFF}, Case{data, 4, 0xFF}, Case{bit, 31, 1}, Case{high, 27, 0x1F}}) {
        ASSERT_EQ(c.s->m_count, 4096);
        for (int32_t i = 0; i < 4096; ++i)
            ASSERT_EQ(c.s->m_samples[i], (Pattern(i) >> c.shift) & c.mask) << i;
    }
    EXPECT_EQ(doc.m_triggerPos, 2048);
    EXPECT_NE(doc.Revision(), revision);
}

TEST(HandOff, VectorLoopEqualsThePlainLoopForEveryLengthAndShift)
{
    std::vector<uint8_t> bytes(4 * 37);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    for (int32_t n = 0; n <= 37; ++n) {
        for (int32_t shift : {0, 1, 7, 31, 32, 36, -1}) {
            std::vector<uint32_t> out(size_t(n) + 1, 0xDEADBEEF);
            ExtractBitField(bytes.data(), n, shift, 0x00FF0F0F, out.data());
            for (int32_t i = 0; i < n; ++i)
                ASSERT_EQ(out[size_t(i)], (CaptureWord(bytes.data(), i) >> (shift & 31)) & 0x00FF0F0F);
            ASSERT_EQ(out[size_t(n)], 0xDEADBEEF) << "wrote past n";
        }
    }
}

TEST(HandOff, FrozenSignalIsLeftAlone)
{
    CVexlarDoc doc;
    CSignal* frozen = AddField(doc, 8, 0);
    Capture first(1, 100, 32, Pattern);
    CopyCaptureIntoDocument(first.frame, doc);
    frozen->m_freeze = true;
    uint32_t* array = frozen->m_samples;
    Capture second(2, 4096, 32, Other);
    CopyCaptureIntoDocument(second.frame, doc);
    EXPECT_EQ(frozen->m_count, 100);
    EXPECT_EQ(frozen->m_samples, array);
    for (int32_t i = 0; i < 100; ++i)
        ASSERT_EQ(frozen->m_samples[i], Pattern(i) & 0xFF);
    EXPECT_EQ(doc.m_signals.front()->m_samples[5], Other(5));
}

TEST(HandOff, AllBitsSignalTakesTheWholeWord)
{
    CVexlarDoc doc;
    CSignal* s = AddField(doc, 4, 8);
    s->m_allBits = true;
    s->m_mask = 0xFFFFFFFF;   // as loaded from a file with 32 bits
    Capture cap(1, 64, 32, Pattern);
    CopyCaptureIntoDocument(cap.frame, doc);
    EXPECT_EQ(s->m_numBits, 32);
    EXPECT_EQ(s->m_firstBit, 0);
    EXPECT_EQ(s->m_samples[3], Pattern(3));
}

TEST(HandOff, SmallerDepthReusesTheArray)
{
    CVexlarDoc doc;
    Capture big(1, 4096, 32, Pattern);
    CopyCaptureIntoDocument(big.frame, doc);
    uint32_t* array = doc.m_signals.front()->m_samples;
    Capture small(2, 1024, 32, Other);
    CopyCaptureIntoDocument(small.frame, doc);
    EXPECT_EQ(doc.m_signals.front()->m_samples, array);
    EXPECT_EQ(doc.m_signals.front()->m_capacity, 4096);
    EXPECT_EQ(doc.m_signals.front()->m_count, 1024);
    EXPECT_EQ(doc.m_triggerPos, 512);
}

TEST(HandOff, MuchSmallerCaptureGivesTheDeepArrayBack)
{
    // A capture of 2^21 samples (8 MiB per signal), then default captures:
    // every signal keeping 8 MiB for good would add up fast over 16 or 32
    // signals.
    CVexlarDoc doc;
    CSignal* field = AddField(doc, 8, 4);
    CSignal* frozen = AddField(doc, 8, 0);
    Capture deep(1, 1 << 21, 32, Pattern);
    CopyCaptureIntoDocument(deep.frame, doc);
    for (CSignal* s : doc.m_signals)
        EXPECT_EQ(s->m_capacity, 1 << 21);
    frozen->m_freeze = true;
    Capture small(2, 4096, 32, Other);
    CopyCaptureIntoDocument(small.frame, doc);
    EXPECT_EQ(doc.m_signals.front()->m_capacity, 4096);
    EXPECT_EQ(field->m_capacity, 4096);
    EXPECT_EQ(field->m_count, 4096);
    EXPECT_EQ(field->m_samples[4095], (Other(4095) >> 4) & 0xFFu);
    EXPECT_EQ(frozen->m_capacity, 1 << 21) << "a frozen signal keeps its capture";
    EXPECT_EQ(frozen->m_count, 1 << 21);
}

TEST(HandOff, SixteenBitCaptureSetsTheCountWithoutCopying)
{
    CVexlarDoc doc;
    Capture first(1, 16, 32, Pattern);
    CopyCaptureIntoDocument(first.frame, doc);
    Capture narrow(2, 32, 16, Other);
    CopyCaptureIntoDocument(narrow.frame, doc);
    const CSignal* s = doc.Head();
    EXPECT_EQ(s->m_count, 32);
    for (int32_t i = 0; i < 32; ++i)
        EXPECT_EQ(s->m_samples[i], 0u) << i;   // grown storage is zeroed, nothing copied
    EXPECT_EQ(doc.m_triggerPos, 16);
}

TEST(HandOff, EmptyCaptureAndEmptyListStillSetTheTrigger)
{
    CVexlarDoc doc;
    Capture first(1, 8, 32, Pattern);
    CopyCaptureIntoDocument(first.frame, doc);
    Capture none(2, 0, 32, Pattern);
    none.frame.triggerPos = 0;
    CopyCaptureIntoDocument(none.frame, doc);
    EXPECT_EQ(doc.m_signals.front()->m_count, 8);   // depth 0 leaves the signal
    EXPECT_EQ(doc.m_triggerPos, 0);

    doc.RemoveAllSignals();
    Capture cap(3, 8, 32, Pattern);
    CopyCaptureIntoDocument(cap.frame, doc);
    EXPECT_EQ(doc.m_triggerPos, 4);
}

TEST(HandOff, NeverReadsBeyondTheCaptureBuffer)
{
    CVexlarDoc doc;
    Capture cap(1, 16, 32, Pattern);
    cap.frame.depth = 1 << 20;   // a header that claims more than the buffer holds
    CopyCaptureIntoDocument(cap.frame, doc);
    const CSignal* s = doc.Head();
    EXPECT_EQ(s->m_count, 1 << 20);
    EXPECT_EQ(s->m_samples[15], Pattern(15));
    EXPECT_EQ(s->m_samples[16], 0u);
}

// Which documents take a capture and what that does to their modified flag:
// a capture never changes a held document, and a live document whose samples
// a capture changed has something to save.
TEST(HandOff, LiveAndHeldDocuments)
{
    struct Case {
        const char* name;
        bool live;
        bool allFrozen;
        bool taken;      // CopyCaptureIntoDocument's answer
        bool modified;   // afterwards
    };
    for (const Case& c : {Case{"live", true, false, true, true}, Case{"held", false, false, false, false},
                          Case{"live, every signal frozen", true, true, true, false},
                          Case{"held, every signal frozen", false, true, false, false}}) {
        SCOPED_TRACE(c.name);
        CVexlarDoc doc;
        AddField(doc, 8, 4);
        doc.SetLive(c.live);
        for (CSignal* s : doc.m_signals)
            s->m_freeze = c.allFrozen;
        const uint64_t revision = doc.Revision();
        Capture cap(1, 64, 32, Pattern);
        EXPECT_EQ(CopyCaptureIntoDocument(cap.frame, doc), c.taken);
        EXPECT_EQ(doc.IsModified(), c.modified);
        EXPECT_EQ(doc.HasCaptureSinceSave(), c.modified);
        EXPECT_EQ(doc.Revision() != revision, c.taken);
        EXPECT_EQ(doc.m_triggerPos, c.taken ? 32 : 2048);
        EXPECT_EQ(doc.Head()->m_count, c.taken && !c.allFrozen ? 64 : 0);
    }
}

TEST(HandOff, SavingOrOpeningClearsTheCaptureAndTheNextCaptureSetsItAgain)
{
    CVexlarDoc doc;
    EXPECT_TRUE(doc.IsLive());   // a new document starts live
    Capture first(1, 16, 32, Pattern);
    CopyCaptureIntoDocument(first.frame, doc);
    ASSERT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);   // what a save does
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.HasCaptureSinceSave());
    Capture second(2, 16, 32, Other);
    CopyCaptureIntoDocument(second.frame, doc);
    EXPECT_TRUE(doc.IsModified());

    // Loading a file: not modified, and held.
    const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
    LoadDocumentBytes(doc, bytes.data(), bytes.size());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.IsLive());
}

TEST(HandOff, ListenersHearOfChangesOfTheModifiedAndLiveStatesOnly)
{
    CVexlarDoc doc;
    int calls = 0;
    const int id = doc.AddStateListener([&] { ++calls; });
    Capture cap(1, 16, 32, Pattern);
    CopyCaptureIntoDocument(cap.frame, doc);
    EXPECT_EQ(calls, 1);   // became modified
    for (int k = 0; k < 5; ++k)
        CopyCaptureIntoDocument(cap.frame, doc);
    EXPECT_EQ(calls, 1);   // no news on every capture
    doc.SetModifiedFlag(true);
    EXPECT_EQ(calls, 1);   // modified already
    doc.SetModifiedFlag(false);
    EXPECT_EQ(calls, 2);
    doc.SetLive(false);
    doc.SetLive(false);
    EXPECT_EQ(calls, 3);
    doc.RemoveStateListener(id);
    doc.SetLive(true);
    EXPECT_EQ(calls, 3);
}

}   // namespace
