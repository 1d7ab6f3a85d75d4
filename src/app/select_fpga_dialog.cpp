// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/select_fpga_dialog.h"

#include "app/command_ids.h"

#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char* const kIdProperty = "commandId";
}

CSelectFpgaDialog::CSelectFpgaDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SelectFpgaDialog"));
    setWindowTitle(QStringLiteral("Select FPGA"));
    setMinimumWidth(380);

    auto* layout = new QVBoxLayout(this);
    auto* instruction = new QLabel(QStringLiteral("Select wanted FPGA/Logic Analyzer"), this);
    instruction->setObjectName(QStringLiteral("MainInstruction"));
    QFont big = instruction->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    instruction->setFont(big);
    instruction->setStyleSheet(QStringLiteral("color: rgb(110, 170, 240);"));
    layout->addWidget(instruction);

    m_links = new QVBoxLayout;
    m_links->setSpacing(2);
    layout->addLayout(m_links);
    layout->addStretch(1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { done(VexlarCmd::IDCANCEL); });
    layout->addWidget(buttons);
}

void CSelectFpgaDialog::AddCoreLink(int id, const QString& text)
{
    auto* link = new QCommandLinkButton(text, this);
    link->setObjectName(QStringLiteral("CoreLink%1").arg(id));
    link->setProperty(kIdProperty, id);
    link->setEnabled(true);
    connect(link, &QCommandLinkButton::clicked, this, [this, id] { done(id); });
    m_links->addWidget(link);
}

void CSelectFpgaDialog::AddDemoLink()
{
    AddCoreLink(VexlarCmd::IDC_DEMO_CORE_LINK, QStringLiteral("Demo core (simulated)"));
    Link(VexlarCmd::IDC_DEMO_CORE_LINK)
        ->setDescription(QStringLiteral("A simulated logic-analyzer core on this computer"));
}

int CSelectFpgaDialog::IdOf(const QCommandLinkButton* link)
{
    return link ? link->property(kIdProperty).toInt() : 0;
}

QList<QCommandLinkButton*> CSelectFpgaDialog::Links() const
{
    QList<QCommandLinkButton*> links;
    for (int i = 0; i < m_links->count(); ++i) {
        if (auto* link = qobject_cast<QCommandLinkButton*>(m_links->itemAt(i)->widget())) {
            links << link;
        }
    }
    return links;
}

QCommandLinkButton* CSelectFpgaDialog::Link(int id) const
{
    for (QCommandLinkButton* link : Links()) {
        if (IdOf(link) == id) {
            return link;
        }
    }
    return nullptr;
}

void CSelectFpgaDialog::Choose(int id)
{
    if (QCommandLinkButton* link = Link(id)) {
        link->click();
    }
}
