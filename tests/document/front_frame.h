// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plays the capture thread's part in tests that never start it: puts a
// capture into the link's front frame as a hand-over does.

#include <cstdint>
#include <cstring>
#include <mutex>

#include "acquisition/capture_link.h"

// A capture of `depth` 32-bit words (word i = i * 3 + id) in the front frame.
inline void SetFront(CCaptureLink& link, int32_t id, int32_t depth)
{
    std::lock_guard<std::mutex> lock(link.m_lock);
    delete[] link.m_front.words;
    link.m_front.words = new uint8_t[static_cast<size_t>(depth) * 4];
    for (int32_t i = 0; i < depth; ++i) {
        const uint32_t w = static_cast<uint32_t>(i * 3 + id);
        std::memcpy(link.m_front.words + 4 * i, &w, 4);
    }
    link.m_front.capacityBytes = depth * 4;
    link.m_front.depth = depth;
    link.m_front.bitsPerSample = 32;
    link.m_front.triggerPos = depth / 2;
    link.m_front.captureId = id;
}
