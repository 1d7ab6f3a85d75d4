// SPDX-License-Identifier: GPL-3.0-or-later
// The demo document's rows take the demo core's fields out of its sample
// words: the same pattern the simulated core sends.

#include <gtest/gtest.h>

#include <vector>

#include "acquisition/capture_frame.h"
#include "core_simulator.h"
#include "document/capture_handoff.h"
#include "document/demo_document.h"
#include "document/vexlar_doc.h"

namespace {

const CSignal* Row(const CVexlarDoc& doc, const char* name)
{
    for (const CSignal* s : doc.m_signals) {
        if (s->m_name == QLatin1String(name))
            return s;
    }
    return nullptr;
}

TEST(DemoDocument, EveryRowKindOverTheDemoCoresFields)
{
    CVexlarDoc doc;
    doc.SetModifiedFlag(false);
    DemoDocument::Fill(doc);
    EXPECT_EQ(doc.m_sampleRate, DemoDocument::kSampleRate);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.m_undo.CanUndo());
    ASSERT_EQ(doc.m_signals.front()->m_name, QStringLiteral("all_bits"));
    EXPECT_EQ(doc.m_signals.front()->m_numBits, 32);

    // One capture of the demo pattern.
    constexpr uint32_t kDepth = 4096;
    std::vector<uint8_t> words(kDepth * 4);
    for (uint32_t i = 0; i < kDepth; ++i) {
        const uint32_t w = coresim::PatternWord(3, i);
        for (int b = 0; b < 4; ++b)
            words[i * 4 + b] = static_cast<uint8_t>(w >> (8 * b));
    }
    CaptureFrame frame;
    frame.words = words.data();
    frame.capacityBytes = static_cast<int32_t>(words.size());
    frame.depth = kDepth;
    frame.bitsPerSample = 32;
    CopyCaptureIntoDocument(frame, doc);

    const CSignal* clk = Row(doc, "clk");
    const CSignal* count = Row(doc, "count");
    const CSignal* bus = Row(doc, "bus");
    const CSignal* uart = Row(doc, "uart_tx");
    const CSignal* strobe = Row(doc, "strobe");
    const CSignal* sine = Row(doc, "sine");
    const CSignal* spectrum = Row(doc, "sine_spectrum");
    ASSERT_TRUE(clk && count && bus && uart && strobe && sine && spectrum);
    for (uint32_t i = 0; i < kDepth; i += 97) {
        EXPECT_EQ(clk->m_samples[i], i & 1u) << i;
        EXPECT_EQ(count->m_samples[i], i & 0xFFu) << i;
        EXPECT_EQ(bus->m_samples[i], ((i >> 4) + 3) & 0xFFu) << i;
        EXPECT_EQ(strobe->m_samples[i], (i & 0xFFu) == 0 ? 1u : 0u) << i;
        EXPECT_GE(sine->m_samples[i], 48u) << i;
        EXPECT_LE(sine->m_samples[i], 4048u) << i;
    }
    // The serial line: "V" as 8N1 at 16 samples per bit, read mid-bit.
    EXPECT_EQ(uart->m_samples[8], 0u) << "start bit";
    uint32_t byte = 0;
    for (int bit = 0; bit < 8; ++bit)
        byte |= uart->m_samples[16 * (bit + 1) + 8] << bit;
    EXPECT_EQ(byte, uint32_t('V'));
    EXPECT_EQ(uart->m_samples[16 * 9 + 8], 1u) << "stop bit";

    EXPECT_EQ(clk->m_numBits, 1);
    EXPECT_TRUE(sine->m_analog);
    EXPECT_FALSE(sine->m_spectrum);
    EXPECT_TRUE(spectrum->m_spectrum);
    EXPECT_EQ(spectrum->m_sampleFreq, DemoDocument::kSampleRate);
    EXPECT_EQ(DemoDocument::kSerialBaud, 115200.0);
}

}   // namespace
