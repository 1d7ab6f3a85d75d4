// SPDX-License-Identifier: GPL-3.0-or-later
// Mouse, wheel, keys and context menus of the waveform view, driven by real
// mouse, wheel and key events sent to a view of a known document; and the
// capture timer's hand-off and repaint policy.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QtTest>

#include <QAbstractEventDispatcher>

#include <sys/eventfd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <mutex>

#include "acquisition/capture_link.h"
#include "document/capture_distributor.h"
#include "view/row_layout.h"
#include "view/vexlar_view.h"
#include "view_fixture.h"

using namespace viewtest;

namespace {

struct Fixture {
    CVexlarDoc doc;
    CVexlarView view{&doc};
    explicit Fixture(int w = 1000, int h = 400)
    {
        doc.RemoveAllSignals();
        view.resize(w, h);
    }
    void Paint() { view.PaintNow(); }
    // The window's viewport changed as a user would change it.
    template <typename F>
    void Change(F change)
    {
        CViewport viewport = view.Viewport();
        change(viewport);
        view.SetViewport(viewport);
    }
};

// The row of a signal in a view's layout (the test fails when it is not in
// the window).
const RowBox& RowOf(CVexlarView& view, const CSignal* signal)
{
    const RowBox* row = view.Layout().Find(signal);
    if (row == nullptr)
        qFatal("the row is not in the window");
    return *row;
}

void SendMouse(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint pos,
               Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QMouseEvent event(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, buttons, mods);
    QCoreApplication::sendEvent(&w, &event);
}

void Click(QWidget& w, QPoint pos, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    SendMouse(w, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, pos, mods);
    SendMouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, pos, mods);
}

void DoubleClick(QWidget& w, QPoint pos)
{
    Click(w, pos);
    SendMouse(w, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, pos);
    SendMouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, pos);
}

void RightClick(QWidget& w, QPoint pos)
{
    SendMouse(w, QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, pos);
    SendMouse(w, QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, pos);
}

void Wheel(QWidget& w, QPoint pos, int delta, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QWheelEvent event(QPointF(pos), QPointF(w.mapToGlobal(pos)), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&w, &event);
}

void Key(QWidget& w, int key, const QString& text = QString())
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(&w, &event);
}

// A context-menu runner that records the menu and picks the item with an id.
struct MenuChoice {
    int pick = 0;
    int runs = 0;
    QStringList texts;
    QList<int> ids;
    void Install(CVexlarView& view)
    {
        view.menuRunner = [this](QMenu& menu, const QPoint&) -> QAction* {
            ++runs;
            texts.clear();
            ids.clear();
            QAction* chosen = nullptr;
            for (QAction* a : menu.actions()) {
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
                ids << a->data().toInt();
                if (!a->isSeparator() && a->data().toInt() == pick)
                    chosen = a;
            }
            return chosen;
        };
    }
};

uint32_t Zero(int)
{
    return 0;
}

// What the capture thread does at a hand-over: a new front frame, then the
// link's event descriptor.
void HandOver(CCaptureLink& link, int32_t id, int depth, const std::function<uint32_t(int)>& word)
{
    {
        std::lock_guard<std::mutex> lock(link.m_lock);
        delete[] link.m_front.words;
        link.m_front.words = new uint8_t[4 * size_t(depth)];
        link.m_front.capacityBytes = 4 * depth;
        for (int i = 0; i < depth; ++i) {
            const uint32_t w = word(i);
            std::memcpy(link.m_front.words + 4 * i, &w, 4);
        }
        link.m_front.depth = depth;
        link.m_front.bitsPerSample = 32;
        link.m_front.triggerPos = depth / 2;
        link.m_front.captureId.store(id);
    }
    QVERIFY(eventfd_write(link.CaptureEventFd(), 1) == 0);
}

// Counts the timer events an object receives.
struct TimerEvents : QObject {
    int count = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

}   // namespace

class ViewMouseTest : public QObject {
    Q_OBJECT

private slots:
    void wheelZoomsAtThePointer()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, Zero);
        f.Paint();
        QCOMPARE(f.view.Viewport().LastVisible(), 45);
        Wheel(f.view, QPoint(300, 60), 120);
        QCOMPARE(f.view.Viewport().Zoom(), 30.0);
        QCOMPARE(f.view.Viewport().PixelStep(), 30);
        QCOMPARE(f.view.Viewport().FirstVisible(), 3);   // anchor 10, span 31
        QVERIFY(!f.doc.IsModified());                    // view state, not document content

        // Over the name column nothing changes.
        Wheel(f.view, QPoint(60, 60), 120);
        QCOMPARE(f.view.Viewport().Zoom(), 30.0);
        QCOMPARE(f.view.Viewport().FirstVisible(), 3);
    }

    void wheelNotchesWithinOneTickZoomAsIfPaintedBetween()
    {
        // A fast wheel sends several notches before the next tick paints:
        // each notch must anchor on the range the previous one left, so the
        // sample under the pointer stays there.
        Fixture painted;
        Fixture burst;
        for (Fixture* f : {&painted, &burst}) {
            AddSignal(f->doc, "a", 1, 4096, Zero);
            f->Paint();
        }
        for (int notch = 0; notch < 3; ++notch) {
            Wheel(painted.view, QPoint(300, 60), 120);
            painted.Paint();
            Wheel(burst.view, QPoint(300, 60), 120);
        }
        QCOMPARE(painted.view.Viewport().Zoom(), 67.5);
        QCOMPARE(painted.view.Viewport().FirstVisible(), 6);   // 5 + 200/900 * 20 = 9.44 under the pointer
        QCOMPARE(burst.view.Viewport().Zoom(), painted.view.Viewport().Zoom());
        QCOMPARE(burst.view.Viewport().FirstVisible(), painted.view.Viewport().FirstVisible());
        QCOMPARE(burst.view.Viewport().LastVisible(), painted.view.Viewport().LastVisible());

        // A drag moves the visible range before the next paint too.
        Fixture drag;
        AddSignal(drag.doc, "v", 1, 4096, Zero);
        drag.Paint();
        SendMouse(drag.view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(900, 300));
        SendMouse(drag.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(100, 300));
        SendMouse(drag.view, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(100, 300));
        QCOMPARE(drag.view.Viewport().FirstVisible(), 40);
        QCOMPARE(drag.view.Viewport().LastVisible(), 85);
    }

    void zoomLimits()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, Zero);
        for (int i = 0; i < 20; ++i) {
            f.Paint();
            Wheel(f.view, QPoint(500, 60), 120);
        }
        QCOMPARE(f.view.Viewport().Zoom(), 160.0);
        QCOMPARE(f.view.Viewport().PixelStep(), 160);
        const double fit = 1000.0 / 4096;
        for (int i = 0; i < 40; ++i) {
            f.Paint();
            Wheel(f.view, QPoint(500, 60), -120);
        }
        QVERIFY(f.view.Viewport().Zoom() <= fit);
        QVERIFY(f.view.Viewport().Zoom() * 1.5 > fit);
        QVERIFY(f.view.Viewport().FirstVisible() >= 0);

        // 1.5 down to 1.0: one sample per pixel, as a step of -1.
        f.Change([](CViewport& v) { v.SetZoom(1.5); });
        f.Paint();
        Wheel(f.view, QPoint(500, 60), -120);
        QCOMPARE(f.view.Viewport().Zoom(), 1.0);
        QCOMPARE(f.view.Viewport().PixelStep(), -1);

        // Without samples the view cannot zoom out at all.
        Fixture empty;
        empty.Paint();
        Wheel(empty.view, QPoint(500, 60), -120);
        QCOMPARE(empty.view.Viewport().Zoom(), 20.0);
    }

    void ctrlWheelChangesGraphHeightWithinLimits()
    {
        Fixture f(1000, 1400);
        CSignal* digital = AddSignal(f.doc, "d", 1, 4096, Zero);
        CSignal* tall = AddSignal(f.doc, "tall", 8, 4096, Zero);
        tall->m_analog = true;
        tall->m_graphHeight = 900;
        CSignal* low = AddSignal(f.doc, "low", 8, 4096, Zero);
        low->m_spectrum = true;
        low->m_graphHeight = 35;
        f.Paint();
        const uint64_t revision = f.doc.Revision();
        Wheel(f.view, QPoint(300, RowOf(f.view, tall).trace.top + 10), 120, Qt::ControlModifier);
        QCOMPARE(tall->m_graphHeight, 1024);   // not 1125
        QVERIFY(f.doc.IsModified());
        QVERIFY(f.doc.Revision() > revision);
        f.Paint();
        Wheel(f.view, QPoint(300, RowOf(f.view, low).trace.top + 10), -120, Qt::ControlModifier);
        QCOMPARE(low->m_graphHeight, 32);   // not 28
        QCOMPARE(f.view.Viewport().Zoom(), 20.0);
        // Over a digital row Ctrl + wheel falls through to the time zoom.
        Wheel(f.view, QPoint(300, RowOf(f.view, digital).trace.top + 5), 120, Qt::ControlModifier);
        QCOMPARE(f.view.Viewport().Zoom(), 30.0);
    }

    void shiftWheelNarrowsTheAnalogRangeAroundThePointer()
    {
        Fixture f;
        CSignal* analog = AddSignal(f.doc, "an", 10, 4096, Zero);
        analog->m_analog = true;
        f.Paint();
        QCOMPARE(RowOf(f.view, analog).trace.top, 55);
        QCOMPARE(RowOf(f.view, analog).trace.bottom, 155);
        Wheel(f.view, QPoint(400, 105), 120, Qt::ShiftModifier);
        QCOMPARE(analog->m_min, 128);
        QCOMPARE(analog->m_max, 896);
        QCOMPARE(f.view.Viewport().Zoom(), 20.0);
        // Backwards widens it again (by 1.33333) around the same value.
        Wheel(f.view, QPoint(400, 105), -120, Qt::ShiftModifier);
        QCOMPARE(analog->m_min, 0);
        QCOMPARE(analog->m_max, 1023);
        // Many steps back never overflow the range.
        for (int i = 0; i < 200; ++i)
            Wheel(f.view, QPoint(400, 60), -120, Qt::ShiftModifier);
        QVERIFY(analog->m_min < analog->m_max);
    }

    void doubleClicks()
    {
        Fixture f(1000, 800);
        CSignal* analog = AddSignal(f.doc, "an", 12, 4096, [](int i) { return i <= 45 ? 100 + (i % 3) * 100 : 4000; });
        analog->m_analog = true;
        CSignal* bus = AddSignal(f.doc, "bus", 8, 4096, [](int i) { return i; });
        CSignal* spectrumRow = AddSignal(f.doc, "fft", 8, 4096, [](int i) { return (i * 37) & 0xFF; });
        spectrumRow->m_spectrum = true;
        spectrumRow->UpdateSpectrum();   // as the hand-off of its capture does
        CSignal* edited = nullptr;
        f.view.onEditSignal = [&](CSignal& s) {
            edited = &s;
            s.m_name = QStringLiteral("renamed");
            return true;
        };
        f.Paint();

        // Analog: autoscale to the visible samples (100..300, margin 10).
        DoubleClick(f.view, QPoint(300, RowOf(f.view, analog).trace.top + 20));
        QCOMPARE(analog->m_min, 89);
        QCOMPARE(analog->m_max, 310);
        QVERIFY(f.doc.IsModified());

        // Bus: per-bit rows shown and hidden.
        QVERIFY(bus->m_expanded);
        QCOMPARE(bus->GetRowHeight(), 26 + 8 * 18);
        DoubleClick(f.view, QPoint(300, RowOf(f.view, bus).trace.top + 10));
        QVERIFY(!bus->m_expanded);
        QCOMPARE(bus->GetRowHeight(), 26);
        f.Paint();
        DoubleClick(f.view, QPoint(300, RowOf(f.view, bus).trace.top + 10));
        QVERIFY(bus->m_expanded);
        f.Paint();

        // Spectrum: the dB range from the peak hold and the spectrum's floor.
        DoubleClick(f.view, QPoint(300, RowOf(f.view, spectrumRow).trace.top + 20));
        QCOMPARE(spectrumRow->m_maxDb, *std::max_element(spectrumRow->m_peakHold, spectrumRow->m_peakHold + 2048));
        QCOMPARE(spectrumRow->m_minDb, spectrumRow->m_specMin);

        // The name opens the properties.
        f.doc.SetModifiedFlag(false);
        DoubleClick(f.view, QPoint(20, RowOf(f.view, bus).label.top + 5));
        QCOMPARE(edited, bus);
        QVERIFY(f.doc.IsModified());
        QVERIFY(f.doc.Undo());   // the edit is recorded for Undo
        QCOMPARE(bus->m_name, QStringLiteral("bus"));

        // Between rows: nothing.
        edited = nullptr;
        const bool expanded = bus->m_expanded;
        DoubleClick(f.view, QPoint(300, RowOf(f.view, bus).trace.top - 3));
        QCOMPARE(edited, nullptr);
        QCOMPARE(bus->m_expanded, expanded);
    }

    void dragMovesTimeAndRowsWithinLimits()
    {
        Fixture f;
        for (int i = 0; i < 20; ++i)
            AddSignal(f.doc, QString("b%1").arg(i), 8, 4096, Zero);
        f.Change([](CViewport& v) { v.SetFirstVisible(10); });
        f.Paint();
        SendMouse(f.view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(500, 100));
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(540, 100));
        QCOMPARE(f.view.Viewport().FirstVisible(), 8);   // 40 pixels at 20 per sample
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(800, 100));
        QCOMPARE(f.view.Viewport().FirstVisible(), 0);   // never below 0
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(100, 100));
        QCOMPARE(f.view.Viewport().FirstVisible(), 30);   // no upper limit

        // Rows: 20 x (170 + 10) = 3600 pixels; the last row stops at the bottom.
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(500, -900));
        QCOMPARE(f.view.Viewport().ScrollY(), -1000);
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(500, -9000));
        QCOMPARE(f.view.Viewport().ScrollY(), -(55 + 3600 - 400));
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(500, 300));
        QCOMPARE(f.view.Viewport().ScrollY(), 0);
        SendMouse(f.view, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(500, 300));

        // Moving without the button does not drag.
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(900, 100));
        QCOMPARE(f.view.Viewport().FirstVisible(), 10);

        // Rows that fit keep the scroll at 0.
        Fixture small;
        AddSignal(small.doc, "a", 1, 4096, Zero);
        small.Paint();
        SendMouse(small.view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(500, 100));
        SendMouse(small.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(500, 20));
        QCOMPARE(small.view.Viewport().ScrollY(), 0);
        SendMouse(small.view, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(500, 20));

        // Five samples per pixel and the capture fits: no dragging to later samples.
        small.Change([](CViewport& v) {
            v.SetZoom(0.2);
            v.SetFirstVisible(100);
        });
        small.Paint();
        SendMouse(small.view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(500, 100));
        SendMouse(small.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(400, 100));
        QCOMPARE(small.view.Viewport().FirstVisible(), 100);
        SendMouse(small.view, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(510, 100));
        QCOMPARE(small.view.Viewport().FirstVisible(), 50);   // 100 - 10 / 0.2
    }

    void selectionByClickAndCtrlClick()
    {
        Fixture f;
        CSignal* a = AddSignal(f.doc, "a", 1, 4096, Zero);
        CSignal* b = AddSignal(f.doc, "b", 1, 4096, Zero);
        CSignal* c = AddSignal(f.doc, "c", 1, 4096, Zero);
        f.Paint();
        const auto rowPoint = [&](const CSignal* s) { return QPoint(400, RowOf(f.view, s).trace.top + 5); };
        Click(f.view, rowPoint(a));
        QVERIFY(a->m_selected && !b->m_selected && !c->m_selected);
        QVERIFY(!f.doc.IsModified());   // choosing rows is no edit of the document
        Click(f.view, rowPoint(b), Qt::ControlModifier);
        QVERIFY(a->m_selected && b->m_selected && !c->m_selected);
        Click(f.view, rowPoint(a), Qt::ControlModifier);   // toggles only that row
        QVERIFY(!a->m_selected && b->m_selected && !c->m_selected);
        Click(f.view, rowPoint(c));
        QVERIFY(!a->m_selected && !b->m_selected && c->m_selected);
        Click(f.view, QPoint(40, RowOf(f.view, c).trace.top + 5));   // the name column clears all
        QVERIFY(!a->m_selected && !b->m_selected && !c->m_selected);
        // A click that changes nothing leaves the document alone.
        f.doc.SetModifiedFlag(false);
        const uint64_t revision = f.doc.Revision();
        Click(f.view, QPoint(40, 300));
        QVERIFY(!f.doc.IsModified());
        QCOMPARE(f.doc.Revision(), revision);
    }

    void rowMenuSetsAndClearsMarkers()
    {
        Fixture f;
        CSignal* a = AddSignal(f.doc, "a", 1, 4096, Zero);
        f.Paint();
        MenuChoice menu;
        menu.Install(f.view);
        const int y = RowOf(f.view, a).trace.top + 5;

        menu.pick = CVexlarView::ID_SET_MARKER_1;
        RightClick(f.view, QPoint(110, y));
        QCOMPARE(menu.runs, 1);
        QCOMPARE(menu.texts,
                 (QStringList{"Autoscale", "Set Marker 1", "Set Marker 2", "Clear Markers", "-", "Edit..."}));
        QCOMPARE(menu.ids, (QList<int>{32793, 32779, 32780, 32781, 0, 32782}));
        QCOMPARE(f.view.m_menuPoint, (GdiPoint{110, y}));
        QCOMPARE(f.view.Marker1(), 1);   // sample 0.5 rounds up

        menu.pick = CVexlarView::ID_SET_MARKER_2;
        RightClick(f.view, QPoint(700, y));
        QCOMPARE(f.view.Marker2(), 30);

        // Over the name column no menu opens; the marker command there clears.
        RightClick(f.view, QPoint(50, y));
        QCOMPARE(menu.runs, 2);
        f.view.OnSetMarker1();
        QCOMPARE(f.view.Marker1(), -1);
        QCOMPARE(f.view.Marker2(), 30);

        menu.pick = CVexlarView::ID_CLEAR_MARKERS;
        RightClick(f.view, QPoint(300, y));
        QCOMPARE(f.view.Marker1(), -1);
        QCOMPARE(f.view.Marker2(), -1);
        // Markers belong to the document: setting them is an edit, undone
        // step by step.
        QVERIFY(f.doc.IsModified());
        QVERIFY(f.doc.Undo());
        QCOMPARE(f.view.Marker2(), 30);
        QVERIFY(f.doc.Undo());
        QCOMPARE(f.view.Marker1(), 1);

        // Between rows no menu.
        RightClick(f.view, QPoint(300, RowOf(f.view, a).trace.bottom + 3));
        QCOMPARE(menu.runs, 3);

        // A marker placed at the end of a short capture stays on its last sample.
        Fixture shortDoc;
        AddSignal(shortDoc.doc, "s", 1, 20, Zero);
        shortDoc.Paint();
        MenuChoice pick;
        pick.Install(shortDoc.view);
        pick.pick = CVexlarView::ID_SET_MARKER_1;
        RightClick(shortDoc.view, QPoint(495, 60));   // sample 19.75
        QCOMPARE(shortDoc.view.Marker1(), 19);
    }

    void rowMenuAutoscaleAndEdit()
    {
        Fixture f;
        CSignal* d = AddSignal(f.doc, "d", 12, 4096, [](int i) { return i <= 45 ? 100 + (i % 3) * 100 : 0; });
        f.Paint();
        int edits = 0;
        f.view.onEditSignal = [&](CSignal&) {
            ++edits;
            return false;
        };
        MenuChoice menu;
        menu.Install(f.view);
        menu.pick = CVexlarView::ID_ROW_AUTOSCALE;
        RightClick(f.view, QPoint(300, RowOf(f.view, d).trace.top + 5));
        QCOMPARE(d->m_min, 89);
        QCOMPARE(d->m_max, 310);
        QVERIFY(f.doc.IsModified());
        f.doc.SetModifiedFlag(false);
        menu.pick = CVexlarView::ID_EDIT_SIGNAL;
        RightClick(f.view, QPoint(300, RowOf(f.view, d).trace.top + 5));
        QCOMPARE(edits, 1);
        QVERIFY(!f.doc.IsModified());   // Cancel changes nothing
        f.view.OnEditSignalCommand();   // as a command: the row under the menu point
        QCOMPARE(edits, 2);
    }

    void spectrumMenuAndCrossHair()
    {
        Fixture f;
        CSignal* spectrumRow = AddSignal(f.doc, "fft", 8, 4096, [](int i) { return (i * 37) & 0xFF; });
        spectrumRow->m_spectrum = true;
        spectrumRow->UpdateSpectrum();   // as the hand-off of its capture does
        f.Paint();
        MenuChoice menu;
        menu.Install(f.view);
        menu.pick = CVexlarView::ID_SPECTRUM_RESET_TRACE;
        const QPoint inside(300, RowOf(f.view, spectrumRow).trace.top + 20);
        RightClick(f.view, inside);
        QCOMPARE(menu.texts, (QStringList{"Autoscale", "Reset Trace", "-", "Edit..."}));
        QCOMPARE(menu.ids, (QList<int>{32790, 32791, 0, 32792}));
        for (double v : spectrumRow->m_peakHold)
            QCOMPARE(v, -1e100);
        f.Paint();
        menu.pick = CVexlarView::ID_SPECTRUM_AUTOSCALE;
        RightClick(f.view, inside);
        QCOMPARE(spectrumRow->m_maxDb, *std::max_element(spectrumRow->m_peakHold, spectrumRow->m_peakHold + 2048));

        // The cross-hair follows the pointer inside the graph, (0, 0) outside.
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, inside);
        QCOMPARE(f.view.CrossHair(), (GdiPoint{300, RowOf(f.view, spectrumRow).trace.top + 20}));
        SendMouse(f.view, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(50, 20));
        QCOMPARE(f.view.CrossHair(), (GdiPoint{0, 0}));
    }

    void twoWindowsOfOneDocumentEachHitTheirOwnRows()
    {
        // Window > New Window: two windows of one document, the second
        // scrolled 200 pixels down and painted last. Every click, double
        // click, menu and the cross-hair act on the row under the pointer in
        // the window that got them.
        CVexlarDoc doc;
        doc.RemoveAllSignals();
        CSignal* fft = AddSignal(doc, "fft", 8, 4096, [](int i) { return (i * 37) & 0xFF; });
        fft->m_spectrum = true;   // rows 55..155, axis to 170
        fft->UpdateSpectrum();
        std::vector<CSignal*> buses;
        for (int i = 0; i < 11; ++i)
            buses.push_back(AddSignal(doc, QString("bus%1").arg(i), 8, 4096, [](int k) { return k / 3; }));
        CVexlarView first(&doc);
        CVexlarView second(&doc);
        for (CVexlarView* view : {&first, &second})
            view->resize(1000, 300);
        // Drag the second window's rows up by 200 pixels: bus0 (first at
        // 180..350) now starts at -20, bus1 at 160.
        second.PaintNow();
        SendMouse(second, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(500, 250));
        SendMouse(second, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(500, 50));
        SendMouse(second, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(500, 50));
        for (CSignal* s : doc.m_signals)
            s->m_selected = false;
        first.PaintNow();
        second.PaintNow();   // painted last

        // The same point, y = 100: the spectrum graph in the first window,
        // bus0 in the second.
        Click(first, QPoint(300, 100));
        QVERIFY(fft->m_selected);
        QVERIFY(!buses[0]->m_selected && !buses[1]->m_selected);
        Click(second, QPoint(300, 100));
        QVERIFY(buses[0]->m_selected);
        QVERIFY(!fft->m_selected && !buses[1]->m_selected);
        first.PaintNow();
        second.PaintNow();

        // Double clicks: a bus trace in the second window toggles that bus;
        // a name in the first window edits the row it stands at.
        CSignal* edited = nullptr;
        for (CVexlarView* view : {&first, &second})
            view->onEditSignal = [&](CSignal& s) {
                edited = &s;
                return false;
            };
        DoubleClick(second, QPoint(300, 100));
        QVERIFY(!buses[0]->m_expanded);
        QVERIFY(buses[1]->m_expanded);
        buses[0]->m_expanded = true;
        first.PaintNow();
        second.PaintNow();
        DoubleClick(first, QPoint(20, 190));   // bus0's name in the first window
        QCOMPARE(edited, buses[0]);
        DoubleClick(second, QPoint(20, 170));   // bus1's name in the second
        QCOMPARE(edited, buses[1]);

        // Context menus: the spectrum menu over the graph of the first
        // window, the row menu over the bus at the same point of the second.
        MenuChoice firstMenu;
        MenuChoice secondMenu;
        firstMenu.Install(first);
        secondMenu.Install(second);
        RightClick(first, QPoint(300, 100));
        RightClick(second, QPoint(300, 100));
        QCOMPARE(firstMenu.runs, 1);
        QCOMPARE(firstMenu.texts, (QStringList{"Autoscale", "Reset Trace", "-", "Edit..."}));
        QCOMPARE(secondMenu.runs, 1);
        QCOMPARE(secondMenu.texts.first(), QStringLiteral("Autoscale"));
        QCOMPARE(secondMenu.texts.size(), 6);

        // The cross-hair over the first window's graph shows there only.
        first.PaintNow();
        const QImage secondStill = second.PaintNow().copy();
        SendMouse(first, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, QPoint(300, 100));
        const QImage firstWith = first.PaintNow().copy();
        int dotted = 0;
        for (int y = 56; y < 154; ++y)
            dotted += Px(firstWith, 300, y) == Rgb(255, 255, 255) ? 1 : 0;
        QVERIFY2(dotted > 20, qPrintable(QString::number(dotted)));   // the vertical line of the cross-hair
        QVERIFY(SameRegion(second.PaintNow(), secondStill, 0, 0, 1000, 300));
    }

    void keysZoomFitAndJump()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, Zero);
        f.Paint();
        Key(f.view, Qt::Key_Plus, "+");
        QCOMPARE(f.view.Viewport().Zoom(), 30.0);
        f.Paint();
        Key(f.view, Qt::Key_Minus, "-");
        QCOMPARE(f.view.Viewport().Zoom(), 20.0);
        Key(f.view, Qt::Key_End);
        f.Paint();
        QCOMPARE(f.view.Viewport().LastVisible(), 4095);
        QCOMPARE(f.view.Viewport().FirstVisible(), 4096 - 45);
        Key(f.view, Qt::Key_Home);
        QCOMPARE(f.view.Viewport().FirstVisible(), 0);
        Key(f.view, Qt::Key_F, "f");
        f.Paint();
        QCOMPARE(f.view.Viewport().FirstVisible(), 0);
        QCOMPARE(f.view.Viewport().LastVisible(), 4095);   // the whole capture on screen
        QCOMPARE(f.view.Viewport().PixelStep(), -5);       // 4096 samples on 890 pixels
        // A short capture fits at the largest zoom.
        Fixture tiny;
        AddSignal(tiny.doc, "t", 1, 3, Zero);
        tiny.Paint();
        Key(tiny.view, Qt::Key_F, "f");
        QCOMPARE(tiny.view.Viewport().Zoom(), 160.0);
        for (int i = 0; i < 10; ++i)
            Key(tiny.view, Qt::Key_Plus, "+");
        QCOMPARE(tiny.view.Viewport().Zoom(), 160.0);
    }

    void tooSmallViewDoesNotRepaintOverAndOver()
    {
        // A view squeezed below 2 pixels paints nothing; a change of its
        // document must not leave it asking for paints again and again.
        CVexlarDoc doc;
        CVexlarView view(&doc);
        view.resize(1, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        int paintEvents = 0;
        view.onPainted = [&](int32_t) { ++paintEvents; };
        QTest::qWait(50);
        paintEvents = 0;
        doc.BumpRevision();
        QTest::qWait(300);
        QVERIFY2(paintEvents <= 2, qPrintable(QString::number(paintEvents)));
    }

    void captureReachesTheScreenWithoutATimer()
    {
        CCaptureLink link;   // never started: the test plays the capture thread
        CVexlarDoc doc;
        doc.RemoveAllSignals();
        CSignal* nibble = AddSignal(doc, "n", 4, 1, Zero);
        nibble->m_firstBit = 4;
        nibble->UpdateMask();
        CCaptureDistributor distributor(link, [&] { return std::vector<CVexlarDoc*>{&doc}; });
        CVexlarView view(&doc);
        TimerEvents timers;
        view.installEventFilter(&timers);
        view.resize(800, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY_WITH_TIMEOUT(view.PaintCount() >= 1, 2000);
        QTest::qWait(100);
        const uint64_t idle = view.PaintCount();

        QList<int32_t> painted;
        view.onPainted = [&](int32_t id) { painted << id; };
        HandOver(link, 7, 64, [](int i) { return 0xFEDu + uint32_t(i) * 16u; });
        QTRY_VERIFY_WITH_TIMEOUT(painted.contains(7), 2000);
        QCOMPARE(doc.m_captureId, 7);
        QCOMPARE(nibble->m_count, 64);
        QCOMPARE(nibble->m_samples[0], 0xEu);
        QCOMPARE(nibble->m_samples[1], 0xFu);
        QCOMPARE(doc.m_triggerPos, 32);
        QVERIFY(doc.IsModified());   // a live document that took a capture has something to save
        QVERIFY(view.PaintCount() > idle);

        // When captures outrun the paints, the newest is the one shown.
        painted.clear();
        HandOver(link, 8, 64, [](int i) { return uint32_t(i); });
        HandOver(link, 9, 64, [](int i) { return uint32_t(i) * 2u; });
        QTRY_VERIFY_WITH_TIMEOUT(painted.contains(9), 2000);
        QVERIFY(!painted.contains(8));
        QCOMPARE(nibble->m_samples[1], 0u);   // (2 >> 4) & 15

        // No timer took part: none ran on the view, none is registered for
        // it, and the link is watched through its event descriptor.
        QVERIFY(!distributor.Polling());
        QCOMPARE(timers.count, 0);
        QVERIFY(QAbstractEventDispatcher::instance()->registeredTimers(&view).isEmpty());

        // A change of the document made elsewhere shows; many changes before
        // the next screen update give one paint.
        QTest::qWait(100);
        const uint64_t after = view.PaintCount();
        doc.BumpRevision();
        QTRY_VERIFY_WITH_TIMEOUT(view.PaintCount() > after, 2000);
        QTest::qWait(100);
        const uint64_t before = view.PaintCount();
        for (int i = 0; i < 20; ++i)
            Wheel(view, QPoint(400, 60), i % 2 ? 120 : -120);
        QTRY_VERIFY_WITH_TIMEOUT(view.PaintCount() > before, 2000);
        QVERIFY(view.PaintCount() <= before + 2);
        QCOMPARE(timers.count, 0);
    }

    void hiddenWindowsDocumentStillGetsItsSpectrumAndPeakHold()
    {
        // A document whose only window is hidden (or minimised) paints
        // nothing, yet its spectrum and peak hold follow every capture.
        CCaptureLink link;
        CVexlarDoc doc;
        doc.RemoveAllSignals();
        CSignal* fft = AddSignal(doc, "fft", 8, 0, Zero);
        fft->m_spectrum = true;
        CCaptureDistributor distributor(link, [&] { return std::vector<CVexlarDoc*>{&doc}; });
        CVexlarView hidden(&doc);
        hidden.resize(800, 300);   // never shown
        HandOver(link, 3, 8192, [](int i) { return uint32_t(std::lround(127.5 + 100 * std::sin(i * 0.2))); });
        QTRY_COMPARE_WITH_TIMEOUT(doc.m_captureId, 3, 2000);
        QCOMPARE(fft->m_count, 8192);
        QVERIFY(std::isfinite(fft->m_specMax));
        // The sine of 0.2 radians per sample lies in bin 4096 * 0.2 / 2 pi.
        const int k = 130;
        const double loud = fft->m_spectrumDb[k];
        QVERIFY(loud > fft->m_spectrumDb[k + 40] + 20.0);
        QCOMPARE(fft->m_peakHold[k], loud);
        // A quieter capture lowers the spectrum but not the hold.
        HandOver(link, 4, 8192, [](int i) { return uint32_t(std::lround(127.5 + 10 * std::sin(i * 0.2))); });
        QTRY_COMPARE_WITH_TIMEOUT(doc.m_captureId, 4, 2000);
        QVERIFY(fft->m_spectrumDb[k] < loud - 10.0);
        QCOMPARE(fft->m_peakHold[k], loud);
        QCOMPARE(hidden.PaintCount(), uint64_t(0));
    }
};

QTEST_MAIN(ViewMouseTest)
#include "view_mouse_test.moc"
