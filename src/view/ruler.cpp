// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/ruler.h"

#include <algorithm>

#include "model/ruler_ticks.h"
#include "view/draw_context.h"

namespace {
const QString kLabelFace = QStringLiteral("Verdana");
}

QString CRuler::FormatLabel(double value) const
{
    return RulerTicks::FormatLabel(value, m_absLabels);
}

void CRuler::ComputeTicks(int32_t a, int32_t b, double first, double last, int32_t spacing,
                          std::vector<double>& majorValues, std::vector<int32_t>& majorPositions,
                          std::vector<int32_t>& minorPositions) const
{
    RulerTicks::ComputeTicks(a, b, first, last, spacing, majorValues, majorPositions, minorPositions, m_snapTicks);
}

GdiRect CRuler::MeasureLabelText(CDrawContext& dc, const QString& text, int height, const QString& face, int angle)
{
    const QFont previous = dc.Font();
    const int previousEscapement = dc.Escapement();
    dc.SelectFont(CDrawContext::HeightFont(face, height), angle * 10);
    const GdiRect r = dc.MeasureText(text);
    dc.SelectFont(previous, previousEscapement);
    return r;
}

void CRuler::DrawLabelText(CDrawContext& dc, const QString& text, int x, int y, int height, const QString& face,
                           int angle)
{
    const QFont previous = dc.Font();
    const int previousEscapement = dc.Escapement();
    dc.SelectFont(CDrawContext::HeightFont(face, height), angle * 10);
    dc.TextOut(x, y, text);
    dc.SelectFont(previous, previousEscapement);
}

void CRuler::DrawHorizontal(CDrawContext& dc, const GdiRect& rect, double first, double last, bool above) const
{
    CDCStateGuard guard(dc);
    const int edge = above ? rect.top : rect.bottom;
    const int out = above ? -1 : 1;

    const GdiRect firstBox = MeasureLabelText(dc, FormatLabel(first), m_fontHeight, kLabelFace, 0);
    const GdiRect lastBox = MeasureLabelText(dc, FormatLabel(last), m_fontHeight, kLabelFace, 0);
    const int spacing = 4 * std::max(firstBox.right, lastBox.right);

    dc.SelectPen(m_textColor, 1);
    dc.SetTextColor(m_textColor);

    std::vector<double> values;
    std::vector<int32_t> majors;
    std::vector<int32_t> minors;
    ComputeTicks(rect.left, rect.right, first, last, spacing, values, majors, minors);

    dc.SelectPen(m_minorColor, 1);
    if (minors.size() >= 2 && std::abs(minors[1] - minors[0]) > 5) {
        for (const int32_t x : minors) {
            dc.MoveTo(x, edge);
            dc.LineTo(x, edge + out * m_tickLength);
        }
    }

    dc.SelectPen(m_textColor, 1);
    for (size_t i = 1; i < majors.size(); ++i) {
        const int x = (majors[i - 1] + majors[i]) / 2;
        dc.MoveTo(x, edge);
        dc.LineTo(x, edge + out * m_tickLength);
    }

    dc.SetTextAlign(TextAlign::LeftTop);
    for (size_t i = 0; i < majors.size(); ++i) {
        const int x = majors[i];
        const QString label = FormatLabel(values[i]);
        const GdiRect box = MeasureLabelText(dc, label, m_fontHeight, kLabelFace, 0);
        const int y = above ? edge - m_tickLength - box.bottom : edge + m_tickLength - box.top;
        DrawLabelText(dc, label, x - (box.left + box.right) / 2, y, m_fontHeight, kLabelFace, 0);
        for (int s = 0; s < m_tickLength; ++s) {
            dc.MoveTo(x + s, edge + out * s);
            dc.LineTo(x - s - 1, edge + out * s);
        }
        if (m_gridLines) {
            dc.MoveTo(x, rect.top);
            dc.LineTo(x, rect.bottom);
        }
    }
}

void CRuler::DrawVertical(CDrawContext& dc, const GdiRect& rect, double first, double last, bool left) const
{
    const int edge = left ? rect.left : rect.right;
    const int out = left ? -1 : 1;

    const GdiRect firstBox = MeasureLabelText(dc, FormatLabel(first), m_fontHeight, kLabelFace, 0);
    const GdiRect lastBox = MeasureLabelText(dc, FormatLabel(last), m_fontHeight, kLabelFace, 0);
    const int base = m_horizontalLabels ? m_fontHeight : std::max(firstBox.right, lastBox.right);
    const int spacing = 4 * base;

    const QPen previousPen = dc.Pen();
    dc.SelectPen(m_textColor, 1);
    dc.SetTextColor(m_textColor);

    std::vector<double> values;
    std::vector<int32_t> majors;
    std::vector<int32_t> minors;
    ComputeTicks(rect.bottom, rect.top, first, last, spacing, values, majors, minors);

    const auto shortTick = [&](int y) {
        if (left) {
            dc.MoveTo(edge - m_tickLength, y);
            dc.LineTo(edge, y);
        } else {
            dc.MoveTo(edge, y);
            dc.LineTo(edge + m_tickLength, y);
        }
    };

    dc.SelectPen(m_minorColor, 1);
    for (const int32_t y : minors)
        shortTick(y);

    dc.SelectPen(m_textColor, 1);
    for (size_t i = 1; i < majors.size(); ++i)
        shortTick((majors[i - 1] + majors[i]) / 2);

    for (size_t i = 0; i < majors.size(); ++i) {
        const int y = majors[i];
        const QString label = FormatLabel(values[i]);
        const GdiRect box = MeasureLabelText(dc, label, m_fontHeight, kLabelFace, 0);
        if (!m_horizontalLabels) {
            const int x = left ? rect.left - box.bottom - m_tickLength : rect.right + box.top + m_tickLength;
            DrawLabelText(dc, label, x, y + (box.left + box.right) / 2, m_fontHeight, kLabelFace, 90);
        } else {
            const int x = left ? rect.left - box.right - m_tickLength - 1 : rect.right + box.left + m_tickLength + 1;
            const int top = y - (box.top + box.bottom) / 2;
            const GdiRect& clear = m_keepClear;
            const bool overlaps = clear.left < clear.right && clear.top < clear.bottom && x + box.left < clear.right &&
                                  clear.left < x + box.right && top + box.top < clear.bottom &&
                                  clear.top < top + box.bottom;
            if (!overlaps)
                DrawLabelText(dc, label, x, top, m_fontHeight, kLabelFace, 0);
        }
        for (int s = 0; s < m_tickLength; ++s) {
            dc.MoveTo(edge + out * s, y + s);
            dc.LineTo(edge + out * s, y - s - 1);
        }
        if (m_gridLines) {
            dc.MoveTo(rect.left, y);
            dc.LineTo(rect.right, y);
        }
    }
    dc.SetPen(previousPen);
}
