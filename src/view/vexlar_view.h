// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The waveform view of one document: signal rows stacked top to bottom with a
// name column on the left and the traces over a common time axis in samples;
// above them an overview bar of the whole capture, two time rulers, the
// trigger mark "T", the markers "M1" and "M2" and a read-out of the markers.
//
// Each window keeps its own viewport (zoom, visible samples, scroll) and its
// own row layout, computed before every paint and used by every hit test, so
// two windows of one document scrolled differently each act on their own
// rows; the drawers only read the signals.
//
// The view runs no timer. Captures reach its document through the capture
// distributor; every change of the document (a capture, an edit in any
// window) is announced to the view, which asks for a paint. The toolkit
// merges the requests up to the next screen update, and the paint renders
// into an off-screen image copied in one blit. An idle view costs nothing.

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "document/change_notifier.h"
#include "model/geometry.h"
#include "view/decoder_rows.h"
#include "view/row_layout.h"
#include "view/viewport.h"

class CDocumentDecodes;
class CDrawContext;
class CSignal;
class CVexlarDoc;
class QMenu;
class QPainter;
class QScrollBar;
class QPen;
class QPrinter;

class CVexlarView : public QWidget {
    Q_OBJECT

public:
    // Command ids of the context menus.
    static constexpr int ID_SET_MARKER_1 = 32779;
    static constexpr int ID_SET_MARKER_2 = 32780;
    static constexpr int ID_CLEAR_MARKERS = 32781;
    static constexpr int ID_EDIT_SIGNAL = 32782;
    static constexpr int ID_SPECTRUM_AUTOSCALE = 32790;
    static constexpr int ID_SPECTRUM_RESET_TRACE = 32791;
    static constexpr int ID_SPECTRUM_EDIT = 32792;
    static constexpr int ID_ROW_AUTOSCALE = 32793;

    // Interaction constants.
    static constexpr int kMinGraphHeight = 32;
    static constexpr int kMaxGraphHeight = 1024;

    explicit CVexlarView(CVexlarDoc* doc, QWidget* parent = nullptr);
    ~CVexlarView() override;

    CVexlarDoc* GetDocument() const;

    // Opens the properties of a signal (set by the application to the signal
    // properties dialog); returns true when the signal was changed.
    std::function<bool(CSignal&)> onEditSignal;
    // Runs a context menu at a global position and returns the chosen action
    // (nullptr: none). Defaults to QMenu::exec; tests choose an item here.
    std::function<QAction*(QMenu&, const QPoint&)> menuRunner;
    // Edits the settings of a decoder row (set by the application to the
    // decoder dialog); true when `row` was changed.
    std::function<bool(CDecoderRowConfig& row)> onEditDecoderRow;
    // Shows a message in the window's status bar (a decoder error).
    std::function<void(const QString&)> onStatusMessage;
    // Called at the end of every paint event (the image is on the window)
    // with the capture id that the picture shows (the document's).
    std::function<void(int32_t captureId)> onPainted;

    // The time axis and rows of this window (zoom, visible samples, scroll).
    const CViewport& Viewport() const { return m_viewport; }
    // Shows the window at a viewport built elsewhere (its client size is
    // the widget's own).
    void SetViewport(const CViewport& viewport);
    // The rows of this window as the next paint draws them; every hit test
    // uses it. Rebuilt when the document, the viewport or the size changed.
    const CRowLayout& Layout();

    // Markers M1 and M2 (sample indices, -1: not set) belong to the document:
    // every window of it shows the same ones, and setting them is an edit.
    int Marker1() const;
    int Marker2() const;
    GdiPoint m_menuPoint;   // client point of the last right-button release
    // The spectrum cross-hair of this window: the pointer while it is over a
    // spectrum graph, else (0, 0).
    GdiPoint CrossHair() const { return m_crossHair; }

    static int StepFromZoom(double zoom) { return CViewport::StepFromZoom(zoom); }
    int SampleToX(int sample) const { return m_viewport.SampleToX(sample); }
    double XToSample(int x) const { return m_viewport.XToSample(x); }

    // Paints the whole view into the off-screen image now and returns it
    // (the image the next paint event copies to the window).
    const QImage& PaintNow();
    // Number of screen paints done so far.
    uint64_t PaintCount() const { return m_paintCount; }
    // The picture changed: a paint at the next screen update.
    void Invalidate();

    // Printing: one page of the window on white paper (page_print.h), with
    // the document's name and the date above it.
    void Print(QPrinter* printer);
    void PrintPreview();
    void FilePrint();   // the print dialog, then Print
    // A new printer's defaults for a page of a window: landscape.
    static void SetPrintDefaults(QPrinter& printer);
    // The title line of a printed page: the document's name and the date.
    QString PageTitle() const;
    // Units per sample of the printed trace (x from 300): the page width over
    // the visible span of the last screen paint; a one-sample span fills the
    // trace area; a span wider than the page gives -k, k samples per unit,
    // so that it fits the page.
    static double PrintScale(int first, int last, int pageWidth);

    // The value cursor: a line that follows the pointer, with every row's
    // value at that sample beside its name. While it is off the rows show
    // their values at the markers instead.
    void SetValueCursor(bool on);
    bool ValueCursor() const { return m_valueCursor; }
    // Scroll bars along the right and bottom edges (the application shows
    // them); the picture then leaves their room free.
    void SetScrollBarsShown(bool shown);
    QScrollBar* HorizontalScrollBar() const { return m_hbar; }
    QScrollBar* VerticalScrollBar() const { return m_vbar; }
    // Width and height of the picture: the widget less its scroll bars.
    int ContentWidth() const;
    int ContentHeight() const;
    // Brings a sample to the middle of the trace area (a search result).
    void ShowSample(int sample);
    // The sample at the middle of the trace area.
    int CentreSample();
    // Moves the rows up (positive) or down, within the rows' height, and the
    // time axis by a number of samples (never before sample 0).
    void ScrollRows(int pixels);
    void ScrollSamples(int64_t samples);

    // Interaction that can also be called as commands.
    void ZoomAt(GdiPoint point, bool zoomIn);
    void ZoomToFit();
    void ScrollToStart();
    void ScrollToEnd();
    void OnSetMarker1();
    void OnSetMarker2();
    void OnClearMarkers();
    void OnEditSignalCommand();   // "Edit..." as a command: the rows under m_menuPoint
    // Shows the context menu of the row under a client point (nothing outside
    // every row) and runs the chosen item.
    void ShowContextMenu(GdiPoint clientPoint);
    // The menus, with their texts and command ids in QAction::data().
    QMenu* CreateRowMenu(QWidget* parent) const;
    QMenu* CreateSpectrumMenu(QWidget* parent) const;

    // The decodes of the document's decoder rows (shared with every window
    // of the document; null without a document), what this window drew of
    // them at its last paint, and the rows' commands.
    CDocumentDecodes* Decodes() const { return m_decodes.get(); }
    const std::vector<DecoderRowPaint>& DrawnDecoderRows() const { return m_drawnDecoderRows; }
    // The hover text at a client point of the last paint (empty: none).
    QString DecoderTextAt(GdiPoint point) const;
    static constexpr int ID_DECODER_RENAME = 33100;
    static constexpr int ID_DECODER_EDIT = 33101;
    static constexpr int ID_DECODER_DUPLICATE = 33102;
    static constexpr int ID_DECODER_DELETE = 33103;
    static constexpr int ID_DECODER_MOVE_UP = 33104;
    static constexpr int ID_DECODER_MOVE_DOWN = 33105;
    static constexpr int ID_DECODER_EXPORT = 33106;
    QMenu* CreateDecoderRowMenu(QWidget* parent) const;
    void RunDecoderRowCommand(int id, size_t index);
    // The decoder row under a client point of the last paint (-1: none).
    int DecoderRowAt(GdiPoint point) const;

    // Painting steps (on the off-screen image's context).
    void DrawTimeRulers(CDrawContext& dc);
    void DrawMarkerInfo(CDrawContext& dc, int right, int top);
    // A vertical line from yTop to yBottom that leaves out every spectrum
    // graph with its frequency axis.
    void DrawVerticalLine(QPainter& painter, const QPen& pen, int x, int yTop, int yBottom);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // What a left-button drag moves: the time axis and rows, the visible
    // window on the overview bar, or a row by its name.
    enum class DragKind { View, Overview, Name };
    void RenderScreen();
    int ClientRight() const { return ContentWidth(); }
    int ClientBottom() const { return ContentHeight(); }
    // The viewport follows the widget's size and the document's samples
    // (before an interaction works on the visible range).
    void SyncViewport();
    void BuildLayout();
    void InvalidateLayout() { m_layoutValid = false; }
    // A user's change of one signal, recorded for Undo (which marks the
    // document modified and moves its revision, so other windows repaint).
    // The edits here never change samples.
    void ChangeSignal(CSignal& signal, const QString& text, const std::function<bool(CSignal&)>& edit,
                      int mergeId = -1);
    void RunCommand(int id, CSignal* signal);
    void EditSignal(CSignal& signal);
    void SpectrumAutoscale(CSignal& signal);
    void MoveCrossHair(GdiPoint point);
    bool WheelGraphHeight(GdiPoint point, bool forward);
    bool WheelAnalogRange(GdiPoint point, bool forward);
    // Pointer tracking for the value cursor and the pulse measurements.
    void MovePointer(GdiPoint point);
    bool ShowsPointerOverlay() const;
    // The overlays drawn after the rows (see view_overlays.h).
    void DrawOverlays(CDrawContext& dc);
    // Where a name dragged to y would be put: the place in the list before
    // which it goes, and the y of the line that shows it.
    bool NameDropPlace(int y, int& before, int& lineY);
    void DragOverview(GdiPoint point);
    void UpdateScrollBars();
    void PlaceScrollBars();
    void ClampScroll();

    // Decoder rows: drawn after the signal rows, repainted when a decode of
    // the document ends; a new error goes to the status bar.
    void OnDecodesChanged();
    void DrawDecoderRows(QPainter& painter, int64_t y, int step);
    int64_t DecoderRowsExtent() const;
    bool SelectDecoderRow(GdiPoint point, bool ctrl);
    bool ShowDecoderRowMenu(GdiPoint clientPoint);
    void ShowDecoderToolTip(GdiPoint point);

    CVexlarDoc* m_doc;
    CChangeNotifier::Subscription m_documentChanges;
    std::shared_ptr<CDocumentDecodes> m_decodes;
    CChangeNotifier::Subscription m_decodeChanges;
    std::vector<DecoderRowPaint> m_drawnDecoderRows;
    QString m_lastDecoderError;
    QImage m_image;
    CViewport m_viewport;
    CRowLayout m_layout;
    bool m_layoutValid = false;
    uint64_t m_layoutRevision = 0;
    GdiPoint m_crossHair;
    bool m_needsRender = true;
    bool m_leftDown = false;
    DragKind m_dragKind = DragKind::View;
    int m_dragRow = -1;          // a name drag: the place of its row in the list
    bool m_dragMoved = false;    // a name drag went far enough to be one
    int m_dragFirstVisible = 0;  // an overview drag: the first visible sample at its start
    bool m_valueCursor = false;
    GdiPoint m_pointer;          // last pointer position over the view
    bool m_pointerInside = false;
    bool m_pointerOverlay = false;   // the last picture showed the pointer's overlays
    QScrollBar* m_hbar = nullptr;
    QScrollBar* m_vbar = nullptr;
    bool m_updatingBars = false;
    uint64_t m_paintedRevision = 0;
    uint64_t m_paintCount = 0;
    int32_t m_paintedCaptureId = 0;
};
