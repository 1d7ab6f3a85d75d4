// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of the Signals menu that change a document's signal list:
// Add..., Delete Selected, Freeze Selected and Duplicate Selected. They act on
// the signals whose m_selected flag is set. A command that changes the list
// or a signal is recorded for Undo (which marks the document modified) and
// moves its revision so that its views repaint.

#include <functional>
#include <stdexcept>

class CSignal;
class CVexlarDoc;

// A command would give the document more signals than it may hold
// (CVexlarDoc::kMaxSignals), so more than the loader would open again. The
// text says so; the document is left as it was.
class CSignalLimitError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens the properties of a new signal; true when the user confirmed them.
// The application passes EditSignalProperties; tests may pass their own.
using SignalEditor = std::function<bool(CSignal&)>;

// Creates a default signal of the document, lets `edit` set it up and appends
// it at the end of the list when `edit` returns true (otherwise it is
// discarded). Returns whether a signal was added. A full document throws
// CSignalLimitError before anything is asked.
bool AddSignal(CVexlarDoc& doc, const SignalEditor& edit);

// Removes and destroys every selected signal; the others keep their order.
// Returns the number removed.
int DeleteSelectedSignals(CVexlarDoc& doc);

// Freezes every selected signal (never unfreezes). Returns the number of
// signals that were not frozen before.
int FreezeSelectedSignals(CVexlarDoc& doc);

// Puts a live copy directly under every selected signal and freezes the
// original, so the original keeps its capture while the copy follows new
// ones. Both stay selected. Returns the number of copies made. When the copies
// would not fit the document, throws CSignalLimitError and copies nothing.
int DuplicateSelectedSignals(CVexlarDoc& doc);
