// SPDX-License-Identifier: GPL-3.0-or-later
// The capture distributor: each capture of the link reaches every document
// that takes captures once, with the spectra of its signals, as soon as the
// link's event descriptor says it was handed over; nothing polls.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>

#include <sys/eventfd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>

#include "acquisition/capture_link.h"
#include "document/capture_distributor.h"
#include "document/vexlar_doc.h"
#include "front_frame.h"

namespace {

void EnsureApp()
{
    // Created once and never destroyed: tearing an application down from an
    // exit handler, after Qt's own globals, is not safe.
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "capture_distributor_test";
    static char* argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
}

// What the capture thread does at a hand-over: a new front frame, then the
// event descriptor.
void HandOver(CCaptureLink& link, int32_t id, int32_t depth)
{
    SetFront(link, id, depth);
    ASSERT_EQ(eventfd_write(link.CaptureEventFd(), 1), 0);
}

// Runs the event loop until `done` or two seconds have passed.
bool WaitFor(const std::function<bool()>& done)
{
    QDeadlineTimer deadline(2000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

CSignal* AddSpectrumSignal(CVexlarDoc& doc)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_numBits = 8;
    s->UpdateMask();
    s->m_spectrum = true;
    return s;
}

}   // namespace

TEST(CaptureDistributor, EachDocumentThatTakesCapturesGetsEachCaptureOnce)
{
    EnsureApp();
    CCaptureLink link;   // never started: the test plays the capture thread
    CVexlarDoc a, b, held;
    CCaptureDistributor distributor(link, [&] { return std::vector<CVexlarDoc*>{&a, &b, &held}; });
    held.SetLive(false);
    int changesOfA = 0;
    const auto subscription = a.OnChanged([&] { ++changesOfA; });

    EXPECT_EQ(distributor.Distribute(), 0);   // nothing handed over yet
    HandOver(link, 5, 64);
    EXPECT_EQ(distributor.Distribute(), 2);
    for (CVexlarDoc* doc : {&a, &b}) {
        EXPECT_EQ(doc->m_captureId, 5);
        EXPECT_EQ(doc->m_signals.front()->m_count, 64);
        EXPECT_EQ(doc->m_signals.front()->m_samples[10], 35u);
        EXPECT_EQ(doc->m_triggerPos, 32);
    }
    EXPECT_EQ(held.m_captureId, 0);
    EXPECT_EQ(held.m_signals.front()->m_count, 0);
    EXPECT_EQ(changesOfA, 1);
    // Asked again: every document holds the capture already.
    EXPECT_EQ(distributor.Distribute(), 0);
    EXPECT_EQ(changesOfA, 1);
}

TEST(CaptureDistributor, SpectrumAndPeakHoldFollowEveryCaptureWithoutAnyWindow)
{
    EnsureApp();
    CCaptureLink link;
    CVexlarDoc doc;
    CSignal* live = AddSpectrumSignal(doc);
    CSignal* frozen = AddSpectrumSignal(doc);
    frozen->m_freeze = true;
    CCaptureDistributor distributor(link, [&] { return std::vector<CVexlarDoc*>{&doc}; });
    HandOver(link, 1, 8192);
    ASSERT_EQ(distributor.Distribute(), 1);
    EXPECT_TRUE(std::isfinite(live->m_specMax));
    EXPECT_GT(live->m_specMax, live->m_specMin);
    const double peak = *std::max_element(live->m_peakHold, live->m_peakHold + CSignal::kSpectrumBins);
    EXPECT_EQ(peak, live->m_specMax);   // the hold rose to the first spectrum
    // A new signal's display range comes from its first spectrum.
    EXPECT_LT(live->m_minDb, live->m_maxDb);
    // The frozen signal kept its samples and computed nothing.
    EXPECT_EQ(frozen->m_count, 0);
    EXPECT_EQ(frozen->m_specMax, 1.0);
    EXPECT_EQ(frozen->m_spectrumCache, nullptr);
}

TEST(CaptureDistributor, TheLinksEventDescriptorWakesItWithoutATimer)
{
    EnsureApp();
    CCaptureLink link;
    ASSERT_GE(link.CaptureEventFd(), 0);
    CVexlarDoc doc;
    CCaptureDistributor distributor(link, [&] { return std::vector<CVexlarDoc*>{&doc}; });
    EXPECT_FALSE(distributor.Polling());
    HandOver(link, 7, 16);
    ASSERT_TRUE(WaitFor([&] { return doc.m_captureId == 7; }));
    EXPECT_EQ(distributor.Wakeups(), 1u);
    // Two hand-overs before the event loop runs: one wake-up, the newest
    // capture.
    HandOver(link, 8, 16);
    HandOver(link, 9, 16);
    ASSERT_TRUE(WaitFor([&] { return doc.m_captureId == 9; }));
    EXPECT_EQ(distributor.Wakeups(), 2u);
    EXPECT_EQ(doc.m_signals.front()->m_samples[1], 12u);
    // Nothing more arrives: no more wake-ups (the descriptor was drained).
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_EQ(distributor.Wakeups(), 2u);
}
