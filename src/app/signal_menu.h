// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class CDocumentManager;
class CMainFrame;

// Add..., Delete Selected, Freeze Selected and Duplicate Selected of the
// Signals menu, and Print / Print Preview of the File menu, on the active
// document and view.
void ConnectSignalCommands(CMainFrame& frame, CDocumentManager& documents);
