// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <arpa/inet.h>

#include "model/time_units.h"

namespace {
bool IsIPv4(const QString& text)
{
    in_addr address{};
    return inet_pton(AF_INET, text.toLatin1().constData(), &address) == 1;
}

bool ParseCore(const QString& value, QString& address, int& port)
{
    const int colon = value.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return false;
    }
    bool ok = false;
    const int parsed = value.mid(colon + 1).toInt(&ok);
    const QString host = value.left(colon);
    if (!ok || parsed < 1 || parsed > 65535 || !IsIPv4(host)) {
        return false;
    }
    address = host;
    port = parsed;
    return true;
}
}   // namespace

QStringList WithoutQtOptions(const QStringList& arguments)
{
    static const QStringList withValue = {"-platform",      "-platformpluginpath",
                                          "-platformtheme", "-plugin",
                                          "-style",         "-stylesheet",
                                          "-session",       "-display",
                                          "-geometry",      "-qwindowgeometry",
                                          "-qwindowicon",   "-qwindowtitle",
                                          "-name",          "-title",
                                          "-qmljsdebugger"};
    static const QStringList flags = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        if (i > 0 && withValue.contains(name)) {
            if (!arg.contains(QLatin1Char('='))) {
                ++i;   // the value follows
            }
            continue;
        }
        if (i > 0 && flags.contains(arg)) {
            continue;
        }
        kept << arg;
    }
    return kept;
}

QString VersionText()
{
    return QStringLiteral("Vexlar, Version 2.1\n");
}

QString UsageText()
{
    return QStringLiteral("Usage: vexlar [options] [FILE.VEXLAR]\n"
                          "Logic analyzer client for FPGA cores on the local network.\n"
                          "\n"
                          "Options:\n"
                          "  --demo               start the simulated demo core on 127.0.0.1 and connect to it\n"
                          "  --core ADDR:PORT     connect to the core at ADDR:PORT without discovery\n"
                          "  --adapter ADDR       search for cores only on the adapter with this address\n"
                          "                       (repeatable)\n"
                          "  --export csv|vhdl|vcd IN.VEXLAR OUT\n"
                          "                       convert a saved document without a window, then exit\n"
                          "  --export-selected IN.VEXLAR OUT\n"
                          "                       write the text of the selected signal of a saved document\n"
                          "                       (OUT-ROW.txt for each when several are selected)\n"
                          "  --samplerate HZ      the sample rate of the documents this start opens or creates\n"
                          "                       (100000000, 100e6, 100M, 100MHz): rulers, markers and\n"
                          "                       measurements in time, exports timed by it\n"
                          "  --decode DECODER:KEY=VALUE[:KEY=VALUE...] [--samplerate HZ] IN.VEXLAR\n"
                          "                       print the annotations of a protocol decoder, one a line\n"
                          "                       (KEY: a channel, =SIGNAL or =#BIT, or an option)\n"
                          "  --screenshot FILE.png\n"
                          "                       save a picture of the main window after a delay, then quit\n"
                          "  --screenshot-delay MS\n"
                          "                       the delay before the picture (default 2000)\n"
                          "  --help               show this text\n"
                          "  --version            show the version\n"
                          "\n"
                          "Without --demo or --core Vexlar searches the local networks for cores and\n"
                          "lets you choose one.\n");
}

CommandLineOptions ParseCommandLine(const QStringList& arguments)
{
    CommandLineOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        auto value = [&](QString& out) {
            const int eq = arg.indexOf(QLatin1Char('='));
            if (arg.startsWith(QLatin1String("--")) && eq > 0) {
                out = arg.mid(eq + 1);
                return true;
            }
            if (i + 1 >= arguments.size()) {
                options.error = QStringLiteral("option %1 needs a value").arg(arg);
                return false;
            }
            out = arguments[++i];
            return true;
        };
        const QString name = arg.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            options.version = true;
        } else if (name == QLatin1String("--demo")) {
            options.demo = true;
        } else if (name == QLatin1String("--core")) {
            QString text;
            if (!value(text)) {
                break;
            }
            if (!ParseCore(text, options.coreAddress, options.corePort)) {
                options.error = QStringLiteral("--core needs ADDR:PORT with an IPv4 address and a port "
                                               "from 1 to 65535, not '%1'")
                                    .arg(text);
                break;
            }
        } else if (name == QLatin1String("--adapter")) {
            QString text;
            if (!value(text)) {
                break;
            }
            if (!IsIPv4(text)) {
                options.error = QStringLiteral("--adapter needs an IPv4 address, not '%1'").arg(text);
                break;
            }
            options.adapters << text;
        } else if (name == QLatin1String("--samplerate")) {
            QString text;
            if (!value(text)) {
                break;
            }
            if (!TimeUnits::ParseSampleRate(text, options.sampleRate)) {
                options.error = QStringLiteral("--samplerate needs a rate in Hz from 0.01 to 1e12 "
                                               "(such as 100000000, 100e6 or 100MHz), not '%1'")
                                    .arg(text);
                break;
            }
        } else if (name == QLatin1String("--screenshot")) {
            if (!value(options.screenshot)) {
                break;
            }
        } else if (name == QLatin1String("--screenshot-delay")) {
            QString text;
            if (!value(text)) {
                break;
            }
            bool ok = false;
            options.screenshotDelayMs = text.toInt(&ok);
            if (!ok || options.screenshotDelayMs < 0) {
                options.error = QStringLiteral("--screenshot-delay needs a number of milliseconds");
                break;
            }
        } else if (name == QLatin1String("--export") || name == QLatin1String("--export-selected")) {
            options.headlessExport = true;
            return options;   // the exporter reads its own arguments
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            // Qt's own options (-platform, -style, ...) were taken out by
            // QApplication before we see the list.
            options.error = QStringLiteral("unknown option '%1'").arg(arg);
            break;
        } else if (options.file.isEmpty()) {
            options.file = arg;
        } else {
            options.error = QStringLiteral("only one document can be named");
            break;
        }
    }
    if (options.error.isEmpty() && options.demo && !options.coreAddress.isEmpty()) {
        options.error = QStringLiteral("--demo and --core cannot be combined");
    }
    return options;
}
