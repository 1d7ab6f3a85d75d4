// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search commands of the Edit menu on a document: the next or previous
// edge of the selected one-bit signal, and the next or previous place where
// the selected bus holds a value. The search starts at marker M1 (or at the
// sample the caller gives when M1 is not set) and moves M1 to what it finds,
// as an edit that Undo takes back; the view then shows that place.

#include <cstdint>

#include "model/signal_search.h"

class CSignal;
class CVexlarDoc;

namespace SearchCommands {

// The signal an edge search acts on: the first selected one-bit signal.
CSignal* EdgeTarget(const CVexlarDoc& doc);
// The signal a value search acts on: the first selected signal of several
// bits, or else the first selected one.
CSignal* ValueTarget(const CVexlarDoc& doc);

// Returns the sample found and set as M1, or -1 when there is no target or
// nothing to find (M1 then stays where it was).
int32_t FindEdge(CVexlarDoc& doc, SignalSearch::Direction direction, int32_t from);
int32_t FindValue(CVexlarDoc& doc, SignalSearch::Direction direction, int32_t from, uint32_t value, uint32_t mask);

}   // namespace SearchCommands
