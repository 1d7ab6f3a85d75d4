// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Shared pieces of the row drawers (trace_*.cpp): how sample indices map to
// x positions, the per-column view of the samples, the kept summaries, and
// the primitive emitter that draws a row's rectangles and lines.

#include <QColor>
#include <QLine>
#include <QRect>
#include <QString>
#include <QVector>

#include <climits>
#include <cstdint>
#include <vector>

#include "view/trace_summary.h"

class CDrawContext;
class CSignal;
class QPainter;

namespace trace_detail {

// Row geometry from a file can be absurd (a graph height near the int32
// limit): drawing uses at most this height, and rectangle edges are summed
// without overflow.
constexpr int kMaxDrawnHeight = 1 << 20;
inline int DrawnHeight(int height)
{
    return height < 0 ? 0 : (height > kMaxDrawnHeight ? kMaxDrawnHeight : height);
}
inline int32_t ClampedSum(int64_t value)
{
    return static_cast<int32_t>(value < INT32_MIN ? INT32_MIN : (value > INT32_MAX ? INT32_MAX : value));
}

// Sample i of [first, last] lies in column (i - first) / n at x0 + column * dx.
struct Stepping {
    int x0 = 100;
    int dx = 1;      // units per column
    int64_t n = 1;   // samples per column
};

// Screen: step > 0 pixels per sample, -n samples per pixel.
Stepping ScreenStepping(int x0, int step);
// Printing with a floating-point scale (see DrawPrintTrace).
Stepping PrintStepping(QPainter& painter, int x0, double scale, int first, int last);
// Width of the visible span: columns * dx, as the row rectangles use it.
int VisibleWidth(const Stepping& st, int first, int last);

// One pixel column of a digital row: its x, the OR of every change of the
// samples in it (sample XOR its predecessor; none for the first sample) as
// far as the row needs it (exact in the bits of `need` and in being zero:
// reading stops once a column is known to change in all of them), the value
// before its first sample and the value of its last sample.
struct DigitalColumn {
    int32_t x;
    uint32_t change;
    uint32_t before;
    uint32_t end;
};
void BuildDigitalColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                         std::vector<DigitalColumn>& out);
// What the rows of a digital signal read of the change masks: bit 0 for a
// one-bit waveform; whether anything changed for the bus; every bit of the
// field for the rows of an expanded bus.
ChangeNeed DigitalChangeNeed(const CSignal& signal);

SampleValueRule ValueRuleOf(const CSignal& signal);
// A kept summary of the signal's samples when one may be used (a cache scope
// is active and the samples have been seen unchanged before), else null.
const CSampleSummary* SummaryFor(const CSignal& signal, bool changes, bool ranges);
// The digital columns of the same samples, range, stepping and need, kept
// from an earlier paint within a cache scope: true when `out` received them.
bool KeptColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                 std::vector<DigitalColumn>& out);
void KeepColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                 const std::vector<DigitalColumn>& cols);

// True when a band of rows [top, bottom) can show on the painter's target.
bool BandVisible(QPainter& painter, int top, int bottom);

// How lines drawn with the painter's current pen are made of pixels.
//  Thin:  a one-pixel solid pen on an unscaled target, drawn as the drawing
//         context's LineTo draws it: the start point and every pixel up to,
//         but not including, the end point, in every direction (slanted ones
//         by Bresenham's points).
//  Wide:  a wider solid pen with a flat cap on an unscaled target; horizontal
//         and vertical lines cover a fixed rectangle around their span (learnt
//         once from Qt's own drawing), slanted ones are drawn by Qt.
//  Other: drawn by Qt one line at a time (scaled targets, dotted pens).
enum class LineMode { Thin, Wide, Other };

// Pixels a wide pen adds around a horizontal span [x0, x1 - 1] at y (rows
// y + top .. y + bottom) and around a vertical span [y0, y1 - 1] at x
// (columns x + left .. x + right).
struct WideFootprint {
    bool known = false;
    int top = 0, bottom = 0, left = 0, right = 0;
};

LineMode LineModeOf(QPainter& painter);
const WideFootprint& FootprintOfWidth(int width);

// Collects lines of one pen and draws them in as few calls as possible.
class LineBatch {
public:
    explicit LineBatch(QPainter& painter);
    void Add(int x1, int y1, int x2, int y2);
    // Draws with the painter's pen; thin and wide axis lines as solid spans
    // of its colour.
    void Draw(QPainter& painter);
    bool IsEmpty() const { return m_lines.isEmpty() && m_spans.isEmpty(); }
    LineMode Mode() const { return m_mode; }

private:
    // A run of pixels in one column (x, y0..y1) or one row (y, x0..x1),
    // inclusive; merged with the previous run when they touch.
    void Vertical(int x, int y0, int y1);
    void Horizontal(int y, int x0, int x1);
    void Rect(int x0, int y0, int x1, int y1);
    LineMode m_mode;
    WideFootprint m_wide;
    QVector<QLine> m_lines;   // drawn by Qt
    QVector<QRect> m_spans;   // filled
};
// True when lines of the painter's current pen are thin lines.
bool ThinLines(QPainter& painter);
// Solid rectangles in one colour, in one call.
void FillRects(QPainter& painter, const QVector<QRect>& rects, const QColor& colour);

// True when lines drawn with the painter's current pen are thin lines in the
// sense above.
bool ThinLines(QPainter& painter);

// Draws a row's primitives. Offsets are rows below the row top in screen
// orientation; in print (dir = -1) they are mirrored so that the row hangs
// down the page from its top. Ordered emitters draw at once; batched ones
// draw all body fills first, then everything in the line colour (valid for a
// one-pixel pen, whose strokes stay inside their own columns).
class RowEmitter {
public:
    RowEmitter(QPainter& painter, int y, int dir, const QColor& lineColor, const QColor& fillColor, bool ordered,
               bool keepStrokes);
    // True when the row's primitives may be drawn bodies first and lines
    // after (thin pens, and wide pens that only grow left and up).
    static bool CanBatch(QPainter& painter);
    ~RowEmitter();
    void FillLine(int x, int off, int w, int h);
    void FillBody(int x, int off, int w, int h);
    void Line(int x1, int off1, int x2, int off2);
    // A thin stroke inside a dense run; a one-pixel stroke lies wholly inside
    // the solid block that later covers the run, so it may be left out.
    void Stroke(int x, int off1, int off2);
    // The x where the row starts: a stroke there may reach left of the
    // first block and is kept for pens that grow to the left.
    void SetOrigin(int x0) { m_x0 = x0; }
    void Flush();
    int Y(int off) const { return m_y + m_dir * off; }

private:
    QRect Rows(int x, int off, int w, int h) const;
    QPainter& m_painter;
    int m_y;
    int m_dir;
    QColor m_line;
    QColor m_fill;
    bool m_ordered;
    bool m_keepStrokes;
    bool m_keepOriginStroke = false;
    int m_x0 = INT_MIN;
    QVector<QRect> m_bodies;
    QVector<QRect> m_blocks;
    LineBatch m_lines;
};

// The one-bit waveform of `mask` over the columns; firstValue is the first
// sample. Returns nothing; the caller returns the row height.
void EmitBitRow(const std::vector<DigitalColumn>& cols, uint32_t firstValue, uint32_t mask, int x0, int bitHeight,
                RowEmitter& e);

}   // namespace trace_detail
