// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/child_frame.h"

#include "app/app_icons.h"

#include <QCloseEvent>

CChildFrame::CChildFrame(CVexlarDoc* doc, QWidget* view, QWidget* parent) : QMdiSubWindow(parent), m_doc(doc)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(view);
    setWindowIcon(QIcon());
}

void CChildFrame::SetLiveMark(bool live)
{
    if (m_liveMark == int(live)) {
        return;
    }
    m_liveMark = int(live);
    setWindowIcon(live ? AppIcons::Live() : AppIcons::Held());
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    if (m_queryClose && !m_queryClose(this)) {
        event->ignore();
        return;
    }
    m_closed = true;
    QMdiSubWindow::closeEvent(event);
    if (event->isAccepted()) {
        emit FrameClosed(this);
    } else {
        m_closed = false;
    }
}
