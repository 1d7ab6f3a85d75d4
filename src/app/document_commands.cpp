// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

void ExportWholeDocument(CVexlarDoc& doc, QWidget* parent, const ExportTarget& target, ExportFn fn)
{
    const QString path = AskExportPath(parent, target);
    if (path.isEmpty()) {
        return;   // Cancel: no effect
    }
    QString error;
    if (!fn(doc, path, error)) {
        ShowError(parent, error);
    }
}

// A signal's name as part of a file name: characters that file systems or
// shells take badly become '_'.
QString FileNamePart(const QString& name)
{
    QString part;
    for (const QChar c : name) {
        part += (c.isLetterOrNumber() || c == u'-' || c == u'_' || c == u'.') ? c : QChar(u'_');
    }
    return part.isEmpty() ? QStringLiteral("signal") : part;
}
}   // namespace

QString ExportTarget::Filter() const
{
    if (extension == QLatin1String("csv")) {
        return QObject::tr("CSV files (*.csv)");
    }
    if (extension == QLatin1String("vhd")) {
        return QObject::tr("VHDL files (*.vhd)");
    }
    if (extension == QLatin1String("vcd")) {
        return QObject::tr("VCD files (*.vcd)");
    }
    if (extension == QLatin1String("txt")) {
        return QObject::tr("Text files (*.txt)");
    }
    return QStringLiteral("*.%1").arg(extension);
}

ExportTarget ExportTargetFor(const QString& documentPath, const QString& documentTitle, const QString& extension,
                             const QString& suffix)
{
    ExportTarget target;
    target.extension = extension;
    target.folder = documentPath.isEmpty() ? QDir::homePath() : QFileInfo(documentPath).absolutePath();
    QString base = documentPath.isEmpty() ? documentTitle : QFileInfo(documentPath).completeBaseName();
    if (base.isEmpty()) {
        base = QStringLiteral("Vexlar");
    }
    if (!suffix.isEmpty()) {
        base += QLatin1Char('-') + FileNamePart(suffix);
    }
    target.fileName = base + QLatin1Char('.') + extension;
    return target;
}

void SetExportPathAsker(ExportPathAsker asker)
{
    Asker() = std::move(asker);
}

QString AskExportPath(QWidget* parent, const ExportTarget& target)
{
    if (Asker()) {
        return Asker()(parent, target);
    }
    QFileDialog dialog(parent, QObject::tr("Save As"));
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(target.extension);
    dialog.setNameFilters({target.Filter(), QObject::tr("All files (*)")});
    dialog.selectNameFilter(target.Filter());
    dialog.setDirectory(target.folder);
    dialog.selectFile(target.fileName);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);   // ask before overwriting
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

void ExportTableCommand(CVexlarDoc& doc, QWidget* parent, const QString& path, const QString& title)
{
    ExportWholeDocument(doc, parent, ExportTargetFor(path, title, QStringLiteral("csv")), &ExportTableFile);
}

void ExportVcdCommand(CVexlarDoc& doc, QWidget* parent, const QString& path, const QString& title)
{
    ExportWholeDocument(doc, parent, ExportTargetFor(path, title, QStringLiteral("vcd")), &ExportVcdFile);
}

void ExportTestbenchCommand(CVexlarDoc& doc, QWidget* parent, const QString& path, const QString& title)
{
    ExportWholeDocument(doc, parent, ExportTargetFor(path, title, QStringLiteral("vhd")), &ExportTestbenchFile);
}

void ExportSelectedCommand(CVexlarDoc& doc, QWidget* parent, const QString& path, const QString& title)
{
    // The selection is taken first: the dialogs run modal loops in which
    // captures keep arriving, but nothing there changes the list.
    std::vector<CSignal*> selected;
    for (CSignal* signal : doc.m_signals) {
        if (signal->m_selected) {
            selected.push_back(signal);
        }
    }
    for (CSignal* signal : selected) {
        const QString file = AskExportPath(parent, ExportTargetFor(path, title, QStringLiteral("txt"), signal->m_name));
        if (file.isEmpty()) {
            continue;   // Cancel skips this signal only
        }
        QString error;
        if (!ExportSignalFile(doc, *signal, file, error)) {
            ShowError(parent, error);
        }
    }
}

void ConnectDocumentCommands(CMainFrame& frame, CDocumentManager& documents)
{
    CMainFrame* framePtr = &frame;
    CDocumentManager* docs = &documents;
    using Command = void (*)(CVexlarDoc&, QWidget*, const QString&, const QString&);
    auto on = [framePtr, docs](int id, Command command) {
        QObject::connect(framePtr->Action(id), &QAction::triggered, framePtr, [framePtr, docs, command] {
            if (CVexlarDoc* doc = docs->ActiveDocument()) {
                command(*doc, framePtr, docs->PathOf(doc), docs->TitleOf(doc));
            }
        });
    };
    on(ID_FILE_EXPORT, &ExportTableCommand);
    on(ID_FILE_EXPORT_VCD, &ExportVcdCommand);
    on(ID_SIGNALS_EXPORT_TESTBENCH, &ExportTestbenchCommand);
    on(ID_SIGNALS_EXPORT_SELECTED, &ExportSelectedCommand);
    ConnectSignalCommands(frame, documents);
    ConnectWorkbenchCommands(frame, documents);
}
