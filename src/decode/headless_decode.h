// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding a saved document without a display:
//   vexlar --decode DECODER:KEY=VALUE[:KEY=VALUE...][,DECODER...] [--samplerate HZ] IN.VEXLAR
// prints one line per annotation, "START-END DECODER: CLASS: TEXT" (sample
// numbers, the decoder's longest text), in the order the decoders give them.

#include <cstdint>

#include <QStringList>

// True when the arguments (after the program name) ask for a headless decode.
bool IsHeadlessDecodeRequest(const QStringList& args);

// Runs it. Returns 0 on success; 2 for bad arguments or a bad decoder line, 1 when
// the document cannot be read or the decode fails (message on standard error).
int RunHeadlessDecode(const QStringList& args);

// Reads a sample rate of at least 1 Hz as the rest of the program does
// ("1000000", "1e6", "12.5M", "100MHz"); false for anything else.
bool ParseSamplerate(const QString& text, uint64_t& hz);
