// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMdiSubWindow>
#include <functional>

class CVexlarDoc;

// One document window: a tab of the main frame's document area that holds a
// view of one document. Several frames may show the same document (New
// Window); the document manager decides what closing one of them means.
class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CVexlarDoc* doc, QWidget* view, QWidget* parent = nullptr);
    CVexlarDoc* Document() const { return m_doc; }
    QWidget* View() const { return widget(); }

    // The mark on the frame's tab: a dot while its document is live, a ring
    // while it is held.
    void SetLiveMark(bool live);
    bool LiveMark() const { return m_liveMark == 1; }

    // Asked before the frame closes; returning false keeps it open.
    std::function<bool(CChildFrame*)> m_queryClose;

signals:
    void FrameClosed(CChildFrame* frame);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    CVexlarDoc* m_doc;
    bool m_closed = false;
    int m_liveMark = -1;   // -1: not set yet
};
