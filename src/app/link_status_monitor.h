// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the status bar's link panes up to date. While the capture link's
// thread runs with Run on, a one-second timer reads the link's counters and the panes
// change only when a text changed; with no link running no timer runs. A
// new one-time message of the link (a receive buffer too small, a capture
// dropped for lack of memory) is shown once in the status bar.

#include <QObject>

#include <cstdint>

#include "app/link_status_texts.h"

class CCaptureLink;
class CMainFrame;
class QTimer;

class CLinkStatusMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 1000;

    CLinkStatusMonitor(CCaptureLink& link, CMainFrame& frame);

    // Call after the link started or stopped, or Run changed: shows the
    // counters now and runs the timer exactly while the link runs with Run
    // on.
    void Follow();
    // Follow(), and keep the timer for `ticks` more seconds even with Run
    // off (Trig Now asked for one capture).
    void FollowFor(int ticks);
    // Reads the counters and updates what changed.
    void Refresh();

    bool TimerRunning() const;
    // Times the panes' texts were changed (for tests: nothing is redrawn
    // while nothing changes).
    uint64_t Updates() const { return m_updates; }

private:
    CCaptureLink& m_link;
    CMainFrame& m_frame;
    QTimer* m_timer = nullptr;
    LinkStatusTexts m_shown;
    bool m_shownOnce = false;
    uint64_t m_noticeCount = 0;
    int m_ticksLeft = 0;
    uint64_t m_updates = 0;
};
