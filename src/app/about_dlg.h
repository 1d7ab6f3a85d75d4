// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

// The About box (dialog 100): the application icon, the version line and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};
