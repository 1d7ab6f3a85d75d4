// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/vexlar_view.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "document/document_edits.h"
#include "document/vexlar_doc.h"
#include "model/marker_readout.h"
#include "model/measurement_text.h"
#include "model/signal.h"
#include "decode/document_decodes.h"
#include "view/draw_context.h"
#include "view/name_column.h"
#include "view/page_print.h"
#include "view/ruler.h"
#include "view/time_ruler.h"
#include "view/trace_draw.h"
#include "view/view_overlays.h"

namespace {

const QString kVerdana = QStringLiteral("Verdana");

// A double truncated toward zero into the int range (no undefined behaviour
// for values the range cannot hold).
int TruncateToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (v <= static_cast<double>(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return static_cast<int>(v);
}

GdiPoint ToGdi(const QPointF& p)
{
    return GdiPoint{static_cast<int32_t>(std::floor(p.x())), static_cast<int32_t>(std::floor(p.y()))};
}

// The marker and trigger labels: "Arial" 10 pt at the screen's 96 dpi.
QFont LabelFont()
{
    QFont f(QStringLiteral("Arial"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    return f;
}

}   // namespace

CVexlarView::CVexlarView(CVexlarDoc* doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    // Everything is painted from the off-screen image: no background erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);   // the spectrum cross-hair follows the pointer
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    // A document opens at the zoom and position it was saved with.
    if (m_doc) {
        m_viewport.SetZoom(m_doc->m_viewState.zoom);
        m_viewport.SetFirstVisible(m_doc->m_viewState.firstVisible);
        m_viewport.SetScrollY(m_doc->m_viewState.scrollY);
    }
    // Any change of the document, made anywhere, shows at the next paint. A
    // hidden window gets no paint until it is shown again.
    if (m_doc)
        m_documentChanges = m_doc->OnChanged([this] { Invalidate(); });
    // The document's decodes run once for all its windows; each new result
    // repaints this one.
    if (m_doc) {
        m_decodes = CDocumentDecodes::For(*m_doc);
        m_decodeChanges = m_decodes->OnChanged([this] { OnDecodesChanged(); });
    }
}

CVexlarView::~CVexlarView() = default;

CVexlarDoc* CVexlarView::GetDocument() const
{
    return m_doc;
}

int CVexlarView::Marker1() const
{
    return m_doc ? m_doc->m_marker1 : -1;
}

int CVexlarView::Marker2() const
{
    return m_doc ? m_doc->m_marker2 : -1;
}

void CVexlarView::SetViewport(const CViewport& viewport)
{
    m_viewport = viewport;
    SyncViewport();
    InvalidateLayout();
    Invalidate();
}

int CVexlarView::ContentWidth() const
{
    return m_vbar && !m_vbar->isHidden() ? std::max(0, width() - m_vbar->sizeHint().width()) : width();
}

int CVexlarView::ContentHeight() const
{
    return m_hbar && !m_hbar->isHidden() ? std::max(0, height() - m_hbar->sizeHint().height()) : height();
}

void CVexlarView::SyncViewport()
{
    if (m_viewport.ClientWidth() != ContentWidth() || m_viewport.ClientHeight() != ContentHeight())
        m_viewport.SetClientSize(ContentWidth(), ContentHeight());
    if (m_doc)
        m_viewport.SetCapture(CaptureExtentOf(m_doc->m_signals));
}

void CVexlarView::BuildLayout()
{
    SyncViewport();
    static const SignalList kNoSignals;
    m_layout.Build(m_doc ? m_doc->m_signals : kNoSignals, m_viewport);
    m_layoutRevision = m_doc ? m_doc->Revision() : 0;
    m_layoutValid = true;
}

const CRowLayout& CVexlarView::Layout()
{
    if (!m_layoutValid || (m_doc && m_doc->Revision() != m_layoutRevision) ||
        m_viewport.ClientWidth() != ContentWidth() || m_viewport.ClientHeight() != ContentHeight())
        BuildLayout();
    return m_layout;
}

void CVexlarView::Invalidate()
{
    InvalidateLayout();
    m_needsRender = true;
    update();
}

// ---------------------------------------------------------------------------
// Painting

void CVexlarView::paintEvent(QPaintEvent*)
{
    const QSize content(ContentWidth(), ContentHeight());
    if (m_needsRender || m_image.size() != content)
        RenderScreen();
    QPainter painter(this);
    if (m_image.size() == content) {
        painter.drawImage(0, 0, m_image);
    } else {
        painter.fillRect(rect(), Qt::black);
    }
    painter.end();
    if (onPainted)
        onPainted(m_paintedCaptureId);
}

void CVexlarView::resizeEvent(QResizeEvent* event)
{
    PlaceScrollBars();
    SyncViewport();
    Invalidate();
    QWidget::resizeEvent(event);
}

const QImage& CVexlarView::PaintNow()
{
    RenderScreen();
    return m_image;
}

void CVexlarView::RenderScreen()
{
    m_needsRender = false;
    const int w = ContentWidth();
    const int h = ContentHeight();
    if (!m_doc || w < 2 || h < 2) {
        // Nothing to paint; this revision is seen all the same, or every
        // tick would ask again.
        if (m_doc)
            m_paintedRevision = m_doc->Revision();
        m_image = QImage();
        return;
    }
    if (m_image.size() != QSize(w, h) || m_image.format() != QImage::Format_RGB32) {
        m_image = QImage(w, h, QImage::Format_RGB32);
    }
    m_paintedRevision = m_doc->Revision();

    BuildLayout();
    const CRowLayout& layout = m_layout;
    const int rowsTop = CViewport::kRowsTop;

    QPainter painter(&m_image);
    CDrawContext dc(painter, 96.0, false);
    CDCStateGuard guard(dc);
    dc.FillSolidRect(0, 0, w, h, QColor(0, 0, 0));

    // Names and frozen bands of the rows in the window.
    dc.SelectFont(dc.PointFont(kVerdana, 100));
    dc.SetTextColor(QColor(190, 190, 190));
    // Where each name stands, so that a scale beside a graph keeps clear of it.
    std::vector<GdiRect> nameBoxes;
    nameBoxes.reserve(layout.Rows().size());
    for (const RowBox& row : layout.Rows()) {
        if (row.signal->m_freeze)
            dc.FillSolidRect(0, row.top, w, row.height, QColor(60, 40, 30));
        DrawNameColumn(dc, *row.signal, row.top);
        const GdiRect text = dc.MeasureText(row.signal->m_name);
        const int gap = row.signal->m_bitGap;
        nameBoxes.push_back(GdiRect{gap, row.top + gap, gap + text.Width(), row.top + gap + text.Height()});
    }

    // Traces.
    dc.SelectFont(dc.PointFont(kVerdana, 80));
    dc.SetTextAlign(TextAlign::CenterTop);
    // The samples are those of this revision: the row drawers may keep their
    // summaries of them until the revision moves.
    const CTraceCacheScope cacheScope(m_doc, m_paintedRevision);
    for (size_t i = 0; i < layout.Rows().size(); ++i) {
        const RowBox& row = layout.Rows()[i];
        TraceArgs args = layout.ArgsOf(row);
        args.nameBox = nameBoxes[i];
        if (row.IsSpectrumGraph() && row.trace.Contains(m_crossHair.x, m_crossHair.y))
            args.crossHair = m_crossHair;
        DrawTrace(painter, *row.signal, args);
    }
    // Decoder rows follow the signal rows.
    DrawDecoderRows(painter, int64_t(rowsTop) + m_viewport.ScrollY() + layout.RowsHeight(), layout.Step());

    DrawTimeRulers(dc);
    DrawMarkerInfo(dc, w - 5, rowsTop + 5);

    // Grid, trigger and markers: translucent lines and boxes.
    const QFont labelFont = LabelFont();
    const QFontMetrics labelMetrics(labelFont);
    const QColor boxColor(100, 100, 100, 200);
    const auto drawLabel = [&](int x, const QString& text) {
        painter.setFont(labelFont);
        painter.setPen(QColor(255, 255, 255, 255));
        const int textWidth = labelMetrics.horizontalAdvance(text);
        painter.drawText(QPoint(x - textWidth / 2, rowsTop + labelMetrics.ascent()), text);
    };
    const auto mark = [&](int x, const QPen& pen, const QString& text) {
        painter.fillRect(QRect(x - 19, rowsTop, 38, 25), boxColor);
        DrawVerticalLine(painter, pen, x, 0 + rowsTop + 25, h);
        drawLabel(x, text);
    };

    const int pixelStep = m_viewport.PixelStep();
    if (pixelStep > 20) {
        const QPen gridPen(QColor(255, 255, 255, 50), 1.0, Qt::SolidLine, Qt::FlatCap);
        for (int x = 100; x < w; x += pixelStep)
            DrawVerticalLine(painter, gridPen, x, rowsTop, h);
    }
    const QPen triggerPen(QColor(127, 255, 255, 70), 3.0, Qt::SolidLine, Qt::FlatCap);
    mark(SampleToX(m_doc->m_triggerPos), triggerPen, QStringLiteral("T"));
    const QPen markerPen(QColor(255, 255, 127, 80), 3.0, Qt::SolidLine, Qt::FlatCap);
    if (Marker1() >= 0)
        mark(SampleToX(Marker1()), markerPen, QStringLiteral("M1"));
    if (Marker2() >= 0)
        mark(SampleToX(Marker2()), markerPen, QStringLiteral("M2"));
    DrawOverlays(dc);

    // The window's zoom and position go with the document when it is saved.
    m_doc->m_viewState = DocumentViewState{m_viewport.Zoom(), m_viewport.FirstVisible(), m_viewport.ScrollY()};
    UpdateScrollBars();

    ++m_paintCount;
    m_paintedCaptureId = m_doc->m_captureId;
}

void CVexlarView::DrawTimeRulers(CDrawContext& dc)
{
    const int right = ClientRight();
    dc.FillSolidRect(100, 5, right - 100, 20, QColor(120, 120, 120));
    const int captureLength = m_viewport.CaptureLength();
    if (captureLength != 0) {
        const double length = captureLength;
        const int left = TruncateToInt(100 + m_viewport.FirstVisible() / length * (right - 100));
        const int end = TruncateToInt(100 + m_viewport.LastVisible() / length * (right - 100));
        if (end > left)
            dc.FillSolidRect(left, 5, end - left, 20, QColor(50, 50, 50));
    }
    // With a sample rate both rulers count seconds, labelled in time units.
    const double rate = m_doc ? m_doc->m_sampleRate : 0.0;
    if (rate > 0.0) {
        const double wholeEnd = captureLength / rate;
        CTimeRuler(0.0, wholeEnd).DrawHorizontal(dc, GdiRect{100, 23, right, 43}, 0.0, wholeEnd, true);
        dc.FillSolidRect(100, 30, right - 100, 20, QColor(50, 50, 50));
        const double first = m_viewport.FirstVisible() / rate;
        const double last = XToSample(right) / rate;
        CTimeRuler(first, last).DrawHorizontal(dc, GdiRect{100, 48, right, 68}, first, last, true);
        return;
    }
    const CRuler whole;
    whole.DrawHorizontal(dc, GdiRect{100, 23, right, 43}, 0.0, captureLength, true);
    dc.FillSolidRect(100, 30, right - 100, 20, QColor(50, 50, 50));
    const CRuler window;
    window.DrawHorizontal(dc, GdiRect{100, 48, right, 68}, m_viewport.FirstVisible(), XToSample(right), true);
}

void CVexlarView::DrawMarkerInfo(CDrawContext& dc, int right, int top)
{
    // In samples, or with a sample rate in time and 1/D as a frequency; then
    // the edges of the selected one-bit rows between the markers.
    QStringList lines = MarkerReadoutLines(Marker1(), Marker2(), m_doc ? m_doc->m_sampleRate : 0.0);
    if (m_doc)
        lines << EdgeCountLines(m_doc->m_signals, Marker1(), Marker2());
    if (lines.isEmpty())
        return;
    int width = 100;
    for (const QString& line : lines)
        width = std::max(width, dc.MeasureText(line).right + 10);
    const int height = 16 * static_cast<int>(lines.size()) + 10;
    dc.Painter().fillRect(QRect(right - width, top, width, height), QColor(0, 0, 0, 220));
    // A light colour that reads well on the dark box, whatever the rows left.
    dc.SetTextColor(QColor(220, 220, 220));
    dc.SetTextAlign(TextAlign::LeftTop);
    for (int i = 0; i < lines.size(); ++i)
        dc.TextOut(right - width + 5, top + 5 + 16 * i, lines[i]);
}

void CVexlarView::DrawVerticalLine(QPainter& painter, const QPen& pen, int x, int yTop, int yBottom)
{
    painter.setPen(pen);
    // Only spectrum rows drawn in this paint (those with samples) interrupt
    // the line; a segment is drawn only downward, so a row scrolled above the
    // line's top never pulls the line back over the rulers.
    int y0 = yTop;
    for (const SpectrumBand& band : m_layout.SpectrumBands()) {
        if (band.top > y0)
            painter.drawLine(QPoint(x, y0), QPoint(x, band.top));
        y0 = std::max(y0, band.bottom);
    }
    if (yBottom > y0)
        painter.drawLine(QPoint(x, y0), QPoint(x, yBottom));
}

// ---------------------------------------------------------------------------
// Printing

// Units per sample of the printed trace, which starts at x = 300. Normally
// the room right of the name column divided by the visible span of the last
// screen paint. A span
// of one sample fills the trace area with it; a span wider than the page
// becomes a negative scale (-k: k samples per unit) that fits it on the page.
double CVexlarView::PrintScale(int first, int last, int pageWidth)
{
    const int64_t span = static_cast<int64_t>(last) - first;
    const int64_t room = std::max<int64_t>(1, pageWidth - 300);
    if (span < 0)
        return 1.0;
    if (span == 0)
        return static_cast<double>(room);
    // The trace starts at x = 300 and shows first..last inclusive, so those
    // samples share what is right of the names; dividing the whole page width
    // by the span ran the trace 30 mm past the edge.
    const int64_t count = span + 1;
    const int64_t s = room / count;
    if (s >= 1)
        return static_cast<double>(s);
    return -static_cast<double>((count + room - 1) / room);
}

QString CVexlarView::PageTitle() const
{
    // The document's name as the window around the view shows it.
    QString name;
    for (const QWidget* w = parentWidget(); w != nullptr && name.isEmpty(); w = w->parentWidget())
        name = w->windowTitle();
    if (name.endsWith(QLatin1Char('*')))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Vexlar");
    return name + QStringLiteral("    ") + QLocale().toString(QDateTime::currentDateTime(), QLocale::LongFormat);
}

void CVexlarView::SetPrintDefaults(QPrinter& printer)
{
    printer.setPageOrientation(QPageLayout::Landscape);
}

void CVexlarView::Print(QPrinter* printer)
{
    if (!printer || !m_doc)
        return;
    QPainter painter;
    if (!painter.begin(printer))
        return;
    SyncViewport();
    PaintPage(painter, painter.viewport(), *m_doc, m_viewport, PageTitle());
    painter.end();
}

void CVexlarView::PrintPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    SetPrintDefaults(printer);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { Print(p); });
    preview.exec();
}

void CVexlarView::FilePrint()
{
    QPrinter printer(QPrinter::HighResolution);
    SetPrintDefaults(printer);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        Print(&printer);
}

// ---------------------------------------------------------------------------
// Mouse

void CVexlarView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const GdiPoint point = ToGdi(event->position());
    m_leftDown = true;
    SyncViewport();
    m_viewport.BeginDrag(point);
    // A press on the overview bar drags the visible window (a press beside
    // it first brings the window there); a press on a name may drag its row
    // to another place; anywhere else the drag moves the time axis and rows.
    m_dragKind = DragKind::View;
    m_dragMoved = false;
    m_dragRow = -1;
    if (point.y >= 5 && point.y < 25 && point.x >= CViewport::kTraceLeft && m_viewport.CaptureLength() > 0) {
        m_dragKind = DragKind::Overview;
        const double length = m_viewport.CaptureLength();
        const double span = ClientRight() - CViewport::kTraceLeft;
        const double left = CViewport::kTraceLeft + m_viewport.FirstVisible() / length * span;
        const double right = CViewport::kTraceLeft + m_viewport.LastVisible() / length * span;
        if (point.x < left || point.x > right) {
            const double at = (point.x - CViewport::kTraceLeft) / span * length;
            m_viewport.SetFirstVisible(
                TruncateToInt(std::max(0.0, at - static_cast<double>(m_viewport.VisibleCount()) / 2)));
        }
        m_dragFirstVisible = m_viewport.FirstVisible();
        Invalidate();
        update();
        event->accept();
        return;
    }
    if (m_doc) {
        for (const RowBox& row : Layout().Rows()) {
            if (row.label.Contains(point.x, point.y)) {
                m_dragKind = DragKind::Name;
                m_dragRow = row.index;
                break;
            }
        }
    }
    if (m_doc) {
        const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
        const RowBox* row = Layout().TraceAt(point);
        const CSignal* hitSignal = row ? row->signal : nullptr;
        bool changed = false;
        for (CSignal* signal : m_doc->m_signals) {
            const bool hit = signal == hitSignal;
            const bool selected = hit ? (ctrl ? !signal->m_selected : true) : (ctrl ? signal->m_selected : false);
            if (selected != signal->m_selected) {
                signal->m_selected = selected;
                changed = true;
            }
        }
        if (SelectDecoderRow(point, ctrl))
            changed = true;
        // The selection is saved with the document but is not an edit: it
        // neither marks the document modified nor goes on the undo stack.
        if (changed)
            m_doc->BumpRevision();
    }
    Invalidate();
    event->accept();
}

void CVexlarView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // A name dropped elsewhere moves its row there, as an edit.
        int before = 0;
        int lineY = 0;
        if (m_leftDown && m_doc && m_dragKind == DragKind::Name && m_dragMoved &&
            NameDropPlace(ToGdi(event->position()).y, before, lineY)) {
            const int to = before > m_dragRow ? before - 1 : before;
            DocumentEdits::MoveSignal(*m_doc, m_dragRow, to);
        }
        m_leftDown = false;
        m_dragKind = DragKind::View;
        Invalidate();
        update();
    }
    if (event->button() == Qt::RightButton) {
        m_menuPoint = ToGdi(event->position());
        ShowContextMenu(m_menuPoint);
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CVexlarView::mouseMoveEvent(QMouseEvent* event)
{
    const GdiPoint point = ToGdi(event->position());
    if (event->buttons().testFlag(Qt::LeftButton) && m_leftDown) {
        SyncViewport();
        m_pointer = point;
        if (m_dragKind == DragKind::Overview) {
            DragOverview(point);
        } else if (m_dragKind == DragKind::Name) {
            // A drag that starts on a name moves that row, not the view.
            if (std::abs(point.y - m_viewport.DragStart().y) > 3)
                m_dragMoved = true;
            Invalidate();
        } else {
            m_viewport.DragTo(point, Layout().RowsHeight() + DecoderRowsExtent());
            Invalidate();
        }
        update();
    } else {
        MoveCrossHair(point);
        MovePointer(point);
        ShowDecoderToolTip(point);
    }
    event->accept();
}

void CVexlarView::MoveCrossHair(GdiPoint point)
{
    if (!m_doc)
        return;
    const RowBox* row = Layout().TraceAt(point);
    const GdiPoint crossHair = row && row->signal->m_spectrum ? point : GdiPoint{0, 0};
    if (crossHair == m_crossHair)
        return;
    m_crossHair = crossHair;
    m_needsRender = true;
    update();
}

void CVexlarView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_doc) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    const GdiPoint point = ToGdi(event->position());
    SyncViewport();
    for (const RowBox& row : Layout().Rows()) {
        CSignal* signal = row.signal;
        if (row.trace.Contains(point.x, point.y)) {
            // A row with both styles is drawn as a spectrum, so it autoscales
            // as one.
            if (signal->m_spectrum) {
                SpectrumAutoscale(*signal);
            } else if (signal->m_analog) {
                const int first = m_viewport.FirstVisible();
                const int last = m_viewport.LastVisible();
                ChangeSignal(*signal, QStringLiteral("Autoscale"), [first, last](CSignal& s) {
                    s.Autoscale(first, last);
                    return true;
                });
            } else {
                ChangeSignal(*signal, signal->m_expanded ? QStringLiteral("Collapse") : QStringLiteral("Expand"),
                             [](CSignal& s) {
                                 s.m_expanded = !s.m_expanded;
                                 return true;
                             });
            }
            event->accept();
            return;
        }
        if (row.label.Contains(point.x, point.y)) {
            EditSignal(*signal);
            Invalidate();
            event->accept();
            return;
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}

void CVexlarView::wheelEvent(QWheelEvent* event)
{
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->angleDelta().x();   // Shift turns some wheels sideways
    if (delta == 0) {
        event->ignore();
        return;
    }
    const bool forward = delta > 0;
    const GdiPoint point = ToGdi(event->position());
    const Qt::KeyboardModifiers mods = event->modifiers();
    event->accept();
    if (mods.testFlag(Qt::ControlModifier) && WheelGraphHeight(point, forward))
        return;
    if (mods.testFlag(Qt::ShiftModifier) && WheelAnalogRange(point, forward))
        return;
    ZoomAt(point, forward);
    Invalidate();
}

bool CVexlarView::WheelGraphHeight(GdiPoint point, bool forward)
{
    if (!m_doc)
        return false;
    if (const RowBox* row = Layout().TraceAt(point)) {
        CSignal* signal = row->signal;
        if (!(signal->m_analog || signal->m_spectrum))
            return false;
        ChangeSignal(
            *signal, QStringLiteral("Graph Height"),
            [forward](CSignal& s) {
                const int height = s.m_graphHeight;
                s.m_graphHeight = forward ? std::min(kMaxGraphHeight, TruncateToInt(height * 1.25))
                                          : std::max(kMinGraphHeight, TruncateToInt(height * 0.8));
                return true;
            },
            DocumentEdits::kGraphHeightSteps);
        return true;
    }
    return false;
}

bool CVexlarView::WheelAnalogRange(GdiPoint point, bool forward)
{
    if (!m_doc)
        return false;
    if (const RowBox* row = Layout().TraceAt(point)) {
        CSignal* signal = row->signal;
        if (!signal->m_analog || signal->m_spectrum)
            return false;
        const GdiRect& r = row->trace;
        const double f = static_cast<double>(point.y - r.top) / (r.bottom - r.top);
        const double c = (1 - f) * signal->m_max + f * signal->m_min;
        const double k = forward ? 0.75 : 1.33333;
        ChangeSignal(
            *signal, QStringLiteral("Value Range"),
            [c, k](CSignal& s) {
                s.m_min = TruncateToInt(c - k * (c - s.m_min));
                s.m_max = TruncateToInt(c - k * (c - s.m_max));
                return true;
            },
            DocumentEdits::kAnalogRangeSteps);
        return true;
    }
    return false;
}

void CVexlarView::ZoomAt(GdiPoint point, bool zoomIn)
{
    SyncViewport();
    m_viewport.ZoomAt(point.x, zoomIn);
    Invalidate();
}

void CVexlarView::ZoomToFit()
{
    SyncViewport();
    m_viewport.ZoomToFit();
    Invalidate();
}

void CVexlarView::ScrollToStart()
{
    SyncViewport();
    m_viewport.ScrollToStart();
    Invalidate();
}

void CVexlarView::ScrollToEnd()
{
    SyncViewport();
    m_viewport.ScrollToEnd();
    Invalidate();
}

void CVexlarView::keyPressEvent(QKeyEvent* event)
{
    const GdiPoint centre{CViewport::kTraceLeft + (ClientRight() - CViewport::kTraceLeft) / 2, ClientBottom() / 2};
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        ZoomAt(centre, true);
        break;
    case Qt::Key_Minus:
        ZoomAt(centre, false);
        break;
    case Qt::Key_F:
        ZoomToFit();
        break;
    case Qt::Key_Home:
        ScrollToStart();
        break;
    case Qt::Key_End:
        ScrollToEnd();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // A tenth of the window per press.
        SyncViewport();
        const int64_t step = std::max<int64_t>(1, m_viewport.VisibleCount() / 10);
        ScrollSamples(event->key() == Qt::Key_Left ? -step : step);
        break;
    }
    case Qt::Key_Up:
        ScrollRows(-20);
        break;
    case Qt::Key_Down:
        ScrollRows(20);
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        const int page = std::max(20, ContentHeight() - CViewport::kRowsTop - 20);
        ScrollRows(event->key() == Qt::Key_PageUp ? -page : page);
        break;
    }
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------------------
// Context menus and commands

QMenu* CVexlarView::CreateRowMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    const auto add = [menu](int id, const QString& text) {
        QAction* action = menu->addAction(text);
        action->setData(id);
    };
    add(ID_ROW_AUTOSCALE, QStringLiteral("Autoscale"));
    add(ID_SET_MARKER_1, QStringLiteral("Set Marker 1"));
    add(ID_SET_MARKER_2, QStringLiteral("Set Marker 2"));
    add(ID_CLEAR_MARKERS, QStringLiteral("Clear Markers"));
    menu->addSeparator();
    add(ID_EDIT_SIGNAL, QStringLiteral("Edit..."));
    return menu;
}

QMenu* CVexlarView::CreateSpectrumMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    QAction* autoscale = menu->addAction(QStringLiteral("Autoscale"));
    autoscale->setData(ID_SPECTRUM_AUTOSCALE);
    autoscale->setStatusTip(QStringLiteral("Autoscale y-axis"));
    menu->addAction(QStringLiteral("Reset Trace"))->setData(ID_SPECTRUM_RESET_TRACE);
    menu->addSeparator();
    menu->addAction(QStringLiteral("Edit..."))->setData(ID_SPECTRUM_EDIT);
    return menu;
}

void CVexlarView::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click is handled on the button's release; only the keyboard's
    // menu key arrives here.
    if (event->reason() != QContextMenuEvent::Mouse)
        ShowContextMenu(ToGdi(event->pos()));
    event->accept();
}

void CVexlarView::ShowContextMenu(GdiPoint clientPoint)
{
    if (!m_doc)
        return;
    if (ShowDecoderRowMenu(clientPoint))
        return;
    if (const RowBox* row = Layout().TraceAt(clientPoint)) {
        CSignal* signal = row->signal;
        std::unique_ptr<QMenu> menu(signal->m_spectrum ? CreateSpectrumMenu(this) : CreateRowMenu(this));
        const QPoint global = mapToGlobal(QPoint(clientPoint.x, clientPoint.y));
        QAction* chosen = menuRunner ? menuRunner(*menu, global) : menu->exec(global);
        if (chosen) {
            const int id = chosen->data().toInt();
            // The menu ran its own event loop: the signal may be gone since.
            const auto& list = m_doc->m_signals;
            if (std::find(list.begin(), list.end(), signal) != list.end())
                RunCommand(id, signal);
        }
    }
}

void CVexlarView::RunCommand(int id, CSignal* signal)
{
    switch (id) {
    case ID_SET_MARKER_1:
        OnSetMarker1();
        break;
    case ID_SET_MARKER_2:
        OnSetMarker2();
        break;
    case ID_CLEAR_MARKERS:
        OnClearMarkers();
        break;
    case ID_EDIT_SIGNAL:
    case ID_SPECTRUM_EDIT:
        EditSignal(*signal);
        break;
    case ID_ROW_AUTOSCALE: {
        SyncViewport();
        const int first = m_viewport.FirstVisible();
        const int last = m_viewport.LastVisible();
        ChangeSignal(*signal, QStringLiteral("Autoscale"), [first, last](CSignal& s) {
            s.Autoscale(first, last);
            return true;
        });
        break;
    }
    case ID_SPECTRUM_AUTOSCALE:
        SpectrumAutoscale(*signal);
        break;
    case ID_SPECTRUM_RESET_TRACE:
        // Cleared; the next spectrum of the signal raises it again.
        if (m_doc)
            DocumentEdits::ResetPeakHold(*m_doc, *signal);
        Invalidate();
        break;
    default:
        break;
    }
    Invalidate();
}

void CVexlarView::SpectrumAutoscale(CSignal& signal)
{
    ChangeSignal(signal, QStringLiteral("Autoscale"), [](CSignal& s) {
        s.m_maxDb = *std::max_element(std::begin(s.m_peakHold), std::end(s.m_peakHold));
        s.m_minDb = s.m_specMin;
        return true;
    });
}

void CVexlarView::EditSignal(CSignal& signal)
{
    // The dialog may extract the samples again: the edit keeps them for Undo.
    if (m_doc && onEditSignal)
        DocumentEdits::ChangeSignal(*m_doc, signal, QStringLiteral("Properties"), onEditSignal, true);
    Invalidate();
}

void CVexlarView::ChangeSignal(CSignal& signal, const QString& text, const std::function<bool(CSignal&)>& edit,
                               int mergeId)
{
    if (m_doc)
        DocumentEdits::ChangeSignal(*m_doc, signal, text, edit, false, mergeId);
    Invalidate();
}

namespace {

int MarkerAt(const CVexlarView& view, int menuX)
{
    const double s = view.XToSample(menuX);
    const int length = view.Viewport().CaptureLength();
    if (menuX > 100 && s >= 0 && s < length) {
        // Rounding may not carry the marker past the last sample.
        return std::min(TruncateToInt(s + 0.5), length - 1);
    }
    return -1;
}

}   // namespace

void CVexlarView::OnSetMarker1()
{
    if (m_doc)
        DocumentEdits::SetMarkers(*m_doc, MarkerAt(*this, m_menuPoint.x), m_doc->m_marker2);
    Invalidate();
}

void CVexlarView::OnSetMarker2()
{
    if (m_doc)
        DocumentEdits::SetMarkers(*m_doc, m_doc->m_marker1, MarkerAt(*this, m_menuPoint.x));
    Invalidate();
}

void CVexlarView::OnClearMarkers()
{
    if (m_doc)
        DocumentEdits::SetMarkers(*m_doc, -1, -1);
    Invalidate();
}

void CVexlarView::OnEditSignalCommand()
{
    if (!m_doc)
        return;
    if (const RowBox* row = Layout().TraceAt(m_menuPoint))
        EditSignal(*row->signal);
}

// ---------------------------------------------------------------------------
// Overlays, pointer, scroll bars and navigation

void CVexlarView::SetValueCursor(bool on)
{
    if (m_valueCursor == on)
        return;
    m_valueCursor = on;
    Invalidate();
    update();
}

bool CVexlarView::ShowsPointerOverlay() const
{
    if (!m_pointerInside || m_leftDown)
        return false;
    if (m_valueCursor)
        return m_pointer.x >= CViewport::kTraceLeft;
    // The measurements of a one-bit row under the pointer.
    const RowBox* row = const_cast<CVexlarView*>(this)->Layout().TraceAt(m_pointer);
    return row && row->signal->m_numBits == 1 && !row->signal->m_spectrum;
}

void CVexlarView::MovePointer(GdiPoint point)
{
    m_pointer = point;
    m_pointerInside = true;
    const bool overlay = ShowsPointerOverlay();
    if (overlay || m_pointerOverlay) {
        m_needsRender = true;
        update();
    }
}

void CVexlarView::leaveEvent(QEvent* event)
{
    m_pointerInside = false;
    if (m_pointerOverlay) {
        m_needsRender = true;
        update();
    }
    QWidget::leaveEvent(event);
}

void CVexlarView::DrawOverlays(CDrawContext& dc)
{
    const CRowLayout& layout = m_layout;
    const int w = ContentWidth();
    const int h = ContentHeight();
    m_pointerOverlay = ShowsPointerOverlay();
    const int pointerSample = static_cast<int>(std::floor(XToSample(m_pointer.x)));
    if (m_valueCursor && m_pointerOverlay) {
        const QPen cursorPen(QColor(255, 255, 255, 150), 1.0, Qt::SolidLine, Qt::FlatCap);
        DrawVerticalLine(dc.Painter(), cursorPen, m_pointer.x, CViewport::kRowsTop, h);
        DrawRowValues(dc, layout, pointerSample, -1);
    } else if (Marker1() >= 0 || Marker2() >= 0) {
        DrawRowValues(dc, layout, Marker1() >= 0 ? Marker1() : Marker2(), Marker1() >= 0 ? Marker2() : -1);
    }
    if (m_pointerOverlay && !m_valueCursor) {
        if (const RowBox* row = layout.TraceAt(m_pointer)) {
            DrawPulseMeasurement(dc, *row->signal, pointerSample, m_doc ? m_doc->m_sampleRate : 0.0, m_pointer,
                                 GdiRect{CViewport::kTraceLeft, CViewport::kRowsTop, w, h});
        }
    }
    int before = 0;
    int lineY = 0;
    if (m_leftDown && m_dragKind == DragKind::Name && m_dragMoved && NameDropPlace(m_pointer.y, before, lineY))
        DrawNameDropLine(dc.Painter(), lineY, w);
}

bool CVexlarView::NameDropPlace(int y, int& before, int& lineY)
{
    const std::vector<RowBox>& rows = Layout().Rows();
    if (rows.empty())
        return false;
    for (const RowBox& row : rows) {
        if (y < row.top + row.extent / 2) {
            before = row.index;
            lineY = row.top - CViewport::kRowGap / 2;
            return true;
        }
    }
    const RowBox& last = rows.back();
    before = last.index + 1;
    lineY = last.top + last.extent + CViewport::kRowGap / 2;
    return true;
}

void CVexlarView::DragOverview(GdiPoint point)
{
    // The window on the overview bar follows the pointer.
    const int length = m_viewport.CaptureLength();
    const int span = ClientRight() - CViewport::kTraceLeft;
    if (length <= 0 || span <= 0)
        return;
    const double samplesPerPixel = static_cast<double>(length) / span;
    const double first = m_dragFirstVisible + (point.x - m_viewport.DragStart().x) * samplesPerPixel;
    m_viewport.SetFirstVisible(TruncateToInt(std::clamp(first, 0.0, static_cast<double>(length))));
    Invalidate();
}

void CVexlarView::ShowSample(int sample)
{
    SyncViewport();
    const int64_t visible = m_viewport.VisibleCount();
    m_viewport.SetFirstVisible(static_cast<int>(std::clamp<int64_t>(sample - visible / 2, 0, INT32_MAX)));
    Invalidate();
    update();
}

int CVexlarView::CentreSample()
{
    SyncViewport();
    const int middle = CViewport::kTraceLeft + (ClientRight() - CViewport::kTraceLeft) / 2;
    return std::max(0, static_cast<int>(std::floor(XToSample(middle))));
}

void CVexlarView::ClampScroll()
{
    const int64_t excess = CViewport::kRowsTop + Layout().RowsHeight() + DecoderRowsExtent() - ContentHeight();
    const int64_t scroll = std::clamp<int64_t>(m_viewport.ScrollY(), -std::max<int64_t>(excess, 0), 0);
    m_viewport.SetScrollY(static_cast<int>(scroll));
}

void CVexlarView::ScrollRows(int pixels)
{
    SyncViewport();
    m_viewport.SetScrollY(static_cast<int>(
        std::clamp<int64_t>(int64_t(m_viewport.ScrollY()) - pixels, INT32_MIN, 0)));
    ClampScroll();
    Invalidate();
    update();
}

void CVexlarView::ScrollSamples(int64_t samples)
{
    SyncViewport();
    m_viewport.SetFirstVisible(
        static_cast<int>(std::clamp<int64_t>(int64_t(m_viewport.FirstVisible()) + samples, 0, INT32_MAX)));
    Invalidate();
    update();
}

void CVexlarView::SetScrollBarsShown(bool shown)
{
    if (shown && !m_hbar) {
        m_hbar = new QScrollBar(Qt::Horizontal, this);
        m_vbar = new QScrollBar(Qt::Vertical, this);
        m_hbar->setObjectName(QStringLiteral("TimeScrollBar"));
        m_vbar->setObjectName(QStringLiteral("RowScrollBar"));
        for (QScrollBar* bar : {m_hbar, m_vbar})
            bar->setFocusPolicy(Qt::NoFocus);
        connect(m_hbar, &QScrollBar::valueChanged, this, [this](int value) {
            if (m_updatingBars)
                return;
            m_viewport.SetFirstVisible(value);
            Invalidate();
            update();
        });
        connect(m_vbar, &QScrollBar::valueChanged, this, [this](int value) {
            if (m_updatingBars)
                return;
            m_viewport.SetScrollY(-value);
            Invalidate();
            update();
        });
    }
    if (m_hbar) {
        m_hbar->setVisible(shown);
        m_vbar->setVisible(shown);
    }
    PlaceScrollBars();
    SyncViewport();
    Invalidate();
    update();
}

void CVexlarView::PlaceScrollBars()
{
    if (!m_hbar || m_hbar->isHidden())
        return;
    const int bw = m_vbar->sizeHint().width();
    const int bh = m_hbar->sizeHint().height();
    m_hbar->setGeometry(0, height() - bh, std::max(0, width() - bw), bh);
    m_vbar->setGeometry(width() - bw, 0, bw, std::max(0, height() - bh));
}

void CVexlarView::UpdateScrollBars()
{
    if (!m_hbar || m_hbar->isHidden())
        return;
    m_updatingBars = true;
    // Time: the capture's samples, a page of what the trace area holds.
    const int64_t visible = std::clamp<int64_t>(m_viewport.VisibleCount(), 1, INT32_MAX);
    const int first = m_viewport.FirstVisible();
    const int64_t lastFirst = std::max<int64_t>({0, int64_t(m_viewport.CaptureLength()) - visible, first});
    m_hbar->setRange(0, static_cast<int>(std::min<int64_t>(lastFirst, INT32_MAX)));
    m_hbar->setPageStep(static_cast<int>(visible));
    m_hbar->setSingleStep(static_cast<int>(std::max<int64_t>(1, visible / 10)));
    m_hbar->setValue(first);
    // Rows: their whole height below the rulers, a page of the window.
    const int page = std::max(1, ContentHeight() - CViewport::kRowsTop);
    const int64_t excess = CViewport::kRowsTop + m_layout.RowsHeight() + DecoderRowsExtent() - ContentHeight();
    const int64_t lastScroll = std::max<int64_t>({0, excess, -int64_t(m_viewport.ScrollY())});
    m_vbar->setRange(0, static_cast<int>(std::min<int64_t>(lastScroll, INT32_MAX)));
    m_vbar->setPageStep(page);
    m_vbar->setSingleStep(20);
    m_vbar->setValue(-m_viewport.ScrollY());
    m_updatingBars = false;
}
