// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "acquisition/capture_link.h"
#include "document/capture_handoff.h"
#include "document/document_file.h"
#include "document/vexlar_doc.h"
#include "front_frame.h"

namespace {

TEST(HandOffLink, CopiesOnlyWhenTheIdChanges)
{
    CCaptureLink link;   // never started: the front frame is set by hand
    CVexlarDoc doc;
    int32_t last = 0;
    EXPECT_FALSE(HandOffCapture(link, doc, last));   // id 0: nothing yet
    EXPECT_EQ(doc.m_signals.front()->m_count, 0);

    SetFront(link, 5, 64);
    EXPECT_TRUE(HandOffCapture(link, doc, last));
    EXPECT_EQ(last, 5);
    EXPECT_EQ(doc.m_signals.front()->m_samples[10], 35u);
    EXPECT_EQ(doc.m_triggerPos, 32);

    // Same id again: nothing copied, even if the document's samples changed meanwhile.
    doc.m_signals.front()->m_samples[10] = 0;
    const uint64_t revision = doc.Revision();
    EXPECT_FALSE(HandOffCapture(link, doc, last));
    EXPECT_EQ(doc.m_signals.front()->m_samples[10], 0u);
    EXPECT_EQ(doc.Revision(), revision);

    SetFront(link, 6, 64);
    EXPECT_TRUE(HandOffCapture(link, doc, last));
    EXPECT_EQ(doc.m_signals.front()->m_samples[10], 36u);
}

TEST(HandOffLink, TheFrontBufferIsBackInTheLinkAfterTheCopy)
{
    CCaptureLink link;
    SetFront(link, 7, 256);
    uint8_t* const buffer = link.m_front.words;
    CVexlarDoc doc;
    int32_t last = 0;
    ASSERT_TRUE(HandOffCapture(link, doc, last));
    std::lock_guard<std::mutex> lock(link.m_lock);
    EXPECT_EQ(link.m_front.words, buffer);
    EXPECT_EQ(link.m_front.capacityBytes, 256 * 4);
    EXPECT_EQ(link.m_front.depth, 256);
    EXPECT_EQ(doc.m_signals.front()->m_samples[255], 255u * 3 + 7);
}

TEST(HandOffLink, ADocumentOpenedFromAFileKeepsItsSamplesUntilMadeLive)
{
    CCaptureLink link;
    SetFront(link, 9, 32);
    std::vector<uint8_t> file;
    {
        CVexlarDoc saved;   // one live and one frozen signal with samples of their own
        CSignal* head = saved.Head();
        head->EnsureCapacity(4);
        head->m_count = 4;
        head->m_samples[1] = 55;
        CSignal* frozen = saved.AppendNewSignal();
        frozen->EnsureCapacity(4);
        frozen->m_count = 4;
        frozen->m_samples[0] = 77;
        frozen->m_freeze = true;
        file = StoreDocumentBytes(saved);
    }
    CVexlarDoc doc;
    LoadDocumentBytes(doc, file.data(), file.size());
    ASSERT_FALSE(doc.IsLive());
    const CSignal* head = doc.Head();
    const CSignal* frozen = doc.m_signals.back();
    const uint64_t revision = doc.Revision();

    int32_t last = 0;   // the current capture passes the held document by
    EXPECT_FALSE(HandOffCapture(link, doc, last));
    EXPECT_EQ(last, 0);
    EXPECT_EQ(head->m_count, 4);
    EXPECT_EQ(head->m_samples[1], 55u);
    EXPECT_EQ(doc.Revision(), revision);
    EXPECT_FALSE(doc.IsModified());

    // Made live, it takes the newest capture at once; the frozen signal keeps
    // its samples.
    doc.SetLive(true);
    EXPECT_TRUE(HandOffCapture(link, doc, last));
    EXPECT_EQ(last, 9);
    EXPECT_EQ(head->m_count, 32);
    EXPECT_EQ(head->m_samples[1], 12u);
    EXPECT_EQ(frozen->m_count, 4);
    EXPECT_EQ(frozen->m_samples[0], 77u);
    EXPECT_TRUE(doc.IsModified());
}

}   // namespace
