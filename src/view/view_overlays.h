// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the view draws over its rows for the engineer at work: the values of
// the rows beside their names (at the value cursor, or at the markers), the
// pulse measurements at the pointer on a one-bit row, and the place where a
// dragged name would land. Plain drawing functions over the window's layout;
// the view decides when each is shown.

#include <QString>

#include "model/geometry.h"
#include "view/row_layout.h"

class CDrawContext;
class CSignal;
class QPainter;

// The value of a signal at a sample in its radix, or "" outside its samples.
QString RowValueText(const CSignal& signal, int sample);

// Beside every row's name: its value at `sampleA`, or with `sampleB` not
// negative both values ("x12 | x34", the values at M1 and M2). A sample
// below 0 shows nothing for it. The text stands at the right of the name
// column (on the name's line for a one-bit row, under the name for a taller
// one) on a dark box, and runs on over the trace when it is wider.
void DrawRowValues(CDrawContext& dc, const CRowLayout& layout, int sampleA, int sampleB);

// The pulse, period, frequency and duty cycle around `sample` of a one-bit
// row, in a read-out box beside the pointer kept inside `bounds`. Nothing
// when the capture shows no whole figure there.
void DrawPulseMeasurement(CDrawContext& dc, const CSignal& signal, int sample, double sampleRate, GdiPoint pointer,
                          const GdiRect& bounds);

// The line where a dragged name would be put: across the window at y.
void DrawNameDropLine(QPainter& painter, int y, int width);
