// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command ids of the menus, accelerators and tool bar. Every QAction carries
// its id in QAction::data(), so menus, tool bar, handlers and tests name a
// command by one number. The numbers are fixed: settings and scripts that
// name commands by id keep working from one version to the next.

namespace VexlarCmd {

// Ids of the two menu bars.
constexpr int IDR_MAINFRAME = 128;    // no document open
constexpr int IDR_VexlarTYPE = 130;   // a document open

// File
constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_SAVE = 57603;
constexpr int ID_FILE_SAVE_AS = 57604;
constexpr int ID_FILE_PRINT_SETUP = 57606;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_DIRECT = 57608;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_MRU_FILE1 = 57616;   // File2..File4 follow
constexpr int ID_FILE_MRU_COUNT = 4;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_FILE_EXPORT = 32783;
constexpr int ID_FILE_EXPORT_VCD = 32800;   // our addition to the File menu
constexpr int ID_FILE_DOCUMENT_PROPERTIES = 32850;   // "Document Properties...": the sample rate

// Edit: Undo and Redo of the active document's edits; Cut, Copy and Paste
// have no handler and stay disabled.
constexpr int ID_EDIT_UNDO = 57643;
constexpr int ID_EDIT_REDO = 57644;
// Search of the active document, from marker M1 (which moves to what is found)
constexpr int ID_EDIT_NEXT_EDGE = 32851;
constexpr int ID_EDIT_PREV_EDGE = 32852;
constexpr int ID_EDIT_FIND_VALUE = 32853;   // "Find Value...": asks for a value and a mask
constexpr int ID_EDIT_NEXT_VALUE = 32854;
constexpr int ID_EDIT_PREV_VALUE = 32855;
constexpr int ID_EDIT_CUT = 57635;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_PASTE = 57637;

// View
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
constexpr int ID_VIEW_VALUE_CURSOR = 32856;   // the value cursor of every waveform window

// Trig
constexpr int ID_TRIG_RUN = 32771;
constexpr int ID_TRIG_NOW = 32772;
constexpr int ID_TRIG_LIVE = 32801;   // the active document takes captures (checked) or holds its samples

// Signals
constexpr int ID_SIGNALS_ADD = 32774;
constexpr int ID_SIGNALS_DELETE = 32775;
constexpr int ID_SIGNALS_EXPORT_TESTBENCH = 32776;
constexpr int ID_SIGNALS_FREEZE = 32777;
constexpr int ID_SIGNALS_DUPLICATE = 32778;
constexpr int ID_SIGNALS_ADD_DECODER = 33110;   // "Add Decoder...": a protocol decoder row
constexpr int ID_SIGNALS_EXPORT_SELECTED = 32788;

// Window
constexpr int ID_WINDOW_NEW = 57648;
constexpr int ID_WINDOW_MANAGER = 131;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;

// Status bar indicators
constexpr int ID_INDICATOR_CAPS = 59137;
constexpr int ID_INDICATOR_NUM = 59138;
constexpr int ID_INDICATOR_SCRL = 59139;

// Bars: the tool bar and the status bar share their ids with the View menu
// items that show and hide them.
constexpr int ID_BAR_MENU = 59398;
constexpr int ID_BAR_TOOL = 59392;
constexpr int ID_BAR_STATUS = 59393;

// "Select FPGA" dialog: command links of the logic-analyzer cores start at
// this id, one per core in the order in which the cores first answered.
constexpr int IDC_FIRST_CORE_LINK = 10;
constexpr int IDC_DEMO_CORE_LINK = 1001;   // beyond the range of core links
constexpr int IDCANCEL = 2;

}   // namespace VexlarCmd
