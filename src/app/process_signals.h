// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGTERM, SIGINT and SIGHUP as events of the event loop: the handler only
// writes the signal number to a pipe, and a socket notifier on the other end
// emits Received() on the user-interface thread, where the application can
// end in order (keep modified documents, stop the capture thread). Also
// ignores SIGXFSZ, so that a file size limit makes a write fail (and the old
// file stay) instead of killing the process.

#include <QObject>

class QSocketNotifier;

class CProcessSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one object at a time per process. The old
    // dispositions come back when it is destroyed.
    explicit CProcessSignals(QObject* parent = nullptr);
    ~CProcessSignals() override;
    CProcessSignals(const CProcessSignals&) = delete;
    CProcessSignals& operator=(const CProcessSignals&) = delete;

    // The signals handled here.
    static const int kHandled[3];

signals:
    void Received(int signalNumber);

private:
    void Drain();

    int m_readFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
