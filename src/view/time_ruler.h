// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ruler whose values are seconds: the time rulers of a document that has a
// sample rate. Its ticks are those of every ruler (1, 2 or 5 times a power of
// ten); its labels are in one unit for the whole ruler (s, ms, us or ns), the
// one in which the larger of its two ends reads as 1 to 999.

#include "model/time_units.h"
#include "view/ruler.h"

class CTimeRuler : public CRuler {
public:
    CTimeRuler(double firstSeconds, double lastSeconds);
    QString FormatLabel(double seconds) const override;
    const TimeUnits::TimeUnit& Unit() const { return m_unit; }

private:
    TimeUnits::TimeUnit m_unit;
};
