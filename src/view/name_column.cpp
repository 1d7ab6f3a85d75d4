// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/name_column.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

#include "model/signal.h"
#include "view/draw_context.h"
#include "view/theme_colors.h"

namespace {

int32_t Clamped(int64_t v)
{
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The logical y range the painter's device can show (the whole device mapped
// back through the painter's transform); rows outside it draw nothing.
void VisibleYRange(QPainter& painter, int64_t& lo, int64_t& hi)
{
    lo = INT32_MIN;
    hi = INT32_MAX;
    const QPaintDevice* device = painter.device();
    if (device == nullptr)
        return;
    bool invertible = false;
    const QTransform inverse = painter.worldTransform().inverted(&invertible);
    if (!invertible)
        return;
    const QRectF area = inverse.mapRect(QRectF(0, 0, device->width(), device->height()));
    lo = static_cast<int64_t>(std::floor(area.top()));
    hi = static_cast<int64_t>(std::ceil(area.bottom()));
}

void DrawColumn(CDrawContext& dc, const CSignal& signal, int y, int width, bool bitNumbers, bool paper)
{
    if (paper)
        dc.SetTextColor(QColor(0, 0, 0));
    else
        dc.SetTextColor(signal.m_selected ? ThemeColors::SelectedText() : ThemeColors::NormalText());
    dc.SetTextAlign(TextAlign::LeftTop);
    dc.TextOut(signal.m_bitGap, Clamped(int64_t(y) + signal.m_bitGap), signal.m_name);

    dc.SetTextAlign(TextAlign::RightTop);
    if (!bitNumbers)
        return;
    const int x = Clamped(width - 2 * int64_t(signal.m_bitGap));
    // Bit f stands at base + f * pitch. Only the bits whose label can reach
    // the target are visited, so a bus of absurd width from a file or the
    // dialog costs no more than the rows on screen.
    const int64_t base = int64_t(y) + signal.m_busHeight + signal.m_bitGap - 3;
    const int64_t pitch = int64_t(signal.m_bitGap) + signal.m_bitHeight;
    int64_t lo = 0;
    int64_t hi = 0;
    VisibleYRange(dc.Painter(), lo, hi);
    const int64_t textHeight = std::max<int64_t>(1, dc.MeasureText(QStringLiteral("0")).bottom);
    lo -= textHeight;   // a label whose top lies above the area may still show
    int64_t firstBit = 0;
    int64_t lastBit = int64_t(signal.m_numBits) - 1;
    if (pitch > 0) {
        if (base < lo)
            firstBit = std::max<int64_t>(firstBit, (lo - base) / pitch);
        if (base > hi)
            return;
        lastBit = std::min(lastBit, (hi - base) / pitch + 1);
    } else if (pitch < 0) {
        if (base > hi)
            firstBit = std::max<int64_t>(firstBit, (base - hi) / -pitch);
        if (base < lo)
            return;
        lastBit = std::min(lastBit, (base - lo) / -pitch + 1);
    } else {
        // Every label on the same line: the last one drawn is the one seen.
        if (base < lo || base > hi)
            return;
        firstBit = lastBit;
    }
    for (int64_t f = firstBit; f <= lastBit; ++f) {
        const int64_t yb = base + f * pitch;
        dc.TextOut(x, Clamped(yb), QString::number(int64_t(signal.m_numBits) - 1 - f));
    }
}

}   // namespace

void DrawNameColumn(CDrawContext& dc, const CSignal& signal, int y, bool paper)
{
    const bool perBitRows = signal.m_numBits > 1 && signal.m_expanded && !signal.m_analog && !signal.m_spectrum;
    DrawColumn(dc, signal, y, 100, perBitRows, paper);
}

void DrawPrintNameColumn(CDrawContext& dc, const CSignal& signal, int y)
{
    const bool perBitRows = signal.m_numBits > 1 && signal.m_expanded && !signal.m_analog;
    DrawColumn(dc, signal, y, 300, perBitRows, false);
}
