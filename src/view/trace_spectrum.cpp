// SPDX-License-Identifier: GPL-3.0-or-later
// Spectrum rows: the live power spectrum in dB with its peak hold, both dB
// scales, the frequency axis below the graph and the cross-hair read-out.

#include <QPaintDevice>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>

#include "model/signal.h"
#include "view/draw_context.h"
#include "view/ruler.h"
#include "view/theme_colors.h"
#include "view/trace_draw.h"
#include "view/unit_ruler.h"
#include "view/trace_internal.h"

using namespace trace_detail;

namespace {

constexpr int kBins = CSignal::kSpectrumBins;

QColor PeakLine(int theme)
{
    static const QColor colours[3] = {QColor(100, 100, 0), QColor(0, 110, 0), QColor(0, 110, 110)};
    return colours[(theme >= 0 && theme <= 2) ? theme : 0];
}

QColor PeakArea(int theme)
{
    static const QColor colours[3] = {QColor(20, 20, 0), QColor(0, 25, 0), QColor(0, 25, 25)};
    return colours[(theme >= 0 && theme <= 2) ? theme : 0];
}

struct BinMap {
    int top = 0;
    int bottom = 0;   // yb = y + H - 3
    int span = 0;     // H - 6
    double minDb = 0.0;
    double maxDb = 0.0;
    int width = 0;

    int X(int k) const { return static_cast<int>(100.0 + static_cast<double>(k) * width / 2047.0 + 0.5); }
    // A level to y, clamped to [top, bottom]. With no range (maxDb equal to
    // minDb) every point lies on the top edge; levels of minus infinity and
    // bins still at the peak-hold floor lie on the bottom edge.
    int Y(double d) const
    {
        if (maxDb == minDb)
            return top;
        const double yd = static_cast<double>(bottom) - (d - minDb) / (maxDb - minDb) * span;
        if (std::isnan(yd))
            return bottom;
        if (yd <= top)
            return top;
        if (yd >= bottom)
            return bottom;
        return static_cast<int>(yd);
    }
};

// A filled area under a curve: each pixel column takes the level of the next
// bin to its right and is one vertical line from the bottom up to it. Only
// the columns in [colMin, colMax] can show on the target.
void AreaLines(const BinMap& map, const double* levels, int colMin, int colMax, LineBatch& lines)
{
    int c = 100;
    for (int k = 0; k < kBins; ++k) {
        const int xk = map.X(k);
        const int yk = map.Y(levels[k]);
        if (yk != map.bottom) {
            const int to = std::min(xk - 1, colMax);
            for (int col = std::max(c, colMin); col <= to; ++col)
                lines.Add(col, map.bottom, col, yk);
        }
        c = xk;
    }
}

// The columns of the painter's target (with a margin), in its coordinates.
void VisibleColumns(QPainter& painter, int& colMin, int& colMax)
{
    colMin = INT_MIN;
    colMax = INT_MAX;
    const QPaintDevice* device = painter.device();
    bool invertible = false;
    const QTransform inverse = painter.combinedTransform().inverted(&invertible);
    if (device == nullptr || !invertible)
        return;
    QRectF area = inverse.mapRect(QRectF(0, 0, device->width(), device->height()));
    if (painter.hasClipping())
        area &= painter.clipBoundingRect();
    constexpr double kMargin = 4.0;
    colMin = static_cast<int>(std::clamp(std::floor(area.left()) - kMargin, -1.0e9, 1.0e9));
    colMax = static_cast<int>(std::clamp(std::ceil(area.right()) + kMargin, -1.0e9, 1.0e9));
}

void CurveLines(const BinMap& map, const double* levels, LineBatch& lines)
{
    int px = map.X(0);
    int py = map.Y(levels[0]);
    for (int k = 1; k < kBins; ++k) {
        const int x = map.X(k);
        const int y = map.Y(levels[k]);
        lines.Add(px, py, x, y);
        px = x;
        py = y;
    }
}

// Selects a one-pixel pen of the colour and draws the lines `add` produces.
template <typename Add>
void StrokeLines(CDrawContext& dc, const QColor& colour, Add add)
{
    dc.SelectPen(colour, 1);
    LineBatch lines(dc.Painter());
    add(lines);
    lines.Draw(dc.Painter());
}

}   // namespace

void FormatFrequency(double& f, QString& unit)
{
    if (f > 1000000.0) {
        f /= 1000000.0;
        unit = QStringLiteral("MHz");
    } else if (f > 1000.0) {
        f /= 1000.0;
        unit = QStringLiteral("kHz");
    } else {
        unit = QStringLiteral("Hz");
    }
}

void DrawLabelBox(CDrawContext& dc, const QString& text, int x, int y, const GdiRect& bounds)
{
    if (text.isEmpty())
        return;
    CDCStateGuard guard(dc);
    dc.SetTextAlign(TextAlign::LeftTop);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 90));
    dc.SetTextColor(QColor(255, 255, 255));
    const GdiRect size = dc.MeasureText(text);
    // Positions far outside any target (a point from a caller's arithmetic)
    // are kept where the sums below cannot overflow.
    auto near = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(1 << 29), 1 << 29)); };
    const int dx = near(int64_t(x) + 15);
    const int dy = near(int64_t(y) + 23);
    GdiRect r{size.left + dx, size.top + dy, size.right + dx, size.bottom + dy};
    if (r.right > bounds.right) {
        const int excess = near(int64_t(r.right) - bounds.right);
        r.left -= excess;
        r.right -= excess;
    }
    if (r.bottom > bounds.bottom) {
        const int excess = near(int64_t(r.bottom) - bounds.bottom);
        r.top -= excess;
        r.bottom -= excess;
    }
    dc.FillSolidRect(r.left - 3 + 1, r.top - 3 + 1, r.Width() + 6, r.Height() + 6, QColor(20, 20, 40));
    dc.DrawText(text, r);
}

int DrawSpectrum(QPainter& painter, const CSignal& signal, const TraceArgs& args)
{
    CDrawContext dc(painter);
    const int rowHeight = signal.GetRowHeight();
    const int height = DrawnHeight(rowHeight);
    const int y = args.y;
    // The graph: W = width - 20 from x = 100.
    const GdiRect rect = TraceRectOf(signal, args);
    const int w = rect.Width();
    const double minDb = signal.m_minDb;
    const double maxDb = signal.m_maxDb;
    const int theme = signal.m_colorTheme;
    const QColor currentLine = signal.m_selected ? ThemeColors::SelectedLine(theme) : ThemeColors::NormalLine(theme);
    const QColor currentArea = signal.m_selected ? ThemeColors::SelectedFill(theme) : ThemeColors::NormalFill(theme);
    const QPen previous = dc.Pen();
    dc.SelectPen(currentLine, 1);
    dc.SetTextColor(signal.m_selected ? ThemeColors::SelectedText() : ThemeColors::NormalText());
    dc.FillSolidRect(100, y, w, height, QColor(30, 30, 30));

    if (BandVisible(painter, y, y + height)) {
        BinMap map;
        map.top = y;
        map.bottom = y + height - 3;
        map.span = height - 6;
        map.minDb = minDb;
        map.maxDb = maxDb;
        map.width = w;
        int colMin = 0, colMax = 0;
        VisibleColumns(painter, colMin, colMax);
        StrokeLines(dc, PeakArea(theme), [&](LineBatch& b) { AreaLines(map, signal.m_peakHold, colMin, colMax, b); });
        StrokeLines(dc, PeakLine(theme), [&](LineBatch& b) { CurveLines(map, signal.m_peakHold, b); });
        StrokeLines(dc, currentArea, [&](LineBatch& b) { AreaLines(map, signal.m_spectrumDb, colMin, colMax, b); });
        StrokeLines(dc, currentLine, [&](LineBatch& b) { CurveLines(map, signal.m_spectrumDb, b); });
    }

    // The dB scales read across (spaced by the font's height) and the left
    // one and the frequency axis carry their units.
    dc.SetTextAlign(TextAlign::LeftTop);
    // Outside the graph: black on paper.
    const auto onPaper = [&](CRuler& ruler) {
        if (args.paper) {
            ruler.m_textColor = QColor(0, 0, 0);
            ruler.m_minorColor = QColor(90, 90, 90);
        }
    };
    CUnitRuler dbScale(QStringLiteral("dB"));
    dbScale.m_horizontalLabels = true;
    onPaper(dbScale);
    dbScale.m_keepClear = args.nameBox;
    dbScale.DrawVertical(dc, rect, minDb, maxDb, true);
    CRuler rightScale;
    rightScale.m_horizontalLabels = true;
    onPaper(rightScale);
    rightScale.DrawVertical(dc, rect, minDb, maxDb, false);
    double f = signal.m_sampleFreq * 0.5;
    QString unit;
    FormatFrequency(f, unit);
    CUnitRuler frequencyAxis(unit);
    onPaper(frequencyAxis);
    frequencyAxis.DrawHorizontal(dc, rect, 0.0, f, false);

    if (args.crossHair.x != 0 || args.crossHair.y != 0) {
        const int cx = args.crossHair.x;
        const int cy = args.crossHair.y;
        dc.SelectPen(QColor(255, 255, 255), 1, Qt::DotLine);
        dc.MoveTo(cx, rect.top);
        dc.LineTo(cx, rect.bottom);
        dc.MoveTo(rect.left, cy);
        dc.LineTo(rect.right, cy);
        // In floating point: a cursor far outside the row cannot overflow.
        double freq = (static_cast<double>(cx) - rect.left) / (static_cast<double>(rect.right) - rect.left) *
                      signal.m_sampleFreq * 0.5;
        QString freqUnit;
        FormatFrequency(freq, freqUnit);
        const double level = maxDb + (minDb - maxDb) * (static_cast<double>(cy) - rect.top) /
                                         (static_cast<double>(rect.bottom) - rect.top);
        const QString text = QString::asprintf("%.3f %s\n%.1f dB", freq, qPrintable(freqUnit), level);
        DrawLabelBox(dc, text, cx, cy, rect);
    }
    dc.SetPen(previous);
    return ClampedSum(int64_t(rowHeight) + 15);
}
