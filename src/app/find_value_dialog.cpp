// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/find_value_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CFindValueDialog::CFindValueDialog(const QString& value, const QString& mask, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Find Value"));
    setObjectName(QStringLiteral("FindValueDialog"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_value = new QLineEdit(value, this);
    m_value->setObjectName(QStringLiteral("Value"));
    m_mask = new QLineEdit(mask, this);
    m_mask->setObjectName(QStringLiteral("Mask"));
    m_mask->setPlaceholderText(tr("all bits"));
    form->addRow(tr("&Value:"), m_value);
    form->addRow(tr("&Mask:"), m_mask);
    layout->addLayout(form);
    auto* hint =
        new QLabel(tr("Hexadecimal 0x1F or x1F, binary 0b101, decimal -3, or digits in the signal's radix."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Find &Next"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_value->setFocus();
    m_value->selectAll();
}

QString CFindValueDialog::Value() const
{
    return m_value->text();
}

QString CFindValueDialog::Mask() const
{
    return m_mask->text();
}
