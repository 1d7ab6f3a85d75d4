// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The colour swatch that stands for a signal's colour theme in the property
// grid: a black cell with a hexagon filled in the theme's dark colour and
// outlined in its bright colour. The colours are the ones selected rows of a
// theme are drawn with in the waveform view; they are kept here because the
// property layer does not depend on the view.

#include <QColor>
#include <QRect>
#include <QString>

class QPainter;

namespace ThemeSwatch {

constexpr int kThemeCount = 3;   // 0 yellow, 1 green, 2 cyan

// Colours of a theme 0..2; an index outside that range is clamped.
QColor Fill(int theme);
QColor Line(int theme);

// Paints the swatch for the theme named by `optionText` (decimal text, read
// with the text-to-long rule) into `cell`. A text that is not 0, 1 or 2
// paints nothing. The painter's pen, brush and font are left as they were.
void Draw(QPainter& painter, const QRect& cell, const QString& optionText);

}   // namespace ThemeSwatch
