// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/capture_distributor.h"

#include <QSocketNotifier>
#include <QTimer>

#include "acquisition/capture_link.h"
#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"

CCaptureDistributor::CCaptureDistributor(CCaptureLink& link, DocumentList documents)
    : m_link(link), m_documents(std::move(documents))
{
    const int fd = m_link.CaptureEventFd();
    if (fd >= 0) {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, &m_context);
        QObject::connect(m_notifier, &QSocketNotifier::activated, &m_context, [this] { OnCaptureEvent(); });
    } else {
        m_pollTimer = new QTimer(&m_context);
        m_pollTimer->setInterval(10);
        QObject::connect(m_pollTimer, &QTimer::timeout, &m_context, [this] { OnCaptureEvent(); });
        m_pollTimer->start();
    }
}

CCaptureDistributor::~CCaptureDistributor() = default;

void CCaptureDistributor::OnCaptureEvent()
{
    ++m_wakeups;
    // Drained before the capture is read: a hand-over after this point makes
    // the descriptor readable again, so no capture is left unannounced.
    m_link.ConsumeCaptureEvents();
    Distribute();
}

int CCaptureDistributor::Distribute()
{
    if (!m_documents)
        return 0;
    int taken = 0;
    for (CVexlarDoc* doc : m_documents()) {
        if (doc == nullptr)
            continue;
        if (!HandOffCapture(m_link, *doc, doc->m_captureId))
            continue;
        // The link's lock is released: the spectra of the new samples are
        // computed without holding up the capture thread.
        for (CSignal* signal : doc->m_signals) {
            if (!signal->m_freeze)
                signal->RefreshSpectrum();
        }
        ++taken;
    }
    return taken;
}
