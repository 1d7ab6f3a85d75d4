// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of one window, laid out in one pass before the paint: where every
// row starts and how much room it takes, and for the rows that reach the
// window the rectangles that the paint draws into and that the mouse hits
// (name column, trace area, spectrum graph). The paint and every hit test of
// the window use the same layout, so a click acts on the row drawn under the
// pointer in that window, whatever other windows of the document show.
//
// Rows outside the window get no detailed entry and are not drawn: the pass
// over them only adds up their heights, so a document of hundreds of rows
// costs about what the rows on screen cost.

#include <cstdint>
#include <vector>

#include "model/geometry.h"
#include "model/signal.h"
#include "view/trace_draw.h"
#include "view/viewport.h"

// One row that reaches the window.
struct RowBox {
    CSignal* signal = nullptr;   // drawn as const; the window's commands act on it
    int index = 0;               // position of the signal in the document's list
    int top = 0;                 // top of the row
    int height = 0;              // GetRowHeight()
    int extent = 0;              // vertical room: the height, + 15 for a spectrum row with samples
    int first = 0;               // first sample the trace shows
    int last = 0;                // last sample it shows (cut by this row and every row above it)
    GdiRect label;               // the name column: (0, top, 100, top + height)
    GdiRect trace;               // the trace (a spectrum row: its graph); empty without samples
    bool HasTrace() const { return trace.right > trace.left && trace.bottom > trace.top; }
    bool IsSpectrumGraph() const { return signal->m_spectrum && HasTrace(); }
};

// The vertical band a spectrum graph and its frequency axis take: lines drawn
// across the rows (grid, trigger, markers) leave it out.
struct SpectrumBand {
    int top = 0;
    int bottom = 0;   // exclusive: 15 pixels below the graph
};

// Vertical room of a row: its height, plus 15 for a spectrum row with
// samples (its frequency axis).
int RowExtent(const CSignal& signal);

// Sample counts of a list of signals, as the viewport needs them.
CaptureExtent CaptureExtentOf(const SignalList& list);

class CRowLayout {
public:
    // Rows within this many pixels of the window are laid out too: the value
    // labels of an analog row stand a little above its top.
    static constexpr int kMargin = 20;

    // Lays out `list` for the window of `viewport` (client size, scroll,
    // first visible sample and zoom).
    void Build(const SignalList& list, const CViewport& viewport);

    // The rows that reach the window, in list order.
    const std::vector<RowBox>& Rows() const { return m_rows; }
    // Every spectrum row with samples, in list order (also outside the
    // window: a line that starts above the window still skips them).
    const std::vector<SpectrumBand>& SpectrumBands() const { return m_spectrumBands; }
    // Height of all rows with their gaps: how far the rows can be scrolled.
    int64_t RowsHeight() const { return m_rowsHeight; }
    // Sample counts of the signals laid out.
    const CaptureExtent& Capture() const { return m_capture; }
    int Step() const { return m_step; }
    int TraceWidth() const { return m_traceWidth; }
    size_t SignalCount() const { return m_signalCount; }

    // The first row in list order whose trace holds the point; null when
    // none does.
    const RowBox* TraceAt(GdiPoint point) const;
    // The row of a signal, when it reaches the window.
    const RowBox* Find(const CSignal* signal) const;
    // What DrawTrace gets for a row.
    TraceArgs ArgsOf(const RowBox& row) const;

private:
    std::vector<RowBox> m_rows;
    std::vector<SpectrumBand> m_spectrumBands;
    int64_t m_rowsHeight = 0;
    CaptureExtent m_capture;
    int m_step = 1;
    int m_traceWidth = 0;
    size_t m_signalCount = 0;
};
