// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Value Change Dump of the document, the format that GTKWave, PulseView and
// sigrok read: one variable per signal except spectrum signals (a wire of one
// bit, or a vector of m_numBits bits written as b-values), one sample per
// time step, only changes written. The time step is one sample period of the
// document's sample rate, or without one of the first signal's sample
// frequency.

#include <cstdint>
#include <string>

#include <QString>

class CTextOutput;
class CVexlarDoc;

void WriteVcd(const CVexlarDoc& doc, CTextOutput& out);
void ExportVcd(const CVexlarDoc& doc, const QString& path);   // throws CFileAccessException

// The identifier code of variable `index`: printable ASCII 33..126, as many
// characters as needed, unique for every index.
std::string VcdIdentifierCode(uint64_t index);

// Timescale unit text ("1 ns", ...) and the number of units per sample for a
// sample frequency in Hz (not finite or not positive: 1 Hz).
void VcdTimeStep(double sampleFreq, std::string& timescale, uint64_t& unitsPerSample);
