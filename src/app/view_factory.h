#pragma once

class CCaptureLink;
class CVexlarDoc;
class QWidget;

// The view of a document window: the waveform view where it is built in,
// else the plain signal list. Either takes every capture of the link into the
// document from its 10 ms timer.
QWidget* CreateDocumentView(CVexlarDoc* doc, CCaptureLink* link);
// The document a view created above shows (null for another widget).
CVexlarDoc* DocumentOfView(QWidget* view);
