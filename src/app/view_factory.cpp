#include "app/view_factory.h"

#include "app/signal_list_view.h"

#ifdef VEXLAR_HAVE_WAVEFORM_VIEW
#include "properties/signal_properties.h"
#include "view/vexlar_view.h"
#endif

QWidget* CreateDocumentView(CVexlarDoc* doc, CCaptureLink* link) {
#ifdef VEXLAR_HAVE_WAVEFORM_VIEW
    auto* view = new CVexlarView(doc, link);
    // "Edit..." and double clicks on a name open the signal's properties
    view->onEditSignal = [view](CSignal& signal) { return EditSignalProperties(signal, view); };
    return view;
#else
    return new CSignalListView(doc, link);
#endif
}

CVexlarDoc* DocumentOfView(QWidget* view) {
#ifdef VEXLAR_HAVE_WAVEFORM_VIEW
    if (auto* waveform = qobject_cast<CVexlarView*>(view)) {
        return waveform->GetDocument();
    }
#endif
    if (auto* list = qobject_cast<CSignalListView*>(view)) {
        return list->GetDocument();
    }
    return nullptr;
}
