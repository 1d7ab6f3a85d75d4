#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "acquisition/capture_link.h"
#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"

namespace {

// Puts a capture of `depth` words (word i = i * 3 + id) into the link's front frame.
void SetFront(CCaptureLink& link, int32_t id, int32_t depth)
{
    std::lock_guard<std::mutex> lock(link.m_lock);
    delete[] link.m_front.words;
    link.m_front.words = new uint8_t[static_cast<size_t>(depth) * 4];
    for (int32_t i = 0; i < depth; ++i) {
        const uint32_t w = static_cast<uint32_t>(i * 3 + id);
        std::memcpy(link.m_front.words + 4 * i, &w, 4);
    }
    link.m_front.capacityBytes = depth * 4;
    link.m_front.depth = depth;
    link.m_front.bitsPerSample = 32;
    link.m_front.triggerPos = depth / 2;
    link.m_front.captureId = id;
}

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

TEST(HandOffLink, LateViewTakesTheCurrentCaptureOverTheFilesSamples)
{
    CCaptureLink link;
    SetFront(link, 9, 32);
    CVexlarDoc doc;   // as if opened from a file: one frozen and one live signal
    CSignal* live = doc.Head();
    live->EnsureCapacity(4);
    live->m_count = 4;
    CSignal* frozen = doc.AppendNewSignal();
    frozen->EnsureCapacity(4);
    frozen->m_count = 4;
    frozen->m_samples[0] = 77;
    frozen->m_freeze = true;
    int32_t last = 0;   // a new view
    EXPECT_TRUE(HandOffCapture(link, doc, last));
    EXPECT_EQ(live->m_count, 32);
    EXPECT_EQ(live->m_samples[1], 12u);
    EXPECT_EQ(frozen->m_count, 4);
    EXPECT_EQ(frozen->m_samples[0], 77u);
}

}   // namespace
