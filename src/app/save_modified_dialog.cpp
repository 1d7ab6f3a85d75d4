// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/save_modified_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

CSaveModifiedDialog::CSaveModifiedDialog(const QStringList& titles, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SaveModifiedDialog"));
    setWindowTitle(QStringLiteral("Vexlar"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(tr("Save changes to these documents before closing?"), this);
    layout->addWidget(text);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("ModifiedDocuments"));
    for (const QString& title : titles) {
        auto* item = new QListWidgetItem(title, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    layout->addWidget(m_list);
    auto* hint = new QLabel(tr("Clear the box of a document to close it without saving."), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);

    auto* buttons = new QDialogButtonBox(this);
    m_save = buttons->addButton(tr("&Save All"), QDialogButtonBox::AcceptRole);
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_discard = buttons->addButton(tr("&Discard All"), QDialogButtonBox::DestructiveRole);
    m_discard->setObjectName(QStringLiteral("discardButton"));
    m_cancel = buttons->addButton(QDialogButtonBox::Cancel);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_save->setDefault(true);
    layout->addWidget(buttons);

    connect(m_save, &QPushButton::clicked, this, [this] {
        m_answer = Answer::SaveChecked;
        accept();
    });
    connect(m_discard, &QPushButton::clicked, this, [this] {
        m_answer = Answer::DiscardAll;
        accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_answer = Answer::Cancel;
        reject();
    });
    connect(m_list, &QListWidget::itemChanged, this, [this] { UpdateSaveText(); });
}

std::vector<bool> CSaveModifiedDialog::Checked() const
{
    std::vector<bool> checked;
    for (int i = 0; i < m_list->count(); ++i) {
        checked.push_back(m_list->item(i)->checkState() == Qt::Checked);
    }
    return checked;
}

void CSaveModifiedDialog::UpdateSaveText()
{
    const std::vector<bool> checked = Checked();
    const bool all = std::find(checked.begin(), checked.end(), false) == checked.end();
    m_save->setText(all ? tr("&Save All") : tr("&Save Checked"));
}
