// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/view_overlays.h"

#include <QPainter>

#include <algorithm>

#include "model/measurement_text.h"
#include "model/signal.h"
#include "model/signal_search.h"
#include "view/draw_context.h"
#include "view/trace_draw.h"

namespace {

const QColor kValueBox(0, 0, 0, 200);
const QColor kValueText(255, 255, 160);

}   // namespace

QString RowValueText(const CSignal& signal, int sample)
{
    if (sample < 0 || sample >= signal.m_count || signal.m_samples == nullptr)
        return QString();
    return signal.FormatValue(signal.m_samples[sample]);
}

void DrawRowValues(CDrawContext& dc, const CRowLayout& layout, int sampleA, int sampleB)
{
    CDCStateGuard guard(dc);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
    dc.SetTextAlign(TextAlign::LeftTop);
    dc.SetTextColor(kValueText);
    for (const RowBox& row : layout.Rows()) {
        const CSignal& s = *row.signal;
        QString text = RowValueText(s, sampleA);
        if (sampleB >= 0) {
            const QString second = RowValueText(s, sampleB);
            if (!text.isEmpty() || !second.isEmpty())
                text = (text.isEmpty() ? QStringLiteral("-") : text) + QStringLiteral(" | ") +
                       (second.isEmpty() ? QStringLiteral("-") : second);
        }
        if (text.isEmpty())
            continue;
        const GdiRect box = dc.MeasureText(text);
        const int width = box.right;
        const int height = box.bottom;
        const int right = row.label.right - 4;
        // A one-bit row has room for one line only: the value shares it with
        // the name. Taller rows show it under the name.
        const int top = row.height < 26 ? row.top + 2 : row.top + 14;
        const int left = width <= right - 2 ? right - width : 2;
        dc.Painter().fillRect(QRect(left - 2, top, width + 4, height), kValueBox);
        dc.TextOut(left, top, text);
    }
}

void DrawPulseMeasurement(CDrawContext& dc, const CSignal& signal, int sample, double sampleRate, GdiPoint pointer,
                          const GdiRect& bounds)
{
    const QStringList lines = MeasurementLines(SignalSearch::MeasureAround(signal, sample), sampleRate);
    if (lines.isEmpty())
        return;
    DrawLabelBox(dc, lines.join(QLatin1Char('\n')), pointer.x, pointer.y, bounds);
}

void DrawNameDropLine(QPainter& painter, int y, int width)
{
    painter.fillRect(QRect(0, y - 1, width, 3), QColor(255, 255, 127, 200));
}
