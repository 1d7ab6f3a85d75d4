// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/bus_text.h"

#include "view/draw_context.h"

QString FitBusText(const CDrawContext& dc, const QString& text, int boxWidth)
{
    const int room = boxWidth - kBusTextMargin;
    if (room <= 0 || text.isEmpty())
        return QString();
    if (dc.MeasureText(text).right <= room)
        return text;
    // The longest leading part that fits with the dots. Widths grow with the
    // length, so a binary search finds it in a few measurements (a box is
    // measured at every paint).
    const QString dots = QStringLiteral("...");
    const auto fits = [&](qsizetype n) { return dc.MeasureText(text.left(n) + dots).right <= room; };
    if (text.size() < 2 || !fits(1))
        return QString();
    qsizetype lo = 1;                 // fits
    qsizetype hi = text.size() - 1;   // the longest candidate
    while (lo < hi) {
        const qsizetype mid = (lo + hi + 1) / 2;
        if (fits(mid))
            lo = mid;
        else
            hi = mid - 1;
    }
    return text.left(lo) + dots;
}
