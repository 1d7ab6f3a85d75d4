// SPDX-License-Identifier: GPL-3.0-or-later
// The row drawers' bulk lines cover exactly the pixels of the drawing
// context's LineTo: every direction and slope, joined polylines, tall
// columns merged into rectangles.

#include <gtest/gtest.h>

#include <QPainter>

#include <random>

#include "trace_test_util.h"
#include "view/draw_context.h"
#include "view/trace_internal.h"

using namespace trace_test;

namespace {

struct Segment {
    int x1, y1, x2, y2;
};

void ExpectSamePixels(const std::vector<Segment>& segments, int penWidth, const char* what)
{
    QImage expected = BlackImage(400, 400);
    QImage actual = BlackImage(400, 400);
    {
        QPainter painter(&expected);
        CDrawContext dc(painter);
        dc.SelectPen(QColor(0, 255, 0), penWidth);
        for (const Segment& s : segments) {
            dc.MoveTo(s.x1, s.y1);
            dc.LineTo(s.x2, s.y2);
        }
    }
    {
        QPainter painter(&actual);
        CDrawContext dc(painter);
        dc.SelectPen(QColor(0, 255, 0), penWidth);
        trace_detail::LineBatch batch(painter);
        for (const Segment& s : segments)
            batch.Add(s.x1, s.y1, s.x2, s.y2);
        batch.Draw(painter);
    }
    int differing = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            differing += expected.pixel(x, y) != actual.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(differing, 0) << what << " (" << segments.front().x1 << "," << segments.front().y1 << ")-("
                            << segments.front().x2 << "," << segments.front().y2 << ")";
}

}   // namespace

TEST(TraceLines, SingleLinesOfEverySlopeAndDirection)
{
    EnsureApp();
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> coord(20, 380);
    std::uniform_int_distribution<int> small(-7, 7);
    for (int k = 0; k < 400; ++k) {
        Segment s{coord(rng), coord(rng), 0, 0};
        if (k % 2 == 0) {
            s.x2 = coord(rng);
            s.y2 = coord(rng);
        } else {
            s.x2 = std::clamp(s.x1 + small(rng), 0, 399);
            s.y2 = std::clamp(s.y1 + small(rng) * (k % 3 == 0 ? 20 : 1), 0, 399);
        }
        ExpectSamePixels({s}, 1, "thin line");
        if (k % 4 == 1)
            ExpectSamePixels({s}, 2, "wide line");
        if (HasFailure())
            return;
    }
    for (const Segment s : {Segment{10, 10, 200, 10}, Segment{200, 20, 10, 20}, Segment{50, 300, 50, 30},
                            Segment{60, 30, 60, 300}, Segment{100, 100, 101, 399}, Segment{300, 300, 0, 299}}) {
        ExpectSamePixels({s}, 1, "axis and near-axis line");
        ExpectSamePixels({s}, 2, "wide line");
    }
}

TEST(TraceLines, PolylinesAndTallColumnsMerge)
{
    EnsureApp();
    std::mt19937 rng(11);
    std::uniform_int_distribution<int> level(30, 370);
    for (int round = 0; round < 20; ++round) {
        // A graph joined sample to sample (1 or 2 pixels apart) and a filled
        // area of vertical columns from a common bottom.
        std::vector<Segment> graph;
        int px = 10, py = level(rng);
        for (int x = 11; x < 390; x += 1 + round % 2) {
            const int y = level(rng);
            graph.push_back({px, py, x, y});
            px = x;
            py = y;
        }
        ExpectSamePixels(graph, 1, "graph");
        std::vector<Segment> area;
        int top = 200;
        for (int x = 10; x < 390; ++x) {
            top = std::clamp(top + int(rng() % 21) - 10, 20, 380);
            area.push_back({x, 380, x, round % 3 == 0 ? level(rng) : top});
        }
        ExpectSamePixels(area, 1, "area");
        ExpectSamePixels(area, 2, "wide area");
        if (HasFailure())
            return;
    }
}
