// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/view_factory.h"

#include "document/vexlar_doc.h"
#include "properties/add_decoder_dialog.h"
#include "properties/signal_properties.h"
#include "view/vexlar_view.h"

#include <QMainWindow>
#include <QStatusBar>

QWidget* CreateDocumentView(CVexlarDoc* doc)
{
    auto* view = new CVexlarView(doc);
    view->SetScrollBarsShown(true);
    view->onEditSignal = [view](CSignal& signal) { return EditSignalProperties(signal, view); };
    view->onEditDecoderRow = [view](CDecoderRowConfig& row) {
        CVexlarDoc* d = view->GetDocument();
        return d != nullptr && EditDecoderRow(*d, row, false, view);
    };
    view->onStatusMessage = [view](const QString& message) {
        if (auto* main = qobject_cast<QMainWindow*>(view->window()))
            main->statusBar()->showMessage(message, 10000);
    };
    return view;
}

CVexlarDoc* DocumentOfView(QWidget* view)
{
    auto* waveform = qobject_cast<CVexlarView*>(view);
    return waveform ? waveform->GetDocument() : nullptr;
}
