// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plain-text exports: one comma-separated table of the document, and the
// values of one signal, one per line. 8-bit Windows-1252 text, CR LF line
// ends, values through FormatValue so the text matches the view.

#include <QString>

class CSignal;
class CTextOutput;
class CVexlarDoc;

// Header of the names of every non-spectrum signal, then one row per sample
// up to the m_count of the last of them; a signal with fewer samples gives an
// empty field in the rows beyond its m_count. No such signal: empty file.
void WriteCsv(const CVexlarDoc& doc, CTextOutput& out);
void ExportCsv(const CVexlarDoc& doc, const QString& path);   // throws CFileAccessException

// A spectrum signal: its 2048 bins of the last computed spectrum in dB, as a
// standard stream writes a double. Any other: the value text of each sample.
void WriteSignalText(const CSignal& signal, CTextOutput& out);
void ExportSignalText(const CSignal& signal, const QString& path);   // throws CFileAccessException
