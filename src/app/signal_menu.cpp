// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/signal_menu.h"

#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_manager.h"
#include "app/main_frame.h"
#include "document/decoder_row_edits.h"
#include "document/signal_commands.h"
#include "document/vexlar_doc.h"
#include "properties/add_decoder_dialog.h"
#include "properties/signal_properties.h"

#include <QAction>
#include <QMdiArea>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <exception>

#include "view/vexlar_view.h"

using namespace VexlarCmd;

namespace {

// Runs a command on the active document and reports an error of the document
// layer in its message box ("Encountered an improper argument.").
template <typename Command>
void OnActiveDocument(CMainFrame& frame, CDocumentManager& documents, Command command)
{
    CVexlarDoc* doc = documents.ActiveDocument();
    if (!doc) {
        return;
    }
    try {
        command(*doc);
    } catch (const std::exception& e) {
        QMessageBox::warning(&frame, QStringLiteral("Vexlar"), QString::fromLocal8Bit(e.what()));
    }
    documents.UpdateTitles();
}

void PrintActiveView(CMainFrame& frame, CDocumentManager& documents, bool preview)
{
    CChildFrame* child = documents.ActiveFrame();
    auto* view = child ? qobject_cast<CVexlarView*>(child->View()) : nullptr;
    if (!view) {
        return;
    }
    QPrinter* printer = frame.Printer();
    if (preview) {
        QPrintPreviewDialog dialog(printer, &frame);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, view, [view](QPrinter* p) { view->Print(p); });
        dialog.exec();
    } else {
        QPrintDialog dialog(printer, &frame);
        if (dialog.exec() == QDialog::Accepted) {
            view->Print(printer);
        }
    }
}

}   // namespace

void ConnectSignalCommands(CMainFrame& frame, CDocumentManager& documents)
{
    CMainFrame* f = &frame;
    CDocumentManager* docs = &documents;
    auto on = [f](int id, auto handler) { QObject::connect(f->Action(id), &QAction::triggered, f, handler); };

    on(ID_SIGNALS_ADD, [f, docs] {
        OnActiveDocument(*f, *docs, [f](CVexlarDoc& doc) {
            AddSignal(doc, [f](CSignal& signal) { return EditSignalProperties(signal, f); });
        });
    });
    on(ID_SIGNALS_ADD_DECODER, [f, docs] {
        OnActiveDocument(*f, *docs, [f](CVexlarDoc& doc) {
            CDecoderRowConfig row;
            if (!EditDecoderRow(doc, row, true, f))
                return;
            DecoderRowEdits::Add(doc, row);
        });
    });
    on(ID_SIGNALS_DELETE, [f, docs] { OnActiveDocument(*f, *docs, DeleteSelectedSignals); });
    on(ID_SIGNALS_FREEZE, [f, docs] { OnActiveDocument(*f, *docs, FreezeSelectedSignals); });
    on(ID_SIGNALS_DUPLICATE, [f, docs] { OnActiveDocument(*f, *docs, DuplicateSelectedSignals); });

    on(ID_FILE_PRINT, [f, docs] { PrintActiveView(*f, *docs, false); });
    on(ID_FILE_PRINT_PREVIEW, [f, docs] { PrintActiveView(*f, *docs, true); });
    on(ID_FILE_PRINT_SETUP, [f] {
        QPageSetupDialog dialog(f->Printer(), f);
        dialog.exec();
    });
}
