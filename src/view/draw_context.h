// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A drawing state kept over a QPainter for the view's drawers: a selected
// pen, brush and font, a text colour and a text alignment that persist
// between calls, lines whose end point is not drawn (so that a polyline's
// corners are drawn once), text placed by its top edge, and point fonts sized
// for the resolution of the target.
//
// All CDrawContext objects created on the same QPainter (on one thread) share
// one state: a row drawer that is handed only the QPainter builds its own
// CDrawContext on it and sees the font, text colour and alignment that the
// view selected.

#include <QColor>
#include <QFont>
#include <QPen>
#include <QBrush>
#include <QPoint>
#include <QString>

#include <memory>

#include "model/geometry.h"

class QPainter;

enum class TextAlign { LeftTop, CenterTop, RightTop };

class CDrawContext {
public:
    // logicalDpi: logical units per inch of the target, used by PointFont.
    // 96 on screen (a QImage's own DPI is not the screen's: fonts are sized in
    // pixels); 254 for a painter scaled to 0.1 mm units when printing.
    CDrawContext(QPainter& painter, double logicalDpi = 96.0, bool printing = false);
    ~CDrawContext();
    CDrawContext(const CDrawContext&) = delete;
    CDrawContext& operator=(const CDrawContext&) = delete;

    QPainter& Painter();
    bool IsPrinting() const;
    double LogicalDpi() const;

    // Solid rectangle; w, h as GDI: covers x..x+w-1, y..y+h-1. Negative
    // extents are normalised (printing fills with a negative height).
    void FillSolidRect(int x, int y, int w, int h, const QColor& c);

    // Aliased pen. Qt::DotLine is the GDI dotted pattern (3 on, 3 off).
    void SelectPen(const QColor& c, int width = 1, Qt::PenStyle style = Qt::SolidLine);
    QPen Pen() const;
    void SetPen(const QPen& pen);
    void SelectBrush(const QBrush& b);
    QBrush Brush() const;

    void MoveTo(int x, int y);
    QPoint CurrentPosition() const;
    void LineTo(int x, int y);   // GDI: the end point is not drawn

    void SetTextColor(const QColor& c);
    QColor TextColor() const;
    void SetTextAlign(TextAlign a);
    TextAlign GetTextAlign() const;

    // The selected font; escapement in tenths of a degree, counter-clockwise,
    // as a GDI font carries it (0 = horizontal text).
    void SelectFont(const QFont& f);
    void SelectFont(const QFont& f, int escapementTenths);
    QFont Font() const;
    int Escapement() const;

    // Text at a point with the current alignment, colour, font and
    // escapement; the background is transparent. (x, y) is the top edge of
    // the text at its left end, centre or right end by the alignment.
    void TextOut(int x, int y, const QString& text);

    // Multi-line text measurement in the current font (as DT_CALCRECT into an
    // empty rectangle at the origin): right = widest line, bottom = line
    // count * line height. Escapement does not change the measured box.
    GdiRect MeasureText(const QString& text) const;
    // Multi-line text drawn left-aligned into a rectangle, line breaks kept.
    void DrawText(const QString& text, const GdiRect& rect);

    // Tenths of a point converted to logical units at the
    // context's logical resolution (rounded), used as the character height.
    QFont PointFont(const QString& face, int tenthsOfPoint) const;
    // A font whose character height is `height` logical units.
    static QFont HeightFont(const QString& face, int height);

    struct State;

private:
    std::shared_ptr<State> m_state;
    QPainter* m_painter;
    bool m_owner;
};

// Remembers the pen, brush, font (with its escapement) and text colour of a
// context and puts them back when it goes out of scope, also on an exception.
// It leaves the text alignment and the current position alone.
class CDCStateGuard {
public:
    explicit CDCStateGuard(CDrawContext& dc);
    ~CDCStateGuard();
    CDCStateGuard(const CDCStateGuard&) = delete;
    CDCStateGuard& operator=(const CDCStateGuard&) = delete;

private:
    CDrawContext& m_dc;
    QPen m_pen;
    QBrush m_brush;
    QFont m_font;
    int m_escapement;
    QColor m_textColor;
};
