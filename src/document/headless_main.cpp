// vexlar-export: the headless conversions of the vexlar executable on their own.

#include <QCoreApplication>

#include "document/headless_export.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunHeadlessExport(args);
}
