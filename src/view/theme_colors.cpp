// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/theme_colors.h"

#include <algorithm>

namespace ThemeColors {

namespace {

struct Rgb {
    int r, g, b;
};

constexpr Rgb kSelectedFill[kThemeCount] = {{80, 80, 0}, {0, 90, 0}, {0, 90, 90}};
constexpr Rgb kSelectedLine[kThemeCount] = {{255, 255, 0}, {0, 255, 0}, {0, 255, 255}};
constexpr Rgb kPrintFill[kThemeCount] = {{255, 255, 240}, {240, 255, 240}, {240, 255, 255}};
constexpr Rgb kPrintLine[kThemeCount] = {{64, 64, 0}, {0, 64, 0}, {0, 64, 64}};
constexpr Rgb kNormalFill[kThemeCount] = {{40, 40, 0}, {0, 50, 0}, {0, 50, 50}};
constexpr Rgb kNormalLine[kThemeCount] = {{200, 200, 0}, {0, 220, 0}, {0, 220, 220}};

QColor Pick(const Rgb (&table)[kThemeCount], int theme)
{
    const Rgb& c = table[Clamp(theme)];
    return QColor(c.r, c.g, c.b);
}

}   // namespace

int Clamp(int theme)
{
    return std::clamp(theme, 0, kThemeCount - 1);
}

QColor SelectedFill(int theme)
{
    return Pick(kSelectedFill, theme);
}
QColor SelectedLine(int theme)
{
    return Pick(kSelectedLine, theme);
}
QColor PrintFill(int theme)
{
    return Pick(kPrintFill, theme);
}
QColor PrintLine(int theme)
{
    return Pick(kPrintLine, theme);
}
QColor NormalFill(int theme)
{
    return Pick(kNormalFill, theme);
}
QColor NormalLine(int theme)
{
    return Pick(kNormalLine, theme);
}

QColor SelectedText()
{
    return QColor(255, 255, 255);
}
QColor NormalText()
{
    return QColor(200, 200, 200);
}

}   // namespace ThemeColors
