// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture_link_status.h"

#include <cinttypes>
#include <cstdio>

std::string FormatLinkStatus(const CaptureLinkStatus& s)
{
    std::string text;
    char line[512];
    if (!s.coreAddress.empty())
        std::snprintf(line, sizeof line, "core %s:%d\n", s.coreAddress.c_str(), s.corePort);
    else if (s.searching)
        std::snprintf(line, sizeof line, "core: searching on %d adapters\n", s.searchAdapters);
    else
        std::snprintf(line, sizeof line, "core: none\n");
    text += line;
    std::snprintf(line, sizeof line,
                  "captures: %" PRIu64 " completed, %" PRIu64 " lost, %" PRIu64
                  " dropped (no memory), %.1f per second\n",
                  s.capturesCompleted, s.capturesLost, s.capturesDropped, s.capturesPerSecond);
    text += line;
    std::snprintf(line, sizeof line, "requests: %" PRIu64 ", receive time-outs: %" PRIu64 " (%u in a row)",
                  s.requestsSent, s.receiveTimeouts, s.timeoutsInARow);
    text += line;
    if (s.secondsSinceAnswer >= 0)
        std::snprintf(line, sizeof line, ", last answer %.1f s ago\n", s.secondsSinceAnswer);
    else
        std::snprintf(line, sizeof line, ", no answer yet\n");
    text += line;
    std::snprintf(line, sizeof line, "ignored datagrams: %" PRIu64 " (", s.ignored.Total());
    text += line;
    const char* separator = "";
    for (const auto& [reason, count] : s.ignored.ByReason()) {
        std::snprintf(line, sizeof line, "%s%s %" PRIu64, separator, reason, count);
        text += line;
        separator = ", ";
    }
    text += ")\n";
    std::snprintf(line, sizeof line, "socket receive buffer: %" PRId64 " bytes granted (%" PRId64 " asked for)%s\n",
                  s.receiveBufferGranted, s.receiveBufferRequested,
                  s.receiveBufferTooSmall ? ", smaller than a capture" : "");
    text += line;
    return text;
}
