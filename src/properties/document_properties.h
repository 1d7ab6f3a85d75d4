// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Document Properties" dialog: what belongs to a document as a whole,
// today its sample rate. The rate is typed as the command line takes it
// ("100 MHz", "48k", "100e6"; empty for none); a text that is no valid rate
// is refused with a message and the dialog offered again.

class CVexlarDoc;
class QWidget;

// Opens the dialog for `doc` (modal, over `parent`). On OK a changed rate is
// set as an edit that Undo takes back. Returns true when the rate changed.
bool EditDocumentProperties(CVexlarDoc& doc, QWidget* parent);
