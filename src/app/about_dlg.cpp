// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/about_dlg.h"

#include "app/app_icons.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

namespace {
// The box is laid out in dialog units, which grow with the font: a unit is a
// quarter of the font's average character width across and an eighth of its
// height down, so the box keeps its proportions at any font size.
struct DialogUnits {
    double x;
    double y;
    int X(int units) const { return static_cast<int>(units * x + 0.5); }
    int Y(int units) const { return static_cast<int>(units * y + 0.5); }
};

DialogUnits UnitsFor(const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString sample = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const double averageWidth = metrics.horizontalAdvance(sample) / 52.0;
    return {averageWidth / 4.0, metrics.height() / 8.0};
}
}   // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Vexlar"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(true);

    const DialogUnits du = UnitsFor(font());
    setFixedSize(du.X(170), du.Y(62));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("aboutIcon"));
    icon->setGeometry(du.X(14), du.Y(14), du.X(20), du.Y(20));
    icon->setPixmap(AppIcons::Application().pixmap(std::min(du.X(20), du.Y(20))));

    auto* version = new QLabel(QStringLiteral("Vexlar, Version 2.1"), this);
    version->setObjectName(QStringLiteral("aboutVersion"));
    version->setTextFormat(Qt::PlainText);
    version->setGeometry(du.X(42), du.Y(14), du.X(114), du.Y(8) + 4);

    // Vexlar links the GPL-3.0-or-later protocol decoder library, so the
    // whole program is distributed under that licence.
    auto* note = new QLabel(QStringLiteral("Free software: GPL-3.0-or-later"), this);
    note->setObjectName(QStringLiteral("aboutNote"));
    note->setTextFormat(Qt::PlainText);
    note->setGeometry(du.X(42), du.Y(26), du.X(124), du.Y(8) + 4);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("aboutOk"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    ok->setGeometry(du.X(113), du.Y(41), du.X(50), du.Y(14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
