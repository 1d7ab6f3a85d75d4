// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/marker_readout.h"

#include <cstdlib>

#include "model/time_units.h"

namespace {

QString Position(int64_t samples, double rate)
{
    if (rate > 0.0)
        return TimeUnits::FormatTime(static_cast<double>(samples) / rate);
    return QString::number(samples);
}

}   // namespace

QStringList MarkerReadoutLines(int32_t marker1, int32_t marker2, double sampleRate)
{
    const bool has1 = marker1 >= 0;
    const bool has2 = marker2 >= 0;
    QStringList lines;
    if (has1)
        lines << QStringLiteral("M1: ") + Position(marker1, sampleRate);
    if (has2)
        lines << QStringLiteral("M2: ") + Position(marker2, sampleRate);
    if (!has1 || !has2)
        return lines;
    const int64_t distance = std::llabs(static_cast<int64_t>(marker2) - marker1);
    lines << QStringLiteral("D: ") + Position(distance, sampleRate);
    if (sampleRate > 0.0 && distance > 0)
        lines << QStringLiteral("1/D: ") + TimeUnits::FormatFrequency(sampleRate / static_cast<double>(distance));
    return lines;
}
