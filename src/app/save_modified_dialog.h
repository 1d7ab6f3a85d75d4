// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QDialog>
#include <QStringList>
#include <vector>

class QListWidget;
class QPushButton;

// The one question at exit when several documents have unsaved changes: the
// documents are listed with a check box each (all checked), and the answer is
// to save the checked ones ("Save All" while every box is checked, "Save
// Checked" otherwise), to discard every change, or to cancel the exit.
class CSaveModifiedDialog : public QDialog {
    Q_OBJECT
public:
    enum class Answer { SaveChecked, DiscardAll, Cancel };

    CSaveModifiedDialog(const QStringList& titles, QWidget* parent = nullptr);

    Answer Result() const { return m_answer; }
    std::vector<bool> Checked() const;   // one entry per title, in order

    QListWidget* List() const { return m_list; }
    QPushButton* SaveButton() const { return m_save; }
    QPushButton* DiscardButton() const { return m_discard; }
    QPushButton* CancelButton() const { return m_cancel; }

private:
    void UpdateSaveText();

    QListWidget* m_list = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_discard = nullptr;
    QPushButton* m_cancel = nullptr;
    Answer m_answer = Answer::Cancel;
};
