// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/key_state.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

// Reads the lock-key LEDs where the platform can tell them (x11_key_state.cpp).
bool QueryPlatform(bool& caps, bool& num, bool& scroll);

CKeyStateTracker::CKeyStateTracker(QObject* parent) : QObject(parent)
{
    if (qApp) {
        qApp->installEventFilter(this);
    }
    Refresh();
}

void CKeyStateTracker::Refresh()
{
    bool caps = m_caps, num = m_num, scroll = m_scroll;
    if (QueryPlatform(caps, num, scroll)) {
        Set(caps, num, scroll);
    }
}

void CKeyStateTracker::Set(bool caps, bool num, bool scroll)
{
    if (caps == m_caps && num == m_num && scroll == m_scroll) {
        return;
    }
    m_caps = caps;
    m_num = num;
    m_scroll = scroll;
    emit Changed();
}

bool CKeyStateTracker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease ||
        event->type() == QEvent::ApplicationActivate) {
        bool caps = m_caps, num = m_num, scroll = m_scroll;
        if (QueryPlatform(caps, num, scroll)) {
            // the LEDs change after the key event is delivered: look again
            // once the event loop is idle
            QTimer::singleShot(0, this, &CKeyStateTracker::Refresh);
        } else if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (!key->isAutoRepeat() && watched == static_cast<QObject*>(QGuiApplication::focusWindow())) {
                switch (key->key()) {
                case Qt::Key_CapsLock:
                    caps = !caps;
                    break;
                case Qt::Key_NumLock:
                    num = !num;
                    break;
                case Qt::Key_ScrollLock:
                    scroll = !scroll;
                    break;
                default:
                    break;
                }
            }
        }
        Set(caps, num, scroll);
    }
    return QObject::eventFilter(watched, event);
}
