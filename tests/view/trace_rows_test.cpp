// SPDX-License-Identifier: GPL-3.0-or-later
// The row drawers on painted images: levels, fills, crossings, dense runs,
// value texts, per-bit rows, selection, analog scaling, spectrum layout and
// the read-out box, checked at known pixels.

#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <functional>

#include "trace_test_util.h"
#include "view/bus_text.h"
#include "view/draw_context.h"
#include "view/theme_colors.h"
#include "view/trace_draw.h"

using namespace trace_test;

namespace {

struct Painted {
    QImage image;
    int extent = 0;
    GdiRect rect;   // the row's trace rectangle as the window's layout gets it
};

Painted Draw(const CSignal& s, int first, int last, int step, int y = 10, int w = 500, int h = 260)
{
    EnsureApp();
    Painted out{BlackImage(w, h), 0};
    QPainter painter(&out.image);
    CDrawContext dc(painter, 96.0, false);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
    dc.SetTextAlign(TextAlign::CenterTop);
    const TraceArgs args{first, last, step, y, w - 110};
    out.extent = DrawTrace(painter, s, args);
    out.rect = TraceRectOf(s, args);
    return out;
}

std::vector<uint32_t> Toggling(int n)
{
    std::vector<uint32_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[size_t(i)] = uint32_t(i & 1);
    return v;
}

// Pixels of a rectangle (inclusive) that are not `c`.
int CountOther(const QImage& img, int x0, int y0, int x1, int y1, const QColor& c)
{
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (!Same(At(img, x, y), c))
                ++n;
    return n;
}

const QColor kLine = ThemeColors::NormalLine(1);
const QColor kFill = ThemeColors::NormalFill(1);
const QColor kBlack(0, 0, 0);

}   // namespace

TEST(TraceRows, OneBitSquareWaveAtTwentyPixelsPerSample)
{
    SignalSet set;
    CSignal& s = set.Add(1, Toggling(12));
    const int y = 10;
    const Painted p = Draw(s, 0, 11, 20, y);
    EXPECT_EQ(p.extent, 16);
    EXPECT_EQ(p.rect, (GdiRect{100, y, 100 + 12 * 20, y + 16}));
    // Sample 0 low from 100 to 120, sample 1 high from 120 to 140, ...
    for (int x = 100; x < 120; ++x)
        EXPECT_TRUE(Same(At(p.image, x, y + 13), kLine)) << x;
    EXPECT_TRUE(Same(At(p.image, 110, y + 8), kBlack));
    for (int x = 120; x < 140; ++x)
        EXPECT_TRUE(Same(At(p.image, x, y + 3), kLine)) << x;
    // Rising edge at 120, falling edge at 140.
    for (int yy = y + 4; yy <= y + 13; ++yy)
        EXPECT_TRUE(Same(At(p.image, 120, yy), kLine)) << yy;
    for (int yy = y + 3; yy < y + 13; ++yy)
        EXPECT_TRUE(Same(At(p.image, 140, yy), kLine)) << yy;
    // Body under the high level: columns 121..140, rows y+3..y+14, lines on top.
    for (int x = 121; x < 140; ++x)
        for (int yy = y + 4; yy <= y + 14; ++yy)
            if (yy != y + 13) {
                EXPECT_TRUE(Same(At(p.image, x, yy), kFill)) << x << "," << yy;
            }
    EXPECT_TRUE(Same(At(p.image, 130, y + 15), kBlack));
    EXPECT_TRUE(Same(At(p.image, 130, y + 2), kBlack));
    // Every high level is filled: samples 3, 5, 7, 9.
    for (int k : {3, 5, 7, 9})
        EXPECT_TRUE(Same(At(p.image, 100 + k * 20 + 10, y + 8), kFill)) << k;
}

TEST(TraceRows, OneBitAtFiveSamplesPerPixelIsOneSolidBlock)
{
    SignalSet set;
    CSignal& s = set.Add(1, Toggling(100));
    const int y = 10;
    const Painted p = Draw(s, 0, 99, -5, y);
    EXPECT_EQ(p.rect, (GdiRect{100, y, 120, y + 16}));
    // 20 columns at x 100..119; the last transition column closes the run.
    EXPECT_EQ(CountOther(p.image, 100, y + 3, 118, y + 12, kLine), 0);
    EXPECT_EQ(CountOther(p.image, 100, y + 13, 130, y + 15, kBlack), 0);
    EXPECT_EQ(CountOther(p.image, 100, y, 130, y + 2, kBlack), 0);
    EXPECT_EQ(CountOther(p.image, 119, y, 130, y + 15, kBlack), 0);
}

TEST(TraceRows, DenseThresholdThreeAndFourPixels)
{
    struct Case {
        int high;    // samples of the short high level
        bool wide;   // drawn as a level with its body
    };
    for (const Case c : {Case{3, false}, Case{4, true}}) {
        std::vector<uint32_t> v(10, 0u);
        v.insert(v.end(), size_t(c.high), 1u);
        v.insert(v.end(), 20, 0u);
        SignalSet set;
        CSignal& s = set.Add(1, v);
        const int y = 10;
        const Painted p = Draw(s, 0, int(v.size()) - 1, 1, y);
        const QColor mid = At(p.image, 112, y + 8);
        if (c.wide) {
            EXPECT_TRUE(Same(mid, kFill)) << c.high;
            for (int x = 110; x < 114; ++x)
                EXPECT_TRUE(Same(At(p.image, x, y + 3), kLine)) << x;
            EXPECT_TRUE(Same(At(p.image, 114, y + 8), kLine));   // falling edge
        } else {
            // A solid block over 110..112, height 10, in the line colour.
            EXPECT_EQ(CountOther(p.image, 110, y + 3, 112, y + 12, kLine), 0) << c.high;
            EXPECT_TRUE(Same(At(p.image, 111, y + 14), kBlack));
        }
    }
}

TEST(TraceRows, ConstantBusHasStraightLeftEndAndTextWheneverItFits)
{
    // "x5A" fits a box of 50 pixels (it once needed more than 50); a box of
    // 10 has no room even for "x..." once the crossings are left out.
    for (const int width : {10, 50, 51}) {
        SignalSet set;
        CSignal& s = set.Add(8, std::vector<uint32_t>(200, 0x5Au));
        s.m_expanded = false;
        const int y = 10;
        const Painted p = Draw(s, 0, width, 1, y);   // last sample at x = 100 + width
        EXPECT_EQ(p.extent, 26);
        const int xl = 100 + width;
        // Straight left end: edges start at 100, nothing left of it.
        EXPECT_TRUE(Same(At(p.image, 100, y + 3), kLine));
        EXPECT_TRUE(Same(At(p.image, 100, y + 23), kLine));
        EXPECT_EQ(CountOther(p.image, 90, y, 99, y + 26, kBlack), 0);
        // Edges up to x(last) - 3, the right end open; body 101..x(last).
        EXPECT_TRUE(Same(At(p.image, xl - 4, y + 3), kLine));
        EXPECT_TRUE(Same(At(p.image, xl - 4, y + 23), kLine));
        EXPECT_TRUE(Same(At(p.image, xl - 3, y + 3), kFill));
        EXPECT_TRUE(Same(At(p.image, xl, y + 12), kFill));
        EXPECT_TRUE(Same(At(p.image, xl + 1, y + 12), kBlack));
        const int text = CountOther(p.image, 101, y + 4, xl, y + 22, kFill);
        if (width == 10) {
            EXPECT_EQ(text, 0);
        } else {
            EXPECT_GT(text, 10) << width;
        }
    }
}

TEST(TraceRows, BusCrossingAtEachLaterBox)
{
    std::vector<uint32_t> v(10, 1u);
    v.insert(v.end(), 10, 2u);
    SignalSet set;
    CSignal& s = set.Add(4, v);
    s.m_expanded = false;
    const int y = 10;
    const Painted p = Draw(s, 0, 19, 10, y);
    // Second box starts at 200: crossing lines from (197, y+3) to (203, y+23) and back.
    EXPECT_TRUE(Same(At(p.image, 197, y + 3), kLine));
    EXPECT_TRUE(Same(At(p.image, 197, y + 23), kLine));
    EXPECT_TRUE(Same(At(p.image, 200, y + 13), kLine));
    EXPECT_TRUE(Same(At(p.image, 203, y + 3), kLine));
    // Box texts: 100 pixels wide boxes carry their value.
    EXPECT_GT(CountOther(p.image, 130, y + 4, 170, y + 22, kFill), 10);
}

TEST(TraceRows, ExpandedEightBitBusHasBitSevenOnTop)
{
    SignalSet set;
    CSignal& s = set.Add(8, std::vector<uint32_t>(40, 0x80u));
    const int y = 10;
    const Painted p = Draw(s, 0, 39, 5, y);
    EXPECT_EQ(p.extent, 170);
    EXPECT_EQ(p.rect.bottom - p.rect.top, 170);
    // Bit 7 (top bit row at y + 28) high, bit 6 (y + 46) low, bit 0 (y + 154) low.
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 3), kLine));
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 8), kFill));
    EXPECT_TRUE(Same(At(p.image, 150, y + 46 + 3), kBlack));
    EXPECT_TRUE(Same(At(p.image, 150, y + 46 + 13), kLine));
    EXPECT_TRUE(Same(At(p.image, 150, y + 154 + 13), kLine));
    EXPECT_TRUE(Same(At(p.image, 150, y + 169), kBlack));
}

TEST(TraceRows, SelectedRowsUseTwoPixelPensAndWhiteText)
{
    auto levelThickness = [](const QImage& img, int x, int y0, int y1, const QColor& c) {
        int n = 0;
        for (int yy = y0; yy <= y1; ++yy)
            n += Same(At(img, x, yy), c) ? 1 : 0;
        return n;
    };
    for (const bool selected : {false, true}) {
        SignalSet set;
        CSignal& bit = set.Add(1, std::vector<uint32_t>(30, 0u));
        bit.m_selected = selected;
        bit.m_colorTheme = 0;
        const Painted p = Draw(bit, 0, 29, 5, 20);
        const QColor line = selected ? ThemeColors::SelectedLine(0) : ThemeColors::NormalLine(0);
        EXPECT_EQ(levelThickness(p.image, 150, 20 + 10, 20 + 16, line), selected ? 2 : 1);

        CSignal& bus = set.Add(8, std::vector<uint32_t>(200, 0x88u));
        bus.m_selected = selected;
        bus.m_expanded = false;
        const Painted q = Draw(bus, 0, 150, 1, 20);
        int brightest = 0;
        for (int yy = 25; yy < 42; ++yy)
            for (int x = 150; x < 250; ++x)
                brightest = std::max(brightest, QColor(q.image.pixel(x, yy)).red());
        // Glyph pixels blend into the box; only a selected row's text gets brighter than 200.
        if (selected)
            EXPECT_GT(brightest, 230);
        else
            EXPECT_LE(brightest, 200);
        EXPECT_GT(brightest, 150);
        const QColor busLine = selected ? ThemeColors::SelectedLine(1) : ThemeColors::NormalLine(1);
        EXPECT_EQ(levelThickness(q.image, 140, 20, 27, busLine), selected ? 2 : 1);
    }
}

TEST(TraceRows, AnalogValuesMapBetweenMinAndMax)
{
    struct Case {
        uint32_t value;
        int numBits;
        SignalRadix radix;
        int32_t min, max;
        int expectedOffset;
    };
    const Case cases[] = {
        {512, 16, Hex, 0, 1024, 50},   {0, 16, Hex, 0, 1024, 100}, {2000, 16, Hex, 0, 1024, 0},   // clamped to the top
        {0xFF, 8, Signed, -2, 2, 75},                                                             // -1
        {0xFF, 8, Unsigned, -2, 2, 0},                                                            // 255, clamped
        {7, 8, Hex, 5, 5, 0},                                                                     // no range: top edge
    };
    for (const Case& c : cases) {
        SignalSet set;
        CSignal& s = set.Add(c.numBits, std::vector<uint32_t>(20, c.value));
        s.m_analog = true;
        s.m_radix = c.radix;
        s.m_min = c.min;
        s.m_max = c.max;
        const int y = 20;
        const Painted p = Draw(s, 0, 19, 20, y);
        EXPECT_EQ(p.extent, 100);
        EXPECT_EQ(p.rect, (GdiRect{100, y, 100 + 400, y + 100}));
        EXPECT_TRUE(Same(At(p.image, 150, y + c.expectedOffset), kLine)) << c.value << " " << c.expectedOffset;
        const int other = c.expectedOffset == 50 ? 40 : 50;
        EXPECT_TRUE(Same(At(p.image, 150, y + other), QColor(30, 30, 30)));
    }
}

TEST(TraceRows, OneBitAnalogIsDigitalOnGraphBackground)
{
    SignalSet set;
    CSignal& s = set.Add(1, Toggling(20));
    s.m_analog = true;
    const int y = 20;
    const Painted p = Draw(s, 0, 19, 20, y);
    EXPECT_EQ(p.extent, 16);
    EXPECT_TRUE(Same(At(p.image, 110, y + 13), kLine));               // low level
    EXPECT_TRUE(Same(At(p.image, 110, y + 8), QColor(30, 30, 30)));   // graph background
    EXPECT_TRUE(Same(At(p.image, 130, y + 3), kLine));                // high level
    EXPECT_TRUE(Same(At(p.image, 130, y + 8), kFill));
    EXPECT_TRUE(Same(At(p.image, 130, y + 15), QColor(30, 30, 30)));
}

TEST(TraceRows, AnalogColumnsAtFourSamplesPerPixel)
{
    // Columns 0 and 1 hold 450 only; column 2 spans 0..1000; column 3 is 450 again.
    // (450, not a value of the scale's ticks, whose markers touch the graph's
    // left edge.)
    std::vector<uint32_t> v(8, 450u);
    for (uint32_t x : {450u, 0u, 1000u, 450u})
        v.push_back(x);
    v.insert(v.end(), 4, 450u);
    SignalSet set;
    CSignal& s = set.Add(16, v);
    s.m_analog = true;
    s.m_min = 0;
    s.m_max = 1000;
    const int y = 20;
    const Painted p = Draw(s, 0, int(v.size()) - 1, -4, y);
    EXPECT_EQ(p.rect, (GdiRect{100, y, 104, y + 100}));
    // Column 1 joins column 0 with a level line at y + 55.
    EXPECT_TRUE(Same(At(p.image, 100, y + 55), kLine));
    // Column 2 is one bar from y (1000) down to y + 100 (0), end point left out.
    for (int yy = y; yy < y + 100; ++yy)
        EXPECT_TRUE(Same(At(p.image, 102, yy), kLine)) << yy;
    // Column 3 (all 450) is joined to the bar's lower end by a line up to y + 55.
    EXPECT_TRUE(Same(At(p.image, 103, y + 56), kLine) || Same(At(p.image, 103, y + 57), kLine));
}

TEST(TraceRows, FormatFrequencyUnits)
{
    struct Case {
        double in;
        double out;
        const char* unit;
    };
    const Case cases[] = {{1000.0, 1000.0, "Hz"},       {1000.5, 1.0005, "kHz"}, {1000000.0, 1000.0, "kHz"},
                          {1000001.0, 1.000001, "MHz"}, {0.5, 0.5, "Hz"},        {2.5e9, 2500.0, "MHz"}};
    for (const Case& c : cases) {
        double f = c.in;
        QString unit;
        FormatFrequency(f, unit);
        EXPECT_DOUBLE_EQ(f, c.out) << c.in;
        EXPECT_EQ(unit, QString::fromLatin1(c.unit)) << c.in;
    }
}

TEST(TraceRows, ReadOutBoxStaysInsideBounds)
{
    EnsureApp();
    const GdiRect bounds{100, 20, 500, 220};
    const QColor box(20, 20, 40);
    struct Case {
        int x, y;
    };
    for (const Case c : {Case{490, 215}, Case{120, 30}}) {
        QImage img = BlackImage(600, 300);
        QPainter painter(&img);
        CDrawContext dc(painter, 96.0, false);
        const QString text = QStringLiteral("12.500 Hz\n-20.0 dB");
        dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 90));
        const GdiRect m = dc.MeasureText(text);
        dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
        DrawLabelBox(dc, text, c.x, c.y, bounds);
        painter.end();
        int left = 10000, top = 10000, right = -1, bottom = -1;
        for (int yy = 0; yy < img.height(); ++yy)
            for (int x = 0; x < img.width(); ++x)
                if (Same(At(img, x, yy), box)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, yy);
                    bottom = std::max(bottom, yy);
                }
        // The text rectangle r is 15 right of and 23 below the point, pushed
        // inside; the box is r grown by 3 and moved by (1, 1).
        int rl = c.x + 15, rt = c.y + 23;
        rl -= std::max(0, rl + m.right - bounds.right);
        rt -= std::max(0, rt + m.bottom - bounds.bottom);
        EXPECT_EQ(left, rl - 2) << c.x;
        EXPECT_EQ(top, rt - 2) << c.y;
        EXPECT_EQ(right, rl + m.right + 3);
        EXPECT_EQ(bottom, rt + m.bottom + 3);
        if (c.x > 400) {
            EXPECT_EQ(rl + m.right, bounds.right);
            EXPECT_EQ(rt + m.bottom, bounds.bottom);
        }
        // The font and state of the context come back.
        EXPECT_EQ(dc.Font().pixelSize(), dc.PointFont(QStringLiteral("Verdana"), 80).pixelSize());
    }
}

TEST(TraceRows, SpectrumRowIsFifteenPixelsTallerWithItsFrequencyAxis)
{
    SignalSet set;
    std::vector<uint32_t> v(8192);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = uint32_t(100 + (i % 16 < 8 ? 50 : 0));
    CSignal& s = set.Add(8, v);
    s.m_spectrum = true;
    s.m_sampleFreq = 1000.0;
    s.m_minDb = -40.0;
    s.m_maxDb = 80.0;
    s.UpdateSpectrum();   // the hand-off computes it; the drawer only shows it
    const int y = 20;
    const Painted p = Draw(s, 0, 400, 1, y, 700, 300);
    EXPECT_EQ(p.extent, 100 + 15);
    EXPECT_EQ(p.rect, (GdiRect{100, y, 100 + 700 - 110 - 20, y + 100}));
    // Frequency labels (white) in the 15 pixels below the graph.
    int white = 0;
    for (int yy = y + 100; yy < y + 115; ++yy)
        for (int x = 100; x < 680; ++x)
            white += QColor(p.image.pixel(x, yy)).red() > 200 ? 1 : 0;
    EXPECT_GT(white, 20);
    // The graph background and a curve in the current line colour.
    EXPECT_TRUE(Same(At(p.image, 105, y + 1), QColor(30, 30, 30)));
    int curve = 0;
    for (int yy = y; yy < y + 100; ++yy)
        for (int x = 100; x < 670; ++x)
            curve += Same(At(p.image, x, yy), kLine) ? 1 : 0;
    EXPECT_GT(curve, 100);
}

TEST(TraceRows, RowWithoutSamplesDrawsNothingAndHasNoTrace)
{
    SignalSet set;
    CSignal& s = set.Add(8, {});
    const Painted p = Draw(s, 0, 10, 20, 10);
    EXPECT_EQ(p.extent, 26 + 8 * 18);
    EXPECT_EQ(p.rect, GdiRect{});   // nothing for a click to hit
    EXPECT_EQ(CountOther(p.image, 0, 0, p.image.width() - 1, p.image.height() - 1, kBlack), 0);
    s.m_spectrum = true;
    EXPECT_EQ(Draw(s, 0, 10, 20, 10).extent, 100);   // no frequency axis without samples
}

TEST(TraceRows, FieldsWiderThanTheWordHaveLowUpperRowsAndCostOnlyTheVisibleRows)
{
    SignalSet set;
    CSignal& wide = set.Add(40, std::vector<uint32_t>(30, 0x80000000u));
    const int y = 10;
    const Painted p = Draw(wide, 0, 29, 10, y, 500, 260);
    // Rows 0..7 are bits 39..32 (no such bits: low), row 8 is bit 31 (high).
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 13), kLine));
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 3), kBlack));
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 8 * 18 + 3), kLine));
    EXPECT_TRUE(Same(At(p.image, 150, y + 28 + 8 * 18 + 8), kFill));
    // A width read from a broken file: the row is enormous, the paint is not.
    CSignal& absurd = set.Add(8, std::vector<uint32_t>(30, 0x1u));
    absurd.m_numBits = 2000000000;
    const Painted q = Draw(absurd, 0, 29, 10, y, 500, 260);
    EXPECT_EQ(q.extent, INT32_MAX);
    EXPECT_TRUE(Same(At(q.image, 150, y + 28 + 13), kLine));   // bit 1999999999: low
}

TEST(TraceRows, AbsurdGraphHeightsDrawWithoutOverflow)
{
    for (const int32_t graphHeight : {INT32_MAX, -50, 0}) {
        SignalSet set;
        CSignal& analog = set.Add(8, std::vector<uint32_t>(50, 7u));
        analog.m_analog = true;
        analog.m_graphHeight = graphHeight;
        EXPECT_EQ(Draw(analog, 0, 49, -2, 10).extent, graphHeight);
        CSignal& spectrum = set.Add(8, std::vector<uint32_t>(50, 7u));
        spectrum.m_spectrum = true;
        spectrum.m_graphHeight = graphHeight;
        const int extent = Draw(spectrum, 0, 49, 1, 10).extent;
        EXPECT_EQ(extent, graphHeight == INT32_MAX ? INT32_MAX : graphHeight + 15);
    }
}

// Bit widths read from a broken file, with the Signed radix: the sign bit is
// bit (width - 1) modulo 32 as the signal record reads it, worked out without
// overflowing for any width, also when the summaries of the samples are kept.
TEST(TraceRows, SignedValuesOfAbsurdWidthsFollowTheSignalRecord)
{
    for (const int32_t numBits : {INT32_MIN, 0, 33, INT32_MAX}) {
        SignalSet set;
        std::vector<uint32_t> v(64, 0x80000005u);   // bit 31 set
        CSignal& s = set.Add(8, v);
        s.m_numBits = numBits;
        s.UpdateMask();
        s.m_analog = true;
        s.m_graphHeight = 100;
        s.m_radix = Signed;
        s.m_min = -2;
        s.m_max = 2;
        const double value = static_cast<int32_t>(s.SignExtend(v[0]));
        const int expected = static_cast<int>(std::clamp(100.0 - (value + 2.0) / 4.0 * 100.0, 0.0, 100.0));
        const CTraceCacheScope scope(&set, 1);
        for (int paint = 0; paint < 3; ++paint) {   // the later paints use kept summaries
            const Painted p = Draw(s, 0, 63, -4, 20);
            EXPECT_TRUE(Same(At(p.image, 101, 20 + expected), kLine)) << numBits << " paint " << paint;
        }
        ClearTraceCache();
    }
}

// The text of a bus box as it narrows: whole, then its leading characters
// with "...", then nothing; never wider than the room between the crossings.
TEST(TraceRows, BusTextIsElidedBeforeItVanishes)
{
    EnsureApp();
    QImage image(200, 40, QImage::Format_RGB32);
    QPainter painter(&image);
    CDrawContext dc(painter);
    dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
    const QString text = QStringLiteral("x00000ABC");
    const int whole = dc.MeasureText(text).right;
    QString previous = text;
    bool sawElided = false;
    for (int box = whole + kBusTextMargin + 10; box >= 0; --box) {
        const QString shown = FitBusText(dc, text, box);
        if (shown.isEmpty()) {
            EXPECT_LT(box, dc.MeasureText(QStringLiteral("x...")).right + kBusTextMargin + 1) << box;
            previous = shown;
            continue;
        }
        EXPECT_LE(dc.MeasureText(shown).right, box - kBusTextMargin) << box;
        EXPECT_FALSE(previous.isEmpty()) << "once gone, the text does not come back at " << box;
        if (shown != text) {
            sawElided = true;
            ASSERT_TRUE(shown.endsWith(QLatin1String("..."))) << shown.toStdString();
            const QString kept = shown.chopped(3);
            EXPECT_TRUE(text.startsWith(kept)) << shown.toStdString();
            EXPECT_GE(kept.size(), 1);
            // The longest part that fits: one character more would not.
            if (kept.size() + 1 < text.size()) {
                EXPECT_GT(dc.MeasureText(text.left(kept.size() + 1) + QStringLiteral("...")).right,
                          box - kBusTextMargin);
            }
            const qsizetype previousKept = previous == text ? text.size() : previous.size() - 3;
            EXPECT_LE(kept.size(), previousKept) << box;
        } else {
            EXPECT_GE(box, whole + kBusTextMargin);
        }
        previous = shown;
    }
    EXPECT_TRUE(sawElided);
    EXPECT_TRUE(FitBusText(dc, text, 0).isEmpty());
    EXPECT_EQ(FitBusText(dc, text, 10000), text);
}
