// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A printed page of a window: the window's picture drawn again by the same
// row layout and row drawers, on white paper, scaled so that the window's
// width fills the page's width. Above it a title line (the document's name
// and the date); below it the rulers, the rows the page has room for (from
// the window's first row on, at the window's zoom and position), and the
// trigger and marker lines. Printing reads the document and writes nothing
// into it (the spectra are those the signals hold).

#include <QRect>
#include <QString>

class CVexlarDoc;
class CViewport;
class QPainter;

// Height of the title line, in window pixels.
constexpr int kPageTitleHeight = 28;

// Draws the page into `page` (device coordinates of the painter's target).
// `window` is the window's viewport; `title` the text of the title line.
void PaintPage(QPainter& painter, const QRect& page, const CVexlarDoc& doc, const CViewport& window,
               const QString& title);
