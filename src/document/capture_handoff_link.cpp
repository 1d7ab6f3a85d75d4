#include <mutex>

#include "acquisition/capture_link.h"
#include "document/capture_handoff.h"

bool HandOffCapture(CCaptureLink& link, CVexlarDoc& doc, int32_t& lastCaptureId)
{
    // The unlocked read is only a change detector; the capture itself is read
    // under the lock, so a capture handed over in between is simply copied.
    const int32_t id = link.FrontCaptureId();
    if (id == lastCaptureId)
        return false;
    lastCaptureId = id;
    std::lock_guard<std::mutex> lock(link.m_lock);
    CopyCaptureIntoDocument(link.m_front, doc);
    return true;
}
