// SPDX-License-Identifier: GPL-3.0-or-later
// Lines of the row drawers with the drawing context's pixels, drawn in bulk.
//
// A thin line covers its start point and every pixel up to, but not
// including, its end point (slanted ones along Bresenham's points), exactly
// as CDrawContext::LineTo draws it. Its pixels fall into runs, one per column
// of a steep line and one per row of a flat one; runs of the same colour that
// touch are merged (a polyline's segments meet in shared columns), and all
// runs are filled as rectangles in one call.

#include <QImage>
#include <QPaintDevice>
#include <QRegion>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "view/trace_internal.h"

namespace trace_detail {

LineMode LineModeOf(QPainter& painter)
{
    const QPen pen = painter.pen();
    if (pen.style() != Qt::SolidLine || !painter.worldTransform().isIdentity() ||
        pen.brush().style() != Qt::SolidPattern)
        return LineMode::Other;
    if (pen.width() <= 1)
        return LineMode::Thin;
    if (pen.capStyle() == Qt::FlatCap && FootprintOfWidth(pen.width()).known)
        return LineMode::Wide;
    return LineMode::Other;
}

bool ThinLines(QPainter& painter)
{
    return LineModeOf(painter) == LineMode::Thin;
}

namespace {

// Draws one horizontal or vertical line with a flat-capped pen of the width
// and returns the bounding box of its pixels, or an empty rectangle when
// they do not fill it.
QRect PaintedBox(int width, QPoint from, QPoint to)
{
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(Qt::black);
    {
        QPainter painter(&image);
        QPen pen(QColor(255, 255, 255));
        pen.setWidth(width);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawLine(from, to);
    }
    QRect box;
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0)) {
                box |= QRect(x, y, 1, 1);
                ++count;
            }
    return count == box.width() * box.height() ? box : QRect();
}

WideFootprint Calibrate(int width)
{
    WideFootprint f;
    if (width < 2 || width > 8)
        return f;
    // Spans [20, 29] at y 24 and [20, 29] at x 24, drawn both ways.
    const QRect h1 = PaintedBox(width, {20, 24}, {30, 24});
    const QRect h2 = PaintedBox(width, {30, 24}, {20, 24});
    const QRect v1 = PaintedBox(width, {24, 20}, {24, 30});
    const QRect v2 = PaintedBox(width, {24, 30}, {24, 20});
    if (h1.isEmpty() || h1 != h2 || v1.isEmpty() || v1 != v2)
        return f;
    if (h1.left() != 20 || h1.right() != 29 || v1.top() != 20 || v1.bottom() != 29)
        return f;
    f.top = h1.top() - 24;
    f.bottom = h1.bottom() - 24;
    f.left = v1.left() - 24;
    f.right = v1.right() - 24;
    f.known = true;
    return f;
}

}   // namespace

const WideFootprint& FootprintOfWidth(int width)
{
    static const WideFootprint kUnknown;
    static const WideFootprint kFootprints[] = {Calibrate(2), Calibrate(3), Calibrate(4)};
    if (width < 2 || width > 4)
        return kUnknown;
    return kFootprints[width - 2];
}

LineBatch::LineBatch(QPainter& painter) : m_mode(LineModeOf(painter))
{
    if (m_mode == LineMode::Wide)
        m_wide = FootprintOfWidth(painter.pen().width());
}

void LineBatch::Rect(int x0, int y0, int x1, int y1)
{
    m_spans.push_back(QRect(QPoint(x0, y0), QPoint(x1, y1)));
}

namespace {

// Solid opaque rectangles written straight into the image the painter draws
// on, when that is exactly what the painter would do: an unscaled raster
// image of 32-bit pixels, plain source-over drawing of an opaque colour, no
// clip other than one rectangle. Qt fills such rectangles one pixel row at a
// time through a call per row; thin columns and bars are mostly rows of one
// or two pixels.
bool DirectFill(QPainter& painter, const QVector<QRect>& rects, const QColor& colour)
{
    if (colour.alpha() != 255 || painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    QPaintDevice* device = painter.device();
    if (device == nullptr || device->devType() != QInternal::Image)
        return false;
    if (!painter.worldTransform().isIdentity() || !painter.deviceTransform().isIdentity())
        return false;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
        format != QImage::Format_ARGB32_Premultiplied)
        return false;
    // Shared pixel data would be copied by bits(), away from the painter.
    if (!image->isDetached())
        return false;
    QRect area = image->rect();
    if (painter.hasClipping()) {
        const QRegion clip = painter.clipRegion();
        if (clip.rectCount() != 1)
            return false;
        area &= clip.boundingRect();
    }
    const uint32_t pixel = colour.rgba();
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (const QRect& r : rects) {
        const QRect c = r.normalized() & area;
        if (c.isEmpty())
            continue;
        for (int y = c.top(); y <= c.bottom(); ++y) {
            auto* line = reinterpret_cast<uint32_t*>(bits + y * stride);
            std::fill(line + c.left(), line + c.right() + 1, pixel);
        }
    }
    return true;
}

}   // namespace

void FillRects(QPainter& painter, const QVector<QRect>& rects, const QColor& colour)
{
    if (rects.isEmpty())
        return;
    if (DirectFill(painter, rects, colour))
        return;
    if (rects.size() <= 2) {
        for (const QRect& r : rects)
            painter.fillRect(r, colour);
        return;
    }
    const QPen pen = painter.pen();
    const QBrush brush = painter.brush();
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRects(rects);
    painter.setPen(pen);
    painter.setBrush(brush);
}

void LineBatch::Vertical(int x, int y0, int y1)
{
    if (!m_spans.isEmpty()) {
        QRect& last = m_spans.back();
        if (last.left() == x && last.width() == 1 && y0 <= last.bottom() + 1 && y1 >= last.top() - 1) {
            last.setTop(std::min(last.top(), y0));
            last.setBottom(std::max(last.bottom(), y1));
            return;
        }
    }
    m_spans.push_back(QRect(QPoint(x, y0), QPoint(x, y1)));
}

void LineBatch::Horizontal(int y, int x0, int x1)
{
    if (!m_spans.isEmpty()) {
        QRect& last = m_spans.back();
        if (last.top() == y && last.height() == 1 && x0 <= last.right() + 1 && x1 >= last.left() - 1) {
            last.setLeft(std::min(last.left(), x0));
            last.setRight(std::max(last.right(), x1));
            return;
        }
    }
    m_spans.push_back(QRect(QPoint(x0, y), QPoint(x1, y)));
}

void LineBatch::Add(int x1, int y1, int x2, int y2)
{
    if (x1 == x2 && y1 == y2)
        return;   // an empty line draws nothing
    if (m_mode == LineMode::Wide) {
        if (y1 == y2)
            Rect(std::min(x1, x2), y1 + m_wide.top, std::max(x1, x2) - 1, y1 + m_wide.bottom);
        else if (x1 == x2)
            Rect(x1 + m_wide.left, std::min(y1, y2), x1 + m_wide.right, std::max(y1, y2) - 1);
        else
            m_lines.push_back(QLine(x1, y1, x2, y2));
        return;
    }
    if (m_mode == LineMode::Other) {
        m_lines.push_back(QLine(x1, y1, x2, y2));
        return;
    }
    if (y1 == y2) {
        if (x2 > x1)
            Horizontal(y1, x1, x2 - 1);
        else
            Horizontal(y1, x2 + 1, x1);
        return;
    }
    if (x1 == x2) {
        if (y2 > y1)
            Vertical(x1, y1, y2 - 1);
        else
            Vertical(x1, y2 + 1, y1);
        return;
    }
    // Bresenham's points from the start, end point excluded, gathered into
    // runs along the major axis. The major coordinate moves at every point;
    // the minor one moves when the error term crosses its threshold, so the
    // length of each run follows from the error term without visiting its
    // points.
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    int64_t err = int64_t(dx) + dy;
    int cx = x1;
    int cy = y1;
    if (-dy > dx) {
        // Steep: one run per column; x moves at the point where 2 err >= dy.
        while (cx != x2) {
            const int64_t need = int64_t(dy) - 2 * err;   // 2 (err + k dx) >= dy
            const int64_t k = need <= 0 ? 0 : (need + 2 * int64_t(dx) - 1) / (2 * int64_t(dx));
            const int yEnd = cy + static_cast<int>(k) * sy;
            Vertical(cx, std::min(cy, yEnd), std::max(cy, yEnd));
            err += k * dx + dy + dx;
            cy = yEnd + sy;
            cx += sx;
        }
        if (cy != y2)
            Vertical(cx, std::min(cy, y2 - sy), std::max(cy, y2 - sy));
    } else {
        // Flat: one run per row; y moves at the point where 2 err <= dx.
        while (cy != y2) {
            const int64_t need = 2 * err - dx;   // 2 (err + k dy) <= dx
            const int64_t k = need <= 0 ? 0 : (need + 2 * int64_t(-dy) - 1) / (2 * int64_t(-dy));
            const int xEnd = cx + static_cast<int>(k) * sx;
            Horizontal(cy, std::min(cx, xEnd), std::max(cx, xEnd));
            err += k * dy + dy + dx;
            cx = xEnd + sx;
            cy += sy;
        }
        if (cx != x2)
            Horizontal(cy, std::min(cx, x2 - sx), std::max(cx, x2 - sx));
    }
}

namespace {

// Side by side columns of tall runs (the bars of a zoomed-out graph, the
// columns of a filled area) cost one fill per pixel row each. Their union is
// the same as one wide rectangle over the rows they all share plus each
// column's remainder above and below it, which fills far fewer rows. Runs of
// a wide pen are columns of its width, one pixel apart.
QVector<QRect> CoalesceColumns(const QVector<QRect>& spans)
{
    constexpr int kMinShared = 8;
    QVector<QRect> out;
    out.reserve(spans.size());
    const int n = static_cast<int>(spans.size());
    auto tall = [&](int k) { return spans[k].height() >= kMinShared; };
    int i = 0;
    while (i < n) {
        if (!tall(i)) {
            out.push_back(spans[i++]);
            continue;
        }
        const int width = spans[i].width();
        int top = spans[i].top();
        int bottom = spans[i].bottom();
        int j = i + 1;
        while (j < n && tall(j) && spans[j].width() == width && spans[j].left() == spans[j - 1].left() + 1) {
            const int t = std::max(top, spans[j].top());
            const int b = std::min(bottom, spans[j].bottom());
            if (b - t + 1 < kMinShared)
                break;
            top = t;
            bottom = b;
            ++j;
        }
        if (j - i < 2) {
            out.push_back(spans[i++]);
            continue;
        }
        out.push_back(QRect(QPoint(spans[i].left(), top), QPoint(spans[j - 1].right(), bottom)));
        for (int k = i; k < j; ++k) {
            const QRect& r = spans[k];
            if (r.top() < top)
                out.push_back(QRect(QPoint(r.left(), r.top()), QPoint(r.right(), top - 1)));
            if (r.bottom() > bottom)
                out.push_back(QRect(QPoint(r.left(), bottom + 1), QPoint(r.right(), r.bottom())));
        }
        i = j;
    }
    return out;
}

}   // namespace

void LineBatch::Draw(QPainter& painter)
{
    if (!m_lines.isEmpty())
        painter.drawLines(m_lines);
    FillRects(painter, m_spans.size() > 2 ? CoalesceColumns(m_spans) : m_spans, painter.pen().color());
    m_lines.clear();
    m_spans.clear();
}

}   // namespace trace_detail
