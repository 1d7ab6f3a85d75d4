// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QString>
#include <functional>

class CDocumentManager;
class CMainFrame;
class CVexlarDoc;
class QWidget;

// The commands of the File and Signals menus that work on the active
// document: the exports with their save dialogs, the signal-list commands
// and printing.

// Where an export is to go: the format's extension ("csv", "vhd", "vcd",
// "txt"), the folder the dialog opens in (the document's own folder) and the
// file name it suggests.
struct ExportTarget {
    QString extension;
    QString folder;
    QString fileName;
    // The dialog's first filter, the one of the format: "CSV files (*.csv)".
    QString Filter() const;
};

// Asks for the file of one export: a save dialog in the target's folder that
// lists the format's files (and all files), adds the extension when none is
// typed and asks before an existing file is overwritten. Empty on Cancel.
// Tests replace the asker.
using ExportPathAsker = std::function<QString(QWidget* parent, const ExportTarget& target)>;
void SetExportPathAsker(ExportPathAsker asker);   // an empty asker restores the dialog
QString AskExportPath(QWidget* parent, const ExportTarget& target);

// The target of an export of `doc` in the format of `extension`: the folder
// of the document's file (the home folder for a document without a file) and
// the document's name with the extension, `suffix` added to the name.
ExportTarget ExportTargetFor(const QString& documentPath, const QString& documentTitle, const QString& extension,
                             const QString& suffix = {});

// "Export..." (comma-separated table), "Export VCD...", "Export Testbench...",
// "Export Selected..." (one dialog per selected signal, Cancel skips that
// signal). `path` and `title` name the document (its file, empty without
// one). Errors are shown in a message box.
void ExportTableCommand(CVexlarDoc& doc, QWidget* parent, const QString& path = {}, const QString& title = {});
void ExportVcdCommand(CVexlarDoc& doc, QWidget* parent, const QString& path = {}, const QString& title = {});
void ExportTestbenchCommand(CVexlarDoc& doc, QWidget* parent, const QString& path = {}, const QString& title = {});
void ExportSelectedCommand(CVexlarDoc& doc, QWidget* parent, const QString& path = {}, const QString& title = {});

void ConnectDocumentCommands(CMainFrame& frame, CDocumentManager& documents);
