// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"
#include "app/dark_style.h"
#include "app/main_frame.h"
#include "app/vexlar_app.h"
#include "decode/headless_decode.h"
#include "document/headless_export.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    // What needs no window is answered before a display is opened.
    {
        QStringList raw;
        for (int i = 1; i < argc; ++i) {
            raw << QString::fromLocal8Bit(argv[i]);
        }
        if (IsHeadlessDecodeRequest(raw)) {
            // annotations of a saved document on standard output
            QCoreApplication core(argc, argv);
            QStringList args = QCoreApplication::arguments();
            args.removeFirst();
            return RunHeadlessDecode(args);
        }
        if (IsHeadlessExportRequest(raw)) {
            // conversions of saved documents: no display, no window
            QCoreApplication core(argc, argv);
            QStringList args = QCoreApplication::arguments();
            args.removeFirst();
            return RunHeadlessExport(args);
        }
        const CommandLineOptions early =
            ParseCommandLine(WithoutQtOptions(QStringList{QStringLiteral("vexlar")} + raw));
        if (early.help) {
            std::fputs(qPrintable(UsageText()), stdout);
            return 0;
        }
        if (early.version) {
            std::fputs(qPrintable(VersionText()), stdout);
            return 0;
        }
        if (!early.error.isEmpty()) {
            std::fprintf(stderr, "vexlar: %s\n%s", qPrintable(early.error), qPrintable(UsageText()));
            return 2;
        }
    }

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brannock"));
    QApplication::setApplicationName(QStringLiteral("Vexlar"));
    QApplication::setApplicationVersion(QStringLiteral("2.1"));
    QApplication::setDesktopFileName(QStringLiteral("com.brannock.vexlar"));   // the installed desktop entry
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
    if (!options.screenshot.isEmpty()) {
        QTimer::singleShot(options.screenshotDelayMs, &theApp, [&theApp, &options] {
            const bool saved = theApp.MainFrame()->grab().save(options.screenshot);
            std::fprintf(saved ? stdout : stderr, "vexlar: %s %s\n", saved ? "wrote" : "could not write",
                         qPrintable(options.screenshot));
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    int result = 0;
    if (!theApp.MainFrameClosed() && theApp.TerminationSignal() == 0) {
        result = app.exec();
    }
    theApp.ExitInstance();
    // Ended by SIGTERM, SIGINT or SIGHUP: the status a shell reports for it.
    return theApp.TerminationSignal() != 0 ? 128 + theApp.TerminationSignal() : result;
}
