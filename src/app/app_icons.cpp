// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace AppIcons {
namespace {

using Drawer = std::function<void(QPainter&)>;

QIcon Render(const Drawer& draw)
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / 16.0, size / 16.0);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen Outline(const QColor& color, double width = 1.0)
{
    QPen pen(color, width);
    pen.setJoinStyle(Qt::RoundJoin);
    pen.setCapStyle(Qt::RoundCap);
    return pen;
}

void Page(QPainter& p, double x, double y, double w, double h)
{
    QPainterPath path;
    path.moveTo(x, y);
    path.lineTo(x + w - 3.5, y);
    path.lineTo(x + w, y + 3.5);
    path.lineTo(x + w, y + h);
    path.lineTo(x, y + h);
    path.closeSubpath();
    p.setPen(Outline(QColor(70, 80, 95)));
    p.setBrush(QColor(245, 247, 250));
    p.drawPath(path);
    p.setBrush(QColor(200, 208, 220));
    QPainterPath fold;
    fold.moveTo(x + w - 3.5, y);
    fold.lineTo(x + w - 3.5, y + 3.5);
    fold.lineTo(x + w, y + 3.5);
    fold.closeSubpath();
    p.drawPath(fold);
}

}   // namespace

QIcon New()
{
    return Render([](QPainter& p) {
        Page(p, 3.5, 1.5, 9, 13);
        p.setPen(Outline(QColor(240, 190, 40), 1.4));
        p.drawLine(QPointF(12.5, 9.5), QPointF(12.5, 15));
        p.drawLine(QPointF(9.8, 12.2), QPointF(15.2, 12.2));
    });
}

QIcon Open()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(120, 85, 20)));
        p.setBrush(QColor(215, 165, 55));
        QPainterPath back;
        back.moveTo(1.5, 13.5);
        back.lineTo(1.5, 3.5);
        back.lineTo(5.5, 3.5);
        back.lineTo(6.5, 5);
        back.lineTo(12.5, 5);
        back.lineTo(12.5, 13.5);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(QColor(250, 205, 90));
        QPainterPath front;
        front.moveTo(1.5, 13.5);
        front.lineTo(4, 7.5);
        front.lineTo(15, 7.5);
        front.lineTo(12.5, 13.5);
        front.closeSubpath();
        p.drawPath(front);
    });
}

QIcon Save()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(25, 45, 90)));
        p.setBrush(QColor(60, 110, 200));
        QPainterPath body;
        body.moveTo(1.5, 1.5);
        body.lineTo(12.5, 1.5);
        body.lineTo(14.5, 3.5);
        body.lineTo(14.5, 14.5);
        body.lineTo(1.5, 14.5);
        body.closeSubpath();
        p.drawPath(body);
        p.setBrush(QColor(235, 240, 248));
        p.drawRect(QRectF(4, 1.5, 8, 5));
        p.setBrush(QColor(25, 45, 90));
        p.drawRect(QRectF(9.5, 2.5, 1.5, 3));
        p.setBrush(QColor(220, 225, 235));
        p.drawRect(QRectF(3.5, 9, 9, 5.5));
    });
}

QIcon Cut()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(90, 95, 105), 1.2));
        p.drawLine(QPointF(4.5, 1.5), QPointF(10, 10.5));
        p.drawLine(QPointF(11.5, 1.5), QPointF(6, 10.5));
        p.setPen(Outline(QColor(200, 40, 40), 1.3));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(4.5, 12.5), 2.3, 2.3);
        p.drawEllipse(QPointF(11.5, 12.5), 2.3, 2.3);
    });
}

QIcon Copy()
{
    return Render([](QPainter& p) {
        Page(p, 1.5, 1.5, 8, 10);
        Page(p, 6.5, 4.5, 8, 10);
        p.setPen(Outline(QColor(130, 140, 155)));
        for (double y : {8.5, 10.5, 12.5}) {
            p.drawLine(QPointF(8.5, y), QPointF(12.5, y));
        }
    });
}

QIcon Paste()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(95, 60, 25)));
        p.setBrush(QColor(190, 130, 60));
        p.drawRoundedRect(QRectF(1.5, 2.5, 10, 12), 1, 1);
        p.setBrush(QColor(170, 175, 185));
        p.drawRect(QRectF(4, 1, 5, 3));
        Page(p, 7.5, 6.5, 7, 8);
    });
}

QIcon Run()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(20, 90, 30)));
        p.setBrush(QColor(60, 190, 75));
        QPainterPath play;
        play.moveTo(4, 2);
        play.lineTo(13.5, 8);
        play.lineTo(4, 14);
        play.closeSubpath();
        p.drawPath(play);
    });
}

QIcon TrigNow()
{
    return Render([](QPainter& p) {
        // a single rising edge with a trigger arrow: one capture, now
        p.setPen(Outline(QColor(90, 220, 230), 1.6));
        p.setBrush(Qt::NoBrush);
        QPainterPath wave;
        wave.moveTo(1, 13);
        wave.lineTo(7, 13);
        wave.lineTo(7, 4);
        wave.lineTo(15, 4);
        p.drawPath(wave);
        p.setPen(Outline(QColor(240, 190, 40), 1.2));
        p.setBrush(QColor(240, 190, 40));
        QPainterPath arrow;
        arrow.moveTo(7, 15.5);
        arrow.lineTo(4.5, 11.5);
        arrow.lineTo(9.5, 11.5);
        arrow.closeSubpath();
        p.drawPath(arrow);
    });
}

QIcon Live()
{
    return Render([](QPainter& p) {
        // a recording dot: this document takes the captures
        p.setPen(Outline(QColor(110, 20, 20)));
        p.setBrush(QColor(225, 55, 50));
        p.drawEllipse(QPointF(8, 8), 5, 5);
    });
}

QIcon Held()
{
    return Render([](QPainter& p) {
        // an empty ring: the document keeps what it holds
        p.setPen(Outline(QColor(150, 150, 155), 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 4.5, 4.5);
    });
}

QIcon About()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(20, 60, 120)));
        p.setBrush(QColor(70, 130, 210));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        QFont font;
        font.setBold(true);
        font.setPixelSize(11);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QIcon Application()
{
    return Render([](QPainter& p) {
        p.setPen(Outline(QColor(15, 20, 25)));
        p.setBrush(QColor(30, 36, 44));
        p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(Outline(QColor(240, 200, 40), 1.1));
        QPainterPath digital;
        digital.moveTo(2, 6);
        for (double x : {4.0, 7.0, 9.0, 12.0}) {
            const bool high = (x == 4.0 || x == 9.0);
            digital.lineTo(x, high ? 6 : 3);
            digital.lineTo(x, high ? 3 : 6);
        }
        digital.lineTo(14, 6);
        p.drawPath(digital);
        p.setPen(Outline(QColor(90, 220, 230), 1.1));
        QPainterPath analog;
        analog.moveTo(2, 11);
        analog.cubicTo(4, 7, 6, 7, 8, 11);
        analog.cubicTo(10, 15, 12, 15, 14, 11);
        p.drawPath(analog);
    });
}

}   // namespace AppIcons
