// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Conversions of a saved document without a display, for scripts and tests:
//   --export csv|vhdl|vcd IN.VEXLAR OUT
//   --export-selected IN.VEXLAR OUT   (the text of the one selected signal in OUT;
//                                      with several, OUT-<row>.txt for each; none
//                                      selected is an error)
// The application calls this from main before any window exists.

#include <QStringList>

// The --help text of vexlar-export (its manual page is generated from it).
QString HeadlessExportHelp();

// True when the arguments (after the program name) ask for a headless export.
bool IsHeadlessExportRequest(const QStringList& args);

// Runs the export the arguments (after the program name) ask for. Returns 0
// on success; otherwise writes the error text to standard error and returns
// 1 (bad input or output file) or 2 (bad arguments).
int RunHeadlessExport(const QStringList& args);
