// SPDX-License-Identifier: GPL-3.0-or-later
// vexlar-export: the headless conversions of the vexlar executable on their own.

#include <QCoreApplication>
#include <cstdio>

#include "document/headless_export.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args == QStringList{QStringLiteral("--help")} || args == QStringList{QStringLiteral("-h")}) {
        std::fputs(qPrintable(HeadlessExportHelp()), stdout);
        return 0;
    }
    return RunHeadlessExport(args);
}
