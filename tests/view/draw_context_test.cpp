// SPDX-License-Identifier: GPL-3.0-or-later
// The GDI-like drawing context, the colour themes and the drawn axis ruler,
// checked on the pixels of an image.
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtTest>

#include "model/geometry.h"
#include "view/draw_context.h"
#include "view/ruler.h"
#include "view/theme_colors.h"

namespace {

QImage BlackImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
}

QRgb Px(const QImage& img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}
QRgb Rgb(int r, int g, int b)
{
    return qRgb(r, g, b) & 0xFFFFFF;
}

// Columns of a row (or rows of a column) that hold the given colour.
QList<int> RunX(const QImage& img, int y, QRgb colour)
{
    QList<int> xs;
    for (int x = 0; x < img.width(); ++x) {
        if (Px(img, x, y) == colour)
            xs << x;
    }
    return xs;
}
QList<int> RunY(const QImage& img, int x, QRgb colour)
{
    QList<int> ys;
    for (int y = 0; y < img.height(); ++y) {
        if (Px(img, x, y) == colour)
            ys << y;
    }
    return ys;
}

bool AnyNonBlack(const QImage& img, int x0, int y0, int x1, int y1)
{
    for (int y = std::max(0, y0); y < std::min(img.height(), y1); ++y) {
        for (int x = std::max(0, x0); x < std::min(img.width(), x1); ++x) {
            if (Px(img, x, y) != 0)
                return true;
        }
    }
    return false;
}

}   // namespace

class DrawContextTest : public QObject {
    Q_OBJECT

private slots:
    void linesLeaveOutTheirEndPoint()
    {
        QImage img = BlackImage(40, 40);
        {
            QPainter p(&img);
            CDrawContext dc(p);
            dc.SelectPen(QColor(255, 255, 255), 1);
            dc.MoveTo(2, 2);
            dc.LineTo(8, 2);   // covers 2..7
            dc.LineTo(8, 6);   // continues from (8, 2): covers y 2..5 at x 8
            dc.MoveTo(20, 10);
            dc.LineTo(19, 10);   // one pixel: x 20
            dc.MoveTo(30, 30);
            dc.LineTo(30, 30);   // nothing
            dc.MoveTo(10, 20);
            dc.LineTo(14, 24);   // slanted: 10..13
            dc.MoveTo(34, 34);
            dc.LineTo(30, 38);   // slanted, running left: 34..31
            dc.MoveTo(25, 9);
            dc.LineTo(25, 5);   // running up: y 9..6
        }
        const QRgb white = Rgb(255, 255, 255);
        QCOMPARE(RunX(img, 2, white), (QList<int>{2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(RunY(img, 8, white), (QList<int>{2, 3, 4, 5}));
        QCOMPARE(RunX(img, 10, white), (QList<int>{20}));
        QCOMPARE(Px(img, 30, 30), Rgb(0, 0, 0));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(Px(img, 10 + i, 20 + i), white);
            QCOMPARE(Px(img, 34 - i, 34 + i), white);
        }
        QCOMPARE(Px(img, 14, 24), Rgb(0, 0, 0));
        QCOMPARE(Px(img, 30, 38), Rgb(0, 0, 0));
        QCOMPARE(RunY(img, 25, white), (QList<int>{6, 7, 8, 9}));
    }

    void dottedPenAndFillWithGdiExtents()
    {
        QImage img = BlackImage(30, 10);
        {
            QPainter p(&img);
            CDrawContext dc(p);
            dc.SelectPen(QColor(255, 255, 255), 1, Qt::DotLine);
            dc.MoveTo(0, 1);
            dc.LineTo(12, 1);
            dc.FillSolidRect(3, 4, 2, 3, QColor(0, 255, 0));
            dc.FillSolidRect(10, 7, -2, -2, QColor(255, 0, 0));   // normalised: 8..9, 5..6
        }
        QCOMPARE(RunX(img, 1, Rgb(255, 255, 255)), (QList<int>{0, 1, 2, 6, 7, 8}));
        QCOMPARE(RunX(img, 4, Rgb(0, 255, 0)), (QList<int>{3, 4}));
        QCOMPARE(RunY(img, 3, Rgb(0, 255, 0)), (QList<int>{4, 5, 6}));
        QCOMPARE(RunX(img, 5, Rgb(255, 0, 0)), (QList<int>{8, 9}));
        QCOMPARE(RunY(img, 9, Rgb(255, 0, 0)), (QList<int>{5, 6}));
    }

    void pointFontsFollowTheLogicalResolution()
    {
        QImage img = BlackImage(4, 4);
        QPainter p(&img);
        CDrawContext screen(p, 96.0);
        QCOMPARE(screen.PointFont("Verdana", 100).pixelSize(), 13);
        QCOMPARE(screen.PointFont("Verdana", 80).pixelSize(), 11);
        QCOMPARE(screen.PointFont("Verdana", 90).pixelSize(), 12);
        QImage other = BlackImage(4, 4);
        QPainter q(&other);
        CDrawContext print(q, 254.0, true);
        QVERIFY(print.IsPrinting());
        QCOMPARE(print.PointFont("Verdana", 100).pixelSize(), 35);   // 3.5 mm in 0.1 mm units
    }

    void textHangsBelowItsPointByAlignment()
    {
        const QFont font = CDrawContext::HeightFont("Verdana", 13);
        const int width = QFontMetrics(font).horizontalAdvance("MMMM");
        struct Case {
            TextAlign align;
            int left;   // expected left edge of the text
        };
        const Case cases[] = {
            {TextAlign::LeftTop, 60}, {TextAlign::CenterTop, 60 - width / 2}, {TextAlign::RightTop, 60 - width}};
        for (const Case& c : cases) {
            QImage img = BlackImage(120, 40);
            {
                QPainter p(&img);
                CDrawContext dc(p);
                dc.SelectFont(font);
                dc.SetTextColor(QColor(255, 255, 255));
                dc.SetTextAlign(c.align);
                dc.TextOut(60, 10, "MMMM");
            }
            // Ink only below the top and within the text's advance.
            QVERIFY(!AnyNonBlack(img, 0, 0, 120, 10));
            QVERIFY(AnyNonBlack(img, c.left, 10, c.left + width, 26));
            QVERIFY(!AnyNonBlack(img, 0, 0, c.left - 1, 40));
            QVERIFY(!AnyNonBlack(img, c.left + width + 2, 0, 120, 40));
        }
    }

    void textOnAnUpwardPageAndTurnedText()
    {
        // Printing maps y upward: text still reads upright and hangs below
        // its point on the page.
        QImage page = BlackImage(200, 120);
        {
            QPainter p(&page);
            p.scale(2.0, -2.0);
            CDrawContext dc(p, 254.0, true);
            dc.SelectFont(CDrawContext::HeightFont("Verdana", 10));
            dc.SetTextColor(QColor(255, 255, 255));
            dc.TextOut(10, -10, "MMM");   // device (20, 20)
        }
        QVERIFY(!AnyNonBlack(page, 0, 0, 200, 20));
        QVERIFY(AnyNonBlack(page, 20, 20, 80, 42));
        QVERIFY(!AnyNonBlack(page, 0, 44, 200, 120));

        // An escapement of 90 degrees runs the text upward from its point,
        // its top towards smaller x: the ink lies right of x and above y.
        QImage turned = BlackImage(100, 100);
        {
            QPainter p(&turned);
            CDrawContext dc(p);
            dc.SelectFont(CDrawContext::HeightFont("Verdana", 11), 900);
            dc.SetTextColor(QColor(255, 255, 255));
            dc.TextOut(40, 70, "MMMM");
        }
        QVERIFY(AnyNonBlack(turned, 40, 30, 53, 70));
        QVERIFY(!AnyNonBlack(turned, 0, 0, 39, 100));
        QVERIFY(!AnyNonBlack(turned, 0, 72, 100, 100));
        QVERIFY(!AnyNonBlack(turned, 55, 0, 100, 100));
    }

    void guardRestoresPenBrushFontAndTextColourButNotAlignment()
    {
        QImage img = BlackImage(10, 10);
        QPainter p(&img);
        CDrawContext dc(p);
        const QFont before = CDrawContext::HeightFont("Verdana", 13);
        dc.SelectFont(before);
        dc.SelectPen(QColor(1, 2, 3), 1);
        dc.SelectBrush(QColor(4, 5, 6));
        dc.SetTextColor(QColor(7, 8, 9));
        dc.SetTextAlign(TextAlign::CenterTop);
        try {
            CDCStateGuard guard(dc);
            dc.SelectFont(CDrawContext::HeightFont("Verdana", 20), 900);
            dc.SelectPen(QColor(200, 0, 0), 2);
            dc.SelectBrush(QColor(0, 200, 0));
            dc.SetTextColor(QColor(0, 0, 200));
            dc.SetTextAlign(TextAlign::RightTop);
            throw 1;
        } catch (int) {
        }
        QCOMPARE(dc.Font().pixelSize(), 13);
        QCOMPARE(dc.Escapement(), 0);
        QCOMPARE(dc.Pen().color(), QColor(1, 2, 3));
        QCOMPARE(dc.Brush().color(), QColor(4, 5, 6));
        QCOMPARE(dc.TextColor(), QColor(7, 8, 9));
        QCOMPARE(dc.GetTextAlign(), TextAlign::RightTop);
    }

    void contextsOnOnePainterShareTheirState()
    {
        QImage img = BlackImage(10, 10);
        QPainter p(&img);
        CDrawContext outer(p);
        outer.SetTextColor(QColor(10, 20, 30));
        outer.SetTextAlign(TextAlign::CenterTop);
        outer.SelectFont(outer.PointFont("Verdana", 80));
        {
            CDrawContext inner(p);   // a drawer handed only the painter
            QCOMPARE(inner.TextColor(), QColor(10, 20, 30));
            QCOMPARE(inner.GetTextAlign(), TextAlign::CenterTop);
            QCOMPARE(inner.Font().pixelSize(), 11);
            inner.SetTextColor(QColor(200, 200, 200));
        }
        QCOMPARE(outer.TextColor(), QColor(200, 200, 200));
    }

    void themeTablesClampTheirIndex()
    {
        QCOMPARE(ThemeColors::SelectedFill(0), QColor(80, 80, 0));
        QCOMPARE(ThemeColors::SelectedLine(1), QColor(0, 255, 0));
        QCOMPARE(ThemeColors::PrintFill(2), QColor(240, 255, 255));
        QCOMPARE(ThemeColors::PrintLine(0), QColor(64, 64, 0));
        QCOMPARE(ThemeColors::NormalFill(1), QColor(0, 50, 0));
        QCOMPARE(ThemeColors::NormalLine(2), QColor(0, 220, 220));
        QCOMPARE(ThemeColors::NormalLine(7), QColor(0, 220, 220));
        QCOMPARE(ThemeColors::NormalLine(-3), QColor(200, 200, 0));
        QCOMPARE(ThemeColors::SelectedFill(1000000), QColor(0, 90, 90));
    }

    void horizontalRulerDrawsMarkersMidpointsAndMinorTicks()
    {
        QImage img = BlackImage(700, 80);
        {
            QPainter p(&img);
            CDrawContext dc(p);
            dc.SetTextAlign(TextAlign::CenterTop);
            dc.SetTextColor(QColor(1, 1, 1));
            const CRuler ruler;
            ruler.DrawHorizontal(dc, GdiRect{100, 43, 600, 63}, 0.0, 4096.0, true);
            QCOMPARE(dc.GetTextAlign(), TextAlign::LeftTop);   // left for the read-out
            QCOMPARE(dc.TextColor(), QColor(1, 1, 1));         // restored
        }
        const QRgb white = Rgb(255, 255, 255);
        // Label widths decide the spacing; "4096" in an 11 pixel font keeps
        // the 1000-unit majors of 500 pixels.
        // Marker triangles: the tip touches the edge, row s covers x-s..x+s.
        for (int x : {222, 344, 466, 588}) {
            QCOMPARE(RunX(img, 43, white).contains(x), true);
            for (int s = 0; s < 5; ++s) {
                QVERIFY2(Px(img, x - s, 43 - s) == white && Px(img, x + s, 43 - s) == white,
                         qPrintable(QString("marker %1 row %2").arg(x).arg(s)));
                QCOMPARE(Px(img, x + s + 1, 43 - s), Rgb(0, 0, 0));
            }
            // A label stands above the marker, centred on it.
            QVERIFY(AnyNonBlack(img, x - 20, 20, x + 20, 38));
        }
        // Midpoint ticks between majors in the label colour, 5 pixels long.
        QCOMPARE(RunY(img, (222 + 344) / 2, white), (QList<int>{39, 40, 41, 42, 43}));
        // Minor ticks every 100 units in the minor colour.
        const QRgb minor = Rgb(200, 200, 225);
        QCOMPARE(RunY(img, 112, minor), (QList<int>{39, 40, 41, 42, 43}));
        // Nothing below the edge: the scale stands above the rectangle.
        QVERIFY(!AnyNonBlack(img, 0, 44, 700, 80));
    }

    void horizontalRulerBelowAndTooNarrow()
    {
        QImage img = BlackImage(700, 80);
        {
            QPainter p(&img);
            CDrawContext dc(p);
            const CRuler ruler;
            ruler.DrawHorizontal(dc, GdiRect{100, 10, 600, 30}, 0.0, 4096.0, false);
            ruler.DrawHorizontal(dc, GdiRect{100, 75, 140, 78}, 0.0, 4096.0, true);
        }
        const QRgb white = Rgb(255, 255, 255);
        QCOMPARE(Px(img, 222, 30), white);
        QCOMPARE(Px(img, 218, 34), white);
        QVERIFY(!AnyNonBlack(img, 0, 0, 700, 30));
        QVERIFY(AnyNonBlack(img, 210, 35, 235, 50));
        // 40 pixels are narrower than the spacing: no ticks, no labels.
        QVERIFY(!AnyNonBlack(img, 0, 55, 700, 80));
    }

    void verticalRulerLabelsStandOutside()
    {
        QImage img = BlackImage(400, 340);
        {
            QPainter p(&img);
            CDrawContext dc(p);
            dc.SetTextAlign(TextAlign::LeftTop);
            const CRuler ruler;
            // Values 0 (bottom) to 1024 (top) over 200 pixels.
            ruler.DrawVertical(dc, GdiRect{100, 100, 300, 300}, 0.0, 1024.0, true);
            ruler.DrawVertical(dc, GdiRect{100, 100, 300, 300}, 0.0, 1024.0, false);
        }
        const QRgb white = Rgb(255, 255, 255);
        // The major 1000 at y 104 on both sides with its marker rows.
        QCOMPARE(Px(img, 100, 104), white);
        QCOMPARE(Px(img, 96, 100), white);
        QCOMPARE(Px(img, 96, 108), white);
        QCOMPARE(Px(img, 300, 104), white);
        QCOMPARE(Px(img, 304, 100), white);
        // Minor ticks: left from the outer end to the edge, right outward.
        const QRgb minor = Rgb(200, 200, 225);
        QCOMPARE(RunX(img, 280, minor), (QList<int>{95, 96, 97, 98, 99, 300, 301, 302, 303, 304}));
        // Rotated labels next to the ticks, outside the rectangle only.
        QVERIFY(AnyNonBlack(img, 70, 80, 95, 130));
        QVERIFY(AnyNonBlack(img, 305, 80, 330, 130));
        QVERIFY(!AnyNonBlack(img, 101, 100, 300, 300));
    }

    // Unrotated labels of a vertical scale leave out the one that would cover
    // the row's name; its tick stays, and so do the other labels.
    void verticalLabelsKeepClearOfTheName()
    {
        const auto draw = [](const GdiRect& keepClear) {
            QImage img = BlackImage(400, 340);
            QPainter p(&img);
            CDrawContext dc(p);
            dc.SetTextAlign(TextAlign::LeftTop);
            CRuler ruler;
            ruler.m_horizontalLabels = true;
            ruler.m_keepClear = keepClear;
            ruler.DrawVertical(dc, GdiRect{100, 100, 300, 300}, 0.0, 1024.0, true);
            return img;
        };
        // The name stands at the top left, where the label of the top tick goes.
        const GdiRect name{2, 96, 90, 110};
        const QImage plain = draw(GdiRect{});
        const QImage clear = draw(name);
        QVERIFY(AnyNonBlack(plain, name.left, name.top, name.right, name.bottom));
        QVERIFY(!AnyNonBlack(clear, name.left, name.top, name.right, name.bottom));
        QCOMPARE(Px(clear, 96, 100), Px(plain, 96, 100));   // the top tick's marker
        QVERIFY(AnyNonBlack(clear, 0, 150, 95, 300));
        QCOMPARE(clear.copy(0, 150, 100, 190), plain.copy(0, 150, 100, 190));
    }
};

QTEST_MAIN(DrawContextTest)
#include "draw_context_test.moc"
