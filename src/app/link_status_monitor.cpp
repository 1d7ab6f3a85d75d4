// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/link_status_monitor.h"

#include <QStatusBar>
#include <QTimer>

#include "acquisition/capture_link.h"
#include "app/main_frame.h"

namespace {
// How long a one-time message of the link stays in the status bar.
constexpr int kNoticeMs = 15000;
}   // namespace

CLinkStatusMonitor::CLinkStatusMonitor(CCaptureLink& link, CMainFrame& frame)
    : QObject(&frame), m_link(link), m_frame(frame), m_timer(new QTimer(this))
{
    m_timer->setInterval(kIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &CLinkStatusMonitor::Follow);
}

void CLinkStatusMonitor::Follow()
{
    Refresh();
    // With Run off the counters stand still: no timer, except for the few
    // seconds that a capture asked for by Trig Now may take.
    const bool follow = m_link.IsRunning() && (m_link.IsRunEnabled() || m_ticksLeft > 0);
    if (m_ticksLeft > 0)
        --m_ticksLeft;
    if (follow) {
        if (!m_timer->isActive())
            m_timer->start();
    } else {
        m_timer->stop();
    }
}

void CLinkStatusMonitor::FollowFor(int ticks)
{
    m_ticksLeft = ticks;
    Follow();
}

void CLinkStatusMonitor::Refresh()
{
    const CaptureLinkStatus status = m_link.Status();
    // A link that never ran has nothing to say: no panes rather than
    // "0.0 captures/s". Once it ran, its last counters stay in view.
    const bool hasRun = m_link.IsRunning() || status.requestsSent > 0 || status.capturesCompleted > 0;
    const LinkStatusTexts texts = hasRun ? LinkStatusTextsOf(status) : LinkStatusTexts{};
    if (!m_shownOnce || texts != m_shown) {
        m_frame.ShowLinkStatus(texts);
        m_shown = texts;
        m_shownOnce = true;
        ++m_updates;
    }
    if (status.noticeCount != m_noticeCount) {
        m_noticeCount = status.noticeCount;
        if (!status.notice.empty())
            m_frame.statusBar()->showMessage(QString::fromStdString(status.notice), kNoticeMs);
    }
}

bool CLinkStatusMonitor::TimerRunning() const
{
    return m_timer->isActive();
}
