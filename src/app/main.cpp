#include "app/command_line.h"
#include "app/dark_style.h"
#include "app/main_frame.h"
#include "app/vexlar_app.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    // What needs no window is answered before a display is opened.
    {
        QStringList raw;
        for (int i = 0; i < argc; ++i) {
            raw << QString::fromLocal8Bit(argv[i]);
        }
        const CommandLineOptions early = ParseCommandLine(raw);
        if (early.help) {
            std::fputs(qPrintable(UsageText()), stdout);
            return 0;
        }
        if (early.version) {
            std::fputs(qPrintable(VersionText()), stdout);
            return 0;
        }
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brannock"));
    QApplication::setApplicationName(QStringLiteral("Vexlar"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setDesktopFileName(QStringLiteral("vexlar"));
    ApplyDarkStyle(app);

    const CommandLineOptions options = ParseCommandLine(QApplication::arguments());
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "vexlar: %s\n%s", qPrintable(options.error), qPrintable(UsageText()));
        return 2;
    }

    CVexlarApp theApp;
    if (!theApp.InitInstance(options)) {
        theApp.ExitInstance();
        return 1;
    }
    const int result = theApp.MainFrameClosed() ? 0 : app.exec();
    theApp.ExitInstance();
    return result;
}
