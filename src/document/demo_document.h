// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document that `--demo` opens: one row of every kind over the fields of
// the demo core's sample word, with a sample rate, so that a newcomer sees at
// once what the view can show.
//
// The demo core's word: bit 0 a clock that toggles every sample; bits 1-8 a
// bus that counts up every 16 samples; bit 9 a serial line (8N1, 16 samples
// per bit, repeating "Vexlar\r\n"); bit 10 a strobe on every 256th sample;
// bits 12-23 a 12-bit sine; bits 24-31 a counter of the samples.

class CVexlarDoc;

namespace DemoDocument {

// 1.8432 MHz: the serial line runs at 115200 baud, the clock at 921.6 kHz.
constexpr double kSampleRate = 1843200.0;
constexpr double kSerialBaud = kSampleRate / 16.0;

// Replaces the signals of `doc` with the demo rows and sets its sample rate.
// The first row stays the whole sample word (collapsed), the source of every
// other row.
void Fill(CVexlarDoc& doc);

}   // namespace DemoDocument
