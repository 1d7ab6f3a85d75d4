// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/export_fields.h"

#include <string>

#include "document/vexlar_doc.h"

void CheckExportField(const CSignal& signal)
{
    if (signal.m_numBits >= 1 && signal.m_numBits <= CSignal::kMaxBinaryDigits)
        return;
    throw CExportFieldError("The signal \"" + signal.m_name.toStdString() + "\" is " +
                            std::to_string(signal.m_numBits) + " bits wide; exports take fields of 1 to " +
                            std::to_string(CSignal::kMaxBinaryDigits) + " bits. Change its Num Bits first.");
}

void CheckExportFields(const CVexlarDoc& doc, bool withSpectrumSignals)
{
    for (const CSignal* s : doc.m_signals) {
        if (withSpectrumSignals || !s->m_spectrum)
            CheckExportField(*s);
    }
}
