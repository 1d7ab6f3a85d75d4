// SPDX-License-Identifier: GPL-3.0-or-later
// The value rules of the property grid: strict equality of conditions, the
// lenient parsing of edited text, the fixed-decimal display and the
// conversions of the read-back.

#include "properties/property_variant.h"

#include <QTest>

#include <clocale>
#include <limits>

class PropertyValuesTest : public QObject {
    Q_OBJECT
private slots:
    void strictEquality_data();
    void strictEquality();
    void longPrefix_data();
    void longPrefix();
    void doublePrefix_data();
    void doublePrefix();
    void fixedDecimals_data();
    void fixedDecimals();
    void fixedDecimalsIgnoreProcessLocale();
    void readBackConversions();
    void failedConversionsThrow_data();
    void failedConversionsThrow();
};

void PropertyValuesTest::strictEquality_data()
{
    QTest::addColumn<QVariant>("a");
    QTest::addColumn<QVariant>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("int = int") << QVariant(1) << QVariant(1) << true;
    QTest::newRow("int != int") << QVariant(1) << QVariant(2) << false;
    QTest::newRow("text 1 vs int 1") << QVariant(QStringLiteral("1")) << QVariant(1) << false;
    QTest::newRow("double 1 vs int 1") << QVariant(1.0) << QVariant(1) << false;
    QTest::newRow("bool true vs int 1") << QVariant(true) << QVariant(1) << false;
    QTest::newRow("bool = bool") << QVariant(false) << QVariant(false) << true;
    QTest::newRow("text case matters") << QVariant(QStringLiteral("Hex")) << QVariant(QStringLiteral("hex")) << false;
    QTest::newRow("text = text") << QVariant(QStringLiteral("Hex")) << QVariant(QStringLiteral("Hex")) << true;
    QTest::newRow("empty = empty") << QVariant() << QVariant() << true;
    QTest::newRow("empty vs int 0") << QVariant() << QVariant(0) << false;
}

void PropertyValuesTest::strictEquality()
{
    QFETCH(QVariant, a);
    QFETCH(QVariant, b);
    QFETCH(bool, equal);
    QCOMPARE(VariantStrictEqual(a, b), equal);
    QCOMPARE(VariantStrictEqual(b, a), equal);
}

void PropertyValuesTest::longPrefix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("digits") << "12" << 12;
    QTest::newRow("trailing junk") << "12abc" << 12;
    QTest::newRow("no digits") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("blanks and sign") << "  -7x" << -7;
    QTest::newRow("plus") << "+5" << 5;
    QTest::newRow("sign alone") << "-" << 0;
    QTest::newRow("saturates high") << "99999999999" << std::numeric_limits<int>::max();
    QTest::newRow("saturates low") << "-99999999999" << std::numeric_limits<int>::min();
}

void PropertyValuesTest::longPrefix()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QCOMPARE(ParseLongPrefix(text), value);
}

void PropertyValuesTest::doublePrefix_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << "1.26" << 1.26;
    QTest::newRow("trailing junk") << "12abc" << 12.0;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blanks, sign, exponent") << "  -2.5e1x" << -25.0;
    QTest::newRow("comma ends the number") << "3,5" << 3.0;
}

void PropertyValuesTest::doublePrefix()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(ParseDoublePrefix(text), value);
}

void PropertyValuesTest::fixedDecimals_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("1.26") << 1.26 << "1.3";
    QTest::newRow("0.26") << 0.26 << "0.3";
    QTest::newRow("100") << 100.0 << "100.0";
    QTest::newRow("half to even") << 0.25 << "0.2";
    QTest::newRow("negative") << -1.04 << "-1.0";
    QTest::newRow("huge") << 1e300 << QString::number(1e300, 'f', 1);
}

void PropertyValuesTest::fixedDecimals()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(FormatFixed(value, 1), text);
}

void PropertyValuesTest::fixedDecimalsIgnoreProcessLocale()
{
    // A process locale with a decimal comma must not change the text, or the
    // value would not read back from it.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = previous != nullptr ? QByteArray(previous) : QByteArray("C");
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr && std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        QSKIP("no locale with a decimal comma is installed");
    const QString text = FormatFixed(1.26, 1);
    const double back = ParseDoublePrefix(QStringLiteral("1.3"));
    std::setlocale(LC_NUMERIC, saved.constData());
    QCOMPARE(text, QStringLiteral("1.3"));
    QCOMPARE(back, 1.3);
}

void PropertyValuesTest::readBackConversions()
{
    // Values of the wanted type are taken as they are.
    QCOMPARE(VariantToInt(QVariant(7)), 7);
    QCOMPARE(VariantToBool(QVariant(true)), true);
    QCOMPARE(VariantToDouble(QVariant(1.26)), 1.26);
    QCOMPARE(VariantToText(QVariant(QStringLiteral("Hex"))), QStringLiteral("Hex"));
    // Other types go through the system conversion.
    QCOMPARE(VariantToInt(QVariant(QStringLiteral("12"))), 12);
    QCOMPARE(VariantToInt(QVariant(QStringLiteral(" 12 "))), 12);
    QCOMPARE(VariantToInt(QVariant(2.5)), 2);   // halves to even
    QCOMPARE(VariantToInt(QVariant(3.5)), 4);
    QCOMPARE(VariantToInt(QVariant(true)), -1);   // the system's true
    QCOMPARE(VariantToBool(QVariant(5)), true);
    QCOMPARE(VariantToBool(QVariant(0)), false);
    QCOMPARE(VariantToBool(QVariant(QStringLiteral("False"))), false);
    QCOMPARE(VariantToDouble(QVariant(3)), 3.0);
    QCOMPARE(VariantToDouble(QVariant(QStringLiteral("2.5"))), 2.5);
    QCOMPARE(VariantToText(QVariant(42)), QStringLiteral("42"));
    QCOMPARE(VariantToText(QVariant(1.26)), QStringLiteral("1.26"));
    // A text ends at its first zero character; no value gives the empty text.
    QCOMPARE(VariantToText(QVariant(QString::fromUtf16(u"ab\0cd", 5))), QStringLiteral("ab"));
    QCOMPARE(VariantToText(QVariant()), QString());
}

void PropertyValuesTest::failedConversionsThrow_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("to");
    QTest::newRow("text abc to int") << QVariant(QStringLiteral("abc")) << "int";
    QTest::newRow("text 12abc to int") << QVariant(QStringLiteral("12abc")) << "int";
    QTest::newRow("too large for int") << QVariant(1e12) << "int";
    QTest::newRow("text to bool") << QVariant(QStringLiteral("maybe")) << "bool";
    QTest::newRow("text to double") << QVariant(QStringLiteral("x1")) << "double";
    QTest::newRow("empty to int") << QVariant() << "int";
}

void PropertyValuesTest::failedConversionsThrow()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, to);
    if (to == QLatin1String("int"))
        QVERIFY_THROWS_EXCEPTION(CPropertyConversionError, VariantToInt(stored));
    else if (to == QLatin1String("bool"))
        QVERIFY_THROWS_EXCEPTION(CPropertyConversionError, VariantToBool(stored));
    else
        QVERIFY_THROWS_EXCEPTION(CPropertyConversionError, VariantToDouble(stored));
}

QTEST_GUILESS_MAIN(PropertyValuesTest)
#include "property_values_test.moc"
