// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/signal_properties.h"

#include "model/signal.h"
#include "properties/properties_dialog.h"
#include "properties/property_variant.h"

namespace {

const QStringList& RadixChoices()
{
    static const QStringList choices{QStringLiteral("Unsigned"), QStringLiteral("Signed"), QStringLiteral("Hex"),
                                     QStringLiteral("Binary")};
    return choices;
}

const QStringList& StyleChoices()
{
    static const QStringList choices{QStringLiteral("Digital"), QStringLiteral("Analog"), QStringLiteral("Spectrum")};
    return choices;
}

QString RadixText(int32_t radix)
{
    // A radix outside the four known ones (possible in a loaded file) shows
    // no choice, and stays as it is unless the user picks one.
    return radix >= 0 && radix < RadixChoices().size() ? RadixChoices().at(radix) : QString();
}

QString StyleText(const CSignal& signal)
{
    // Both flags set (possible in a loaded file) shows as Spectrum.
    if (signal.m_spectrum)
        return QStringLiteral("Spectrum");
    if (signal.m_analog)
        return QStringLiteral("Analog");
    return QStringLiteral("Digital");
}

}   // namespace

bool EditSignalProperties(CSignal& signal, QWidget* parent)
{
    CPropertiesDialog dialog(200, 200, QStringLiteral("Signal Properties"), parent);

    dialog.AddTextProperty(signal.m_name, QStringLiteral("Name"), QStringLiteral("Name of the signal"));
    dialog.AddIntProperty(signal.m_numBits, QStringLiteral("Num Bits"), QStringLiteral("Number of bits from source"));
    dialog.AddIntProperty(signal.m_firstBit, QStringLiteral("First Bit"), QStringLiteral("The first bit from source."));
    dialog.AddBoolProperty(signal.m_freeze, QStringLiteral("Freeze"),
                           QStringLiteral("The bits are freezed and not updated when trigged."));

    QString radixText = RadixText(signal.m_radix);
    dialog.AddListProperty(radixText, QStringLiteral("Radix"), QStringLiteral("Select radix for presentation"),
                           RadixChoices());

    QString colorText = QString::number(signal.m_colorTheme);
    QStringList colorChoices;
    for (int theme = 0; theme < 3; ++theme)
        colorChoices << QString::number(theme);
    dialog.AddColorThemeProperty(colorText, QStringLiteral("Color"), QStringLiteral("Select signal color theme"),
                                 colorChoices);

    QString styleText = StyleText(signal);
    dialog.AddListProperty(styleText, QStringLiteral("Style"), QStringLiteral("Graph Style"), StyleChoices());
    dialog.AddIntProperty(signal.m_graphHeight, QStringLiteral("Graph Height"),
                          QStringLiteral("Graph height when analog or spectrum"));

    dialog.AddGroup(QStringLiteral("Analog"));
    dialog.AddIntProperty(signal.m_min, QStringLiteral("Min"), QStringLiteral("Min value"));
    dialog.AddIntProperty(signal.m_max, QStringLiteral("Max"), QStringLiteral("Max value"));
    dialog.EndGroup();

    dialog.AddGroup(QStringLiteral("Spectrum"));
    dialog.AddDoubleProperty(signal.m_sampleFreq, QStringLiteral("Sample Freq Hz"),
                             QStringLiteral("Sample frequency in [Hz]."));
    dialog.AddDoubleProperty(signal.m_minDb, QStringLiteral("Min dB"), QStringLiteral("Spectrum graph min value."));
    dialog.AddDoubleProperty(signal.m_maxDb, QStringLiteral("Max dB"), QStringLiteral("Spectrum max value."));

    // A field of 1 to 4096 bits: every export writes such a field whole, and
    // a field of no bits holds nothing. The other values are taken as typed.
    dialog.SetValidator(&signal.m_numBits, [](const QVariant& value) {
        const int bits = value.toInt();
        if (bits >= 1 && bits <= CSignal::kMaxBinaryDigits)
            return QString();
        return QStringLiteral("Num Bits must be from 1 to %1; %2 is outside that range.")
            .arg(CSignal::kMaxBinaryDigits)
            .arg(bits);
    });

    if (dialog.DoModal() != CPropertiesDialog::IDOK)
        return false;

    // Every variable above was bound, so each read-back finds its value.
    dialog.GetTextValue(signal.m_name);
    dialog.GetIntValue(signal.m_numBits);
    dialog.GetIntValue(signal.m_firstBit);
    dialog.GetBoolValue(signal.m_freeze);

    dialog.GetTextValue(radixText);
    const qsizetype radix = RadixChoices().indexOf(radixText);
    if (radix >= 0)
        signal.m_radix = static_cast<SignalRadix>(radix);

    dialog.GetTextValue(colorText);
    signal.m_colorTheme = ParseLongPrefix(colorText);

    dialog.GetTextValue(styleText);
    if (styleText == QLatin1String("Digital")) {
        signal.m_spectrum = false;
        signal.m_analog = false;
    } else if (styleText == QLatin1String("Analog")) {
        signal.m_analog = true;
        signal.m_spectrum = false;
    } else if (styleText == QLatin1String("Spectrum")) {
        signal.m_spectrum = true;
        signal.m_analog = false;
    }

    dialog.GetIntValue(signal.m_min);
    dialog.GetIntValue(signal.m_max);
    dialog.GetIntValue(signal.m_graphHeight);
    dialog.GetDoubleValue(signal.m_sampleFreq);
    dialog.GetDoubleValue(signal.m_minDb);
    dialog.GetDoubleValue(signal.m_maxDb);

    signal.UpdateMask();
    // The new bit field shows at once, taken from the document's first signal.
    // A document without signals (all deleted, then Add) has no source yet:
    // the signal is filled by the next capture instead of failing after OK.
    if (signal.m_owner != nullptr && !signal.m_owner->empty())
        signal.UpdateFromSource();
    // New samples, style, radix or sample frequency: the spectrum follows now.
    signal.RefreshSpectrum();
    return true;
}
