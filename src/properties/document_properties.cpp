// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/document_properties.h"

#include <QMessageBox>

#include "document/document_edits.h"
#include "document/vexlar_doc.h"
#include "model/time_units.h"
#include "properties/properties_dialog.h"

bool EditDocumentProperties(CVexlarDoc& doc, QWidget* parent)
{
    QString rateText = TimeUnits::FormatSampleRate(doc.m_sampleRate);
    for (;;) {
        CPropertiesDialog dialog(200, 120, QStringLiteral("Document Properties"), parent);
        dialog.AddTextProperty(rateText, QStringLiteral("Sample Rate"),
                               QStringLiteral("Sample rate of the captures, such as 100 MHz, 48 kHz or 100e6. "
                                              "Empty: time is counted in samples."));
        if (dialog.DoModal() != CPropertiesDialog::IDOK)
            return false;
        dialog.GetTextValue(rateText);
        double hz = 0.0;
        if (TimeUnits::ParseSampleRate(rateText, hz, true))
            return DocumentEdits::SetSampleRate(doc, hz);
        QMessageBox::warning(parent, QStringLiteral("Vexlar"),
                             QStringLiteral("\"%1\" is not a sample rate. Give a rate from 0.01 Hz to 1000 GHz, "
                                            "such as 100 MHz, 48k or 100e6, or leave it empty.")
                                 .arg(rateText));
    }
}
