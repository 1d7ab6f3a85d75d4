// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/row_layout.h"

#include <algorithm>
#include <limits>

#include "view/trace_internal.h"

namespace {

// A row top accumulated in 64 bits, as the int the drawers take; rows beyond
// this lie far outside any image or page.
int RowTop(int64_t y)
{
    return static_cast<int>(std::clamp<int64_t>(y, -(1 << 29), 1 << 29));
}

}   // namespace

int RowExtent(const CSignal& signal)
{
    // 64-bit: a graph height from a file or the dialog may be the largest int.
    const int64_t extent = int64_t(signal.GetRowHeight()) + (signal.m_spectrum && signal.m_count > 0 ? 15 : 0);
    return static_cast<int>(std::min<int64_t>(extent, std::numeric_limits<int>::max()));
}

CaptureExtent CaptureExtentOf(const SignalList& list)
{
    CaptureExtent capture;
    for (const CSignal* signal : list) {
        capture.shortest = capture.any ? std::min(capture.shortest, signal->m_count) : signal->m_count;
        capture.length = signal->m_count;
        capture.any = true;
    }
    return capture;
}

void CRowLayout::Build(const SignalList& list, const CViewport& viewport)
{
    m_rows.clear();
    m_spectrumBands.clear();
    m_capture = CaptureExtent();
    m_step = CViewport::StepFromZoom(viewport.Zoom());
    m_traceWidth = viewport.TraceWidth();
    m_signalCount = list.size();

    const int first = viewport.FirstVisible();
    int last = static_cast<int>(std::clamp<int64_t>(int64_t(first) + viewport.VisibleCount(),
                                                    std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    const int64_t windowBottom = viewport.ClientHeight();
    // Row tops add up in 64 bits: rows of absurd heights (from a file or the
    // dialog) push the rows after them far off the window instead of wrapping.
    int64_t y = int64_t(CViewport::kRowsTop) + viewport.ScrollY();
    int index = 0;
    for (CSignal* signal : list) {
        // A row never shows samples past its own end, nor past the end of a
        // shorter row above it.
        if (last >= signal->m_count)
            last = signal->m_count - 1;
        m_capture.shortest = m_capture.any ? std::min(m_capture.shortest, signal->m_count) : signal->m_count;
        m_capture.length = signal->m_count;
        m_capture.any = true;

        const int extent = RowExtent(*signal);
        const int top = RowTop(y);
        const bool spectrumGraph = signal->m_spectrum && signal->m_count > 0 && signal->m_samples != nullptr;
        if (spectrumGraph) {
            const int graphBottom = top + trace_detail::DrawnHeight(signal->GetRowHeight());
            m_spectrumBands.push_back({top, graphBottom + 15});
        }
        if (y + extent + kMargin > 0 && y - kMargin < windowBottom) {
            RowBox row;
            row.signal = signal;
            row.index = index;
            row.top = top;
            row.height = signal->GetRowHeight();
            row.extent = extent;
            row.first = first;
            row.last = last;
            row.label = GdiRect{0, top, CViewport::kTraceLeft, trace_detail::ClampedSum(int64_t(top) + row.height)};
            row.trace = TraceRectOf(*signal, TraceArgs{first, last, m_step, top, m_traceWidth});
            m_rows.push_back(row);
        }
        y += int64_t(extent) + CViewport::kRowGap;
        ++index;
    }
    m_rowsHeight = y - (int64_t(CViewport::kRowsTop) + viewport.ScrollY());
}

const RowBox* CRowLayout::TraceAt(GdiPoint point) const
{
    for (const RowBox& row : m_rows) {
        if (row.trace.Contains(point.x, point.y))
            return &row;
    }
    return nullptr;
}

const RowBox* CRowLayout::Find(const CSignal* signal) const
{
    for (const RowBox& row : m_rows) {
        if (row.signal == signal)
            return &row;
    }
    return nullptr;
}

TraceArgs CRowLayout::ArgsOf(const RowBox& row) const
{
    return TraceArgs{row.first, row.last, m_step, row.top, m_traceWidth};
}
