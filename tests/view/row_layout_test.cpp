// SPDX-License-Identifier: GPL-3.0-or-later
// The row layout of a window: where each row lies, the rectangles the paint
// and the mouse share, which rows are laid out at all, and the hit test.

#include <gtest/gtest.h>

#include <vector>

#include "trace_test_util.h"
#include "view/row_layout.h"

using namespace trace_test;

namespace {

CViewport Window(int width, int height, int scrollY = 0)
{
    CViewport v;
    v.SetClientSize(width, height);
    v.SetScrollY(scrollY);
    return v;
}

std::vector<uint32_t> Zeros(int n)
{
    return std::vector<uint32_t>(static_cast<size_t>(n), 0u);
}

}   // namespace

TEST(RowLayout, RowsStackWithTheirExtentsAndGaps)
{
    SignalSet set;
    CSignal& bit = set.Add(1, Zeros(4096));
    CSignal& bus = set.Add(8, Zeros(4096));   // expanded: 26 + 8 * 18
    CSignal& analog = set.Add(8, Zeros(4096));
    analog.m_analog = true;
    analog.m_graphHeight = 80;
    CSignal& spectrum = set.Add(8, Zeros(4096));
    spectrum.m_spectrum = true;
    CSignal& empty = set.Add(4, {});
    empty.m_expanded = false;
    CRowLayout layout;
    layout.Build(set.list, Window(1000, 2000));
    ASSERT_EQ(layout.Rows().size(), 5u);
    struct Expected {
        const CSignal* signal;
        int top, height, extent;
        GdiRect trace;
    };
    // 45 visible samples at 20 pixels (x 100..1020); a spectrum graph is the
    // trace width less 20 (1000 - 110 - 20); a row without samples has no trace.
    const Expected expected[] = {
        {&bit, 55, 16, 16, {100, 55, 1020, 71}},
        {&bus, 81, 170, 170, {100, 81, 1020, 251}},
        {&analog, 261, 80, 80, {100, 261, 1020, 341}},
        {&spectrum, 351, 100, 115, {100, 351, 970, 451}},
        {&empty, 476, 26, 26, {}},
    };
    for (size_t i = 0; i < 5; ++i) {
        const RowBox& row = layout.Rows()[i];
        EXPECT_EQ(row.signal, expected[i].signal) << i;
        EXPECT_EQ(row.index, int(i));
        EXPECT_EQ(row.top, expected[i].top) << i;
        EXPECT_EQ(row.height, expected[i].height) << i;
        EXPECT_EQ(row.extent, expected[i].extent) << i;
        EXPECT_EQ(row.label, (GdiRect{0, row.top, 100, row.top + row.height})) << i;
        EXPECT_EQ(row.trace, expected[i].trace) << i;
    }
    EXPECT_EQ(layout.RowsHeight(), 16 + 170 + 80 + 115 + 26 + 5 * 10);
    ASSERT_EQ(layout.SpectrumBands().size(), 1u);
    EXPECT_EQ(layout.SpectrumBands()[0].top, 351);
    EXPECT_EQ(layout.SpectrumBands()[0].bottom, 451 + 15);
    // The empty row cuts the visible range of every row after it.
    EXPECT_EQ(layout.Capture(), (CaptureExtent{true, 0, 0}));
}

TEST(RowLayout, EachRowShowsNoSamplesPastAShorterRowAboveIt)
{
    SignalSet set;
    set.Add(1, Zeros(4096));
    set.Add(1, Zeros(20));
    set.Add(1, Zeros(4096));
    CViewport v = Window(1000, 400);
    v.SetZoom(0.2);   // 4450 samples fit
    CRowLayout layout;
    layout.Build(set.list, v);
    ASSERT_EQ(layout.Rows().size(), 3u);
    EXPECT_EQ(layout.Rows()[0].last, 4095);
    EXPECT_EQ(layout.Rows()[1].last, 19);
    EXPECT_EQ(layout.Rows()[2].last, 19);
    EXPECT_EQ(layout.Capture(), (CaptureExtent{true, 20, 4096}));
}

TEST(RowLayout, OnlyRowsThatReachTheWindowAreLaidOut)
{
    // 256 one-bit rows of 26 pixels with their gaps; a window 1080 high
    // shows about 39 of them.
    SignalSet set;
    for (int i = 0; i < 256; ++i)
        set.Add(1, Zeros(100));
    for (const int scroll : {0, -3000, -(55 + 256 * 26 - 1080)}) {
        CRowLayout layout;
        layout.Build(set.list, Window(1920, 1080, scroll));
        EXPECT_GE(layout.Rows().size(), 40u) << scroll;
        EXPECT_LE(layout.Rows().size(), 46u) << scroll;
        EXPECT_EQ(layout.RowsHeight(), 256 * 26) << scroll;
        for (const RowBox& row : layout.Rows()) {
            EXPECT_GT(row.top + row.extent, -CRowLayout::kMargin) << scroll;
            EXPECT_LT(row.top, 1080 + CRowLayout::kMargin) << scroll;
            EXPECT_EQ(row.top, 55 + scroll + row.index * 26) << scroll;
        }
    }
}

TEST(RowLayout, HitTestUsesExclusiveRightAndBottom)
{
    SignalSet set;
    CSignal& a = set.Add(1, Zeros(10));   // trace (100, 55) to (300, 71)
    CSignal& b = set.Add(1, Zeros(10));   // trace (100, 81) to (300, 97)
    CRowLayout layout;
    layout.Build(set.list, Window(1000, 400));
    struct Case {
        GdiPoint point;
        const CSignal* hit;
    };
    const Case cases[] = {{{100, 55}, &a},     {{299, 70}, &a},      {{300, 60}, nullptr}, {{150, 71}, nullptr},
                          {{99, 60}, nullptr}, {{150, 54}, nullptr}, {{150, 81}, &b},      {{150, 80}, nullptr}};
    for (const Case& c : cases) {
        const RowBox* row = layout.TraceAt(c.point);
        EXPECT_EQ(row ? row->signal : nullptr, c.hit) << c.point.x << "," << c.point.y;
    }
    EXPECT_EQ(layout.Find(&b)->top, 81);
}
