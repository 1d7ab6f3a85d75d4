// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One complete capture as handed from the capture thread to the views.

#include <atomic>
#include <cstdint>

struct CaptureFrame {
    std::atomic<int32_t> captureId{0};   // read by views without the lock, as a change detector
    int32_t triggerPos = 0;
    uint8_t* words = nullptr;   // owned by the link; word i = bytes 4i..4i+3, little-endian
    int32_t capacityBytes = 0;
    int32_t depth = 0;
    int32_t bitsPerSample = 0;
};

// Sample word i of a capture: bytes 4i..4i+3, least significant byte first.
inline uint32_t CaptureWord(const uint8_t* words, int32_t i)
{
    const uint8_t* p = words + static_cast<size_t>(i) * 4;
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
