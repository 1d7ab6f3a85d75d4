// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/measurement_text.h"

#include <cmath>

#include "model/time_units.h"

namespace {

QString Span(int32_t samples, double rate)
{
    if (rate > 0.0)
        return TimeUnits::FormatTime(static_cast<double>(samples) / rate);
    return samples == 1 ? QStringLiteral("1 sample") : QStringLiteral("%1 samples").arg(samples);
}

}   // namespace

QStringList MeasurementLines(const SignalSearch::PulseMeasurement& m, double sampleRate)
{
    QStringList lines;
    if (!m.valid)
        return lines;
    if (m.width > 0)
        lines << (m.high ? QStringLiteral("High pulse: ") : QStringLiteral("Low pulse: ")) + Span(m.width, sampleRate);
    if (m.period > 0) {
        lines << QStringLiteral("Period: ") + Span(m.period, sampleRate);
        if (sampleRate > 0.0) {
            lines << QStringLiteral("Frequency: ") + TimeUnits::FormatFrequency(sampleRate / m.period);
        } else {
            lines << QStringLiteral("Frequency: %1 per sample").arg(QString::number(1.0 / m.period, 'g', 6));
        }
        QString duty = QString::number(100.0 * m.DutyCycle(), 'f', 1);
        if (duty.endsWith(QLatin1String(".0")))
            duty.chop(2);
        lines << QStringLiteral("Duty cycle: %1%").arg(duty);
    }
    return lines;
}

QStringList EdgeCountLines(const SignalList& list, int32_t marker1, int32_t marker2, int maxLines)
{
    QStringList lines;
    if (marker1 < 0 || marker2 < 0)
        return lines;
    for (const CSignal* s : list) {
        if (!s->m_selected || s->m_numBits != 1)
            continue;
        if (lines.size() == maxLines) {
            lines << QStringLiteral("...");
            break;
        }
        const SignalSearch::EdgeCounts c = SignalSearch::CountEdges(*s, marker1, marker2);
        lines << QStringLiteral("%1: %2 rising, %3 falling").arg(s->m_name).arg(c.rising).arg(c.falling);
    }
    return lines;
}
