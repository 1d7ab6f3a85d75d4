// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Undoable edits of a document's decoder rows (add, delete, rename, reorder,
// duplicate, settings). Each edit records the rows before and after it: the
// list is a few short texts per row, so a copy is cheaper and safer than
// recording each kind of change.

#include <vector>

#include <QString>

#include "document/decoder_row.h"

class CVexlarDoc;

namespace DecoderRowEdits {

// Gives the document `rows` as one edit named `text` ("Add Decoder", ...), on
// its undo stack. False, and nothing recorded, when the rows are the same.
bool SetRows(CVexlarDoc& doc, std::vector<CDecoderRowConfig> rows, const QString& text);

// The row commands; each is one edit, false (nothing recorded) when it
// changes nothing or `index` names no row.
bool Add(CVexlarDoc& doc, const CDecoderRowConfig& row);
bool Replace(CVexlarDoc& doc, size_t index, const CDecoderRowConfig& row);   // the row's settings
bool Rename(CVexlarDoc& doc, size_t index, const QString& name);
bool Duplicate(CVexlarDoc& doc, size_t index);   // the copy goes right after it and takes the selection
bool Delete(CVexlarDoc& doc, size_t index);
bool Move(CVexlarDoc& doc, size_t index, int delta);   // -1 up, +1 down

}   // namespace DecoderRowEdits
