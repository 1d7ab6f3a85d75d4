// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the capture link is doing, as one snapshot of plain values: the core
// in use, how captures fare and why datagrams were turned away. Taken with
// CCaptureLink::Status() from any thread; a status display polls it a few
// times a second, tests and the console client read the same numbers.

#include <array>
#include <cstdint>
#include <string>
#include <utility>

struct CaptureLinkStatus {
    // The core in use (the request destination's address and port), once the
    // thread has one. While it searches, `searching` is set and
    // `searchAdapters` tells how many adapters the current pass covers.
    std::string coreAddress;
    int corePort = 0;
    bool searching = false;
    int searchAdapters = 0;

    uint64_t capturesCompleted = 0;   // handed over to the front frame
    double capturesPerSecond = 0;     // completions over the last two seconds
    // Captures that had begun to arrive but were incomplete when the next
    // request went out (a datagram lost on the way, or a time-out).
    uint64_t capturesLost = 0;
    // Captures dropped because no memory could be had for their buffer.
    uint64_t capturesDropped = 0;
    uint64_t requestsSent = 0;   // requests (a run request's three datagrams count once)

    uint64_t receiveTimeouts = 0;     // a second passed without progress on a requested capture
    uint32_t timeoutsInARow = 0;      // since the last completed capture
    double secondsSinceAnswer = -1;   // since the last datagram the core's capture gained from; -1: none yet

    // Datagrams that did not count toward any capture, by reason.
    struct Ignored {
        uint64_t tooShort = 0;           // fewer than 1032 bytes
        uint64_t tooLong = 0;            // more than 2048 bytes
        uint64_t unsupportedWidth = 0;   // samples wider than 32 bits
        uint64_t depthAboveLimit = 0;    // more samples than the link accepts
        uint64_t foreignSender = 0;      // from another address than the core's
        uint64_t notInCapture = 0;       // another capture's id, width or depth, or an unknown packet type
        uint64_t duplicate = 0;          // a packet that had already arrived
        // Every reason with its name, in the order every display lists them.
        std::array<std::pair<const char*, uint64_t>, 7> ByReason() const
        {
            return {{{"too short", tooShort},
                     {"too long", tooLong},
                     {"unsupported sample width", unsupportedWidth},
                     {"depth above the limit", depthAboveLimit},
                     {"foreign sender", foreignSender},
                     {"not part of the capture", notInCapture},
                     {"duplicate", duplicate}}};
        }
        uint64_t Total() const
        {
            return tooShort + tooLong + unsupportedWidth + depthAboveLimit + foreignSender + notInCapture + duplicate;
        }
    } ignored;

    // Width and depth of the last capture that began to arrive (0 before one).
    int32_t lastBitsPerSample = 0;
    int32_t lastDepth = 0;

    // The socket's receive buffer as asked for and as the kernel granted it
    // (the kernel's own accounting, which includes its overhead per datagram);
    // 0 before the socket exists.
    int64_t receiveBufferRequested = 0;
    int64_t receiveBufferGranted = 0;
    // Set once a capture larger than the granted buffer began to arrive.
    bool receiveBufferTooSmall = false;

    // The latest message for the user (a receive buffer below the capture's
    // size, a capture dropped for lack of memory); `noticeCount` grows with
    // every new message so that a display shows each once.
    std::string notice;
    uint64_t noticeCount = 0;
};

// The snapshot as lines of text for a console ("core ...", "captures ...",
// "ignored datagrams ...", "socket receive buffer ..."), each ending in '\n'.
std::string FormatLinkStatus(const CaptureLinkStatus& status);
