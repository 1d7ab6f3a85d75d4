// SPDX-License-Identifier: GPL-3.0-or-later
// A real capture from the simulated core, over loopback, into a document.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "acquisition/capture_link.h"
#include "coresim/core_simulator.h"
#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"

namespace {

using namespace std::chrono_literals;

// Every signal holds the bit field of PatternWord(id, i) for one capture id.
bool MatchesCapture(const CVexlarDoc& doc, uint16_t id, int32_t depth)
{
    for (const CSignal* s : doc.m_signals) {
        if (s->m_freeze)
            continue;
        if (s->m_count != depth)
            return false;
        for (int32_t i = 0; i < depth; ++i) {
            if (s->m_samples[i] != s->Extract(coresim::PatternWord(id, static_cast<uint32_t>(i))))
                return false;
        }
    }
    return true;
}

TEST(HandOffLoopback, CaptureFromTheSimulatedCoreReachesTheSignals)
{
    coresim::CoreOptions options;
    options.address = "127.0.0.1";
    options.discoveryPort = 0;   // no discovery: the link is given the core
    options.capturePort = 0;
    coresim::CoreSimulator core(options);
    ASSERT_TRUE(core.Start()) << core.LastError();

    CCaptureLink link;
    link.SetCore("127.0.0.1", core.CapturePort());
    link.Start();

    CVexlarDoc doc;
    CSignal* bus = doc.AppendNewSignal();   // bits 1-8 of the pattern
    bus->m_name = QStringLiteral("bus");
    bus->m_numBits = 8;
    bus->m_firstBit = 1;
    bus->UpdateMask();
    CSignal* sine = doc.AppendNewSignal();   // bits 12-23
    sine->m_numBits = 12;
    sine->m_firstBit = 12;
    sine->UpdateMask();
    CSignal* frozen = doc.AppendNewSignal();
    frozen->m_freeze = true;

    // Live: every copy is one whole capture, whichever arrived last.
    int32_t last = 0;
    int copies = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (copies < 3 && std::chrono::steady_clock::now() < deadline) {
        if (HandOffCapture(link, doc, last)) {
            ++copies;
            bool matched = false;
            for (int ahead = 0; ahead < 4 && !matched; ++ahead)   // a newer capture may have been copied
                matched = MatchesCapture(doc, static_cast<uint16_t>(last + ahead), 4096);
            EXPECT_TRUE(matched) << "copy " << copies << " of capture " << last;
            EXPECT_EQ(doc.m_triggerPos, 2048);
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(copies, 3);

    // Stopped: the front capture is fixed, and it is exactly what the signals get.
    link.StopAndWait();
    core.Stop();
    const int32_t front = link.FrontCaptureId();
    ASSERT_NE(front, 0);
    last = front - 1;
    ASSERT_TRUE(HandOffCapture(link, doc, last));
    EXPECT_TRUE(MatchesCapture(doc, static_cast<uint16_t>(front), 4096));
    EXPECT_EQ(frozen->m_count, 0);
    EXPECT_FALSE(HandOffCapture(link, doc, last));
}

}   // namespace
