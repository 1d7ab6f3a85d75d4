// SPDX-License-Identifier: GPL-3.0-or-later
// The paint pipeline of the waveform view, checked on the painted image of a
// view of a known document, and a printed page.
#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

#include "view/draw_context.h"
#include "view/page_print.h"
#include "view/row_layout.h"
#include "view/theme_colors.h"
#include "view/vexlar_view.h"
#include "view_fixture.h"

using namespace viewtest;

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 400;

const QColor kGrid(255, 255, 255, 50);
const QColor kTrigger(127, 255, 255, 70);
const QColor kMarker(255, 255, 127, 80);
const QColor kLabelBox(100, 100, 100, 200);
const QRgb kBlack = 0;

uint32_t Zero(int)
{
    return 0;
}

struct Fixture {
    CVexlarDoc doc;
    CVexlarView view{&doc};
    Fixture()
    {
        doc.RemoveAllSignals();
        view.resize(kWidth, kHeight);
    }
    QImage Paint() { return view.PaintNow().copy(); }
    // The window's viewport changed as a user would change it.
    template <typename F>
    void Change(F change)
    {
        CViewport viewport = view.Viewport();
        change(viewport);
        view.SetViewport(viewport);
    }
    const RowBox& Row(const CSignal* signal)
    {
        const RowBox* row = view.Layout().Find(signal);
        if (row == nullptr)
            qFatal("the row is not in the window");
        return *row;
    }
};

// The darkest channel value in a box.
int MinLevel(const QImage& img, int x0, int y0, int x1, int y1)
{
    int best = 255;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const QRgb c = img.pixel(x, y);
            best = std::min(best, std::max({qRed(c), qGreen(c), qBlue(c)}));
        }
    return best;
}

int MaxRed(const QImage& img, int x0, int y0, int x1, int y1)
{
    int best = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            best = std::max(best, qRed(img.pixel(x, y)));
    }
    return best;
}

}   // namespace

class ViewPaintTest : public QObject {
    Q_OBJECT

private slots:
    void visibleCountAndSampleGrid()
    {
        Fixture f;
        AddSignal(f.doc, "clk", 1, 4096, [](int i) { return (i / 8) & 1; });
        QImage img = f.Paint();
        QCOMPARE(img.format(), QImage::Format_RGB32);
        QCOMPARE(img.size(), QSize(kWidth, kHeight));
        QCOMPARE(f.view.Viewport().LastVisible(), 45);   // 890 / 20 + 1 samples from 0
        QCOMPARE(f.view.Viewport().CaptureLength(), 4096);
        // 20 pixels per sample: no grid.
        QCOMPARE(Px(img, 100, kHeight - 1), kBlack);
        QCOMPARE(Px(img, 120, kHeight - 1), kBlack);

        // One step in: a grid line every 30 pixels from x = 100.
        f.Change([](CViewport& v) { v.SetZoom(30.0); });
        QCOMPARE(f.view.Viewport().PixelStep(), 30);
        img = f.Paint();
        QList<int> grid;
        for (int x = 0; x < kWidth; ++x) {
            if (Near(Px(img, x, kHeight - 1), Over(kGrid, kBlack)))
                grid << x;
        }
        QList<int> expected;
        for (int x = 100; x < kWidth; x += 30)
            expected << x;
        QCOMPARE(grid, expected);
        QCOMPARE(f.view.Viewport().LastVisible(), 890 / 30 + 1);

        // Five samples per pixel: the visible count is W * 5, clamped to the samples.
        f.Change([](CViewport& v) { v.SetZoom(0.2); });
        QCOMPARE(f.view.Viewport().PixelStep(), -5);
        f.Paint();
        QCOMPARE(f.view.Viewport().LastVisible(), 4095);
    }

    void derivedStepAndSamplePositions()
    {
        struct Case {
            double zoom;
            int step;
        };
        const Case cases[] = {{20.0, 20}, {30.0, 30},   {1.5, 2},     {1.0, -1},
                              {0.2, -5},  {0.6667, -1}, {160.0, 160}, {1e-9, -1000000000}};
        for (const Case& c : cases)
            QCOMPARE(CVexlarView::StepFromZoom(c.zoom), c.step);
        Fixture f;
        f.Change([](CViewport& v) { v.SetFirstVisible(10); });
        QCOMPARE(f.view.SampleToX(12), 140);
        QCOMPARE(f.view.SampleToX(5), 0);
        f.Change([](CViewport& v) { v.SetZoom(0.2); });
        QCOMPARE(f.view.SampleToX(22), 102);
        QCOMPARE(f.view.SampleToX(6), 100);   // -4 / 5 truncates toward zero
        QCOMPARE(f.view.XToSample(102), 20.0);
    }

    void frozenBandCrossesTheClientWidth()
    {
        Fixture f;
        CSignal* frozen = AddSignal(f.doc, "frozen", 1, 4096, [](int) { return 0u; });
        frozen->m_freeze = true;
        AddSignal(f.doc, "live", 1, 4096, [](int) { return 0u; });
        const QImage img = f.Paint();
        const QRgb band = Rgb(60, 40, 30);
        // Row 1 at y 55..70, name column included; row 2 at 81..96 has none.
        QCOMPARE(Px(img, 0, 70), band);
        QCOMPARE(Px(img, 0, 55), band);
        QCOMPARE(Px(img, 500, 56), band);
        QCOMPARE(Px(img, kWidth - 1, 56), band);
        QCOMPARE(Px(img, 0, 71), kBlack);
        QCOMPARE(Px(img, 0, 96), kBlack);
        QCOMPARE(Px(img, kWidth - 1, 82), kBlack);
        // Rows stack with a gap of 10: the second name rectangle starts at 81.
        const CSignal* live = f.doc.m_signals.back();
        QCOMPARE(f.Row(live).label, (GdiRect{0, 81, 100, 97}));
        QCOMPARE(f.Row(live).trace.top, 81);
    }

    void triggerAndMarkerLinesAndLabelBoxes()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, [](int) { return 0u; });
        f.doc.m_triggerPos = 10;   // x 300
        f.doc.m_marker1 = 5;       // x 200
        f.doc.m_marker2 = 40;      // x 900
        QImage img = f.Paint();
        const int y = kHeight - 2;
        const QRgb trigger = Over(kTrigger, kBlack);
        const QRgb marker = Over(kMarker, kBlack);
        for (int x : {299, 300, 301})
            QVERIFY(Near(Px(img, x, y), trigger));
        for (int x : {199, 200, 201, 899, 900, 901})
            QVERIFY(Near(Px(img, x, y), marker));
        for (int x : {298, 302, 198, 202, 898, 902})
            QCOMPARE(Px(img, x, y), kBlack);
        // The label box (x - 19, 55, 38 wide, 25 high) and the line below it.
        const QRgb box = Over(kLabelBox, kBlack);
        QVERIFY(Near(Px(img, 281, 56), box));
        QVERIFY(Near(Px(img, 318, 56), box));
        QCOMPARE(Px(img, 280, 56), kBlack);
        QCOMPARE(Px(img, 319, 56), kBlack);
        QVERIFY(Near(Px(img, 299, 79), box));
        QVERIFY(Near(Px(img, 299, 80), trigger));
        QCOMPARE(Px(img, 299, 81 + 200), Px(img, 299, y));
        // "T" in white inside its box.
        QVERIFY(MaxRed(img, 290, 55, 311, 75) > 200);

        // A marker left of the trace area is still drawn (x 0; -1 is clipped).
        f.Change([](CViewport& v) { v.SetFirstVisible(10); });
        f.doc.m_marker2 = -1;
        img = f.Paint();
        QVERIFY(Near(Px(img, 0, y), marker));
        QVERIFY(Near(Px(img, 1, y), marker));
        QCOMPARE(Px(img, 2, y), kBlack);
    }

    void markerReadOutBox()
    {
        Fixture f;
        CSignal* bus = AddSignal(f.doc, "bus", 8, 4096, [](int) { return 0u; });
        bus->m_freeze = true;   // a coloured band under the read-out (rows 55..224)
        f.doc.m_triggerPos = -1000;
        const auto paint = [&](int m1, int m2) {
            f.doc.m_marker1 = m1;
            f.doc.m_marker2 = m2;
            return f.Paint();
        };
        const QImage none = paint(-1, -1);
        const QImage one = paint(5, -1);
        const QImage onlyTwo = paint(-1, 5);
        const QImage two = paint(5, 30);
        const QImage swapped = paint(30, 5);
        const QImage wider = paint(5, 31);
        // Right edge at client right - 5, top at 60: 26 high for one marker, 58 for two.
        QCOMPARE(DifferingRows(none, one, 990, 40, 230), Range(60, 86));
        QCOMPARE(DifferingRows(none, onlyTwo, 990, 40, 230), Range(60, 86));
        QCOMPARE(DifferingRows(none, two, 990, 40, 230), Range(60, 118));
        QVERIFY(DifferingRows(none, two, 894, 40, 230).isEmpty());   // 100 wide: 895..994
        QCOMPARE(DifferingRows(none, two, 895, 40, 230), Range(60, 118));
        QVERIFY(DifferingRows(none, two, 995, 40, 230).isEmpty());
        // Only M2 set reads "M2: 5", not "M1: 5".
        QVERIFY(!SameRegion(one, onlyTwo, 895, 60, 995, 86));
        // "D" is the distance: the same for (5, 30) and (30, 5), not for (5, 31).
        QVERIFY(!SameRegion(two, swapped, 895, 60, 995, 97));
        QVERIFY(SameRegion(two, swapped, 895, 97, 995, 118));
        QVERIFY(!SameRegion(two, wider, 895, 97, 995, 118));
        // The texts are light on the dark box.
        QVERIFY(MaxRed(two, 900, 65, 990, 112) >= 200);
    }

    void namesAndBitNumbersStayLeftOfTheTraceArea()
    {
        Fixture f;
        CSignal* selected = AddSignal(f.doc, "sel", 1, 4096, [](int) { return 0u; });
        selected->m_selected = true;
        AddSignal(f.doc, "plain", 1, 4096, [](int) { return 0u; });
        CSignal* bus = AddSignal(f.doc, "bus", 8, 4096, [](int i) { return i; });
        const QImage img = f.Paint();
        QCOMPARE(MaxRed(img, 2, 57, 100, 71), 255);   // white name of a selected row
        QCOMPARE(MaxRed(img, 2, 83, 100, 97), 200);   // RGB(200,200,200) otherwise
        // Bus row at y 107: bit numbers 7..0 right-aligned at x 96, 3 pixels
        // above each bit row.
        QCOMPARE(f.Row(bus).label, (GdiRect{0, 107, 100, 107 + 26 + 8 * 18}));
        for (int f8 = 0; f8 < 8; ++f8) {
            const int yb = 107 + 25 + 18 * f8;
            QVERIFY2(AnyNonBlack(img, 80, yb, 97, yb + 12), qPrintable(QString::number(f8)));
            QVERIFY(!AnyNonBlack(img, 98, yb, 100, yb + 12));
        }
        QVERIFY(!AnyNonBlack(img, 0, 107 + 26 + 8 * 18, 100, kHeight));
    }

    void spectrumRowInterruptsVerticalLines()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, [](int) { return 0u; });
        CSignal* spectrumRow = AddSignal(f.doc, "fft", 8, 4096, [](int i) {
            return static_cast<uint32_t>(std::lround(127.5 + 120 * std::sin(i * 0.3)));
        });
        spectrumRow->m_spectrum = true;
        AddSignal(f.doc, "b", 1, 4096, [](int) { return 0u; });
        const auto paint = [&](int trigger) {
            f.doc.m_triggerPos = trigger;
            return f.Paint();
        };
        paint(10);
        const QImage at300 = paint(10);
        const QImage at900 = paint(40);
        QCOMPARE(f.Row(spectrumRow).trace.top, 81);
        QCOMPARE(f.Row(spectrumRow).trace.bottom, 181);
        QCOMPARE(RowExtent(*spectrumRow), 115);
        // From the graph's top to 15 pixels below its bottom the trigger
        // column looks the same whether the trigger is there or not.
        for (int x : {299, 300, 301}) {
            const QList<int> rows = DifferingRows(at300, at900, x, 80, kHeight);
            QVERIFY(rows.contains(80));
            QVERIFY(rows.contains(196));
            QVERIFY(rows.contains(kHeight - 1));
            for (int y = 81; y < 196; ++y)
                QVERIFY2(!rows.contains(y), qPrintable(QString::number(y)));
        }
    }

    void verticalLinesNeverRunBackOverTheRulers()
    {
        // A spectrum row without samples has no graph in this paint; a
        // spectrum row scrolled above the lines' top ends above it. Neither
        // draws a line upward over the rulers.
        Fixture f;
        CSignal* empty = AddSignal(f.doc, "none", 8, 0, Zero);
        empty->m_spectrum = true;
        const auto paint = [&](int trigger) {
            f.doc.m_triggerPos = trigger;
            return f.Paint();
        };
        QImage at300 = paint(10);
        QImage at900 = paint(40);
        QCOMPARE(DifferingRows(at300, at900, 300, 0, kHeight), Range(55, kHeight));

        Fixture scrolled;
        CSignal* spectrumRow = AddSignal(scrolled.doc, "fft", 8, 4096, [](int i) { return (i * 37) & 0xFF; });
        spectrumRow->m_spectrum = true;
        AddSignal(scrolled.doc, "a", 1, 4096, Zero);
        scrolled.Change([](CViewport& v) { v.SetScrollY(-60); });   // graph from -5 to 95, axis to 110
        const auto paintScrolled = [&](int trigger) {
            scrolled.doc.m_triggerPos = trigger;
            return scrolled.Paint();
        };
        paintScrolled(10);
        at300 = paintScrolled(10);
        at900 = paintScrolled(40);
        QCOMPARE(scrolled.Row(spectrumRow).trace.top, -5);
        const QList<int> rows = DifferingRows(at300, at900, 300, 0, kHeight);
        QVERIFY(!rows.contains(54));
        QVERIFY(rows.contains(55) && rows.contains(79));   // the label box
        for (int y = 80; y < 110; ++y)
            QVERIFY(!rows.contains(y));
        QVERIFY(rows.contains(110) && rows.contains(kHeight - 1));
    }

    void documentWithoutSignals()
    {
        Fixture f;
        f.doc.m_triggerPos = 10;
        f.doc.m_marker1 = 20;
        const QImage img = f.Paint();
        QCOMPARE(Px(img, 150, 10), Rgb(120, 120, 120));   // overview bar
        QCOMPARE(Px(img, 150, 45), Rgb(50, 50, 50));      // visible-window ruler band
        QVERIFY(Near(Px(img, 281, 56), Over(kLabelBox, kBlack)));
        QVERIFY(MaxRed(img, 900, 65, 990, 80) >= 200);   // read-out in a light colour
        // Below the marks only the trigger and marker lines.
        for (int y = 80; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                if ((x >= 299 && x <= 301) || (x >= 499 && x <= 501))
                    continue;
                if (x >= 895 && x < 995 && y < 86)
                    continue;   // read-out box
                if (Px(img, x, y) != kBlack)
                    QFAIL(qPrintable(QString("%1,%2").arg(x).arg(y)));
            }
        }
        QVERIFY(!AnyNonBlack(img, 0, 55, 100, kHeight));
    }

    void overviewBarShowsTheVisibleWindow()
    {
        Fixture f;
        AddSignal(f.doc, "a", 1, 4096, [](int) { return 0u; });
        f.Change([](CViewport& v) { v.SetFirstVisible(2048); });
        const QImage img = f.Paint();
        QCOMPARE(f.view.Viewport().LastVisible(), 2093);
        // 100 + 2048 / 4096 * 900 = 550 to 100 + 2093 / 4096 * 900 = 559.
        QCOMPARE(Px(img, 550, 5), Rgb(50, 50, 50));
        QCOMPARE(Px(img, 558, 5), Rgb(50, 50, 50));
        QCOMPARE(Px(img, 549, 5), Rgb(120, 120, 120));
        QCOMPARE(Px(img, 559, 5), Rgb(120, 120, 120));
    }

    void absurdRowHeightsPushLaterRowsOffTheImage()
    {
        // Heights from a file or the dialog: two rows of the largest height
        // put the third row some four billion pixels down, never back at the
        // top of the view.
        Fixture f;
        for (const char* name : {"huge1", "huge2"}) {
            CSignal* s = AddSignal(f.doc, name, 8, 16, [](int i) { return uint32_t(i); });
            s->m_analog = true;
            s->m_graphHeight = std::numeric_limits<int32_t>::max();
        }
        CSignal* third = AddSignal(f.doc, "third", 1, 16, Zero);
        CSignal* spectrum = AddSignal(f.doc, "spectrum", 8, 16, Zero);
        spectrum->m_spectrum = true;
        spectrum->m_graphHeight = std::numeric_limits<int32_t>::max();
        QCOMPARE(RowExtent(*spectrum), std::numeric_limits<int>::max());
        const QImage img = f.Paint();
        // The third row lies far below the window: it is not laid out.
        QCOMPARE(f.view.Layout().Find(third), nullptr);
        QCOMPARE(f.view.Layout().Rows().size(), size_t(1));
        QVERIFY(AnyNonBlack(img, 0, 55, 100, 71));   // the first row's name
    }

    void busOfAbsurdWidthLabelsOnlyTheBitsOnScreen()
    {
        // A bus of 2^30 bits, expanded: its bit numbers are those of the rows
        // on screen, most significant first, and painting does not visit the
        // billion rows below the window.
        Fixture f;
        CSignal* bus = AddSignal(f.doc, "wide", 8, 16, [](int i) { return uint32_t(i); });
        bus->m_numBits = 1 << 30;
        bus->m_expanded = true;
        f.Change([](CViewport& v) { v.SetScrollY(-1000); });   // the rows start above the window
        const QImage img = f.Paint();
        QCOMPARE(f.Row(bus).label.top, 55 - 1000);
        // Bit rows at 55 - 1000 + 25 + 18 f: the labels at y 80..., f = 53 is
        // the first one below the rulers (y 79).
        QVERIFY(AnyNonBlack(img, 60, 80, 97, kHeight));
        QVERIFY(!AnyNonBlack(img, 98, 80, 100, kHeight));
    }

    void nothingWithoutDocumentOrRoom()
    {
        CVexlarView noDoc(nullptr);
        noDoc.resize(200, 200);
        QVERIFY(noDoc.PaintNow().isNull());
        CVexlarDoc doc;
        CVexlarView tiny(&doc);
        tiny.resize(1, 300);
        QVERIFY(tiny.PaintNow().isNull());
    }

    void printScaleChoices()
    {
        struct Case {
            int first, last, page;
            double scale;
        };
        const Case cases[] = {
            {0, 45, 2000, 36.0},      // room right of the names over the 46 samples
            {10, 10, 2000, 1700.0},   // one sample fills the trace area
            {0, 4095, 2000, -3.0},    // wider than the page: 3 samples per unit
            {0, 1699, 2000, 1.0},     // one unit per sample still fits
            {0, 2500, 2000, -2.0},    // 2501 samples on 1700 units
            {5, 3, 2000, 1.0},        // nothing visible
        };
        for (const Case& c : cases) {
            QCOMPARE(CVexlarView::PrintScale(c.first, c.last, c.page), c.scale);
        }
    }

    void printingLeavesTheScreenLayoutForTheMouse()
    {
        // The page is laid out apart from the window: after printing the
        // mouse still finds the rows where the screen shows them.
        Fixture f;
        CSignal* clk = AddSignal(f.doc, "clk", 1, 4096, [](int i) { return (i / 2) & 1; });
        f.Paint();
        const RowBox before = f.Row(clk);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("page.pdf"));
        f.view.Print(&printer);
        QCOMPARE(f.Row(clk).trace, before.trace);
        QCOMPARE(f.Row(clk).label, before.label);
        const RowBox* hit = f.view.Layout().TraceAt(GdiPoint{150, 60});
        QVERIFY(hit != nullptr && hit->signal == clk);
    }

    void printedPageShowsTheRows()
    {
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        if (pdftoppm.isEmpty())
            QSKIP("pdftoppm is not installed");
        Fixture f;
        AddSignal(f.doc, "clk", 1, 4096, [](int i) { return (i / 2) & 1; });
        AddSignal(f.doc, "count", 8, 4096, [](int i) { return i / 4; });
        f.Paint();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pdf = dir.filePath("page.pdf");
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            printer.setPageSize(QPageSize(QPageSize::A4));
            CVexlarView::SetPrintDefaults(printer);
            f.view.Print(&printer);
        }
        QVERIFY(QFileInfo(pdf).size() > 0);
        QProcess process;
        process.start(pdftoppm, {"-r", "100", "-png", "-singlefile", pdf, dir.filePath("page")});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QImage page(dir.filePath("page.png"));
        QVERIFY(!page.isNull());
        page = page.convertToFormat(QImage::Format_RGB32);
        int white = 0;
        int dark = 0;
        int green = 0;
        for (int y = 0; y < page.height(); ++y) {
            for (int x = 0; x < page.width(); ++x) {
                const QRgb c = page.pixel(x, y);
                if ((c & 0xFFFFFF) == Rgb(255, 255, 255))
                    ++white;
                if (qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60)
                    ++dark;
                if (qGreen(c) >= qRed(c) + 10 && qGreen(c) >= qBlue(c) + 10)
                    ++green;
            }
        }
        const int total = page.width() * page.height();
        QVERIFY2(white > total / 2, qPrintable(QString::number(white)));   // white paper
        QVERIFY(dark > 20);                                                // names and bus values in black
        QVERIFY(green > 200);                    // the traces in the green theme's print colours
        QVERIFY(page.width() > page.height());   // landscape
    }

    void printedPageIsTheWindowOnPaper()
    {
        // The page of a window: title, rulers, the rows at the window's zoom
        // and position, the trigger and marker lines, on white.
        Fixture f;
        AddSignal(f.doc, "clk", 1, 4096, [](int i) { return (i / 64) & 1; });
        AddSignal(f.doc, "count", 8, 4096, [](int i) { return i / 64; });
        f.doc.m_triggerPos = 1024;
        f.doc.m_marker1 = 3072;
        f.view.ZoomToFit();
        f.Paint();
        const QRect pageRect(0, 0, 2000, 1400);
        QImage page(pageRect.size(), QImage::Format_RGB32);
        page.fill(Qt::red);
        {
            QPainter painter(&page);
            PaintPage(painter, pageRect, f.doc, f.view.Viewport(), QStringLiteral("demo.VEXLAR"));
        }
        const double k = 2000.0 / kWidth;   // the window's width fills the page
        const auto pageX = [&](int sample) { return int(f.view.SampleToX(sample) * k + k / 2); };
        const auto pageY = [&](int y) { return int((y + kPageTitleHeight) * k + k / 2); };
        int white = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                white += Px(page, x, y) == Rgb(255, 255, 255) ? 1 : 0;
        QVERIFY2(white > page.width() * page.height() / 2, qPrintable(QString::number(white)));
        // Title text in the title band, left.
        QVERIFY(MinLevel(page, 0, 0, 400, int(kPageTitleHeight * k)) < 80);
        // The overview bar and the rulers' black ticks above the rows.
        QCOMPARE(Px(page, int(500 * k), pageY(10)), Rgb(170, 170, 170));
        QVERIFY(MinLevel(page, int(100 * k), pageY(23), page.width(), pageY(48)) < 80);
        // Trigger and marker lines, below their labels, in their paper colours.
        const int below = pageY(CViewport::kRowsTop + 60);
        const QRgb trigger = Px(page, pageX(1024), below);
        QVERIFY2(qBlue(trigger) > qRed(trigger) + 40, qPrintable(QString::number(trigger, 16)));
        const QRgb marker = Px(page, pageX(3072), below);
        QVERIFY2(qRed(marker) > qBlue(marker) + 40, qPrintable(QString::number(marker, 16)));
        // The one-bit row in the print colour of its theme, not the screen's.
        const RowBox clk = f.Row(*f.doc.m_signals.begin());
        bool printLine = false;
        const QRgb line = ThemeColors::PrintLine((*f.doc.m_signals.begin())->m_colorTheme).rgb() & 0xFFFFFF;
        for (int y = pageY(clk.top); y < pageY(clk.top + clk.height); ++y)
            printLine = printLine || Px(page, pageX(100), y) == line || Px(page, pageX(100) + 1, y) == line;
        QVERIFY(printLine);
        // The window is left as it was.
        QCOMPARE(f.Row(*f.doc.m_signals.begin()).trace, clk.trace);
    }

    void printingLeavesTheSpectrumUntouched()
    {
        // The spectrum a signal holds is what its last capture or edit
        // computed; a page shows it and computes nothing. Samples changed
        // behind its back make a recomputation visible.
        Fixture f;
        CSignal* s = AddSignal(f.doc, "fft", 8, 4096, [](int i) { return (i * 37) & 0xFF; });
        s->m_spectrum = true;
        s->m_sampleFreq = 1e6;
        s->RefreshSpectrum();
        for (int i = 0; i < s->m_count; ++i)
            s->m_samples[i] = (i / 3) & 0xFF;
        const std::vector<double> spectrum(std::begin(s->m_spectrumDb), std::end(s->m_spectrumDb));
        const std::vector<double> peaks(std::begin(s->m_peakHold), std::end(s->m_peakHold));
        f.Paint();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("page.pdf"));
        f.view.Print(&printer);
        QVERIFY(QFileInfo(dir.filePath("page.pdf")).size() > 0);
        QVERIFY(std::equal(spectrum.begin(), spectrum.end(), std::begin(s->m_spectrumDb)));
        QVERIFY(std::equal(peaks.begin(), peaks.end(), std::begin(s->m_peakHold)));
        // A recomputation would have changed it: the check can fail.
        s->RefreshSpectrum();
        QVERIFY(!std::equal(spectrum.begin(), spectrum.end(), std::begin(s->m_spectrumDb)));
    }
};

QTEST_MAIN(ViewPaintTest)
#include "view_paint_test.moc"
