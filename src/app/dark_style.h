#pragma once

class QApplication;

// The shell's look: Qt's Fusion style with a dark palette, standing in for
// the black Office visual manager of the original program.
void ApplyDarkStyle(QApplication& app);
