// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <QStringList>

// What the command line asks of the application. Parsing is plain code so
// that it can be tested without starting anything.
struct CommandLineOptions {
    bool help = false;
    bool version = false;
    bool demo = false;     // start the simulated core and connect to it
    QString coreAddress;   // --core ADDR:PORT: connect without discovery
    int corePort = 0;
    QStringList adapters;           // --adapter ADDR: discovery only on these
    QString file;                   // a document to open instead of a new one
    QString screenshot;             // --screenshot FILE.png: grab the main window, then quit
    int screenshotDelayMs = 2000;   // --screenshot-delay MS
    double sampleRate = 0.0;        // --samplerate HZ: for the documents of this start; 0 = not given
    bool headlessExport = false;    // --export / --export-selected: no window at all
    QString error;                  // non-empty when the line is not understood
};

CommandLineOptions ParseCommandLine(const QStringList& arguments);   // arguments[0] is the program
// The arguments without Qt's own options (-platform NAME, -style NAME, ...),
// as QApplication will take them out; used to check the line before a
// display is opened.
QStringList WithoutQtOptions(const QStringList& arguments);
QString UsageText();
QString VersionText();
