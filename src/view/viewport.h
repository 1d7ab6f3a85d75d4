// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The time and row window of one waveform window, as a value: how many pixels
// a sample takes (the zoom and the integer step derived from it), the sample
// at the left edge of the trace area and the last one shown, the vertical
// scroll of the rows, the client size, and the length of the capture that the
// rulers show. Everything a user does to the window's time axis or rows
// (zoom about a point, fit, drag, Home/End) is an operation on this state
// alone, so tests build a viewport and call them without a widget. Every
// window of a document holds its own.

#include <cstdint>

#include "model/geometry.h"

// What the viewport needs to know of the samples: the shortest signal cuts
// the visible range (no row reads past its samples), and the last signal's
// length is the length the rulers and the overview bar show.
struct CaptureExtent {
    bool any = false;   // false: the document has no signals
    int shortest = 0;   // smallest sample count over the signals
    int length = 0;     // sample count of the last signal in list order
    friend bool operator==(const CaptureExtent&, const CaptureExtent&) = default;
};

class CViewport {
public:
    static constexpr int kTraceLeft = 100;   // x of the trace area, width of the name column
    static constexpr int kRowsTop = 55;      // top of the first row before scrolling, and of the label boxes
    static constexpr int kRowGap = 10;       // vertical gap between rows
    static constexpr double kInitialZoom = 20.0;
    static constexpr double kZoomFactor = 1.5;   // per wheel notch or key press
    static constexpr double kMaxZoom = 160.0;    // pixels per sample

    // The integer step of a zoom factor: above 1.0 pixels per sample
    // (rounded); otherwise -n for n samples per pixel (1 when n is 0).
    // A step of -1 and a step of 1 both mean one sample per pixel.
    static int StepFromZoom(double zoom);

    // The client area of the window, in pixels.
    void SetClientSize(int width, int height);
    int ClientWidth() const { return m_width; }
    int ClientHeight() const { return m_height; }
    // Width W of the trace area the rows are drawn into: the client width
    // less the name column and a 10-pixel margin at the right.
    int TraceWidth() const { return m_width - 110; }

    double Zoom() const { return m_zoom; }
    int PixelStep() const { return m_pixelStep; }   // always StepFromZoom(Zoom())
    int FirstVisible() const { return m_firstVisible; }
    // Last sample index the trace area shows, cut to the shortest signal;
    // may lie below FirstVisible when that lies beyond the samples.
    int LastVisible() const { return m_lastVisible; }
    int ScrollY() const { return m_scrollY; }   // 0 or negative
    int CaptureLength() const { return m_captureLength; }
    const CaptureExtent& Capture() const { return m_capture; }

    void SetZoom(double zoom);         // and the step derived from it
    void SetFirstVisible(int first);   // a negative index becomes 0
    void SetScrollY(int scrollY);      // a positive scroll becomes 0
    // The samples changed: the last visible sample and the capture length
    // follow. Without signals the visible range is not cut and the capture
    // length stays what it was.
    void SetCapture(const CaptureExtent& capture);

    // Samples the trace area holds from the first visible one:
    // W / step + 1 for a positive step, W * n for a step of -n.
    int64_t VisibleCount() const;
    // x of a sample: 100 + (i - first) * step, or 100 + (i - first) / n
    // (truncating toward zero) for a step of -n.
    int SampleToX(int sample) const;
    // Fractional sample index under a client x.
    double XToSample(int x) const;

    // One zoom step about client x (the sample under x stays under it);
    // nothing over the name column. Zooming out stops once the whole capture
    // fits, zooming in at kMaxZoom.
    void ZoomAt(int x, bool zoomIn);
    // The whole capture in the trace area from sample 0: the largest whole
    // number of pixels per sample (at most kMaxZoom), or the fewest samples
    // per pixel.
    void ZoomToFit();
    void ScrollToStart();   // Home
    void ScrollToEnd();     // End: the last samples at the right edge

    // A drag starts at a client point; every later point moves the time axis
    // (dragging right shows earlier samples, never before sample 0) and the
    // rows (never above the top, and the last row never above the bottom of
    // the window). rowsHeight is the height of all rows with their gaps.
    // While the capture fits the window at several samples per pixel there
    // is nothing to the right to drag to: a move left of the start is
    // ignored.
    void BeginDrag(GdiPoint point);
    void DragTo(GdiPoint point, int64_t rowsHeight);
    GdiPoint DragStart() const { return m_dragStart; }

    friend bool operator==(const CViewport&, const CViewport&) = default;

private:
    void UpdateLastVisible();

    int m_width = 0;
    int m_height = 0;
    double m_zoom = kInitialZoom;
    int m_pixelStep = 20;   // StepFromZoom(kInitialZoom)
    int m_firstVisible = 0;
    int m_lastVisible = 0;
    int m_scrollY = 0;
    int m_captureLength = 0;
    CaptureExtent m_capture;
    GdiPoint m_dragStart;
    int m_dragFirstVisible = 0;
    int m_dragScrollY = 0;
};
