// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/theme_swatch.h"

#include "properties/property_variant.h"

#include <QPainter>
#include <QPolygon>

namespace ThemeSwatch {

namespace {

struct Rgb {
    int r, g, b;
};

// Selected-row colours of the three themes.
constexpr Rgb kFill[kThemeCount] = {{80, 80, 0}, {0, 90, 0}, {0, 90, 90}};
constexpr Rgb kLine[kThemeCount] = {{255, 255, 0}, {0, 255, 0}, {0, 255, 255}};

int Clamp(int theme)
{
    return theme < 0 ? 0 : (theme >= kThemeCount ? kThemeCount - 1 : theme);
}

}   // namespace

QColor Fill(int theme)
{
    const Rgb& c = kFill[Clamp(theme)];
    return QColor(c.r, c.g, c.b);
}

QColor Line(int theme)
{
    const Rgb& c = kLine[Clamp(theme)];
    return QColor(c.r, c.g, c.b);
}

void Draw(QPainter& painter, const QRect& cell, const QString& optionText)
{
    const int theme = ParseLongPrefix(optionText);
    if (theme < 0 || theme >= kThemeCount)
        return;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Rectangle with exclusive right and bottom edges, as the outline below
    // is laid out on them.
    int left = cell.left();
    int top = cell.top();
    int right = cell.left() + cell.width();
    int bottom = cell.top() + cell.height();
    painter.fillRect(QRect(left, top, right - left, bottom - top), Qt::black);

    left += 5;
    right -= 5;
    top += 2;
    bottom -= 2;
    if (right > left && bottom > top)
        painter.fillRect(QRect(left, top, right - left, bottom - top), Fill(theme));

    const int mid = (top + bottom) / 2;
    const QPolygon outline({QPoint(left, mid), QPoint(left + 3, top), QPoint(right - 3, top), QPoint(right, mid),
                            QPoint(right - 3, bottom), QPoint(left + 3, bottom)});
    QPen pen(Line(theme));
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(outline);   // closed: every corner is the start of the next segment
    painter.restore();
}

}   // namespace ThemeSwatch
