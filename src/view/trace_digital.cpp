// SPDX-License-Identifier: GPL-3.0-or-later
// Digital rows: the one-bit waveform, the bus of value boxes and the per-bit
// rows of an expanded bus, on screen and in print; and the row dispatcher.
//
// The drawing walks pixel columns, not samples. Within one column only its
// first change can draw anything: every later change finds the current level
// or box less than 4 pixels wide and only moves the state on. So a column is
// fully described by whether it changes, the value before it and the value
// at its end (DigitalColumn), and those come from the per-block summaries
// when a column spans many samples.

#include <QPainter>

#include <QPaintDevice>
#include <QTransform>

#include <algorithm>
#include <cmath>

#include "model/signal.h"
#include "view/bus_text.h"
#include "view/draw_context.h"
#include "view/theme_colors.h"
#include "view/trace_draw.h"
#include "view/trace_internal.h"

namespace trace_detail {

RowEmitter::RowEmitter(QPainter& painter, int y, int dir, const QColor& lineColor, const QColor& fillColor,
                       bool ordered, bool keepStrokes)
    : m_painter(painter), m_y(y), m_dir(dir), m_line(lineColor), m_fill(fillColor), m_ordered(ordered),
      m_keepStrokes(keepStrokes), m_lines(painter)
{
    // A stroke lies inside the block that later covers its dense run, or
    // (for a pen that grows to the left) inside the edge that opened the run;
    // only a run at the very start has no such edge. Same colour required.
    if (!keepStrokes && m_lines.Mode() == LineMode::Wide)
        m_keepOriginStroke = FootprintOfWidth(painter.pen().width()).left < 0;
    if (painter.pen().color() != lineColor)
        m_keepStrokes = true;
}

bool RowEmitter::CanBatch(QPainter& painter)
{
    const LineMode mode = LineModeOf(painter);
    if (mode == LineMode::Thin)
        return true;
    if (mode != LineMode::Wide)
        return false;
    const WideFootprint& f = FootprintOfWidth(painter.pen().width());
    return f.right <= 0 && f.bottom <= 0;
}

RowEmitter::~RowEmitter()
{
    Flush();
}

QRect RowEmitter::Rows(int x, int off, int w, int h) const
{
    // As FillSolidRect: negative extents are normalised.
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        off += h;
        h = -h;
    }
    if (m_dir > 0)
        return QRect(x, m_y + off, w, h);
    return QRect(x, m_y - off - h + 1, w, h);
}

void RowEmitter::FillLine(int x, int off, int w, int h)
{
    if (w == 0 || h == 0)
        return;
    const QRect r = Rows(x, off, w, h);
    if (m_ordered)
        m_painter.fillRect(r, m_line);
    else
        m_blocks.push_back(r);
}

void RowEmitter::FillBody(int x, int off, int w, int h)
{
    if (w == 0 || h == 0)
        return;
    const QRect r = Rows(x, off, w, h);
    if (m_ordered)
        m_painter.fillRect(r, m_fill);
    else
        m_bodies.push_back(r);
}

void RowEmitter::Line(int x1, int off1, int x2, int off2)
{
    m_lines.Add(x1, Y(off1), x2, Y(off2));
    if (m_ordered)
        m_lines.Draw(m_painter);
}

void RowEmitter::Stroke(int x, int off1, int off2)
{
    if (m_keepStrokes || (m_keepOriginStroke && x == m_x0))
        Line(x, off1, x, off2);
}

void RowEmitter::Flush()
{
    FillRects(m_painter, m_bodies, m_fill);
    FillRects(m_painter, m_blocks, m_line);
    m_lines.Draw(m_painter);
    m_bodies.clear();
    m_blocks.clear();
}

void EmitBitRow(const std::vector<DigitalColumn>& cols, uint32_t firstValue, uint32_t mask, int x0, int bitHeight,
                RowEmitter& e)
{
    const int hi = 3;
    const int lo = bitHeight - 3;
    bool cur = (firstValue & mask) != 0;
    int level = cur ? hi : lo;
    e.SetOrigin(x0);
    int u = x0;
    int v = x0;
    auto event = [&](int x, bool b) {
        if (x > u + 3) {
            e.FillLine(v, hi, u - v, bitHeight - 6);   // the dense run before this level
            if (cur && x - u > 1)
                e.FillBody(u + 1, hi, x - u, bitHeight - 4);
            e.Line(u, level, x, level);
            e.Line(x, level, x, b ? hi : lo);
            v = x;
        } else {
            if (x > u)
                e.Stroke(u, hi, lo);
            if (x > u + 1)
                e.Stroke(u + 1, hi, lo);
        }
        u = x;
    };
    const size_t n = cols.size();
    for (size_t c = 0; c < n; ++c) {
        const DigitalColumn& col = cols[c];
        if ((col.change & mask) != 0)
            event(col.x, !cur);   // cur is the value before the column here
        else if (c + 1 == n)
            event(col.x, cur);   // the last sample closes the last level
        cur = (col.end & mask) != 0;
        level = cur ? hi : lo;
    }
    e.FillLine(v, hi, u - v, bitHeight - 6);
}

}   // namespace trace_detail

using namespace trace_detail;

namespace {

struct RowColours {
    QColor fill;
    QColor line;
    QColor text;
};

RowColours ScreenColours(const CSignal& signal)
{
    if (signal.m_selected)
        return {ThemeColors::SelectedFill(signal.m_colorTheme), ThemeColors::SelectedLine(signal.m_colorTheme),
                ThemeColors::SelectedText()};
    return {ThemeColors::NormalFill(signal.m_colorTheme), ThemeColors::NormalLine(signal.m_colorTheme),
            ThemeColors::NormalText()};
}

RowColours PaperColours(const CSignal& signal)
{
    return {ThemeColors::PrintFill(signal.m_colorTheme), ThemeColors::PrintLine(signal.m_colorTheme), QColor(0, 0, 0)};
}

// The bus: value boxes with crossings, the dense runs as solid blocks, and
// the value text in every box it fits (elided to "..." before it vanishes).
void EmitBusRow(CDrawContext& dc, const CSignal& signal, const std::vector<DigitalColumn>& cols, int x0, RowEmitter& e)
{
    const int h = signal.m_busHeight;
    const int yt = 3;
    const int yb = h - 3;
    int u = x0;
    int v = x0;
    bool firstBox = true;
    auto event = [&](int x, uint32_t value) {
        if (x > u + 3) {
            e.FillLine(v, yt, u - v, h - 6);
            v = x;
            const int j = x - u;
            if (j > 1)
                e.FillBody(u + 1, yt, j, h - 6);
            int penX;
            if (firstBox) {
                e.Line(u, yb, x - 3, yb);
                penX = u;
                firstBox = false;
            } else {
                e.Line(u - 3, yt, u + 3, yb);
                e.Line(u + 3, yb, x - 3, yb);
                e.Line(u - 3, yb, u + 3, yt);
                penX = u + 3;
            }
            e.Line(penX, yt, x - 3, yt);
            if (j > kBusTextMargin) {
                QString text;
                signal.FormatValue(text, value);
                const QString shown = FitBusText(dc, text, j);
                if (!shown.isEmpty()) {
                    e.Flush();
                    dc.TextOut(u + j / 2, e.Y(5), shown);
                }
            }
        }
        u = x;
    };
    const size_t n = cols.size();
    for (size_t c = 0; c < n; ++c) {
        const DigitalColumn& col = cols[c];
        if (col.change != 0 || c + 1 == n)
            event(col.x, col.before);
    }
    e.FillLine(v, yt, u - v, h - 6);
}

// Narrows the row indices [k0, k1] of rows at firstTop + dir * k * pitch,
// each `height` high (hanging down the page in print), to those that can
// reach the painter's visible area, with a margin for wide pens and text.
void VisibleRows(QPainter& painter, int64_t firstTop, int dir, int64_t pitch, int height, int64_t& k0, int64_t& k1)
{
    const QPaintDevice* device = painter.device();
    bool invertible = false;
    const QTransform inverse = painter.combinedTransform().inverted(&invertible);
    if (device == nullptr || !invertible || pitch <= 0)
        return;
    QRectF area = inverse.mapRect(QRectF(0, 0, device->width(), device->height()));
    if (painter.hasClipping())
        area &= painter.clipBoundingRect();
    constexpr double kMargin = 16.0;
    // Screen: row k covers [top, top + height); print: [top - height, top].
    const double lowTop = dir > 0 ? area.top() - height - kMargin : area.top() - kMargin;
    const double highTop = dir > 0 ? area.bottom() + kMargin : area.bottom() + height + kMargin;
    // top(k) = firstTop + dir * k * pitch lies in [lowTop, highTop].
    double a = (lowTop - static_cast<double>(firstTop)) / static_cast<double>(dir * pitch);
    double b = (highTop - static_cast<double>(firstTop)) / static_cast<double>(dir * pitch);
    if (a > b)
        std::swap(a, b);
    k0 = std::max<int64_t>(k0, static_cast<int64_t>(std::max(std::floor(a), -1.0)));
    k1 = std::min<int64_t>(k1, static_cast<int64_t>(std::min(std::ceil(b), 4.0e9)));
}

// The digital row: a one-bit waveform, or the bus and, when expanded, one
// waveform per bit (most significant on top).
void DrawDigitalRow(CDrawContext& dc, const CSignal& signal, int first, int last, const Stepping& st, int y, int dir,
                    bool print, bool paper)
{
    QPainter& painter = dc.Painter();
    const RowColours screen = paper ? PaperColours(signal) : ScreenColours(signal);
    const RowColours bus = print ? RowColours{ThemeColors::PrintFill(signal.m_colorTheme),
                                              ThemeColors::PrintLine(signal.m_colorTheme), QColor(0, 0, 0)}
                                 : screen;
    const int penWidth = signal.m_selected ? 2 : 1;
    dc.SetTextColor(bus.text);
    dc.SetTextAlign(TextAlign::CenterTop);
    const QPen previous = dc.Pen();
    dc.SelectPen(bus.line, penWidth);

    std::vector<DigitalColumn> cols;
    BuildDigitalColumns(signal, first, last, st, DigitalChangeNeed(signal), cols);
    const uint32_t firstValue = cols.empty() ? 0u : cols.front().before;
    const bool batch = !print && RowEmitter::CanBatch(painter);
    auto visible = [&](int top, int height) { return print || BandVisible(painter, top, top + height); };

    if (signal.m_numBits == 1) {
        // In print only the bus takes the print colours; a one-bit row is
        // drawn in the screen's line colour like the bit rows of a bus.
        if (print)
            dc.SelectPen(screen.line, penWidth);
        if (visible(y, signal.m_bitHeight)) {
            RowEmitter e(painter, y, dir, screen.line, screen.fill, !batch, !batch);
            EmitBitRow(cols, firstValue, 1u, st.x0, signal.m_bitHeight, e);
        }
    } else {
        if (visible(y, signal.m_busHeight)) {
            RowEmitter e(painter, y, dir, bus.line, bus.fill, true, true);
            EmitBusRow(dc, signal, cols, st.x0, e);
        }
        if (signal.m_expanded && signal.m_numBits > 0) {
            if (print)
                dc.SelectPen(screen.line, penWidth);
            // Bit rows k = 0, 1, ... show bits numBits - 1, numBits - 2, ...;
            // a field wider than the 32-bit sample word has no bits above 31
            // (always low). Only the rows the target can show are visited, so
            // an absurd width from a file costs nothing.
            const int64_t pitch = int64_t(signal.m_bitHeight) + signal.m_bitGap;
            const int64_t firstTop = int64_t(y) + dir * (int64_t(signal.m_busHeight) + signal.m_bitGap);
            int64_t k0 = 0;
            int64_t k1 = signal.m_numBits - 1;
            VisibleRows(painter, firstTop, dir, pitch, signal.m_bitHeight, k0, k1);
            for (int64_t k = k0; k <= k1; ++k) {
                const int yb = static_cast<int>(firstTop + dir * k * pitch);
                const int64_t bit = int64_t(signal.m_numBits) - 1 - k;
                const uint32_t mask = bit < 32 ? (1u << bit) : 0u;
                const int top = dir > 0 ? yb : yb - signal.m_bitHeight;
                if (visible(top, signal.m_bitHeight)) {
                    RowEmitter e(painter, yb, dir, screen.line, screen.fill, !batch, !batch);
                    EmitBitRow(cols, firstValue, mask, st.x0, signal.m_bitHeight, e);
                }
            }
        }
    }
    dc.SetPen(previous);
}

}   // namespace

int DrawBitTrace(QPainter& painter, const CSignal& signal, int first, int last, int x0, int step, int y, uint32_t mask)
{
    CDrawContext dc(painter);
    const Stepping st = ScreenStepping(x0, step);
    if (signal.m_samples == nullptr)
        return signal.m_bitHeight;
    first = std::max(first, 0);
    last = std::min(last, signal.m_count - 1);
    if (BandVisible(painter, y, y + signal.m_bitHeight)) {
        const RowColours colours = ScreenColours(signal);
        const bool batch = RowEmitter::CanBatch(painter);
        std::vector<DigitalColumn> cols;
        BuildDigitalColumns(signal, first, last, st, ChangeNeed{mask}, cols);
        RowEmitter e(painter, y, 1, colours.line, colours.fill, !batch, !batch);
        EmitBitRow(cols, cols.empty() ? 0u : cols.front().before, mask, st.x0, signal.m_bitHeight, e);
    }
    return signal.m_bitHeight;
}

int DrawPrintBitTrace(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y, uint32_t mask)
{
    CDrawContext dc(painter, 254.0, true);
    const Stepping st = PrintStepping(painter, 300, scale, first, last);
    if (signal.m_samples == nullptr)
        return signal.m_bitHeight;
    first = std::max(first, 0);
    last = std::min(last, signal.m_count - 1);
    const RowColours colours = ScreenColours(signal);
    std::vector<DigitalColumn> cols;
    BuildDigitalColumns(signal, first, last, st, ChangeNeed{mask}, cols);
    RowEmitter e(painter, y, -1, colours.line, colours.fill, true, true);
    EmitBitRow(cols, cols.empty() ? 0u : cols.front().before, mask, st.x0, signal.m_bitHeight, e);
    return signal.m_bitHeight;
}

GdiRect TraceRectOf(const CSignal& signal, const TraceArgs& args)
{
    if (signal.m_count <= 0 || signal.m_samples == nullptr)
        return {};
    const int rowHeight = signal.GetRowHeight();
    if (signal.m_spectrum) {
        // W - 20; a width no window has (from a caller's arithmetic) is kept
        // where x positions cannot overflow.
        const int w = static_cast<int>(std::clamp<int64_t>(int64_t(args.width) - 20, -(1 << 29), 1 << 29));
        return {100, args.y, 100 + w, args.y + DrawnHeight(rowHeight)};
    }
    const int width = VisibleWidth(ScreenStepping(100, args.step), args.first, args.last);
    if (signal.m_analog)
        return {100, args.y, 100 + width, args.y + DrawnHeight(rowHeight)};
    return {100, args.y, 100 + width, ClampedSum(int64_t(args.y) + rowHeight)};
}

int DrawTrace(QPainter& painter, const CSignal& signal, const TraceArgs& args)
{
    const int height = signal.GetRowHeight();
    if (signal.m_count <= 0 || signal.m_samples == nullptr)
        return height;
    if (signal.m_spectrum)
        return DrawSpectrum(painter, signal, args);
    if (signal.m_analog)
        return DrawAnalog(painter, signal, args);

    CDrawContext dc(painter);
    // Never read outside the samples, whatever range the caller asks for.
    const int last = std::min(args.last, signal.m_count - 1);
    const int first = std::max(args.first, 0);
    const Stepping st = ScreenStepping(100, args.step);
    DrawDigitalRow(dc, signal, first, last, st, args.y, 1, false, args.paper);
    return height;
}

int DrawPrintTrace(QPainter& painter, const CSignal& signal, int first, int last, double scale, int y)
{
    const int height = signal.GetRowHeight();
    if (signal.m_count <= 0 || signal.m_samples == nullptr)
        return height;
    if (signal.m_analog)
        return DrawPrintAnalog(painter, signal, first, last, scale, y);
    CDrawContext dc(painter, 254.0, true);
    const int lastIn = std::min(last, signal.m_count - 1);
    const int firstIn = std::max(first, 0);
    const Stepping st = PrintStepping(painter, 300, scale, first, last);
    DrawDigitalRow(dc, signal, firstIn, lastIn, st, y, -1, true, false);
    return height;
}
