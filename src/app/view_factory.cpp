#include "app/view_factory.h"

#include "app/signal_list_view.h"

#ifdef VEXLAR_HAVE_WAVEFORM_VIEW
#include "view/vexlar_view.h"
#endif

QWidget* CreateDocumentView(CVexlarDoc* doc, CCaptureLink* link) {
#ifdef VEXLAR_HAVE_WAVEFORM_VIEW
    return new CVexlarView(doc, link);
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
