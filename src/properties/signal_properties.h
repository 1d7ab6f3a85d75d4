// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Signal Properties" dialog: every user-visible setting of one signal in
// a property grid. The signal changes only when the dialog is closed with OK.

class CSignal;
class QWidget;

// Opens the dialog for `signal` (modal, over `parent`). On OK the edited
// values are applied, the mask is recomputed from the new width and the
// samples are extracted again from the first signal of the signal's document
// (a signal whose document has no signals keeps its samples until the next
// capture), and a spectrum signal's spectrum is computed anew. Returns true on OK, false when the dialog was cancelled, in which
// case the signal is unchanged.
bool EditSignalProperties(CSignal& signal, QWidget* parent);
