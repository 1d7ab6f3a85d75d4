// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CVexlarDoc;
class QWidget;

// The view of a document window: the waveform view, which repaints when its
// document changes (captures reach the document through the application's
// capture distributor), and opens a signal's properties dialog from its menus
// and double clicks.
QWidget* CreateDocumentView(CVexlarDoc* doc);
// The document a view created above shows (null for another widget).
CVexlarDoc* DocumentOfView(QWidget* view);
