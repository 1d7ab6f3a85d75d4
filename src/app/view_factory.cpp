#include "app/view_factory.h"

#include "properties/signal_properties.h"
#include "view/vexlar_view.h"

QWidget* CreateDocumentView(CVexlarDoc* doc)
{
    auto* view = new CVexlarView(doc);
    view->SetScrollBarsShown(true);
    view->onEditSignal = [view](CSignal& signal) { return EditSignalProperties(signal, view); };
    return view;
}

CVexlarDoc* DocumentOfView(QWidget* view)
{
    auto* waveform = qobject_cast<CVexlarView*>(view);
    return waveform ? waveform->GetDocument() : nullptr;
}
