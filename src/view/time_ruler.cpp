// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/time_ruler.h"

#include <algorithm>
#include <cmath>

CTimeRuler::CTimeRuler(double firstSeconds, double lastSeconds)
    : m_unit(TimeUnits::UnitFor(std::max(std::fabs(firstSeconds), std::fabs(lastSeconds))))
{
    m_snapTicks = true;
}

QString CTimeRuler::FormatLabel(double seconds) const
{
    return TimeUnits::FormatInUnit(seconds, m_unit);
}
