// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts the status bar shows about the capture link, made from one
// snapshot of the link's counters. Plain code: a test gives it a snapshot
// and reads the texts, without a link or a window.

#include <QString>

struct CaptureLinkStatus;

struct LinkStatusTexts {
    QString core;      // "127.0.0.1:5000", "searching on 3 adapters", or empty
    QString rate;      // "49.2 captures/s"
    QString lost;      // "lost 3"
    QString ignored;   // "ignored 12 (too short 4, unsupported sample width 8)", or empty
    // "no answer from the core for 4 s" after time-outs; empty otherwise.
    QString noAnswer;

    bool operator==(const LinkStatusTexts&) const = default;
};

LinkStatusTexts LinkStatusTextsOf(const CaptureLinkStatus& status);
