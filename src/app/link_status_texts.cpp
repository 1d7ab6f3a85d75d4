// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/link_status_texts.h"

#include <cmath>
#include <cstdint>
#include <utility>

#include "acquisition/capture_link_status.h"

namespace {

// Seconds without a datagram from the core after which it counts as silent:
// more than the link's one-second time-out, after which it asks again.
constexpr double kSilentSeconds = 1.5;
// Up to this many seconds of silence the count moves every second.
constexpr double kCountEverySecondUpTo = 10.0;

QString IgnoredText(const CaptureLinkStatus::Ignored& ignored)
{
    if (ignored.Total() == 0)
        return {};
    // Only the reasons that occurred, in a fixed order, so that the text
    // stays put while the numbers grow.
    QString why;
    for (const auto& [reason, count] : ignored.ByReason()) {
        if (count == 0)
            continue;
        if (!why.isEmpty())
            why += QStringLiteral(", ");
        why += QStringLiteral("%1 %2").arg(QLatin1String(reason)).arg(count);
    }
    return QStringLiteral("ignored %1 (%2)").arg(ignored.Total()).arg(why);
}

}   // namespace

LinkStatusTexts LinkStatusTextsOf(const CaptureLinkStatus& status)
{
    LinkStatusTexts texts;
    if (!status.coreAddress.empty())
        texts.core = QStringLiteral("%1:%2").arg(QString::fromStdString(status.coreAddress)).arg(status.corePort);
    else if (status.searching)
        texts.core = QStringLiteral("searching on %1 adapters").arg(status.searchAdapters);
    texts.rate = QStringLiteral("%1 captures/s").arg(status.capturesPerSecond, 0, 'f', 1);
    texts.lost = QStringLiteral("lost %1").arg(status.capturesLost);
    texts.ignored = IgnoredText(status.ignored);
    // Time-outs while datagrams of the capture keep coming mean a faulty
    // capture, which the lost and ignored panes tell; "no answer" is for a
    // core that has been silent for longer than one time-out.
    const bool silent = status.secondsSinceAnswer < 0 || status.secondsSinceAnswer >= kSilentSeconds;
    if (status.timeoutsInARow > 0 && silent) {
        // Each time-out is a second without progress; before the core's
        // first answer they are the only clock there is.
        const double seconds =
            status.secondsSinceAnswer >= 0 ? std::floor(status.secondsSinceAnswer) : double(status.timeoutsInARow);
        // Past ten seconds the count moves in steps of five: an exact figure
        // says nothing more there, and each change costs a repaint of an
        // otherwise idle window.
        const double shown = seconds < kCountEverySecondUpTo ? seconds : std::floor(seconds / 5.0) * 5.0;
        texts.noAnswer = QStringLiteral("no answer from the core for %1 s").arg(static_cast<qint64>(shown));
    }
    return texts;
}
