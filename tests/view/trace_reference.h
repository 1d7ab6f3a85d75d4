// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The row drawers written the straightforward way: every visible sample is
// visited once per row and once per bit row, and every level, stroke, box
// and block is drawn one call at a time through the drawing context. The
// tests compare the fast drawers against it pixel by pixel, and the
// benchmarks measure both side by side.

#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/signal.h"
#include "view/bus_text.h"
#include "view/draw_context.h"
#include "view/ruler.h"
#include "view/theme_colors.h"
#include "view/unit_ruler.h"
#include "view/trace_draw.h"

namespace trace_reference {

// The rectangle the last row drawn here covers (the drawers below write
// nothing into the signal); unchanged by a row without samples.
inline GdiRect& LastRect()
{
    static GdiRect rect;
    return rect;
}

// x after one sample: step > 0 pixels per sample, -n one pixel per n samples.
struct Stepper {
    int x;
    int step;
    int count = 0;
    void Advance()
    {
        if (step >= 0) {
            x += step;
        } else if (++count == -step) {
            count = 0;
            ++x;
        }
    }
};

inline QColor FillOf(const CSignal& s)
{
    return s.m_selected ? ThemeColors::SelectedFill(s.m_colorTheme) : ThemeColors::NormalFill(s.m_colorTheme);
}
inline QColor LineOf(const CSignal& s)
{
    return s.m_selected ? ThemeColors::SelectedLine(s.m_colorTheme) : ThemeColors::NormalLine(s.m_colorTheme);
}
inline QColor TextOf(const CSignal& s)
{
    return s.m_selected ? QColor(255, 255, 255) : QColor(200, 200, 200);
}

inline int DrawBitTrace(CDrawContext& dc, const CSignal& s, int first, int last, int x0, int step, int y, uint32_t m)
{
    const QColor fill = FillOf(s);
    const QColor line = LineOf(s);
    const int yh = y + 3;
    const int yl = y + s.m_bitHeight - 3;
    int u = x0;
    int v = x0;
    Stepper x{x0, step};
    if (last < first)
        return s.m_bitHeight;   // no samples to draw
    uint32_t cur = s.m_samples[first] & m;
    int level = cur ? yh : yl;
    for (int i = first; i <= last; ++i) {
        const uint32_t b = s.m_samples[i] & m;
        if (b != cur || i == last) {
            if (x.x > u + 3) {
                dc.FillSolidRect(v, yh, u - v, s.m_bitHeight - 6, line);
                if (cur != 0 && x.x - u > 1)
                    dc.FillSolidRect(u + 1, yh, x.x - u, s.m_bitHeight - 4, fill);
                dc.MoveTo(u, level);
                dc.LineTo(x.x, level);
                dc.LineTo(x.x, b ? yh : yl);
                v = x.x;
            } else {
                if (x.x > u) {
                    dc.MoveTo(u, yh);
                    dc.LineTo(u, yl);
                }
                if (x.x > u + 1) {
                    dc.MoveTo(u + 1, yh);
                    dc.LineTo(u + 1, yl);
                }
            }
            u = x.x;
            cur = b;
            level = b ? yh : yl;
        }
        x.Advance();
    }
    dc.FillSolidRect(v, yh, u - v, s.m_bitHeight - 6, line);
    return s.m_bitHeight;
}

inline void DrawBus(CDrawContext& dc, const CSignal& s, int first, int last, int step, int y)
{
    const QColor fill = FillOf(s);
    const QColor line = LineOf(s);
    const int yt = y + 3;
    const int yb = y + s.m_busHeight - 3;
    int u = 100;
    int v = 100;
    Stepper x{100, step};
    if (last < first)
        return;
    uint32_t value = s.m_samples[first];
    bool firstBox = true;
    for (int i = first; i <= last; ++i) {
        if (s.m_samples[i] != value || i == last) {
            if (x.x > u + 3) {
                dc.FillSolidRect(v, yt, u - v, s.m_busHeight - 6, line);
                v = x.x;
                const int j = x.x - u;
                if (j > 1)
                    dc.FillSolidRect(u + 1, yt, j, s.m_busHeight - 6, fill);
                if (firstBox) {
                    dc.MoveTo(u, yb);
                    dc.LineTo(x.x - 3, yb);
                    dc.MoveTo(u, yt);
                    firstBox = false;
                } else {
                    dc.MoveTo(u - 3, yt);
                    dc.LineTo(u + 3, yb);
                    dc.LineTo(x.x - 3, yb);
                    dc.MoveTo(u - 3, yb);
                    dc.LineTo(u + 3, yt);
                }
                dc.LineTo(x.x - 3, yt);
                if (j > kBusTextMargin) {
                    QString text;
                    s.FormatValue(text, value);
                    const QString shown = FitBusText(dc, text, j);
                    if (!shown.isEmpty())
                        dc.TextOut(u + j / 2, y + 5, shown);
                }
            }
            u = x.x;
            value = s.m_samples[i];
        }
        x.Advance();
    }
    dc.FillSolidRect(v, yt, u - v, s.m_busHeight - 6, line);
}

inline int VisibleWidth(int first, int last, int step)
{
    return step > 0 ? (last - first + 1) * step : (last - first + 1) / -step;
}

inline int YOf(const CSignal& s, uint32_t word, int y, int h)
{
    const uint32_t w = s.SignExtend(word);
    const int32_t d = static_cast<int32_t>(w - static_cast<uint32_t>(s.m_min));
    if (s.m_max == s.m_min)
        return y;
    const double yd = (y + h) - static_cast<double>(d) / (static_cast<double>(s.m_max) - s.m_min) * h;
    if (yd < y)
        return y;
    if (yd > y + h)
        return y + h;
    return std::clamp(static_cast<int>(yd), y, y + h);
}

inline int DrawAnalog(CDrawContext& dc, const CSignal& s, int first, int last, int step, int y)
{
    const int h = s.GetRowHeight();
    const int vw = VisibleWidth(first, last, step);
    const QPen previous = dc.Pen();
    dc.SelectPen(LineOf(s), s.m_selected ? 2 : 1);
    dc.SetTextColor(TextOf(s));
    dc.FillSolidRect(100, y, vw, h, QColor(30, 30, 30));
    if (s.m_numBits == 1) {
        DrawBitTrace(dc, s, first, last, 100, step, y, 1);
    } else if (last >= first) {
        dc.MoveTo(100, YOf(s, s.m_samples[first], y, h));
        int x = 100;
        if (step > 0) {
            for (int i = first; i <= last; ++i) {
                x += step;
                dc.LineTo(x, YOf(s, s.m_samples[i], y, h));
            }
        } else {
            const int n = -step;
            bool empty = true;
            int smallest = 0, largest = 0, count = 0;
            for (int i = first; i <= last; ++i) {
                const int yv = YOf(s, s.m_samples[i], y, h);
                if (empty) {
                    smallest = largest = yv;
                    empty = false;
                } else {
                    smallest = std::min(smallest, yv);
                    largest = std::max(largest, yv);
                }
                if (++count == n) {
                    count = 0;
                    if (smallest != largest) {
                        dc.MoveTo(x, smallest);
                        dc.LineTo(x, largest);
                    } else {
                        dc.LineTo(x, largest);
                    }
                    ++x;
                    smallest = largest = yv;
                }
            }
        }
    }
    LastRect() = {100, y, 100 + vw, y + h};
    dc.SetTextAlign(TextAlign::LeftTop);
    CRuler scale;
    scale.m_horizontalLabels = true;
    scale.DrawVertical(dc, LastRect(), s.m_min, s.m_max, true);
    dc.SetPen(previous);
    return h;
}

inline int SpectrumY(double d, const CSignal& s, int y, int yb, int h)
{
    if (s.m_maxDb == s.m_minDb)
        return y;
    const double yd = yb - (d - s.m_minDb) / (s.m_maxDb - s.m_minDb) * (h - 6);
    if (!(yd < yb))
        return yb;   // also minus infinity
    if (yd < y)
        return y;
    return static_cast<int>(yd);
}

// The frequency units and the read-out box, written out here as well, so
// that the comparison checks the row drawers' own versions too.
inline void FormatFrequency(double& f, QString& unit)
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

inline void DrawLabelBox(CDrawContext& dc, const QString& text, int x, int y, const GdiRect& bounds)
{
    if (text.isEmpty())
        return;
    CDCStateGuard guard(dc);
    dc.SetTextAlign(TextAlign::LeftTop);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 90));
    dc.SetTextColor(QColor(255, 255, 255));
    GdiRect r = dc.MeasureText(text);
    r = {r.left + x + 15, r.top + y + 23, r.right + x + 15, r.bottom + y + 23};
    if (r.right > bounds.right)
        r = {r.left - (r.right - bounds.right), r.top, bounds.right, r.bottom};
    if (r.bottom > bounds.bottom)
        r = {r.left, r.top - (r.bottom - bounds.bottom), r.right, bounds.bottom};
    // r grown by 3 on every side, then moved by (1, 1).
    const GdiRect box{r.left - 3 + 1, r.top - 3 + 1, r.right + 3 + 1, r.bottom + 3 + 1};
    dc.FillSolidRect(box.left, box.top, box.right - box.left, box.bottom - box.top, QColor(20, 20, 40));
    dc.DrawText(text, r);
}

// Draws the spectrum the signal holds (the caller computed it).
inline int DrawSpectrum(CDrawContext& dc, const CSignal& s, int y, int width, GdiPoint cursor)
{
    const int h = s.GetRowHeight();
    const int w = width - 20;
    const int theme = s.m_colorTheme;
    const QColor peakLine[3] = {QColor(100, 100, 0), QColor(0, 110, 0), QColor(0, 110, 110)};
    const QColor peakArea[3] = {QColor(20, 20, 0), QColor(0, 25, 0), QColor(0, 25, 25)};
    const int t = (theme >= 0 && theme <= 2) ? theme : 0;
    const QPen previous = dc.Pen();
    dc.SelectPen(LineOf(s), 1);
    dc.SetTextColor(TextOf(s));
    dc.FillSolidRect(100, y, w, h, QColor(30, 30, 30));
    const int yb = y + h - 3;
    auto xk = [&](int k) { return static_cast<int>(100 + k * static_cast<double>(w) / 2047 + 0.5); };
    auto area = [&](const double* levels, const QColor& colour) {
        dc.SelectPen(colour, 1);
        int c = 100;
        for (int k = 0; k < 2048; ++k) {
            const int x = xk(k);
            const int yk = SpectrumY(levels[k], s, y, yb, h);
            for (int col = c; col < x; ++col) {
                dc.MoveTo(col, yb);
                dc.LineTo(col, yk);
            }
            c = x;
        }
    };
    auto curve = [&](const double* levels, const QColor& colour) {
        dc.SelectPen(colour, 1);
        dc.MoveTo(xk(0), SpectrumY(levels[0], s, y, yb, h));
        for (int k = 1; k < 2048; ++k)
            dc.LineTo(xk(k), SpectrumY(levels[k], s, y, yb, h));
    };
    area(s.m_peakHold, peakArea[t]);
    curve(s.m_peakHold, peakLine[t]);
    area(s.m_spectrumDb, FillOf(s));
    curve(s.m_spectrumDb, LineOf(s));
    LastRect() = {100, y, 100 + w, y + h};
    const GdiRect r = LastRect();
    dc.SetTextAlign(TextAlign::LeftTop);
    CUnitRuler dbScale(QStringLiteral("dB"));
    dbScale.m_horizontalLabels = true;
    dbScale.DrawVertical(dc, r, s.m_minDb, s.m_maxDb, true);
    CRuler rightScale;
    rightScale.m_horizontalLabels = true;
    rightScale.DrawVertical(dc, r, s.m_minDb, s.m_maxDb, false);
    double f = s.m_sampleFreq * 0.5;
    QString unit;
    trace_reference::FormatFrequency(f, unit);
    CUnitRuler(unit).DrawHorizontal(dc, r, 0.0, f, false);
    if (cursor.x != 0 || cursor.y != 0) {
        dc.SelectPen(QColor(255, 255, 255), 1, Qt::DotLine);
        dc.MoveTo(cursor.x, r.top);
        dc.LineTo(cursor.x, r.bottom);
        dc.MoveTo(r.left, cursor.y);
        dc.LineTo(r.right, cursor.y);
        double freq = double(cursor.x - r.left) / double(r.right - r.left) * s.m_sampleFreq * 0.5;
        QString fu;
        trace_reference::FormatFrequency(freq, fu);
        const double level = s.m_maxDb + (s.m_minDb - s.m_maxDb) * double(cursor.y - r.top) / double(r.bottom - r.top);
        trace_reference::DrawLabelBox(dc, QString::asprintf("%.3f %s\n%.1f dB", freq, qPrintable(fu), level), cursor.x,
                                      cursor.y, r);
    }
    dc.SetPen(previous);
    return h + 15;
}

inline int DrawTrace(QPainter& painter, const CSignal& s, const TraceArgs& a)
{
    CDrawContext dc(painter);
    const int h = s.GetRowHeight();
    if (s.m_count == 0)
        return h;
    if (s.m_spectrum)
        return DrawSpectrum(dc, s, a.y, a.width, a.crossHair);
    if (s.m_analog)
        return DrawAnalog(dc, s, a.first, a.last, a.step, a.y);
    dc.SetTextColor(TextOf(s));
    dc.SetTextAlign(TextAlign::CenterTop);
    const QPen previous = dc.Pen();
    dc.SelectPen(LineOf(s), s.m_selected ? 2 : 1);
    if (s.m_numBits == 1) {
        DrawBitTrace(dc, s, a.first, a.last, 100, a.step, a.y, 1);
    } else {
        DrawBus(dc, s, a.first, a.last, a.step, a.y);
        if (s.m_expanded) {
            uint32_t mask = 1u << (s.m_numBits - 1);
            int yb = a.y + s.m_busHeight + s.m_bitGap;
            for (int b = 0; b < s.m_numBits; ++b) {
                yb += DrawBitTrace(dc, s, a.first, a.last, 100, a.step, yb, mask) + s.m_bitGap;
                mask >>= 1;
            }
        }
    }
    LastRect() = {100, a.y, 100 + VisibleWidth(a.first, a.last, a.step), a.y + h};
    dc.SetPen(previous);
    return h;
}

// The rows pass of the view's paint: every row from y = 55 + scroll with 10
// pixels between rows, over a trace area of the image width - 110.
using TraceFunction = int (*)(QPainter&, const CSignal&, const TraceArgs&);

struct PaintSetup {
    int first = 0;
    int step = 20;
    int scrollY = 0;
    GdiPoint crossHair;   // given to every row; only spectrum rows draw it
};

// What the rows leave in the drawing context (the marker read-out after
// them uses the text colour and alignment).
struct LeftState {
    QColor textColor;
    TextAlign align = TextAlign::LeftTop;
    QPen pen;
    QFont font;
};

// rects, when given, receives the rectangle of each row: what TraceRectOf
// says for the fast drawers, what this drawing covered for the reference.
inline void PaintRows(QImage& image, const std::vector<CSignal*>& rows, const PaintSetup& setup, TraceFunction draw,
                      LeftState* left = nullptr, std::vector<GdiRect>* rects = nullptr)
{
    image.fill(Qt::black);
    QPainter painter(&image);
    CDrawContext dc(painter, 96.0, false);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
    dc.SetTextColor(QColor(190, 190, 190));
    dc.SetTextAlign(TextAlign::CenterTop);
    const int width = image.width() - 110;
    const int visible = setup.step > 0 ? width / setup.step + 1 : width * -setup.step;
    int last = setup.first + visible;
    int y = 55 + setup.scrollY;
    for (CSignal* s : rows) {
        if (last >= s->m_count)
            last = s->m_count - 1;
        const TraceArgs args{setup.first, last, setup.step, y, width, setup.crossHair};
        LastRect() = GdiRect{};
        y += draw(painter, *s, args) + 10;
        if (rects != nullptr)
            rects->push_back(draw == &trace_reference::DrawTrace ? LastRect() : TraceRectOf(*s, args));
    }
    if (left != nullptr)
        *left = LeftState{dc.TextColor(), dc.GetTextAlign(), dc.Pen(), dc.Font()};
}

}   // namespace trace_reference
