// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>

// Follows the Caps Lock, Num Lock and Scroll Lock states for the status-bar
// indicators. On X11 the states are read from the keyboard's indicator LEDs;
// elsewhere they are followed from the lock keys pressed while Vexlar has
// the focus (the best a platform without such a query allows).
class CKeyStateTracker : public QObject {
    Q_OBJECT
public:
    explicit CKeyStateTracker(QObject* parent = nullptr);
    bool CapsLock() const { return m_caps; }
    bool NumLock() const { return m_num; }
    bool ScrollLock() const { return m_scroll; }
    void Refresh();   // re-reads the states where the platform can tell them

signals:
    void Changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Set(bool caps, bool num, bool scroll);
    bool m_caps = false;
    bool m_num = false;
    bool m_scroll = false;
};
