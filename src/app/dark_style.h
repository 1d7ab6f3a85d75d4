// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QApplication;

// The shell's look: Qt's Fusion style with a dark palette, so that menus,
// bars and dialogs sit quietly around the bright traces of the waveform
// view and look the same on every desktop.
void ApplyDarkStyle(QApplication& app);
