// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QStringList>

class QCommandLinkButton;
class QVBoxLayout;

// The "Select FPGA" dialog: one command link per logic-analyzer core
// ("address:port", ids 10, 11, ... in the order the cores first answered),
// the simulated demo core, and Cancel. exec() returns the id of the chosen
// link, or IDCANCEL (2) for Cancel, Escape and closing the window.
class CSelectFpgaDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSelectFpgaDialog(QWidget* parent = nullptr);

    void AddCoreLink(int id, const QString& text);
    void AddDemoLink();
    QCommandLinkButton* Link(int id) const;
    QList<QCommandLinkButton*> Links() const;   // in the order shown
    void Choose(int id);                        // as a click on that link

    static int IdOf(const QCommandLinkButton* link);

private:
    QVBoxLayout* m_links;
};
