// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture_link.h"
#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"

namespace {

// Takes the link's front buffer for the length of the copy and gives it back
// on every way out, so that the capture thread never waits for a copy.
class TakenFront {
public:
    explicit TakenFront(CCaptureLink& link) : m_link(link) { m_link.TakeFront(m_frame); }
    ~TakenFront() { m_link.ReturnFront(m_frame); }
    TakenFront(const TakenFront&) = delete;
    TakenFront& operator=(const TakenFront&) = delete;
    const CaptureFrame& Frame() const { return m_frame; }

private:
    CCaptureLink& m_link;
    CaptureFrame m_frame;
};

}   // namespace

bool HandOffCapture(CCaptureLink& link, CVexlarDoc& doc, int32_t& lastCaptureId)
{
    // The unlocked read is only a change detector; the capture itself is
    // taken under the lock, so a capture handed over in between is simply
    // copied.
    if (!doc.IsLive())
        return false;   // a held document lets the capture pass
    const int32_t id = link.FrontCaptureId();
    if (id == lastCaptureId)
        return false;
    lastCaptureId = id;
    const TakenFront front(link);
    return CopyCaptureIntoDocument(front.Frame(), doc);
}
