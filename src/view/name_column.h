// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The name column of a signal row: the name at the top left, and for a bus
// with per-bit rows the bit numbers, most significant first, right-aligned
// against the trace area. The double-click target of the name is the row's
// label rectangle in the window's row layout.

class CDrawContext;
class CSignal;

// Screen: the column is 100 pixels wide; y is the row's top. On paper (a
// printed page of the window) the texts are black.
void DrawNameColumn(CDrawContext& dc, const CSignal& signal, int y, bool paper = false);
// Printing: the column is 300 units wide; bit numbers are drawn for every
// expanded multi-bit signal that is not analog (a printed spectrum row is a
// digital one).
void DrawPrintNameColumn(CDrawContext& dc, const CSignal& signal, int y);
