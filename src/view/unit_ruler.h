// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A ruler whose labels carry their unit ("-20 dB", "200 kHz"), so that a
// scale says what it measures.

#include "view/ruler.h"

class CUnitRuler : public CRuler {
public:
    explicit CUnitRuler(QString unit) : m_unit(std::move(unit)) {}
    QString FormatLabel(double value) const override { return CRuler::FormatLabel(value) + QLatin1Char(' ') + m_unit; }

private:
    QString m_unit;
};
