// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/demo_document.h"

#include <string>

#include "document/vexlar_doc.h"

namespace DemoDocument {

namespace {

CSignal* AddField(CVexlarDoc& doc, const char* name, int32_t firstBit, int32_t numBits, int32_t theme)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_name = QString::fromLatin1(name);
    s->m_firstBit = firstBit;
    s->m_numBits = numBits;
    s->m_colorTheme = theme;
    s->m_expanded = false;
    s->UpdateMask();
    return s;
}

}   // namespace

void Fill(CVexlarDoc& doc)
{
    doc.RemoveAllSignals();
    AddField(doc, "all_bits", 0, 32, 2);

    AddField(doc, "clk", 0, 1, 0);
    AddField(doc, "count", 24, 8, 1)->m_radix = Unsigned;
    AddField(doc, "bus", 1, 8, 2);
    AddField(doc, "uart_tx", 9, 1, 1);
    AddField(doc, "strobe", 10, 1, 0);

    CSignal* sine = AddField(doc, "sine", 12, 12, 2);
    sine->m_analog = true;
    sine->m_min = 0;
    sine->m_max = 4095;
    sine->m_radix = Unsigned;

    CSignal* spectrum = AddField(doc, "sine_spectrum", 12, 12, 1);
    spectrum->m_spectrum = true;
    spectrum->m_sampleFreq = kSampleRate;
    spectrum->m_radix = Unsigned;

    doc.m_sampleRate = kSampleRate;
    // The serial line decoded from the start; the row keeps the demo core's
    // rate, so a --samplerate given for the document does not break it.
    CDecoderRowConfig serial;
    serial.name = QStringLiteral("Serial");
    serial.decoderLine = "uart:rx=uart_tx:baudrate=" + std::to_string(static_cast<int64_t>(kSerialBaud));
    serial.samplerate = static_cast<uint64_t>(kSampleRate);
    doc.m_decoderRows.assign(1, serial);
    doc.m_undo.Clear();
    doc.BumpRevision();
}

}   // namespace DemoDocument
