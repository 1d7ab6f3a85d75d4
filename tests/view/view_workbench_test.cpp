// SPDX-License-Identifier: GPL-3.0-or-later
// The view's tools for the engineer at work, driven by real events: names
// dragged to reorder rows (and Undo), the overview window dragged, keys that
// scroll, scroll bars, the value cursor and the values at the markers, the
// pulse measurements at the pointer, and the zoom and position kept with the
// document.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QtTest>

#include "document/vexlar_doc.h"
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
    const QImage& Paint() { return view.PaintNow(); }
};

const RowBox& RowOf(CVexlarView& view, const CSignal* signal)
{
    const RowBox* row = view.Layout().Find(signal);
    if (row == nullptr)
        qFatal("the row is not in the window");
    return *row;
}

void SendMouse(QWidget& w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, QPoint pos)
{
    QMouseEvent event(type, QPointF(pos), QPointF(w.mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

void Drag(QWidget& w, QPoint from, QPoint to)
{
    SendMouse(w, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, from);
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, (from + to) / 2);
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, to);
    SendMouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, to);
}

void Hover(QWidget& w, QPoint pos)
{
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, pos);
}

void Key(QWidget& w, int key)
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &event);
}

QString Names(const CVexlarDoc& doc)
{
    QString names;
    for (const CSignal* s : doc.m_signals)
        names += s->m_name;
    return names;
}

// Pixels inside a rectangle that pass a test.
template <typename Test>
int Count(const QImage& image, const QRect& r, Test test)
{
    int n = 0;
    for (int y = std::max(0, r.top()); y < std::min(image.height(), r.top() + r.height()); ++y)
        for (int x = std::max(0, r.left()); x < std::min(image.width(), r.left() + r.width()); ++x)
            n += test(QColor(image.pixel(x, y))) ? 1 : 0;
    return n;
}

// The values' light yellow text, also where its edges blend into the box
// (the names are grey, the rulers white).
bool ValueText(const QColor& c)
{
    return c.red() >= 150 && c.green() >= 150 && c.blue() < c.red() - 40;
}

bool ReadOutBox(const QColor& c)
{
    return c == QColor(20, 20, 40);
}

uint32_t PulseTrain(int i)
{
    return (i % 10) < 3 ? 1u : 0u;   // high 3 samples of every 10
}

}   // namespace

class ViewWorkbenchTest : public QObject {
    Q_OBJECT

private slots:
    void draggingANameMovesItsRowAndUndoTakesItBack()
    {
        Fixture f;
        for (const char* name : {"a", "b", "c"})
            AddSignal(f.doc, QString::fromLatin1(name), 1, 100, PulseTrain);
        f.Paint();
        const CSignal* a = f.doc.m_signals.front();
        const CSignal* c = f.doc.m_signals.back();
        const int first = f.view.Viewport().FirstVisible();
        // From the name of a to below the row of c.
        Drag(f.view, QPoint(20, RowOf(f.view, a).top + 5), QPoint(20, RowOf(f.view, c).top + 14));
        QCOMPARE(Names(f.doc), QStringLiteral("bca"));
        QCOMPARE(f.view.Viewport().FirstVisible(), first);   // a name drag does not move the view
        QVERIFY(f.doc.IsModified());
        QCOMPARE(f.doc.m_undo.UndoText(), QStringLiteral("Move Signal"));
        QVERIFY(f.doc.Undo());
        QCOMPARE(Names(f.doc), QStringLiteral("abc"));
        QVERIFY(!f.doc.IsModified());

        // To the top of b: before b. A press on a name that does not move
        // changes nothing.
        f.Paint();
        Drag(f.view, QPoint(20, RowOf(f.view, c).top + 5), QPoint(20, RowOf(f.view, f.doc.m_signals.front()).top + 2));
        QCOMPARE(Names(f.doc), QStringLiteral("cab"));
        f.Paint();
        const QPoint onName(20, RowOf(f.view, a).top + 5);
        Drag(f.view, onName, onName);
        QCOMPARE(Names(f.doc), QStringLiteral("cab"));
        QCOMPARE(f.doc.m_undo.Count(), size_t(1));
    }

    void draggingTheOverviewWindowMovesTheViewWithThePointer()
    {
        Fixture f;   // trace area 900 pixels wide from x = 100
        AddSignal(f.doc, QStringLiteral("s"), 8, 4096, [](int i) { return i; });
        f.Paint();
        QCOMPARE(f.view.Viewport().FirstVisible(), 0);
        // The window on the overview bar starts at x = 100; drag it 90 pixels
        // right: 90 * 4096 / 900 samples later.
        Drag(f.view, QPoint(102, 15), QPoint(192, 15));
        QCOMPARE(f.view.Viewport().FirstVisible(), 409);
        // A press beside the window brings the window's middle there.
        f.Paint();
        SendMouse(f.view, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, QPoint(550, 15));
        SendMouse(f.view, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, QPoint(550, 15));
        const int64_t visible = f.view.Viewport().VisibleCount();
        QCOMPARE(f.view.Viewport().FirstVisible(), int(2048 - visible / 2.0));
    }

    void keysScrollTheTimeAxisAndTheRows()
    {
        Fixture f(1000, 300);
        for (int i = 0; i < 12; ++i)
            AddSignal(f.doc, QStringLiteral("s%1").arg(i), 1, 4096, PulseTrain);
        f.Paint();
        const int64_t tenth = f.view.Viewport().VisibleCount() / 10;
        Key(f.view, Qt::Key_Right);
        QCOMPARE(int64_t(f.view.Viewport().FirstVisible()), tenth);
        Key(f.view, Qt::Key_Left);
        Key(f.view, Qt::Key_Left);
        QCOMPARE(f.view.Viewport().FirstVisible(), 0);   // never before sample 0
        Key(f.view, Qt::Key_Down);
        QCOMPARE(f.view.Viewport().ScrollY(), -20);
        Key(f.view, Qt::Key_PageDown);
        const int rowsHeight = static_cast<int>(f.view.Layout().RowsHeight());
        QCOMPARE(f.view.Viewport().ScrollY(), -(55 + rowsHeight - 300));   // the last row at the bottom
        Key(f.view, Qt::Key_PageUp);
        Key(f.view, Qt::Key_Up);
        QCOMPARE(f.view.Viewport().ScrollY(), 0);
    }

    void scrollBarsFollowAndMoveTheView()
    {
        Fixture f(1000, 300);
        for (int i = 0; i < 12; ++i)
            AddSignal(f.doc, QStringLiteral("s%1").arg(i), 1, 4096, PulseTrain);
        f.view.SetScrollBarsShown(true);
        f.Paint();
        QScrollBar* time = f.view.HorizontalScrollBar();
        QScrollBar* rows = f.view.VerticalScrollBar();
        QVERIFY(time && rows);
        QCOMPARE(f.view.ContentWidth(), 1000 - rows->sizeHint().width());
        QCOMPARE(f.view.ContentHeight(), 300 - time->sizeHint().height());
        QCOMPARE(f.view.PaintNow().size(), QSize(f.view.ContentWidth(), f.view.ContentHeight()));
        const int visible = static_cast<int>(f.view.Viewport().VisibleCount());
        QCOMPARE(time->pageStep(), visible);
        QCOMPARE(time->maximum(), 4096 - visible);
        time->setValue(1000);
        QCOMPARE(f.view.Viewport().FirstVisible(), 1000);
        rows->setValue(rows->maximum());
        QCOMPARE(f.view.Viewport().ScrollY(), -rows->maximum());
        QCOMPARE(rows->maximum(), int(55 + f.view.Layout().RowsHeight() - f.view.ContentHeight()));
        // The view moved by other means: the bars follow at the next paint.
        Key(f.view, Qt::Key_Home);
        f.Paint();
        QCOMPARE(time->value(), 0);
    }

    void valueCursorAndMarkerValuesBesideTheNames()
    {
        Fixture f;
        CSignal* bus = AddSignal(f.doc, QStringLiteral("bus"), 8, 100, [](int i) { return i; });
        bus->m_expanded = false;
        f.Paint();
        const RowBox& row = RowOf(f.view, bus);
        const QRect names(0, row.top, 100, row.height);
        QCOMPARE(Count(f.Paint(), names, ValueText), 0);

        // The cursor on, the pointer over sample 7 (x = 100 + 7 * 20 + 5).
        f.view.SetValueCursor(true);
        Hover(f.view, QPoint(245, row.top + 5));
        const int withCursor = Count(f.Paint(), names, ValueText);
        QVERIFY(withCursor > 10);
        // Off the trace area: no cursor, no values.
        Hover(f.view, QPoint(50, row.top + 5));
        QCOMPARE(Count(f.Paint(), names, ValueText), 0);

        // The cursor off: the values at the markers instead.
        f.view.SetValueCursor(false);
        f.doc.m_marker1 = 3;
        f.doc.m_marker2 = 40;
        f.doc.BumpRevision();
        QVERIFY(Count(f.Paint(), names, ValueText) > withCursor);   // two values
    }

    void pulseMeasurementsAtThePointerOverAOneBitRow()
    {
        Fixture f;
        CSignal* line = AddSignal(f.doc, QStringLiteral("line"), 1, 100, PulseTrain);
        CSignal* bus = AddSignal(f.doc, QStringLiteral("bus"), 8, 100, [](int i) { return i; });
        f.Paint();
        const RowBox& lineRow = RowOf(f.view, line);
        // Over sample 11 (high): the read-out box 15 right of and 23 below the pointer.
        const QPoint over(100 + 11 * 20 + 5, lineRow.top + 8);
        Hover(f.view, over);
        const QRect box(over.x() + 10, over.y() + 18, 80, 60);
        QVERIFY(Count(f.Paint(), box, ReadOutBox) > 100);
        // Over the bus: no measurements.
        Hover(f.view, QPoint(over.x(), RowOf(f.view, bus).top + 8));
        QCOMPARE(Count(f.Paint(), QRect(0, 0, 1000, 400), ReadOutBox), 0);
    }

    void zoomAndPositionGoWithTheDocument()
    {
        CVexlarDoc doc;
        doc.RemoveAllSignals();
        AddSignal(doc, QStringLiteral("s"), 8, 4096, [](int i) { return i; });
        doc.m_viewState = DocumentViewState{4.0, 300, 0};
        CVexlarView view(&doc);
        view.resize(1000, 400);
        view.PaintNow();
        QCOMPARE(view.Viewport().Zoom(), 4.0);
        QCOMPARE(view.Viewport().FirstVisible(), 300);
        Key(view, Qt::Key_End);
        view.PaintNow();
        QCOMPARE(doc.m_viewState.firstVisible, view.Viewport().FirstVisible());
        QVERIFY(doc.m_viewState.firstVisible > 300);
        QVERIFY(!doc.IsModified());   // moving the view is no edit
    }
};

QTEST_MAIN(ViewWorkbenchTest)
#include "view_workbench_test.moc"
