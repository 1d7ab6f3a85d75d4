// SPDX-License-Identifier: GPL-3.0-or-later
// Printing of the rows on the 0.1 mm layout: a page printed to PDF through
// QPrinter and turned into PNG by pdftoppm shows the rows hanging down from
// the top of the page; the horizontal layout is defined for every scale.

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

#include "trace_test_util.h"
#include "view/draw_context.h"
#include "view/theme_colors.h"
#include "view/trace_draw.h"
#include "view/trace_internal.h"

using namespace trace_test;

namespace {

bool Near(QRgb p, const QColor& c, int tolerance = 3)
{
    return std::abs(qRed(p) - c.red()) <= tolerance && std::abs(qGreen(p) - c.green()) <= tolerance &&
           std::abs(qBlue(p) - c.blue()) <= tolerance;
}

std::vector<uint32_t> Ramp(int n, int period)
{
    std::vector<uint32_t> v(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        v[size_t(i)] = uint32_t((i / period) * 37 % 256);
    return v;
}

}   // namespace

TEST(TracePrint, PdfPageShowsTheRows)
{
    EnsureApp();
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (pdftoppm.isEmpty())
        GTEST_SKIP() << "pdftoppm is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("rows.pdf"));

    SignalSet set;
    set.Add(8, Ramp(200, 20));   // an expanded bus
    CSignal& bit = set.Add(1, Ramp(200, 7));
    CSignal& analog = set.Add(8, Ramp(200, 3));
    analog.m_analog = true;
    analog.m_max = 255;
    CSignal& spectrum = set.Add(8, Ramp(200, 10));   // printed as a digital row
    spectrum.m_spectrum = true;
    spectrum.m_expanded = false;
    bit.m_selected = true;

    int pageWidth = 0, pageHeight = 0;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter;
        ASSERT_TRUE(painter.begin(&printer));
        // 0.1 mm per unit, y growing upward from the top of the page.
        const double devicePerUnit = printer.resolution() / 254.0;
        pageWidth = static_cast<int>(painter.viewport().width() / devicePerUnit);
        pageHeight = static_cast<int>(painter.viewport().height() / devicePerUnit);
        painter.scale(devicePerUnit, -devicePerUnit);
        CDrawContext dc(painter, 254.0, true);
        dc.FillSolidRect(0, 0, pageWidth, -pageHeight, QColor(150, 150, 150));
        dc.SelectFont(dc.PointFont(QStringLiteral("Verdana"), 80));
        dc.SetTextAlign(TextAlign::CenterTop);
        const double scale = (pageWidth - 300) / 199;
        int y = 0;
        for (CSignal* s : set.Rows()) {
            const int height = DrawPrintTrace(painter, *s, 0, 199, scale, y);
            EXPECT_EQ(height, s->m_analog ? s->m_graphHeight : s->GetRowHeight());
            y -= height + 50;
        }
        painter.end();
    }
    QProcess process;
    process.start(pdftoppm, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"), QStringLiteral("-aa"),
                             QStringLiteral("no"), QStringLiteral("-aaVector"), QStringLiteral("no"),
                             QStringLiteral("-singlefile"), pdf, dir.filePath(QStringLiteral("page"))});
    ASSERT_TRUE(process.waitForFinished(30000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QImage page(dir.filePath(QStringLiteral("page.png")));
    ASSERT_FALSE(page.isNull());
    const double pixelsPerUnit = 100.0 / 254.0;
    EXPECT_NEAR(page.width(), 2100 * pixelsPerUnit, 3);

    int printFill = 0, printLine = 0, graph = 0, bitFill = 0;
    int firstRowPixel = page.height();
    int pageTop = page.height();   // the printable area starts below the printer's margin
    for (int yy = 0; yy < page.height(); ++yy)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, yy);
            if (Near(p, ThemeColors::PrintFill(1)))
                ++printFill;
            if (Near(p, ThemeColors::PrintLine(1)))
                ++printLine;
            if (Near(p, QColor(250, 250, 250), 1))
                ++graph;
            if (Near(p, ThemeColors::SelectedFill(1)))
                ++bitFill;
            if (Near(p, QColor(150, 150, 150), 6))
                pageTop = std::min(pageTop, yy);
            else if (!Near(p, QColor(255, 255, 255), 0))
                firstRowPixel = std::min(firstRowPixel, yy);
        }
    EXPECT_GT(printFill, 200) << "bus bodies";
    EXPECT_GT(printLine, 100) << "bus and graph lines";
    EXPECT_GT(graph, 500) << "analog background";
    EXPECT_GT(bitFill, 20) << "selected one-bit row";
    // The first row hangs down from the top of the page: its bus starts
    // 0.3 mm below the top edge, not above it.
    const int totalUnits = 170 + 16 + 100 + 26 + 3 * 50;
    EXPECT_GE(firstRowPixel, pageTop);
    EXPECT_LT(firstRowPixel - pageTop, 10 * pixelsPerUnit + 2);
    // Nothing of the rows below their total height.
    int below = 0;
    for (int yy = pageTop + static_cast<int>((totalUnits + 40) * pixelsPerUnit); yy < page.height() / 2; ++yy)
        for (int x = 0; x < page.width(); ++x)
            below += Near(page.pixel(x, yy), ThemeColors::PrintLine(1)) ? 1 : 0;
    EXPECT_EQ(below, 0);
    page.save(QDir::temp().filePath(QStringLiteral("trace_print_page.png")));
}

TEST(TracePrint, EveryScaleHasADefinedLayout)
{
    EnsureApp();
    // A painter mapping 0.1 mm units to pixels one to one, y upward.
    QImage image = BlackImage(2000, 600);
    QPainter painter(&image);
    painter.scale(1.0, -1.0);
    CDrawContext dc(painter, 254.0, true);
    SignalSet set;
    CSignal& s = set.Add(4, Ramp(100000, 9));
    s.m_expanded = false;
    struct Case {
        double scale;
        int width;   // of the printed trace
    };
    const Case cases[] = {
        {10.0, 100000 * 10},    // units per sample
        {-50.0, 100000 / 50},   // samples per unit
        {0.5, 100000 / 2},      // a fraction: two samples per unit
        {0.0, 100000 / 59},     // no scale: fitted into the 1700 units right of x = 300
        {std::nan(""), 100000 / 59},
    };
    for (const Case& c : cases) {
        const int height = DrawPrintTrace(painter, s, 0, 99999, c.scale, 0);
        EXPECT_EQ(height, 26);
        const trace_detail::Stepping st = trace_detail::PrintStepping(painter, 300, c.scale, 0, 99999);
        EXPECT_EQ(st.x0, 300) << c.scale;
        EXPECT_EQ(trace_detail::VisibleWidth(st, 0, 99999), c.width) << c.scale;
    }
}

// A printed one-bit row draws like the screen's bit rows: its pen and its
// dense blocks in the normal (or selected) line colour, its bodies in the
// normal fill; only bus rows take the print colours.
TEST(TracePrint, OneBitRowsUseTheScreenColours)
{
    EnsureApp();
    for (const bool selected : {false, true}) {
        QImage image = BlackImage(800, 100);
        QPainter painter(&image);
        painter.scale(1.0, -1.0);
        CDrawContext dc(painter, 254.0, true);
        SignalSet set;
        std::vector<uint32_t> toggles(40);
        for (size_t i = 0; i < toggles.size(); ++i)
            toggles[i] = uint32_t(i / 4 % 2);
        CSignal& s = set.Add(1, toggles);
        s.m_selected = selected;
        dc.SelectPen(QColor(1, 2, 3));
        EXPECT_EQ(DrawPrintTrace(painter, s, 0, 39, 10.0, 0), 16);
        painter.end();
        const QColor line = selected ? ThemeColors::SelectedLine(1) : ThemeColors::NormalLine(1);
        int lineCount = 0, printLine = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor p = At(image, x, y);
                lineCount += Same(p, line) ? 1 : 0;
                printLine += Same(p, ThemeColors::PrintLine(1)) ? 1 : 0;
            }
        // Levels of 40 units: 10 levels and edges, about 400 pixels of line.
        EXPECT_GT(lineCount, 350) << "selected " << selected;
        EXPECT_EQ(printLine, 0) << "selected " << selected;
    }
}
