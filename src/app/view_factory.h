#pragma once

class CCaptureLink;
class CVexlarDoc;
class QWidget;

// The view of a document window: the waveform view, which takes every
// capture of the link into the document from its 10 ms timer, and opens a
// signal's properties dialog from its menus and double clicks.
QWidget* CreateDocumentView(CVexlarDoc* doc, CCaptureLink* link);
// The document a view created above shows (null for another widget).
CVexlarDoc* DocumentOfView(QWidget* view);
