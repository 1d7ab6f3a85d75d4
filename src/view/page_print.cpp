// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/page_print.h"

#include <QFont>
#include <QPainter>
#include <QPen>

#include <algorithm>

#include "document/vexlar_doc.h"
#include "model/signal.h"
#include "view/draw_context.h"
#include "view/name_column.h"
#include "view/row_layout.h"
#include "view/ruler.h"
#include "view/time_ruler.h"
#include "view/trace_draw.h"
#include "view/viewport.h"

namespace {

const QString kVerdana = QStringLiteral("Verdana");

// Black scales on the light bars of the page.
void PaperRuler(CRuler& ruler)
{
    ruler.m_textColor = QColor(0, 0, 0);
    ruler.m_minorColor = QColor(90, 90, 90);
}

// The overview bar of the whole capture and the ruler of the visible samples
// (in time when the document has a sample rate), as the window shows them.
void DrawRulers(CDrawContext& dc, const CViewport& v, double rate, int right)
{
    dc.FillSolidRect(100, 5, right - 100, 20, QColor(225, 225, 225));
    const int length = v.CaptureLength();
    if (length != 0) {
        const int left = static_cast<int>(100 + double(v.FirstVisible()) / length * (right - 100));
        const int end = static_cast<int>(100 + double(v.LastVisible()) / length * (right - 100));
        if (end > left)
            dc.FillSolidRect(left, 5, end - left, 20, QColor(170, 170, 170));
    }
    const GdiRect wholeRect{100, 23, right, 43};
    const GdiRect windowRect{100, 48, right, 68};
    if (rate > 0.0) {
        const double wholeEnd = length / rate;
        CTimeRuler whole(0.0, wholeEnd);
        PaperRuler(whole);
        whole.DrawHorizontal(dc, wholeRect, 0.0, wholeEnd, true);
        dc.FillSolidRect(100, 30, right - 100, 20, QColor(235, 235, 235));
        const double first = v.FirstVisible() / rate;
        const double last = v.XToSample(right) / rate;
        CTimeRuler window(first, last);
        PaperRuler(window);
        window.DrawHorizontal(dc, windowRect, first, last, true);
        return;
    }
    CRuler whole;
    PaperRuler(whole);
    whole.DrawHorizontal(dc, wholeRect, 0.0, length, true);
    dc.FillSolidRect(100, 30, right - 100, 20, QColor(235, 235, 235));
    CRuler window;
    PaperRuler(window);
    window.DrawHorizontal(dc, windowRect, v.FirstVisible(), v.XToSample(right), true);
}

// A line down the page that leaves out the spectrum graphs, as on screen.
void DrawVerticalLine(QPainter& painter, const CRowLayout& layout, const QPen& pen, int x, int yTop, int yBottom)
{
    painter.setPen(pen);
    int y0 = yTop;
    for (const SpectrumBand& band : layout.SpectrumBands()) {
        if (band.top > y0)
            painter.drawLine(QPoint(x, y0), QPoint(x, band.top));
        y0 = std::max(y0, band.bottom);
    }
    if (yBottom > y0)
        painter.drawLine(QPoint(x, y0), QPoint(x, yBottom));
}

}   // namespace

void PaintPage(QPainter& painter, const QRect& page, const CVexlarDoc& doc, const CViewport& window,
               const QString& title)
{
    if (page.width() < 2 || page.height() < 2)
        return;
    painter.save();
    painter.fillRect(page, Qt::white);

    // Window pixels onto the page: the window's width fills the page.
    const int w = std::max(window.ClientWidth(), 400);
    const double k = double(page.width()) / w;
    const int h = std::max(1, static_cast<int>(page.height() / k));
    painter.translate(page.topLeft());
    painter.scale(k, k);
    painter.setClipRect(QRect(0, 0, w, h));

    QFont titleFont(kVerdana);
    titleFont.setPixelSize(15);
    painter.setFont(titleFont);
    painter.setPen(QColor(0, 0, 0));
    painter.drawText(QRect(10, 0, w - 20, kPageTitleHeight), Qt::AlignLeft | Qt::AlignVCenter, title);
    painter.drawLine(QPoint(0, kPageTitleHeight - 2), QPoint(w, kPageTitleHeight - 2));

    // Below the title the window's picture, as tall as the page allows.
    painter.translate(0, kPageTitleHeight);
    const int rowsHeight = std::max(1, h - kPageTitleHeight);
    painter.setClipRect(QRect(0, 0, w, rowsHeight));
    CViewport v = window;
    v.SetClientSize(w, rowsHeight);
    v.SetCapture(CaptureExtentOf(doc.m_signals));
    CRowLayout layout;
    layout.Build(doc.m_signals, v);

    CDrawContext dc(painter, 96.0, false);
    CDCStateGuard guard(dc);
    dc.SelectFont(dc.PointFont(kVerdana, 100));
    for (const RowBox& row : layout.Rows()) {
        if (row.signal->m_freeze)
            dc.FillSolidRect(0, row.top, w, row.height, QColor(245, 232, 220));
        DrawNameColumn(dc, *row.signal, row.top, true);
    }
    dc.SelectFont(dc.PointFont(kVerdana, 80));
    dc.SetTextAlign(TextAlign::CenterTop);
    for (const RowBox& row : layout.Rows()) {
        TraceArgs args = layout.ArgsOf(row);
        args.paper = true;
        DrawTrace(painter, *row.signal, args);
    }
    dc.SetTextAlign(TextAlign::LeftTop);
    DrawRulers(dc, v, doc.m_sampleRate, w);

    // Trigger and markers: lines in the colours of the screen, darkened for
    // paper, with their labels in grey boxes.
    const int rowsTop = CViewport::kRowsTop;
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setStyleHint(QFont::SansSerif);
    labelFont.setPixelSize(13);
    const QFontMetrics metrics(labelFont);
    const auto mark = [&](int sample, const QColor& colour, const QString& text) {
        const int x = v.SampleToX(sample);
        painter.fillRect(QRect(x - 19, rowsTop, 38, 25), QColor(100, 100, 100, 200));
        DrawVerticalLine(painter, layout, QPen(colour, 3.0, Qt::SolidLine, Qt::FlatCap), x, rowsTop + 25, rowsHeight);
        painter.setFont(labelFont);
        painter.setPen(QColor(255, 255, 255));
        painter.drawText(QPoint(x - metrics.horizontalAdvance(text) / 2, rowsTop + metrics.ascent()), text);
    };
    if (v.PixelStep() > 20) {
        const QPen grid(QColor(0, 0, 0, 40), 1.0, Qt::SolidLine, Qt::FlatCap);
        for (int x = 100; x < w; x += v.PixelStep())
            DrawVerticalLine(painter, layout, grid, x, rowsTop, rowsHeight);
    }
    mark(doc.m_triggerPos, QColor(0, 150, 170, 150), QStringLiteral("T"));
    if (doc.m_marker1 >= 0)
        mark(doc.m_marker1, QColor(190, 140, 0, 160), QStringLiteral("M1"));
    if (doc.m_marker2 >= 0)
        mark(doc.m_marker2, QColor(190, 140, 0, 160), QStringLiteral("M2"));
    painter.restore();
}
