// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/time_units.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace TimeUnits {

namespace {

// Largest first.
constexpr TimeUnit kTimeUnits[] = {{"s", 1.0}, {"ms", 1e-3}, {"us", 1e-6}, {"ns", 1e-9}};

size_t TimeUnitIndex(double magnitude)
{
    magnitude = std::fabs(magnitude);
    if (!(magnitude < 1.0) || magnitude == 0.0)
        return 0;
    if (magnitude >= 1e-3)
        return 1;
    if (magnitude >= 1e-6)
        return 2;
    return 3;
}

// "%.*f" without trailing zeros or a trailing point; "-0" reads as "0".
QString Fixed(double value, int decimals)
{
    char buffer[400];
    if (!std::isfinite(value) || std::fabs(value) >= 1e300)
        return QStringLiteral("-");
    std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp(decimals, 0, 15), value);
    QString text = QString::fromLatin1(buffer);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

// Decimals that leave `significant` significant digits for a value whose
// magnitude is below 1000 (1 to 3 digits before the point).
int DecimalsFor(double magnitude, int significant)
{
    int digits = 1;
    if (magnitude >= 100.0)
        digits = 3;
    else if (magnitude >= 10.0)
        digits = 2;
    return std::max(0, significant - digits);
}

double RoundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

}   // namespace

bool IsValidSampleRate(double hz)
{
    return std::isfinite(hz) && hz >= kMinSampleRate && hz <= kMaxSampleRate;
}

bool ParseSampleRate(const QString& text, double& hz, bool allowEmpty)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        if (!allowEmpty)
            return false;
        hz = 0.0;
        return true;
    }
    static const QRegularExpression pattern(
        QStringLiteral("^\\+?((?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][+-]?\\d+)?)\\s*([kKMG]?)\\s*(?:[Hh][Zz])?$"));
    const QRegularExpressionMatch match = pattern.match(trimmed);
    if (!match.hasMatch())
        return false;
    bool ok = false;
    double value = match.captured(1).toDouble(&ok);   // QString::toDouble uses the C locale
    if (!ok)
        return false;
    const QString prefix = match.captured(2);
    if (prefix == QLatin1String("k") || prefix == QLatin1String("K"))
        value *= 1e3;
    else if (prefix == QLatin1String("M"))
        value *= 1e6;
    else if (prefix == QLatin1String("G"))
        value *= 1e9;
    if (!IsValidSampleRate(value))
        return false;
    hz = value;
    return true;
}

TimeUnit UnitFor(double magnitude)
{
    return kTimeUnits[TimeUnitIndex(magnitude)];
}

QString FormatInUnit(double seconds, const TimeUnit& unit, int maxDecimals)
{
    return Fixed(seconds / unit.seconds, maxDecimals) + QLatin1Char(' ') + QLatin1String(unit.suffix);
}

QString FormatTime(double seconds, int significant)
{
    if (!std::isfinite(seconds))
        return QStringLiteral("-");
    size_t index = TimeUnitIndex(seconds);
    double value = seconds / kTimeUnits[index].seconds;
    int decimals = DecimalsFor(std::fabs(value), significant);
    // Rounding can carry 999.9999 ns up to 1000 ns: that reads as 1 us.
    if (std::fabs(RoundTo(value, decimals)) >= 1000.0 && index > 0) {
        --index;
        value = seconds / kTimeUnits[index].seconds;
        decimals = DecimalsFor(std::fabs(value), significant);
    }
    return Fixed(value, decimals) + QLatin1Char(' ') + QLatin1String(kTimeUnits[index].suffix);
}

QString FormatFrequency(double hz, int significant)
{
    if (!std::isfinite(hz) || hz <= 0.0)
        return QStringLiteral("-");
    struct Unit {
        const char* suffix;
        double hz;
    };
    static const Unit units[] = {{"GHz", 1e9}, {"MHz", 1e6}, {"kHz", 1e3}, {"Hz", 1.0}};
    size_t index = 3;
    for (size_t i = 0; i < 3; ++i) {
        if (hz >= units[i].hz) {
            index = i;
            break;
        }
    }
    double value = hz / units[index].hz;
    int decimals = DecimalsFor(value, significant);
    if (RoundTo(value, decimals) >= 1000.0 && index > 0) {
        --index;
        value = hz / units[index].hz;
        decimals = DecimalsFor(value, significant);
    }
    return Fixed(value, decimals) + QLatin1Char(' ') + QLatin1String(units[index].suffix);
}

QString FormatSampleRate(double hz)
{
    if (hz == 0.0)
        return QString();
    return FormatFrequency(hz, 12);
}

}   // namespace TimeUnits
