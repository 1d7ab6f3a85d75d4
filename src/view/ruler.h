// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CRuler draws a labelled scale along one edge of a rectangle: the time rulers
// above the traces, the value scale of analog rows, the dB scales and the
// frequency axis of spectrum rows. Tick values are 1, 2 or 5 times a power of
// ten (RulerTicks); each label is centred on its tick over a small triangular
// marker, and minor ticks are added when there is room.

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

#include "model/geometry.h"

class CDrawContext;

class CRuler {
public:
    virtual ~CRuler() = default;

    // Label text of a tick value.
    virtual QString FormatLabel(double value) const;

    void ComputeTicks(int32_t a, int32_t b, double first, double last, int32_t spacing,
                      std::vector<double>& majorValues, std::vector<int32_t>& majorPositions,
                      std::vector<int32_t>& minorPositions) const;

    // Scale along the top edge of rect (above = true, ticks and labels above
    // it) or its bottom edge (above = false, below it); first lies at
    // rect.left and last at rect.right. Leaves the text alignment left-top.
    void DrawHorizontal(CDrawContext& dc, const GdiRect& rect, double first, double last, bool above) const;
    // Scale along the left edge (left = true, outside to the left) or the
    // right edge; first lies at rect.bottom and last at rect.top. Labels are
    // placed for the alignment the context has; the text colour stays the
    // ruler's.
    void DrawVertical(CDrawContext& dc, const GdiRect& rect, double first, double last, bool left) const;

    // The label font: face with a character height of `height` logical units,
    // turned counter-clockwise by angle degrees.
    static GdiRect MeasureLabelText(CDrawContext& dc, const QString& text, int height, const QString& face, int angle);
    static void DrawLabelText(CDrawContext& dc, const QString& text, int x, int y, int height, const QString& face,
                              int angle);

    QColor m_textColor = QColor(255, 255, 255);    // labels, markers, midpoint ticks, grid
    QColor m_minorColor = QColor(200, 200, 225);   // minor ticks
    bool m_absLabels = false;
    bool m_horizontalLabels = false;   // vertical ruler: unrotated labels, spacing by font height
    // Vertical ruler with unrotated labels: a label that would overlap this
    // box (the row's name beside the scale) is left out; its tick stays.
    // Empty: every label is drawn.
    GdiRect m_keepClear{};
    int32_t m_fontHeight = 11;
    int32_t m_tickLength = 5;
    bool m_gridLines = false;
    bool m_snapTicks = false;   // values that are not whole numbers (RulerTicks::ComputeTicks)
};
