// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/process_signals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

const int CProcessSignals::kHandled[3] = {SIGTERM, SIGINT, SIGHUP};

namespace {
// The pipe's write end for the handler (-1 while no object exists).
std::atomic<int> g_writeFd{-1};
struct sigaction g_old[3];
struct sigaction g_oldFileSize;

// Async-signal-safe: one write() of one byte, errno kept for the code it
// interrupted. A full pipe drops the byte; the ones before it are enough.
void OnSignal(int signalNumber)
{
    const int saved = errno;
    const int fd = g_writeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        (void)!::write(fd, &byte, 1);
    }
    errno = saved;
}
}   // namespace

CProcessSignals::CProcessSignals(QObject* parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;   // without the pipe the default dispositions stay
    }
    m_readFd = fds[0];
    g_writeFd.store(fds[1]);
    m_notifier = new QSocketNotifier(m_readFd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CProcessSignals::Drain);

    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;   // system calls of other code go on
    for (int i = 0; i < 3; ++i) {
        sigaction(kHandled[i], &action, &g_old[i]);
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &g_oldFileSize);
}

CProcessSignals::~CProcessSignals()
{
    if (m_readFd < 0) {
        return;
    }
    for (int i = 0; i < 3; ++i) {
        sigaction(kHandled[i], &g_old[i], nullptr);
    }
    sigaction(SIGXFSZ, &g_oldFileSize, nullptr);
    const int writeFd = g_writeFd.exchange(-1);
    ::close(writeFd);
    ::close(m_readFd);
}

void CProcessSignals::Drain()
{
    unsigned char bytes[64];
    for (;;) {
        const ssize_t n = ::read(m_readFd, bytes, sizeof bytes);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            emit Received(bytes[i]);
        }
    }
}
