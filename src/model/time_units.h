// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times and frequencies as the user reads them once a document has a sample
// rate: sample indices become seconds, shown in s, ms, us or ns, and the
// reciprocal of a time span becomes a frequency in Hz, kHz, MHz or GHz. Plain
// functions: the rulers, the marker read-out, the measurements and the
// command line share them.

#include <QString>

namespace TimeUnits {

// The sample rates a document accepts, in Hz. Below the lower end a sample
// spans hours (the exports' time stamps would overflow); above the upper end
// a sample is shorter than a picosecond.
constexpr double kMinSampleRate = 0.01;
constexpr double kMaxSampleRate = 1e12;

// True for a rate the document can take: finite and within the limits above.
bool IsValidSampleRate(double hz);

// Reads a sample rate typed by the user: a number with an optional SI prefix
// (k, M, G; also K for kilo) and an optional "Hz", spaces allowed between
// them: "100000000", "100e6", "100M", "100 MHz", "48kHz", "1.5 GHz". An
// empty text gives 0 (no rate) when `allowEmpty` is set. Returns false, with
// `hz` untouched, for anything else or a rate outside the limits.
bool ParseSampleRate(const QString& text, double& hz, bool allowEmpty = false);

// A unit of time for a whole axis or read-out.
struct TimeUnit {
    const char* suffix;   // "s", "ms", "us", "ns"
    double seconds;       // length of one unit
};

// The unit in which `magnitude` seconds reads as a number from 1 to below
// 1000 (s above, ns below that range; 0 gives s).
TimeUnit UnitFor(double magnitude);

// `seconds` in `unit` with up to `maxDecimals` decimals, trailing zeros and
// a trailing point dropped, then a space and the unit: "1.25 us", "-40 ns".
QString FormatInUnit(double seconds, const TimeUnit& unit, int maxDecimals = 6);

// A time on its own, in the unit that suits its size, with at most
// `significant` significant digits: 0.00000125 -> "1.25 us".
QString FormatTime(double seconds, int significant = 6);

// A frequency in Hz, kHz, MHz or GHz with at most `significant` significant
// digits: 2500000 -> "2.5 MHz". Not finite or not positive: "-".
QString FormatFrequency(double hz, int significant = 6);

// A sample rate as the user types it back: 100000000 -> "100 MHz",
// 0 -> "" (no rate).
QString FormatSampleRate(double hz);

}   // namespace TimeUnits
