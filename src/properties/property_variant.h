// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Values of the property grid are QVariants of four types: int, bool, double
// and QString. This file holds the rules that give those values their
// meaning: the strict equality that conditions use, the lenient text parsing
// that an edited cell goes through, and the conversions the read-back applies
// when a stored value has another type than the variable it is read into.

#include <QString>
#include <QVariant>

#include <stdexcept>

// A stored value cannot be turned into the type asked for (for example the
// text "abc" read back as a number). The variable being read stays unchanged.
class CPropertyConversionError : public std::runtime_error {
public:
    CPropertyConversionError() : std::runtime_error("Type mismatch.") {}
};

// Equal only when both values have the same type and, for that type, the same
// value; texts compare case-sensitively; two empty values are equal.
bool VariantStrictEqual(const QVariant& a, const QVariant& b);

// The run-time library's text-to-long rule: leading blanks, an optional sign,
// then as many decimal digits as follow; 0 when there are none. Values outside
// the 32-bit range saturate.
int32_t ParseLongPrefix(const QString& text);

// The run-time library's text-to-double rule (atof): leading blanks skipped,
// the longest valid prefix converted, 0.0 when there is none. Independent of
// the process locale: the decimal separator is always '.'.
double ParseDoublePrefix(const QString& text);

// Edited text as a value of an int or a double property: the whole text,
// blanks around it allowed, must be a whole number in the 32-bit range
// (ParseWholeInt) or a finite number (ParseWholeDouble). False for anything
// else ("counter", "12abc", "", and "1.5" as an int), so that a typing slip
// never turns into 0 or into a number the user did not mean.
bool ParseWholeInt(const QString& text, int32_t& value);
bool ParseWholeDouble(const QString& text, double& value);

// printf's "%.Nf" in the "C" locale: the binary value rounded to `decimals`
// places (1.26 gives "1.3", 0.25 gives "0.2"), always with '.'.
QString FormatFixed(double value, int decimals);

// Read-back conversions. Each takes the value directly when it already has the
// wanted type and otherwise converts it; a value that cannot be converted
// raises CPropertyConversionError.
int32_t VariantToInt(const QVariant& value);
bool VariantToBool(const QVariant& value);
double VariantToDouble(const QVariant& value);
QString VariantToText(const QVariant& value);   // never fails for the four types
