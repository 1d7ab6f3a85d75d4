// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The widths of bit field that the exports write. A field is 1 to 4096 bits
// wide (bits from 32 upward of the 32-bit sample word read as 0); every
// export writes such a field whole. A wider or empty field (possible only in
// a file) stops the export before anything is written, with a message that
// names the signal, instead of an invalid or cut file.

#include <stdexcept>

class CSignal;
class CVexlarDoc;

class CExportFieldError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws CExportFieldError when the signal's width is outside 1..4096.
void CheckExportField(const CSignal& signal);
// The same for every signal of the document that the export writes: every
// signal, or every signal except the spectrum ones.
void CheckExportFields(const CVexlarDoc& doc, bool withSpectrumSignals);
