// SPDX-License-Identifier: GPL-3.0-or-later
// Rows whose settings come from a broken file or an odd dialog entry: every
// combination of extreme widths, ranges, heights, dB scales, frequencies,
// themes, cursors, zoom steps and visible ranges paints without failing, on
// screen and in print, and returns the row extent of the signal record.

#include <gtest/gtest.h>

#include <QPainter>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "trace_test_util.h"
#include "view/draw_context.h"
#include "view/trace_draw.h"

using namespace trace_test;

TEST(TraceAbsurd, ExtremeSettingsPaintAndReturnTheRowExtent)
{
    EnsureApp();
    const int32_t ints[] = {INT32_MIN, INT32_MIN + 1, -100000, -1, 0, 1, 2, 31, 32, 33, 4096, INT32_MAX - 1, INT32_MAX};
    const double doubles[] = {-std::numeric_limits<double>::infinity(), -1e308,      -1.0, 0.0, 1e-300, 1.0, 1e308,
                              std::numeric_limits<double>::infinity(),  std::nan("")};
    // Zoom steps as the view makes them (up to 160 pixels per sample), and beyond
    // on the zoomed-out side.
    const int steps[] = {INT_MIN, -1000000, -3, -1, 0, 1, 20, 160};
    std::mt19937 rng(4242);
    auto pick = [&](const auto& table) { return table[rng() % (sizeof(table) / sizeof(table[0]))]; };
    std::vector<uint32_t> samples(9000);
    for (auto& w : samples)
        w = rng() & (rng() | rng());
    QImage image = BlackImage(400, 300);
    for (int round = 0; round < 400; ++round) {
        SignalSet set;
        CSignal& s = set.Add(8, samples);
        s.m_numBits = pick(ints);
        s.UpdateMask();
        s.m_expanded = rng() % 2 == 0;
        s.m_selected = rng() % 2 == 0;
        s.m_radix = static_cast<SignalRadix>(rng() % 4);
        s.m_colorTheme = pick(ints);
        s.m_analog = rng() % 3 == 0;
        s.m_spectrum = rng() % 4 == 0;
        s.m_min = pick(ints);
        s.m_max = pick(ints);
        s.m_graphHeight = pick(ints);
        s.m_sampleFreq = pick(doubles);
        s.m_minDb = pick(doubles);
        s.m_maxDb = pick(doubles);
        const GdiPoint crossHair{pick(ints), pick(ints)};
        if (s.m_spectrum)
            s.UpdateSpectrum();   // what a capture or an edit of the signal does
        const int first = rng() % 3 == 0 ? pick(ints) : int(rng() % 9000);
        const int last = rng() % 3 == 0 ? pick(ints) : int(rng() % 9000);
        const int step = pick(steps);
        const int y = rng() % 2 == 0 ? int(rng() % 200) - 100 : (rng() % 2 ? -(1 << 29) : (1 << 29));
        const int width = rng() % 4 == 0 ? pick(ints) : 290;

        QPainter painter(&image);
        CDrawContext dc(painter, 96.0, false);
        dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
        const TraceArgs args{first, last, step, y, width, crossHair};
        const int extent = DrawTrace(painter, s, args);
        (void)TraceRectOf(s, args);   // the layout's rectangle of the same row
        const int64_t expected = int64_t(s.GetRowHeight()) + (s.m_spectrum ? 15 : 0);
        EXPECT_EQ(extent, static_cast<int>(std::min<int64_t>(expected, INT32_MAX))) << "round " << round;
        painter.end();

        QPainter print(&image);
        print.scale(0.2, -0.2);
        CDrawContext pdc(print, 254.0, true);
        pdc.SelectFont(pdc.PointFont(QStringLiteral("Verdana"), 80));
        const double scales[] = {-1e300, -7.0, -0.5, 0.0, 0.3, 1.0, 12.0, 1900.0, std::nan("")};
        EXPECT_EQ(DrawPrintTrace(print, s, first, last, pick(scales), y), s.GetRowHeight()) << "round " << round;
        print.end();
        if (HasFailure())
            return;
    }
}
