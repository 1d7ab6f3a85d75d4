#pragma once
// The document's capture as a VHDL testbench: every signal declared, the
// first one driven with the captured samples one per rising clock edge, the
// others derived from it as bit slices. The output is valid VHDL for every
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
