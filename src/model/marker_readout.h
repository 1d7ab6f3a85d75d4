// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lines of the marker read-out box: the marker positions and their
// distance, in samples, or with a sample rate in time together with the
// frequency whose period is that distance.

#include <cstdint>

#include <QStringList>

// Markers at -1 are not set. Without markers: no lines. One marker: its
// line. Two: M1, M2, the distance "D" (never negative) and, with a rate and
// a distance above 0, "1/D" as a frequency.
//   no rate:  "M1: 100", "M2: 350", "D: 250"
//   100 MHz:  "M1: 1 us", "M2: 3.5 us", "D: 2.5 us", "1/D: 400 kHz"
QStringList MarkerReadoutLines(int32_t marker1, int32_t marker2, double sampleRate);
