// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the measurements the view shows: the pulse and cycle around
// the pointer on a one-bit row, and the edges of the selected one-bit rows
// between the two markers. In samples, or with a sample rate in time and
// frequency.

#include <cstdint>

#include <QStringList>

#include "model/signal.h"
#include "model/signal_search.h"

// Lines for the pulse and cycle around a sample, e.g. with a rate:
//   "High pulse: 1.5 us", "Period: 5 us", "Frequency: 200 kHz", "Duty cycle: 30%"
// and without one "High pulse: 3 samples", "Period: 10 samples",
// "Frequency: 0.1 per sample", "Duty cycle: 30%". A figure the capture does
// not show whole is left out; nothing at all for a sample outside it.
QStringList MeasurementLines(const SignalSearch::PulseMeasurement& m, double sampleRate);

// One line per selected one-bit signal with its rising and falling edges
// between the markers ("clk: 12 rising, 12 falling"), at most `maxLines`
// (then a last line "..."); nothing unless both markers are set.
QStringList EdgeCountLines(const SignalList& list, int32_t marker1, int32_t marker2, int maxLines = 8);
