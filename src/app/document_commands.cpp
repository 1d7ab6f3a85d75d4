#include "app/document_commands.h"

#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_io.h"
#include "app/document_manager.h"
#include "app/main_frame.h"
#include "app/signal_menu.h"
#include "app/workbench_commands.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"

#include <QAction>
#include <QFileDialog>
#include <QMdiArea>
#include <QMessageBox>
#include <vector>

using namespace VexlarCmd;

namespace {
ExportPathAsker& Asker()
{
    static ExportPathAsker asker;
    return asker;
}

void ShowError(QWidget* parent, const QString& error)
{
    if (!error.isEmpty()) {
        QMessageBox::warning(parent, QStringLiteral("Vexlar"), error);
    }
}

using ExportFn = bool (*)(CVexlarDoc&, const QString&, QString&);

void ExportWholeDocument(CVexlarDoc& doc, QWidget* parent, const QString& extension, ExportFn fn)
{
    const QString path = AskExportPath(parent, extension);
    if (path.isEmpty()) {
        return;   // Cancel: no effect
    }
    QString error;
    if (!fn(doc, path, error)) {
        ShowError(parent, error);
    }
}
}   // namespace

void SetExportPathAsker(ExportPathAsker asker)
{
    Asker() = std::move(asker);
}

QString AskExportPath(QWidget* parent, const QString& extension)
{
    if (Asker()) {
        return Asker()(parent, extension);
    }
    QFileDialog dialog(parent, QObject::tr("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(extension);
    dialog.setNameFilter(QStringLiteral("*.%1").arg(extension));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);   // ask before overwriting
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void ExportTableCommand(CVexlarDoc& doc, QWidget* parent)
{
    ExportWholeDocument(doc, parent, QStringLiteral("txt"), &ExportTableFile);
}

void ExportVcdCommand(CVexlarDoc& doc, QWidget* parent)
{
    ExportWholeDocument(doc, parent, QStringLiteral("vcd"), &ExportVcdFile);
}

void ExportTestbenchCommand(CVexlarDoc& doc, QWidget* parent)
{
    ExportWholeDocument(doc, parent, QStringLiteral("vhd"), &ExportTestbenchFile);
}

void ExportSelectedCommand(CVexlarDoc& doc, QWidget* parent)
{
    // The selection is taken first: the dialogs run modal loops in which the
    // capture timer keeps running, but nothing there changes the list.
    std::vector<CSignal*> selected;
    for (CSignal* signal : doc.m_signals) {
        if (signal->m_selected) {
            selected.push_back(signal);
        }
    }
    for (CSignal* signal : selected) {
        const QString path = AskExportPath(parent, QStringLiteral("txt"));
        if (path.isEmpty()) {
            continue;   // Cancel skips this signal only
        }
        QString error;
        if (!ExportSignalFile(doc, *signal, path, error)) {
            ShowError(parent, error);
        }
    }
}

void ConnectDocumentCommands(CMainFrame& frame, CDocumentManager& documents)
{
    CMainFrame* framePtr = &frame;
    CDocumentManager* docs = &documents;
    auto on = [framePtr, docs](int id, auto handler) {
        QObject::connect(framePtr->Action(id), &QAction::triggered, framePtr, [framePtr, docs, handler] {
            if (CVexlarDoc* doc = docs->ActiveDocument()) {
                handler(*doc, framePtr, docs);
            }
        });
    };
    on(ID_FILE_EXPORT, [](CVexlarDoc& doc, CMainFrame* f, CDocumentManager*) { ExportTableCommand(doc, f); });
    on(ID_FILE_EXPORT_VCD, [](CVexlarDoc& doc, CMainFrame* f, CDocumentManager*) { ExportVcdCommand(doc, f); });
    on(ID_SIGNALS_EXPORT_TESTBENCH,
       [](CVexlarDoc& doc, CMainFrame* f, CDocumentManager*) { ExportTestbenchCommand(doc, f); });
    on(ID_SIGNALS_EXPORT_SELECTED,
       [](CVexlarDoc& doc, CMainFrame* f, CDocumentManager*) { ExportSelectedCommand(doc, f); });
    ConnectSignalCommands(frame, documents);
    ConnectWorkbenchCommands(frame, documents);
}
