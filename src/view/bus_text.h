// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The value text inside a bus box: the whole text whenever it fits between
// the box's crossings, otherwise its leading characters followed by "..."
// while at least one character and the dots fit, and nothing in a box too
// narrow for that. Measured in the context's current font, so the screen
// and the printed page each fit their own text.

#include <QString>

class CDrawContext;

// Room the crossings and a small margin take from a box of width `boxWidth`
// (in the context's units): the text may be as wide as the rest.
constexpr int kBusTextMargin = 8;

QString FitBusText(const CDrawContext& dc, const QString& text, int boxWidth);
