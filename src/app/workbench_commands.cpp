// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/workbench_commands.h"

#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_manager.h"
#include "app/find_value_dialog.h"
#include "app/main_frame.h"
#include "document/search_commands.h"
#include "document/vexlar_doc.h"
#include "model/signal_search.h"
#include "properties/document_properties.h"
#include "view/vexlar_view.h"

#include <QAction>
#include <QMdiArea>
#include <QMessageBox>
#include <QStatusBar>

#include <memory>
#include <vector>

using namespace VexlarCmd;
using SignalSearch::Direction;

namespace {

// The value and mask of the last Find Value, for Find Next / Previous Value.
struct LastValueSearch {
    QString value;
    QString mask;
};
LastValueSearch& LastSearch()
{
    static LastValueSearch search;
    return search;
}

// The window of the active document as the application records it (the MDI
// area has no active window whenever the main window is not the active one).
CVexlarView* ActiveView(CDocumentManager& documents)
{
    auto* child = qobject_cast<CChildFrame*>(documents.ActiveFrame());
    return child ? qobject_cast<CVexlarView*>(child->View()) : nullptr;
}

void Say(CMainFrame& frame, const QString& text)
{
    frame.statusBar()->showMessage(text, 5000);
}

void ApplyValueCursor(CMainFrame& frame, CDocumentManager& documents)
{
    const bool on = frame.Action(ID_VIEW_VALUE_CURSOR)->isChecked();
    for (CVexlarDoc* doc : documents.Documents()) {
        for (CChildFrame* child : documents.FramesOf(doc)) {
            if (auto* view = qobject_cast<CVexlarView*>(child->View()))
                view->SetValueCursor(on);
        }
    }
}

void FindEdge(CMainFrame& frame, CDocumentManager& documents, Direction direction)
{
    CVexlarDoc* doc = documents.ActiveDocument();
    CVexlarView* view = ActiveView(documents);
    if (!doc || !view)
        return;
    if (!SearchCommands::EdgeTarget(*doc)) {
        Say(frame, QObject::tr("Select a one-bit signal to search its edges."));
        return;
    }
    const int found = SearchCommands::FindEdge(*doc, direction, view->CentreSample());
    if (found < 0) {
        Say(frame, direction == Direction::Forward ? QObject::tr("No further edge.") : QObject::tr("No earlier edge."));
        return;
    }
    view->ShowSample(found);
}

bool AskValue(CMainFrame& frame)
{
    CFindValueDialog dialog(LastSearch().value, LastSearch().mask, &frame);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    LastSearch().value = dialog.Value();
    LastSearch().mask = dialog.Mask();
    return true;
}

void FindValue(CMainFrame& frame, CDocumentManager& documents, Direction direction)
{
    CVexlarDoc* doc = documents.ActiveDocument();
    CVexlarView* view = ActiveView(documents);
    if (!doc || !view)
        return;
    const CSignal* target = SearchCommands::ValueTarget(*doc);
    if (!target) {
        Say(frame, QObject::tr("Select a signal to search its values."));
        return;
    }
    if (LastSearch().value.trimmed().isEmpty() && !AskValue(frame))
        return;
    // Read in the radix and width of the signal searched.
    uint32_t value = 0;
    uint32_t mask = 0xFFFFFFFFu;
    if (!SignalSearch::ParseFieldValue(LastSearch().value, target->m_radix, target->m_numBits, value)) {
        QMessageBox::warning(&frame, QStringLiteral("Vexlar"),
                             QObject::tr("\"%1\" is not a value of the %2-bit signal %3.")
                                 .arg(LastSearch().value)
                                 .arg(target->m_numBits)
                                 .arg(target->m_name));
        return;
    }
    if (!LastSearch().mask.trimmed().isEmpty() &&
        !SignalSearch::ParseFieldValue(LastSearch().mask, Hex, target->m_numBits, mask)) {
        QMessageBox::warning(&frame, QStringLiteral("Vexlar"),
                             QObject::tr("\"%1\" is not a mask of the %2-bit signal %3.")
                                 .arg(LastSearch().mask)
                                 .arg(target->m_numBits)
                                 .arg(target->m_name));
        return;
    }
    const int found = SearchCommands::FindValue(*doc, direction, view->CentreSample(), value, mask);
    if (found < 0) {
        Say(frame, QObject::tr("%1 holds %2 nowhere %3.")
                       .arg(target->m_name, LastSearch().value,
                            direction == Direction::Forward ? QObject::tr("further on") : QObject::tr("before")));
        return;
    }
    view->ShowSample(found);
}

void UpdateUndoCommands(CMainFrame& frame, const CVexlarDoc* doc)
{
    QAction* undo = frame.Action(ID_EDIT_UNDO);
    QAction* redo = frame.Action(ID_EDIT_REDO);
    const QString undoText = doc ? doc->m_undo.UndoText() : QString();
    const QString redoText = doc ? doc->m_undo.RedoText() : QString();
    undo->setEnabled(doc && doc->m_undo.CanUndo());
    redo->setEnabled(doc && doc->m_undo.CanRedo());
    undo->setText(undoText.isEmpty() ? QObject::tr("&Undo") : QObject::tr("&Undo %1").arg(undoText));
    redo->setText(redoText.isEmpty() ? QObject::tr("&Redo") : QObject::tr("&Redo %1").arg(redoText));
}

// Undo and Redo name the edit they take back, whoever made it (a menu
// command, a drag in a window, a dialog): they follow every change of each
// document and update when the active one changed. QAction ignores a text or
// state equal to the one it has, so a capture costs two string compares.
void FollowUndoOfEveryDocument(CMainFrame* frame, CDocumentManager* documents)
{
    auto subscriptions = std::make_shared<std::vector<CChangeNotifier::Subscription>>();
    auto resubscribe = [frame, documents, subscriptions] {
        // Rebuilt whole: a closed document's address may be reused by a new one.
        subscriptions->clear();
        for (CVexlarDoc* doc : documents->Documents()) {
            subscriptions->push_back(doc->OnChanged([frame, documents, doc] {
                if (documents->ActiveDocument() == doc)
                    UpdateUndoCommands(*frame, doc);
            }));
        }
    };
    QObject::connect(documents, &CDocumentManager::DocumentsChanged, frame, resubscribe);
    resubscribe();
}

}   // namespace

void ConnectWorkbenchCommands(CMainFrame& frame, CDocumentManager& documents)
{
    CMainFrame* f = &frame;
    CDocumentManager* docs = &documents;
    auto on = [f, docs](int id, auto handler) {
        QObject::connect(f->Action(id), &QAction::triggered, f, [f, docs, handler] {
            handler(*f, *docs);
            docs->UpdateTitles();
            UpdateWorkbenchCommands(*f, *docs);
        });
    };
    on(ID_EDIT_UNDO, [](CMainFrame&, CDocumentManager& d) {
        if (CVexlarDoc* doc = d.ActiveDocument())
            doc->Undo();
    });
    on(ID_EDIT_REDO, [](CMainFrame&, CDocumentManager& d) {
        if (CVexlarDoc* doc = d.ActiveDocument())
            doc->Redo();
    });
    on(ID_EDIT_NEXT_EDGE, [](CMainFrame& fr, CDocumentManager& d) { FindEdge(fr, d, Direction::Forward); });
    on(ID_EDIT_PREV_EDGE, [](CMainFrame& fr, CDocumentManager& d) { FindEdge(fr, d, Direction::Backward); });
    on(ID_EDIT_FIND_VALUE, [](CMainFrame& fr, CDocumentManager& d) {
        if (d.ActiveDocument() && AskValue(fr))
            FindValue(fr, d, Direction::Forward);
    });
    on(ID_EDIT_NEXT_VALUE, [](CMainFrame& fr, CDocumentManager& d) { FindValue(fr, d, Direction::Forward); });
    on(ID_EDIT_PREV_VALUE, [](CMainFrame& fr, CDocumentManager& d) { FindValue(fr, d, Direction::Backward); });
    on(ID_FILE_DOCUMENT_PROPERTIES, [](CMainFrame& fr, CDocumentManager& d) {
        if (CVexlarDoc* doc = d.ActiveDocument())
            EditDocumentProperties(*doc, &fr);
    });
    QObject::connect(frame.Action(ID_VIEW_VALUE_CURSOR), &QAction::toggled, f,
                     [f, docs] { ApplyValueCursor(*f, *docs); });
    // New windows show the value cursor as the others do.
    QObject::connect(docs, &CDocumentManager::DocumentsChanged, f, [f, docs] { ApplyValueCursor(*f, *docs); });
    FollowUndoOfEveryDocument(f, docs);
}

void UpdateWorkbenchCommands(CMainFrame& frame, CDocumentManager& documents)
{
    CVexlarDoc* doc = documents.ActiveDocument();
    UpdateUndoCommands(frame, doc);
    for (int id : {ID_EDIT_NEXT_EDGE, ID_EDIT_PREV_EDGE, ID_EDIT_FIND_VALUE, ID_EDIT_NEXT_VALUE, ID_EDIT_PREV_VALUE,
                   ID_FILE_DOCUMENT_PROPERTIES, ID_VIEW_VALUE_CURSOR}) {
        frame.Action(id)->setEnabled(doc != nullptr);
    }
}
