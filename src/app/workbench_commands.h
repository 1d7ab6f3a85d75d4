// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The commands of the engineer's workbench on the active document: Undo and
// Redo, the searches of the Edit menu (edges and values, from marker M1), the
// value cursor of the View menu and the document's properties (its sample
// rate).

class CDocumentManager;
class CMainFrame;

void ConnectWorkbenchCommands(CMainFrame& frame, CDocumentManager& documents);

// Enabled states and texts of those commands for the active document
// ("Undo Delete Selected"), and the value cursor on every window.
void UpdateWorkbenchCommands(CMainFrame& frame, CDocumentManager& documents);
