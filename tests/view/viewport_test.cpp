// SPDX-License-Identifier: GPL-3.0-or-later
// The viewport of a window as a value: its zoom steps, the mapping between
// samples and x, and the user's operations on it (zoom about a point, fit,
// drag, Home/End), each on a viewport built for the case.

#include <gtest/gtest.h>

#include <limits>

#include "view/viewport.h"

namespace {

// A window of the given client size showing a capture of `count` samples
// (one signal, so the capture is also its shortest signal).
CViewport Window(int width, int height, int count, double zoom = CViewport::kInitialZoom, int first = 0)
{
    CViewport v;
    v.SetClientSize(width, height);
    v.SetZoom(zoom);
    v.SetFirstVisible(first);
    v.SetCapture(CaptureExtent{true, count, count});
    return v;
}

}   // namespace

TEST(Viewport, StartsAtTwentyPixelsPerSample)
{
    const CViewport v = Window(1000, 400, 4096);
    EXPECT_EQ(v.Zoom(), 20.0);
    EXPECT_EQ(v.PixelStep(), 20);
    EXPECT_EQ(v.FirstVisible(), 0);
    EXPECT_EQ(v.TraceWidth(), 890);
    EXPECT_EQ(v.VisibleCount(), 45);   // 890 / 20 + 1
    EXPECT_EQ(v.LastVisible(), 45);
    EXPECT_EQ(v.CaptureLength(), 4096);
    EXPECT_EQ(v.ScrollY(), 0);
}

TEST(Viewport, StepFromZoom)
{
    struct Case {
        double zoom;
        int step;
    };
    const Case cases[] = {{20.0, 20},   {30.0, 30},          {1.5, 2},          {1.0, -1}, {0.2, -5}, {0.6667, -1},
                          {160.0, 160}, {1e-9, -1000000000}, {1e300, INT32_MAX}};
    for (const Case& c : cases) {
        EXPECT_EQ(CViewport::StepFromZoom(c.zoom), c.step) << c.zoom;
        CViewport v;
        v.SetZoom(c.zoom);
        EXPECT_EQ(v.PixelStep(), c.step) << "the step always follows the zoom";
    }
}

TEST(Viewport, SamplesToXAndBack)
{
    CViewport v = Window(1000, 400, 4096, 20.0, 10);
    EXPECT_EQ(v.SampleToX(12), 140);
    EXPECT_EQ(v.SampleToX(5), 0);
    EXPECT_DOUBLE_EQ(v.XToSample(140), 12.0);
    v.SetZoom(0.2);   // five samples per pixel
    EXPECT_EQ(v.SampleToX(22), 102);
    EXPECT_EQ(v.SampleToX(6), 100);   // -4 / 5 truncates toward zero
    EXPECT_DOUBLE_EQ(v.XToSample(102), 20.0);
    // Far outside the int range of pixels: clamped, never wrapped.
    v.SetZoom(160.0);
    EXPECT_EQ(v.SampleToX(std::numeric_limits<int>::max()), std::numeric_limits<int>::max() / 2);
}

TEST(Viewport, VisibleRangeIsCutToTheShortestSignal)
{
    CViewport v = Window(1000, 400, 4096, 0.2);   // W * 5 = 4450 samples would fit
    EXPECT_EQ(v.LastVisible(), 4095);
    v.SetCapture(CaptureExtent{true, 30, 4096});   // a shorter signal above the last one
    EXPECT_EQ(v.LastVisible(), 29);
    EXPECT_EQ(v.CaptureLength(), 4096);   // the rulers show the last signal's length
    // Without signals nothing cuts the range and the length stays.
    v.SetCapture(CaptureExtent{});
    EXPECT_EQ(v.LastVisible(), 4450);
    EXPECT_EQ(v.CaptureLength(), 4096);
    // First beyond the samples: the last lies below the first.
    v = Window(1000, 400, 100, 20.0, 500);
    EXPECT_EQ(v.LastVisible(), 99);
}

TEST(Viewport, WheelZoomKeepsTheSampleUnderThePointer)
{
    // Width 1000, zoom 20, first 0, last 45; a notch in at x = 300: anchor
    // 10.0, span 31, first 3.
    CViewport v = Window(1000, 400, 4096);
    v.ZoomAt(300, true);
    EXPECT_EQ(v.Zoom(), 30.0);
    EXPECT_EQ(v.PixelStep(), 30);
    EXPECT_EQ(v.FirstVisible(), 3);
    EXPECT_EQ(v.LastVisible(), 3 + 890 / 30 + 1);
    // Over the name column nothing changes.
    const CViewport before = v;
    v.ZoomAt(60, true);
    EXPECT_EQ(v, before);
    // Three notches one after the other: each anchors on the range the last
    // one left.
    CViewport w = Window(1000, 400, 4096);
    for (int notch = 0; notch < 3; ++notch)
        w.ZoomAt(300, true);
    EXPECT_EQ(w.Zoom(), 67.5);
    EXPECT_EQ(w.FirstVisible(), 6);
}

TEST(Viewport, ZoomStopsAtItsLimits)
{
    CViewport v = Window(1000, 400, 4096);
    for (int i = 0; i < 20; ++i)
        v.ZoomAt(500, true);
    EXPECT_EQ(v.Zoom(), CViewport::kMaxZoom);
    EXPECT_EQ(v.PixelStep(), 160);
    const double fit = 1000.0 / 4096;
    for (int i = 0; i < 40; ++i)
        v.ZoomAt(500, false);
    EXPECT_LE(v.Zoom(), fit);   // the whole capture fits
    EXPECT_GT(v.Zoom() * 1.5, fit);
    EXPECT_GE(v.FirstVisible(), 0);
    // 1.5 down to 1.0: one sample per pixel, as a step of -1.
    v.SetZoom(1.5);
    v.ZoomAt(500, false);
    EXPECT_EQ(v.Zoom(), 1.0);
    EXPECT_EQ(v.PixelStep(), -1);
    // Without samples there is nothing to fit: zooming out does nothing.
    CViewport empty;
    empty.SetClientSize(1000, 400);
    empty.ZoomAt(500, false);
    EXPECT_EQ(empty.Zoom(), 20.0);
}

TEST(Viewport, FitHomeAndEnd)
{
    struct Case {
        int count;
        double zoom;   // after fitting
        int step;
        int last;
    };
    // Trace width 890: a long capture takes the fewest whole samples per
    // pixel, a short one the largest whole number of pixels per sample.
    const Case cases[] = {{4096, 1.0 / 5, -5, 4095}, {890, 1.0, -1, 889}, {100, 8.0, 8, 99}, {3, 160.0, 160, 2}};
    for (const Case& c : cases) {
        CViewport v = Window(1000, 400, c.count, 20.0, 7);
        v.ZoomToFit();
        EXPECT_DOUBLE_EQ(v.Zoom(), c.zoom) << c.count;
        EXPECT_EQ(v.PixelStep(), c.step) << c.count;
        EXPECT_EQ(v.FirstVisible(), 0) << c.count;
        EXPECT_EQ(v.LastVisible(), c.last) << c.count;
    }
    CViewport v = Window(1000, 400, 4096, 20.0, 100);
    v.ScrollToEnd();
    EXPECT_EQ(v.FirstVisible(), 4096 - 45);
    EXPECT_EQ(v.LastVisible(), 4095);
    v.ScrollToStart();
    EXPECT_EQ(v.FirstVisible(), 0);
    // A capture shorter than the window: End stays at the start.
    CViewport shortCapture = Window(1000, 400, 20, 20.0, 5);
    shortCapture.ScrollToEnd();
    EXPECT_EQ(shortCapture.FirstVisible(), 0);
}

TEST(Viewport, DragMovesTimeAndRowsWithinLimits)
{
    // 20 rows of 170 + 10 pixels in a window 400 high.
    const int64_t rows = 20 * 180;
    CViewport v = Window(1000, 400, 4096, 20.0, 10);
    v.BeginDrag({500, 100});
    v.DragTo({540, 100}, rows);
    EXPECT_EQ(v.FirstVisible(), 8);   // 40 pixels at 20 per sample
    v.DragTo({800, 100}, rows);
    EXPECT_EQ(v.FirstVisible(), 0);   // never below 0
    v.DragTo({100, 100}, rows);
    EXPECT_EQ(v.FirstVisible(), 30);   // no upper limit
    v.DragTo({500, -900}, rows);
    EXPECT_EQ(v.ScrollY(), -1000);
    v.DragTo({500, -9000}, rows);
    EXPECT_EQ(v.ScrollY(), -(55 + 3600 - 400));   // the last row stops at the bottom
    v.DragTo({500, 300}, rows);
    EXPECT_EQ(v.ScrollY(), 0);
    // Rows that fit keep the scroll at 0.
    CViewport fits = Window(1000, 400, 4096);
    fits.BeginDrag({500, 100});
    fits.DragTo({500, 20}, 26);
    EXPECT_EQ(fits.ScrollY(), 0);
    // Five samples per pixel and the capture fits: nothing to drag to on the
    // right, so a move left of the start is ignored; a move right is not.
    CViewport zoomedOut = Window(1000, 400, 4096, 0.2, 100);
    zoomedOut.BeginDrag({500, 100});
    zoomedOut.DragTo({400, 80}, 26);
    EXPECT_EQ(zoomedOut.FirstVisible(), 100);
    zoomedOut.DragTo({510, 100}, 26);
    EXPECT_EQ(zoomedOut.FirstVisible(), 50);   // 100 - 10 / 0.2
}
