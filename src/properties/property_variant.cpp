// SPDX-License-Identifier: GPL-3.0-or-later
#include "properties/property_variant.h"

#include <QMetaType>

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <locale.h>

namespace {

locale_t CLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// Whole-text number for the conversions of stored texts: blanks around the
// number are allowed, anything else makes the conversion fail.
bool ParseWholeNumber(const QString& text, double& out)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return false;
    bool ok = false;
    const double value = trimmed.toDouble(&ok);   // QString::toDouble is locale-independent ("C")
    if (!ok || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

// Rounding of the system conversion from floating point to integer: to the
// nearest integer, halves to the even neighbour.
int32_t RoundToInt32(double value)
{
    const double rounded = std::nearbyint(value);   // default mode rounds halves to even
    if (!(rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw CPropertyConversionError();
    return static_cast<int32_t>(rounded);
}

}   // namespace

bool VariantStrictEqual(const QVariant& a, const QVariant& b)
{
    if (!a.isValid() || !b.isValid())
        return a.isValid() == b.isValid();
    if (a.metaType() != b.metaType())
        return false;
    switch (a.metaType().id()) {
    case QMetaType::Int:
        return a.toInt() == b.toInt();
    case QMetaType::Bool:
        return a.toBool() == b.toBool();
    case QMetaType::Double:
        return a.toDouble() == b.toDouble();
    case QMetaType::QString:
        return a.toString() == b.toString();
    default:
        return a == b;
    }
}

bool ParseWholeInt(const QString& text, int32_t& value)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qlonglong number = trimmed.toLongLong(&ok, 10);
    if (!ok || number < std::numeric_limits<int32_t>::min() || number > std::numeric_limits<int32_t>::max())
        return false;
    value = static_cast<int32_t>(number);
    return true;
}

bool ParseWholeDouble(const QString& text, double& value)
{
    return ParseWholeNumber(text, value);
}

int32_t ParseLongPrefix(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int64_t magnitude = 0;
    const int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    while (i < n && text[i] >= u'0' && text[i] <= u'9') {
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > limit)
            magnitude = limit;   // saturate; keep reading the digits
        ++i;
    }
    int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

double ParseDoublePrefix(const QString& text)
{
    // strtod in the "C" locale is the atof rule without the process locale's
    // decimal separator. Characters beyond ASCII end the number anyway.
    const QByteArray bytes = text.toUtf8();
    const char* begin = bytes.constData();
    char* end = nullptr;
    const double value = strtod_l(begin, &end, CLocale());
    if (end == begin)
        return 0.0;
    return value;
}

QString FormatFixed(double value, int decimals)
{
    // The process locale may use another decimal separator; format in "C".
    char text[512];
    const locale_t previous = uselocale(CLocale());
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    uselocale(previous);
    return QString::fromLatin1(text);
}

int32_t VariantToInt(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;   // the system's true is -1
    case QMetaType::Double:
        return RoundToInt32(value.toDouble());
    case QMetaType::QString: {
        double number = 0.0;
        if (!ParseWholeNumber(value.toString(), number))
            throw CPropertyConversionError();
        return RoundToInt32(number);
    }
    default:
        throw CPropertyConversionError();
    }
}

bool VariantToBool(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::Int:
        return value.toInt() != 0;
    case QMetaType::Double:
        return value.toDouble() != 0.0;
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        double number = 0.0;
        if (!ParseWholeNumber(text, number))
            throw CPropertyConversionError();
        return number != 0.0;
    }
    default:
        throw CPropertyConversionError();
    }
}

double VariantToDouble(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::Bool:
        return value.toBool() ? -1.0 : 0.0;
    case QMetaType::QString: {
        double number = 0.0;
        if (!ParseWholeNumber(value.toString(), number))
            throw CPropertyConversionError();
        return number;
    }
    default:
        throw CPropertyConversionError();
    }
}

QString VariantToText(const QVariant& value)
{
    QString text;
    switch (value.metaType().id()) {
    case QMetaType::QString:
        text = value.toString();
        break;
    case QMetaType::Int:
        text = QString::number(value.toInt());
        break;
    case QMetaType::Bool:
        text = value.toBool() ? QStringLiteral("-1") : QStringLiteral("0");
        break;
    case QMetaType::Double:
        text = QString::number(value.toDouble(), 'g', 15);
        break;
    default:
        if (!value.isValid())
            return QString();
        throw CPropertyConversionError();
    }
    // A text ends at its first zero character.
    const qsizetype zero = text.indexOf(QChar(u'\0'));
    if (zero >= 0)
        text.truncate(zero);
    return text;
}
