// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/viewport.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A double truncated toward zero into the int range (no undefined behaviour
// for values the range cannot hold).
int TruncateToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (v <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

int ClampToInt(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}   // namespace

int CViewport::StepFromZoom(double zoom)
{
    if (zoom > 1.0)
        return TruncateToInt(zoom + 0.5);
    const int n = TruncateToInt(1.0 / zoom + 0.5);
    return n == 0 ? 1 : -n;
}

void CViewport::SetClientSize(int width, int height)
{
    m_width = width;
    m_height = height;
    UpdateLastVisible();
}

void CViewport::SetZoom(double zoom)
{
    m_zoom = zoom;
    m_pixelStep = StepFromZoom(zoom);
    UpdateLastVisible();
}

void CViewport::SetFirstVisible(int first)
{
    m_firstVisible = std::max(first, 0);
    UpdateLastVisible();
}

void CViewport::SetScrollY(int scrollY)
{
    m_scrollY = std::min(scrollY, 0);
}

void CViewport::SetCapture(const CaptureExtent& capture)
{
    m_capture = capture;
    UpdateLastVisible();
}

int64_t CViewport::VisibleCount() const
{
    const int64_t w = TraceWidth();
    const int step = StepFromZoom(m_zoom);
    return step > 0 ? w / step + 1 : w * -static_cast<int64_t>(step);
}

void CViewport::UpdateLastVisible()
{
    int last = ClampToInt(static_cast<int64_t>(m_firstVisible) + VisibleCount());
    if (m_capture.any) {
        // No row is drawn past the samples of the shortest signal.
        if (last >= m_capture.shortest)
            last = m_capture.shortest - 1;
        m_captureLength = m_capture.length;
    }
    m_lastVisible = last;
}

int CViewport::SampleToX(int sample) const
{
    const int step = StepFromZoom(m_zoom);
    const int64_t d = static_cast<int64_t>(sample) - m_firstVisible;
    const int64_t x = step > 0 ? kTraceLeft + d * step : kTraceLeft + d / -step;
    return static_cast<int>(
        std::clamp<int64_t>(x, std::numeric_limits<int>::min() / 2, std::numeric_limits<int>::max() / 2));
}

double CViewport::XToSample(int x) const
{
    const double w = m_width - kTraceLeft;
    if (w == 0.0)
        return m_firstVisible;
    const double span = m_pixelStep > 0 ? w / m_pixelStep : w * -m_pixelStep;
    return m_firstVisible + (x - kTraceLeft) / w * span;
}

void CViewport::ZoomAt(int pointX, bool zoomIn)
{
    const int x = pointX - kTraceLeft;
    if (x <= 0)
        return;
    const int wPixels = m_width - kTraceLeft;
    const double w = wPixels;
    // The sample under the pointer, from the range shown now.
    const double anchor = m_firstVisible + x / w * (m_lastVisible - m_firstVisible);
    double zoom = m_zoom;
    if (zoomIn) {
        zoom = zoom * kZoomFactor;
    } else if (zoom > static_cast<double>(m_width) / std::fabs(static_cast<double>(m_captureLength))) {
        zoom = zoom / kZoomFactor;
    }
    if (zoom > kMaxZoom)
        zoom = kMaxZoom;
    m_zoom = zoom;
    m_pixelStep = StepFromZoom(zoom);
    const double span =
        m_pixelStep > 0 ? static_cast<double>(wPixels / m_pixelStep + 1) : static_cast<double>(wPixels) * -m_pixelStep;
    m_firstVisible = std::max(0, TruncateToInt(anchor - x / w * span + 0.5));
    UpdateLastVisible();
}

void CViewport::ZoomToFit()
{
    const int w = TraceWidth();
    if (m_captureLength <= 0 || w <= 0)
        return;
    if (m_captureLength <= w) {
        m_zoom = std::min(kMaxZoom, static_cast<double>(w / m_captureLength));
    } else {
        const int64_t n = (static_cast<int64_t>(m_captureLength) + w - 1) / w;
        m_zoom = 1.0 / static_cast<double>(n);
    }
    m_pixelStep = StepFromZoom(m_zoom);
    m_firstVisible = 0;
    UpdateLastVisible();
}

void CViewport::ScrollToStart()
{
    m_firstVisible = 0;
    UpdateLastVisible();
}

void CViewport::ScrollToEnd()
{
    m_firstVisible = static_cast<int>(std::max<int64_t>(0, m_captureLength - VisibleCount()));
    UpdateLastVisible();
}

void CViewport::BeginDrag(GdiPoint point)
{
    m_dragStart = point;
    m_dragFirstVisible = m_firstVisible;
    m_dragScrollY = m_scrollY;
}

void CViewport::DragTo(GdiPoint point, int64_t rowsHeight)
{
    const int dx = point.x - m_dragStart.x;
    if (m_pixelStep < 0) {
        const int n = -m_pixelStep;
        const bool wider = (m_width - kTraceLeft) < m_captureLength / n;
        if (!wider && dx < 0)
            return;
    }
    m_firstVisible = std::max(0, TruncateToInt(m_dragFirstVisible - dx / m_zoom));

    int64_t scroll = int64_t(m_dragScrollY) + (int64_t(point.y) - m_dragStart.y);
    if (scroll > 0)
        scroll = 0;
    const int64_t excess = kRowsTop + rowsHeight - m_height;
    if (excess < 0) {
        scroll = 0;
    } else if (scroll < -excess) {
        scroll = -excess;
    }
    m_scrollY = ClampToInt(scroll);
    UpdateLastVisible();
}
