// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one place where captures enter documents. The capture thread hands a
// complete capture over to the link, which makes its event descriptor
// readable; a socket notifier on the user-interface thread wakes the
// distributor at once, and it hands the capture to every document that
// takes captures: once per document, whatever the number of its windows,
// also for documents whose windows are hidden. The signals that received
// samples get their spectrum and peak hold at the same time. Each document
// then tells its windows, which repaint at the next screen update (several
// captures before that paint show as the newest one).
//
// Nothing polls: with no capture arriving no timer runs. Only a link that
// could not make its event descriptor is watched by a 10 ms timer instead.

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class CCaptureLink;
class CVexlarDoc;
class QSocketNotifier;
class QTimer;

class CCaptureDistributor {
public:
    // The open documents, asked at every capture.
    using DocumentList = std::function<std::vector<CVexlarDoc*>()>;

    // Starts listening to the link (on the calling thread, which must run an
    // event loop: the user-interface thread).
    CCaptureDistributor(CCaptureLink& link, DocumentList documents);
    ~CCaptureDistributor();
    CCaptureDistributor(const CCaptureDistributor&) = delete;
    CCaptureDistributor& operator=(const CCaptureDistributor&) = delete;

    // Hands the link's newest capture to every live document that does not
    // hold it yet (a held document keeps its samples: the hand-off passes it
    // by); returns how many took it. Runs by itself at
    // every hand-over; call it when a document starts taking captures (a new
    // document, one made live) to give it the newest capture at once.
    int Distribute();

    // True when the link is watched by a timer, not by its event descriptor.
    bool Polling() const { return m_pollTimer != nullptr; }
    // Times the link woke the distributor.
    uint64_t Wakeups() const { return m_wakeups; }

private:
    void OnCaptureEvent();

    CCaptureLink& m_link;
    DocumentList m_documents;
    QObject m_context;   // owns the notifier or the timer
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_pollTimer = nullptr;
    uint64_t m_wakeups = 0;
};
