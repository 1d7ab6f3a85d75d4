// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>

class QLineEdit;

// "Find Value": the value to look for in the selected signal and an optional
// mask of the bits that count, typed as the search reads them (0x1F, x1F,
// 0b101, -3, or digits in the signal's radix). Accepting finds the next place.
class CFindValueDialog : public QDialog {
    Q_OBJECT
public:
    CFindValueDialog(const QString& value, const QString& mask, QWidget* parent = nullptr);
    QString Value() const;
    QString Mask() const;

private:
    QLineEdit* m_value;
    QLineEdit* m_mask;
};
