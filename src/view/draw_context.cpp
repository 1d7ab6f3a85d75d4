// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/draw_context.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

struct CDrawContext::State {
    QPainter* painter = nullptr;
    double logicalDpi = 96.0;
    bool printing = false;
    QPen pen;
    QBrush brush;
    QFont font;
    int escapement = 0;
    QColor textColor = QColor(0, 0, 0);
    TextAlign align = TextAlign::LeftTop;
    QPoint position;
};

namespace {

// The contexts alive on this thread, by painter: one state per painter,
// shared by every context made on it.
std::vector<std::pair<QPainter*, std::weak_ptr<CDrawContext::State>>>& Registry()
{
    thread_local std::vector<std::pair<QPainter*, std::weak_ptr<CDrawContext::State>>> registry;
    return registry;
}

}   // namespace

CDrawContext::CDrawContext(QPainter& painter, double logicalDpi, bool printing) : m_painter(&painter), m_owner(false)
{
    auto& registry = Registry();
    for (auto& entry : registry) {
        if (entry.first == &painter) {
            m_state = entry.second.lock();
            if (m_state)
                return;
        }
    }
    m_state = std::make_shared<State>();
    m_state->painter = &painter;
    m_state->logicalDpi = logicalDpi > 0.0 ? logicalDpi : 96.0;
    m_state->printing = printing;
    m_state->pen = QPen(QColor(0, 0, 0), 1);
    m_state->brush = QBrush(QColor(255, 255, 255));
    m_state->font = PointFont(QStringLiteral("Verdana"), 80);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(m_state->pen);
    painter.setBrush(m_state->brush);
    painter.setFont(m_state->font);
    std::erase_if(registry, [&](const auto& e) { return e.first == &painter || e.second.expired(); });
    registry.emplace_back(&painter, m_state);
    m_owner = true;
}

CDrawContext::~CDrawContext()
{
    if (!m_owner)
        return;
    auto& registry = Registry();
    std::erase_if(registry, [&](const auto& e) { return e.first == m_painter; });
}

QPainter& CDrawContext::Painter()
{
    return *m_painter;
}
bool CDrawContext::IsPrinting() const
{
    return m_state->printing;
}
double CDrawContext::LogicalDpi() const
{
    return m_state->logicalDpi;
}

void CDrawContext::FillSolidRect(int x, int y, int w, int h, const QColor& c)
{
    if (w < 0) {
        x += w;
        w = -w;
    }
    if (h < 0) {
        y += h;
        h = -h;
    }
    if (w == 0 || h == 0)
        return;
    m_painter->fillRect(QRect(x, y, w, h), c);
}

void CDrawContext::SelectPen(const QColor& c, int width, Qt::PenStyle style)
{
    QPen pen(c);
    pen.setWidth(std::max(0, width));
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::MiterJoin);
    if (style == Qt::DotLine) {
        pen.setStyle(Qt::CustomDashLine);
        pen.setDashPattern({3.0, 3.0});
    } else {
        pen.setStyle(style);
    }
    SetPen(pen);
}

QPen CDrawContext::Pen() const
{
    return m_state->pen;
}

void CDrawContext::SetPen(const QPen& pen)
{
    m_state->pen = pen;
    m_painter->setPen(pen);
}

void CDrawContext::SelectBrush(const QBrush& b)
{
    m_state->brush = b;
    m_painter->setBrush(b);
}

QBrush CDrawContext::Brush() const
{
    return m_state->brush;
}

void CDrawContext::MoveTo(int x, int y)
{
    m_state->position = QPoint(x, y);
}

QPoint CDrawContext::CurrentPosition() const
{
    return m_state->position;
}

void CDrawContext::LineTo(int x, int y)
{
    const QPoint from = m_state->position;
    const QPoint to(x, y);
    m_state->position = to;
    if (from == to || m_state->pen.style() == Qt::NoPen)
        return;
    QPainter& p = *m_painter;
    p.setPen(m_state->pen);
    if (m_state->pen.width() > 1 || !p.worldTransform().isIdentity()) {
        p.drawLine(from, to);
        return;
    }
    // A thin line covers its start point and every pixel up to, but not
    // including, its end point, whichever way it runs. Qt's aliased line with
    // a flat cap leaves out the pixel at the larger coordinate, so a line
    // running left or up is drawn as the same span shifted by one.
    if (from.y() == to.y()) {
        if (to.x() > from.x()) {
            p.drawLine(from, to);
        } else {
            p.drawLine(QPoint(to.x() + 1, y), QPoint(from.x() + 1, y));
        }
        return;
    }
    if (from.x() == to.x()) {
        if (to.y() > from.y()) {
            p.drawLine(from, to);
        } else {
            p.drawLine(QPoint(x, to.y() + 1), QPoint(x, from.y() + 1));
        }
        return;
    }
    // Slanted: Bresenham's points from the start, end point excluded.
    const int dx = std::abs(to.x() - from.x());
    const int dy = -std::abs(to.y() - from.y());
    const int sx = from.x() < to.x() ? 1 : -1;
    const int sy = from.y() < to.y() ? 1 : -1;
    int err = dx + dy;
    int cx = from.x();
    int cy = from.y();
    QPolygon points;
    points.reserve(std::max(dx, -dy));
    while (cx != to.x() || cy != to.y()) {
        points << QPoint(cx, cy);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            cx += sx;
        }
        if (e2 <= dx) {
            err += dx;
            cy += sy;
        }
    }
    p.drawPoints(points);
}

void CDrawContext::SetTextColor(const QColor& c)
{
    m_state->textColor = c;
}
QColor CDrawContext::TextColor() const
{
    return m_state->textColor;
}
void CDrawContext::SetTextAlign(TextAlign a)
{
    m_state->align = a;
}
TextAlign CDrawContext::GetTextAlign() const
{
    return m_state->align;
}

void CDrawContext::SelectFont(const QFont& f)
{
    SelectFont(f, 0);
}

void CDrawContext::SelectFont(const QFont& f, int escapementTenths)
{
    m_state->font = f;
    m_state->escapement = escapementTenths;
    m_painter->setFont(f);
}

QFont CDrawContext::Font() const
{
    return m_state->font;
}
int CDrawContext::Escapement() const
{
    return m_state->escapement;
}

void CDrawContext::TextOut(int x, int y, const QString& text)
{
    if (text.isEmpty())
        return;
    const QFontMetrics fm(m_state->font);
    const int width = fm.horizontalAdvance(text);
    int offset = 0;
    switch (m_state->align) {
    case TextAlign::LeftTop:
        offset = 0;
        break;
    case TextAlign::CenterTop:
        offset = -(width / 2);
        break;
    case TextAlign::RightTop:
        offset = -width;
        break;
    }
    QPainter& p = *m_painter;
    p.setFont(m_state->font);
    p.setPen(m_state->textColor);
    const QTransform t = p.worldTransform();
    if (t.isIdentity() && m_state->escapement == 0) {
        p.drawText(QPoint(x + offset, y + fm.ascent()), text);
    } else {
        // Upright text at the mapped point, whatever the direction of the y
        // axis (printing maps y upward): the text hangs below its top edge on
        // the page, and an escapement turns it counter-clockwise.
        const QPointF origin = t.map(QPointF(x, y));
        const double sx = std::hypot(t.m11(), t.m12());
        const double sy = std::hypot(t.m21(), t.m22());
        p.save();
        p.resetTransform();
        p.translate(origin);
        p.rotate(-m_state->escapement / 10.0);
        p.scale(sx, sy);
        p.drawText(QPointF(offset, fm.ascent()), text);
        p.restore();
    }
    p.setPen(m_state->pen);
}

GdiRect CDrawContext::MeasureText(const QString& text) const
{
    const QFontMetrics fm(m_state->font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    int width = 0;
    for (const QString& line : lines)
        width = std::max(width, fm.horizontalAdvance(line));
    GdiRect r;
    r.right = width;
    r.bottom = text.isEmpty() ? 0 : static_cast<int32_t>(lines.size()) * fm.height();
    return r;
}

void CDrawContext::DrawText(const QString& text, const GdiRect& rect)
{
    const QFontMetrics fm(m_state->font);
    const TextAlign saved = m_state->align;
    const int escapement = m_state->escapement;
    m_state->align = TextAlign::LeftTop;
    m_state->escapement = 0;
    int y = rect.top;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        TextOut(rect.left, y, line);
        y += fm.height();
    }
    m_state->align = saved;
    m_state->escapement = escapement;
}

QFont CDrawContext::PointFont(const QString& face, int tenthsOfPoint) const
{
    const long height = std::lround(tenthsOfPoint * m_state->logicalDpi / 720.0);
    return HeightFont(face, static_cast<int>(height));
}

QFont CDrawContext::HeightFont(const QString& face, int height)
{
    QFont f(face);
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, std::abs(height)));
    return f;
}

CDCStateGuard::CDCStateGuard(CDrawContext& dc)
    : m_dc(dc), m_pen(dc.Pen()), m_brush(dc.Brush()), m_font(dc.Font()), m_escapement(dc.Escapement()),
      m_textColor(dc.TextColor())
{}

CDCStateGuard::~CDCStateGuard()
{
    m_dc.SetPen(m_pen);
    m_dc.SelectBrush(m_brush);
    m_dc.SelectFont(m_font, m_escapement);
    m_dc.SetTextColor(m_textColor);
}
