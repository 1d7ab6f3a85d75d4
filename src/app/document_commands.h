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

// Asks for the file of one export: a save dialog with the default extension,
// no filter list beyond the extension's files, and a question before an
// existing file is overwritten. Empty on Cancel. Tests replace the asker.
using ExportPathAsker = std::function<QString(QWidget* parent, const QString& extension)>;
void SetExportPathAsker(ExportPathAsker asker);   // an empty asker restores the dialog
QString AskExportPath(QWidget* parent, const QString& extension);

// "Export..." (comma-separated table), "Export VCD...", "Export Testbench...",
// "Export Selected..." (one dialog per selected signal, Cancel skips that
// signal). Errors are shown in a message box.
void ExportTableCommand(CVexlarDoc& doc, QWidget* parent);
void ExportVcdCommand(CVexlarDoc& doc, QWidget* parent);
void ExportTestbenchCommand(CVexlarDoc& doc, QWidget* parent);
void ExportSelectedCommand(CVexlarDoc& doc, QWidget* parent);

void ConnectDocumentCommands(CMainFrame& frame, CDocumentManager& documents);
