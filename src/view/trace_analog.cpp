// SPDX-License-Identifier: GPL-3.0-or-later
// Analog rows: a line graph of the sample values between m_min (bottom) and
// m_max (top) with a value ruler at its left, on screen and in print.
//
// With several samples per pixel each column is one vertical bar from its
// lowest to its highest point (or a joining line when they are equal); the
// extremes of a column come from the per-block summaries when the samples
// have been seen before, else from one pass over the column's samples.

#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

#include "model/signal.h"
#include "view/draw_context.h"
#include "view/ruler.h"
#include "view/theme_colors.h"
#include "view/trace_draw.h"
#include "view/trace_internal.h"

using namespace trace_detail;

namespace {

constexpr int64_t kPrefetchAhead = 8;

// Value to y: (y + H) - (v - m_min) / (m_max - m_min) * H, truncated and
// clamped to the graph; the difference v - m_min in 32-bit arithmetic. With
// m_max equal to m_min there is no finite position and every point lies on
// the top edge. In print (dir = -1) the graph hangs down from y.
struct ValueMap {
    int top = 0;
    int height = 0;
    int dir = 1;
    int32_t minValue = 0;
    double range = 1.0;
    SampleValueRule rule;

    static int32_t Diff(int32_t v, int32_t m)
    {
        return static_cast<int32_t>(static_cast<uint32_t>(v) - static_cast<uint32_t>(m));
    }
    int FromDiff(int32_t d) const
    {
        const int lo = dir > 0 ? top : top - height;
        const int hi = dir > 0 ? top + height : top;
        if (range == 0.0)
            return top;
        const double q = static_cast<double>(d) / range * static_cast<double>(height);
        double yd = dir > 0 ? static_cast<double>(top + height) - q : static_cast<double>(top - height) + q;
        if (!(yd >= lo))
            yd = lo;   // also a non-number
        if (yd > hi)
            yd = hi;
        return static_cast<int>(yd);
    }
    int Y(uint32_t word) const { return FromDiff(Diff(rule.Value(word), minValue)); }

    // Smallest and largest y over samples [a, b].
    void ColumnSpan(const uint32_t* s, const CSampleSummary* summary, int32_t a, int32_t b, int& smallest,
                    int& largest) const
    {
        int32_t lo, hi;
        if (summary)
            summary->ValueRange(a, b, lo, hi);
        else
            ScanValueRange(s, a, b, rule, lo, hi);
        const int64_t dlo = int64_t(lo) - minValue;
        const int64_t dhi = int64_t(hi) - minValue;
        if (dlo >= INT32_MIN && dhi <= INT32_MAX) {
            // No wrap-around inside [lo, hi]: y is monotone in the value.
            const int y1 = FromDiff(static_cast<int32_t>(dlo));
            const int y2 = FromDiff(static_cast<int32_t>(dhi));
            smallest = std::min(y1, y2);
            largest = std::max(y1, y2);
            return;
        }
        smallest = INT_MAX;
        largest = INT_MIN;
        for (int32_t i = a; i <= b; ++i) {
            const int yv = Y(s[i]);
            smallest = std::min(smallest, yv);
            largest = std::max(largest, yv);
        }
    }
};

// The graph lines. perSample: x grows by dx for every sample and each sample
// is joined at the right end of its slot; else n samples per column.
void EmitAnalogLines(const CSignal& signal, int first, int last, const Stepping& st, bool perSample,
                     const ValueMap& map, LineBatch& lines)
{
    const uint32_t* s = signal.m_samples;
    if (last < first)
        return;
    auto add = [&](int x1, int y1, int x2, int y2) { lines.Add(x1, y1, x2, y2); };
    int penX = st.x0;
    int penY = map.Y(s[first]);
    if (perSample) {
        int64_t x = st.x0;
        for (int i = first; i <= last; ++i) {
            x += st.dx;
            const int xi = static_cast<int>(std::clamp<int64_t>(x, -(1 << 29), 1 << 29));
            const int yi = map.Y(s[i]);
            add(penX, penY, xi, yi);
            penX = xi;
            penY = yi;
        }
        return;
    }
    // No advance at all (a zero step): the columns never complete.
    if (st.dx == 0)
        return;
    const int64_t columns = (int64_t(last) - first + 1) / st.n;
    const CSampleSummary* summary = st.n > 1 ? SummaryFor(signal, false, true) : nullptr;
    int x = st.x0;
    for (int64_t c = 0; c < columns; ++c) {
        const int64_t start = first + c * st.n;
        // The partial blocks at the column edges are read from the samples:
        // ask for them well ahead (columns lie far apart when zoomed out).
        if (summary && c + kPrefetchAhead < columns)
            __builtin_prefetch(s + start + kPrefetchAhead * st.n - 1);
        const int32_t a = static_cast<int32_t>(c == 0 ? start : start - 1);
        const int32_t b = static_cast<int32_t>(start + st.n - 1);
        int smallest, largest;
        if (st.n == 1 && c > 0) {
            const int y1 = map.Y(s[a]);
            const int y2 = map.Y(s[b]);
            smallest = std::min(y1, y2);
            largest = std::max(y1, y2);
        } else {
            map.ColumnSpan(s, summary, a, b, smallest, largest);
        }
        if (smallest != largest)
            add(x, smallest, x, largest);
        else
            add(penX, penY, x, largest);
        penX = x;
        penY = largest;
        ++x;
    }
}

int DrawAnalogRow(CDrawContext& dc, const CSignal& signal, int first, int last, const Stepping& st, bool perSample,
                  int y, bool print, bool paper, const GdiRect& nameBox)
{
    QPainter& painter = dc.Painter();
    const int rowHeight = signal.GetRowHeight();
    const int height = DrawnHeight(rowHeight);
    const int dir = print ? -1 : 1;
    const int lastIn = std::min(last, signal.m_count - 1);
    const int firstIn = std::max(first, 0);
    const int width = VisibleWidth(st, first, last);
    if (signal.m_count <= 0 || signal.m_samples == nullptr)
        return rowHeight;
    const int theme = signal.m_colorTheme;
    const QColor line = print ? ThemeColors::PrintLine(theme)
                              : (signal.m_selected ? ThemeColors::SelectedLine(theme) : ThemeColors::NormalLine(theme));
    const QPen previous = dc.Pen();
    dc.SelectPen(line, signal.m_selected ? 2 : 1);
    dc.SetTextColor(signal.m_selected ? ThemeColors::SelectedText() : ThemeColors::NormalText());
    dc.FillSolidRect(st.x0, dir > 0 ? y : y - height + 1, width, height,
                     print ? QColor(250, 250, 250) : QColor(30, 30, 30));

    const bool visible = print || BandVisible(painter, y, y + height);
    if (signal.m_numBits == 1) {
        // A one-bit signal is a digital waveform on the graph background.
        if (visible) {
            const bool batch = !print && RowEmitter::CanBatch(painter);
            const QColor fill = signal.m_selected ? ThemeColors::SelectedFill(theme) : ThemeColors::NormalFill(theme);
            const QColor bitLine =
                signal.m_selected ? ThemeColors::SelectedLine(theme) : ThemeColors::NormalLine(theme);
            std::vector<DigitalColumn> cols;
            BuildDigitalColumns(signal, firstIn, lastIn, st, ChangeNeed{1u}, cols);
            RowEmitter e(painter, y, dir, bitLine, fill, !batch, !batch);
            EmitBitRow(cols, cols.empty() ? 0u : cols.front().before, 1u, st.x0, signal.m_bitHeight, e);
        }
    } else if (visible && lastIn >= firstIn) {
        ValueMap map;
        map.top = y;
        map.height = height;
        map.dir = dir;
        map.minValue = signal.m_min;
        map.range = static_cast<double>(signal.m_max) - static_cast<double>(signal.m_min);
        map.rule = ValueRuleOf(signal);
        LineBatch lines(painter);
        EmitAnalogLines(signal, firstIn, lastIn, st, perSample, map, lines);
        lines.Draw(painter);
    }

    // The value scale stands left of the graph, in the name column: m_min at
    // the bottom of the graph, m_max at its top (in print the paper's). Its
    // labels read across, spaced by the font's height, so that a graph of
    // usual height has several of them.
    const GdiRect scaleRect =
        print ? GdiRect{st.x0, y, st.x0 + width, y - height} : GdiRect{st.x0, y, st.x0 + width, y + height};
    dc.SetTextAlign(TextAlign::LeftTop);
    CRuler scale;
    scale.m_horizontalLabels = true;
    if (paper) {
        scale.m_textColor = QColor(0, 0, 0);
        scale.m_minorColor = QColor(90, 90, 90);
    }
    scale.m_keepClear = nameBox;
    scale.DrawVertical(dc, scaleRect, signal.m_min, signal.m_max, true);
    dc.SetPen(previous);
    return rowHeight;
}

}   // namespace

int DrawAnalog(QPainter& painter, const CSignal& signal, const TraceArgs& args)
{
    CDrawContext dc(painter);
    return DrawAnalogRow(dc, signal, args.first, args.last, ScreenStepping(100, args.step), args.step > 0, args.y,
                         false, args.paper, args.nameBox);
}

int DrawPrintAnalog(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y)
{
    CDrawContext dc(painter, 254.0, true);
    const Stepping st = PrintStepping(painter, 300, scale, first, last);
    return DrawAnalogRow(dc, signal, first, last, st, st.n == 1 && scale >= 1.0, y, true, false, GdiRect{});
}
