// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The three colour themes of the signal rows (0 yellow, 1 green, 2 cyan) and
// the text colours used with them. An index outside 0..2 is clamped into the
// table, never read out of bounds.

#include <QColor>

namespace ThemeColors {

constexpr int kThemeCount = 3;

QColor SelectedFill(int theme);   // bodies of selected rows; swatch fill
QColor SelectedLine(int theme);   // pens and dense blocks of selected rows; swatch outline
QColor PrintFill(int theme);      // printed bus bodies
QColor PrintLine(int theme);      // printed bus and analog pens
QColor NormalFill(int theme);     // bodies of other rows
QColor NormalLine(int theme);     // pens and dense blocks of other rows

QColor SelectedText();   // text of a selected row (screen)
QColor NormalText();     // text of other rows (screen)

int Clamp(int theme);

}   // namespace ThemeColors
