// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document's capture as a VHDL testbench: every signal declared, the
// first one driven with the captured samples one per rising clock edge, the
// others derived from it as bit slices. The clock period is the document's
// sample period (10 ns when it has no sample rate). The output is valid VHDL for every
// radix and width: the literal forms that a simulator would reject are
// replaced by binary string literals, and names that are not valid basic
// identifiers become extended identifiers.

#include <string>

#include <QString>

class CSignal;
class CTextOutput;
class CVexlarDoc;

// Writes the testbench. An empty signal list writes the lines up to the slice
// assignments and then throws CInvalidArgumentException.
void WriteVhdlTestbench(const CVexlarDoc& doc, CTextOutput& out);
void ExportVhdlTestbench(const CVexlarDoc& doc, const QString& path);   // also CFileAccessException

// The identifier a name is written as (Windows-1252): the name itself when it
// is a valid basic identifier and not reserved, otherwise \name\ with
// backslashes doubled and characters VHDL cannot hold replaced by '?'; an
// empty name is \unnamed\ (an extended identifier cannot be empty).
std::string VhdlIdentifier(const QString& name);

// A VHDL time literal for `seconds`, rounded to whole femtoseconds (at least
// one) and written in the largest unit that holds it whole: 5e-9 -> "5 ns",
// 1.0416667e-8 -> "10416667 fs", 0.5 -> "500 ms".
std::string VhdlTimeLiteral(double seconds);
