// SPDX-License-Identifier: GPL-3.0-or-later
// The "Signal Properties" dialog over real signals: what it shows, what OK
// applies and in which order, and that Cancel applies nothing.

#include "model/signal.h"
#include "properties/signal_properties.h"
#include "test_support.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace test_support;

namespace {

// A document-like list: a source signal holding raw words, and the signal
// under test behind it.
struct SignalFixture {
    SignalList list;
    std::unique_ptr<CSignal> source = std::make_unique<CSignal>(&list);
    std::unique_ptr<CSignal> signal = std::make_unique<CSignal>(&list);

    explicit SignalFixture(std::initializer_list<uint32_t> words = {0xFEDu, 0x3u, 0x0u})
    {
        source->m_name = QStringLiteral("all_bits");
        source->m_numBits = 32;
        source->EnsureCapacity(static_cast<int32_t>(words.size()));
        source->m_count = static_cast<int32_t>(words.size());
        std::copy(words.begin(), words.end(), source->m_samples);
        list.push_back(source.get());
        list.push_back(signal.get());
    }
};

QVector<uint32_t> Samples(const CSignal& s)
{
    return QVector<uint32_t>(s.m_samples, s.m_samples + s.m_count);
}

}   // namespace

class SignalPropertiesTest : public QObject {
    Q_OBJECT
private slots:
    void opensWithTheSignalsValues();
    void okWithoutChangesRecomputesMask();
    void styleChoices_data();
    void styleChoices();
    void unknownRadixAndColorKeptWhenUntouched();
    void bitFieldAppliedAtOnce();
    void everyPropertyWritesItsField();
    void cancelChangesNothing();
    void textThatIsNotANumberKeepsTheValueAndSaysWhy_data();
    void textThatIsNotANumberKeepsTheValueAndSaysWhy();
    void numBitsOutsideTheFieldRangeIsRefusedAtOk_data();
    void numBitsOutsideTheFieldRangeIsRefusedAtOk();
};

void SignalPropertiesTest::opensWithTheSignalsValues()
{
    SignalFixture f;
    bool result = true;
    OnNextDialog([](CPropertiesDialog& dialog) {
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Signal Properties"));
        QCOMPARE(dialog.size(), CPropertiesDialog::DialogUnitsToPixels(200, 200, dialog.font()));
        const CFEPropertyGridCtrl& grid = *dialog.Grid();

        struct Expected {
            const char* name;
            const char* description;
            const char* shown;
            const char* group;   // null: top level
        };
        const Expected expected[] = {
            {"Name", "Name of the signal", "Signalx", nullptr},
            {"Num Bits", "Number of bits from source", "1", nullptr},
            {"First Bit", "The first bit from source.", "0", nullptr},
            {"Freeze", "The bits are freezed and not updated when trigged.", "False", nullptr},
            {"Radix", "Select radix for presentation", "Hex", nullptr},
            {"Color", "Select signal color theme", "1", nullptr},
            {"Style", "Graph Style", "Digital", nullptr},
            {"Graph Height", "Graph height when analog or spectrum", "100", nullptr},
            {"Min", "Min value", "0", "Analog"},
            {"Max", "Max value", "1024", "Analog"},
            {"Sample Freq Hz", "Sample frequency in [Hz].", "1.0", "Spectrum"},
            {"Min dB", "Spectrum graph min value.", "0.0", "Spectrum"},
            {"Max dB", "Spectrum max value.", "0.0", "Spectrum"},
        };
        QStringList topLevel;
        for (int i = 0; i < grid.GetPropertyCount(); ++i)
            topLevel << grid.GetProperty(i)->GetName();
        QCOMPARE(topLevel, QStringList({"Name", "Num Bits", "First Bit", "Freeze", "Radix", "Color", "Style",
                                        "Graph Height", "Analog", "Spectrum"}));
        for (const Expected& e : expected) {
            const CPropertyGridProperty* p = FindByName(grid, QString::fromLatin1(e.name));
            QVERIFY2(p != nullptr, e.name);
            QCOMPARE(p->GetDescription(), QString::fromLatin1(e.description));
            QCOMPARE(p->FormatProperty(), QString::fromLatin1(e.shown));
            QCOMPARE(p->GetParent() != nullptr ? p->GetParent()->GetName() : QString(),
                     e.group != nullptr ? QString::fromLatin1(e.group) : QString());
            QVERIFY(p->IsVisible());
        }
        QCOMPARE(grid.GetProperty(8)->GetSubItemsCount(), 2);
        QCOMPARE(grid.GetProperty(9)->GetSubItemsCount(), 3);
        QCOMPARE(FindByName(grid, QStringLiteral("Radix"))->GetOptions(),
                 QStringList({"Unsigned", "Signed", "Hex", "Binary"}));
        QCOMPARE(FindByName(grid, QStringLiteral("Style"))->GetOptions(),
                 QStringList({"Digital", "Analog", "Spectrum"}));
        const CPropertyGridProperty* color = FindByName(grid, QStringLiteral("Color"));
        QCOMPARE(color->GetOptions(), QStringList({"0", "1", "2"}));
        QVERIFY(color->HasOwnValuePainting());
        // The colour cell shows the green swatch of theme 1.
        const QImage cells = grid.Tree()->viewport()->grab().toImage();
        const QRect cell = grid.ValueCellRect(const_cast<CPropertyGridProperty*>(color));
        QCOMPARE(QColor(cells.pixel(cell.center())), QColor(0, 90, 0));
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    });
    result = EditSignalProperties(*f.signal, nullptr);
    QVERIFY(!result);
}

void SignalPropertiesTest::okWithoutChangesRecomputesMask()
{
    SignalFixture f;
    QCOMPARE(f.signal->m_mask, 0xFFFFFFFFu);
    OnNextDialog([](CPropertiesDialog& dialog) { QTest::mouseClick(dialog.OkButton(), Qt::LeftButton); });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    const CSignal& s = *f.signal;
    QCOMPARE(s.m_mask, 1u);
    QCOMPARE(s.m_name, QStringLiteral("Signalx"));
    QCOMPARE(s.m_numBits, 1);
    QCOMPARE(s.m_firstBit, 0);
    QCOMPARE(s.m_freeze, false);
    QCOMPARE(s.m_radix, Hex);
    QCOMPARE(s.m_colorTheme, 1);
    QVERIFY(!s.m_analog && !s.m_spectrum);
    QCOMPARE(s.m_graphHeight, 100);
    QCOMPARE(s.m_min, 0);
    QCOMPARE(s.m_max, 1024);
    QCOMPARE(s.m_sampleFreq, 1.0);
    QCOMPARE(s.m_minDb, 0.0);
    QCOMPARE(s.m_maxDb, 0.0);
    // Re-extracted from the first signal with the new mask.
    QCOMPARE(Samples(s), QVector<uint32_t>({1u, 1u, 0u}));
}

void SignalPropertiesTest::styleChoices_data()
{
    QTest::addColumn<bool>("analogBefore");
    QTest::addColumn<bool>("spectrumBefore");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("pick");   // -1: leave the style alone
    QTest::addColumn<bool>("analogAfter");
    QTest::addColumn<bool>("spectrumAfter");
    QTest::newRow("digital to analog") << false << false << "Digital" << 1 << true << false;
    QTest::newRow("digital to spectrum") << false << false << "Digital" << 2 << false << true;
    QTest::newRow("analog to digital") << true << false << "Analog" << 0 << false << false;
    QTest::newRow("spectrum to analog") << false << true << "Spectrum" << 1 << true << false;
    QTest::newRow("both flags open as spectrum") << true << true << "Spectrum" << -1 << false << true;
}

void SignalPropertiesTest::styleChoices()
{
    QFETCH(bool, analogBefore);
    QFETCH(bool, spectrumBefore);
    QFETCH(QString, shown);
    QFETCH(int, pick);
    QFETCH(bool, analogAfter);
    QFETCH(bool, spectrumAfter);
    SignalFixture f;
    f.signal->m_analog = analogBefore;
    f.signal->m_spectrum = spectrumBefore;
    OnNextDialog([&](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        CPropertyGridProperty* style = FindByName(grid, QStringLiteral("Style"));
        QCOMPARE(style->FormatProperty(), shown);
        if (pick >= 0)
            QVERIFY(PickChoice(grid, style, pick));
        // The groups stay visible whatever the style.
        QVERIFY(FindByName(grid, QStringLiteral("Analog"))->IsVisible());
        QVERIFY(FindByName(grid, QStringLiteral("Spectrum"))->IsVisible());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    QCOMPARE(f.signal->m_analog, analogAfter);
    QCOMPARE(f.signal->m_spectrum, spectrumAfter);
}

void SignalPropertiesTest::unknownRadixAndColorKeptWhenUntouched()
{
    SignalFixture f;
    f.signal->m_radix = static_cast<SignalRadix>(7);
    f.signal->m_colorTheme = 5;
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        CPropertyGridProperty* radix = FindByName(grid, QStringLiteral("Radix"));
        CPropertyGridProperty* color = FindByName(grid, QStringLiteral("Color"));
        QCOMPARE(radix->FormatProperty(), QString());
        QCOMPARE(color->FormatProperty(), QStringLiteral("5"));
        // No swatch for theme 5: the cell keeps the list's background.
        grid.SetCurSel(FindByName(grid, QStringLiteral("Name")));
        const QImage cells = grid.Tree()->viewport()->grab().toImage();
        QCOMPARE(QColor(cells.pixel(grid.ValueCellRect(color).center())), grid.Tree()->palette().color(QPalette::Base));
        // A double click cannot step from a value that is not a choice.
        DoubleClickValue(grid, radix);
        QCOMPARE(radix->FormatProperty(), QString());
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    QCOMPARE(int(f.signal->m_radix), 7);
    QCOMPARE(f.signal->m_colorTheme, 5);
}

void SignalPropertiesTest::bitFieldAppliedAtOnce()
{
    SignalFixture f({0xFEDu, 0x123u});
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Num Bits")), QStringLiteral("8")));
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("First Bit")), QStringLiteral("4")));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    QCOMPARE(f.signal->m_numBits, 8);
    QCOMPARE(f.signal->m_firstBit, 4);
    QCOMPARE(f.signal->m_mask, 0xFFu);
    QCOMPARE(Samples(*f.signal), QVector<uint32_t>({0xFEu, 0x12u}));
}

void SignalPropertiesTest::everyPropertyWritesItsField()
{
    SignalFixture f;
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        const struct {
            const char* name;
            const char* typed;
        } edits[] = {{"Name", "data bus"},           {"Graph Height", "150"}, {"Min", "-20"},    {"Max", " 12 "},
                     {"Sample Freq Hz", "48000.25"}, {"Min dB", "-90"},       {"Max dB", "-3.5"}};
        for (const auto& e : edits)
            QVERIFY2(TypeValue(grid, FindByName(grid, QString::fromLatin1(e.name)), QString::fromLatin1(e.typed)),
                     e.name);
        QVERIFY(PickChoice(grid, FindByName(grid, QStringLiteral("Radix")), 1));
        QVERIFY(PickChoice(grid, FindByName(grid, QStringLiteral("Color")), 2));
        DoubleClickValue(grid, FindByName(grid, QStringLiteral("Freeze")));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    const CSignal& s = *f.signal;
    QCOMPARE(s.m_name, QStringLiteral("data bus"));
    QCOMPARE(s.m_graphHeight, 150);
    QCOMPARE(s.m_min, -20);
    QCOMPARE(s.m_max, 12);
    QCOMPARE(s.m_sampleFreq, 48000.25);
    QCOMPARE(s.m_minDb, -90.0);
    QCOMPARE(s.m_maxDb, -3.5);
    QCOMPARE(s.m_radix, Signed);
    QCOMPARE(s.m_colorTheme, 2);
    QCOMPARE(s.m_freeze, true);
}

void SignalPropertiesTest::cancelChangesNothing()
{
    SignalFixture f;
    f.signal->m_numBits = 3;
    f.signal->EnsureCapacity(2);
    f.signal->m_count = 2;
    f.signal->m_samples[0] = 5;
    f.signal->m_samples[1] = 6;
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Name")), QStringLiteral("changed")));
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Num Bits")), QStringLiteral("8")));
        QVERIFY(PickChoice(grid, FindByName(grid, QStringLiteral("Style")), 2));
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    });
    QVERIFY(!EditSignalProperties(*f.signal, nullptr));
    QCOMPARE(f.signal->m_name, QStringLiteral("Signalx"));
    QCOMPARE(f.signal->m_numBits, 3);
    QCOMPARE(f.signal->m_mask, 0xFFFFFFFFu);
    QVERIFY(!f.signal->m_spectrum);
    QCOMPARE(Samples(*f.signal), QVector<uint32_t>({5u, 6u}));
}

void SignalPropertiesTest::textThatIsNotANumberKeepsTheValueAndSaysWhy_data()
{
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");   // the cell's text afterwards
    QTest::newRow("a word in Num Bits") << "Num Bits"
                                        << "counter"
                                        << "8";
    QTest::newRow("digits and a word in Num Bits") << "Num Bits"
                                                   << "12abc"
                                                   << "8";
    QTest::newRow("a fraction in First Bit") << "First Bit"
                                             << "1.5"
                                             << "4";
    QTest::newRow("nothing in Max") << "Max"
                                    << ""
                                    << "1024";
    QTest::newRow("a word in Sample Freq Hz") << "Sample Freq Hz"
                                              << "fast"
                                              << "1.0";
}

// What a user sees: the cell keeps its value, the description area says why,
// and OK right after such an edit does not close the dialog but says why.
void SignalPropertiesTest::textThatIsNotANumberKeepsTheValueAndSaysWhy()
{
    QFETCH(QString, property);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    SignalFixture f;
    f.signal->m_numBits = 8;
    f.signal->m_firstBit = 4;
    QString boxText;
    bool stayedOpen = false;
    OnNextDialog([&](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        CPropertyGridProperty* p = FindByName(grid, property);
        QVERIFY(p != nullptr);
        QVERIFY(TypeValue(grid, p, typed));
        QCOMPARE(p->FormatProperty(), kept);
        QVERIFY2(grid.DescriptionText().contains(QLatin1Char('"') + typed + QLatin1Char('"')),
                 qPrintable(grid.DescriptionText()));
        QVERIFY2(grid.DescriptionText().contains(property + QStringLiteral(" keeps ") + kept),
                 qPrintable(grid.DescriptionText()));

        // The same text typed again and confirmed with OK at once: the
        // dialog stays open with a message.
        QVERIFY(grid.EditProperty(p));
        auto* line = qobject_cast<QLineEdit*>(grid.InPlaceEditor());
        QVERIFY(line != nullptr);
        line->selectAll();
        line->insert(typed + QStringLiteral(" "));
        QTimer::singleShot(0, [&boxText] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxText = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        stayedOpen = dialog.isVisible();
        QCOMPARE(p->FormatProperty(), kept);
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);   // now it closes
    });
    QVERIFY(EditSignalProperties(*f.signal, nullptr));
    QVERIFY(stayedOpen);
    QVERIFY2(boxText.contains(property + QStringLiteral(" keeps ") + kept), qPrintable(boxText));
    QCOMPARE(f.signal->m_numBits, 8);
    QCOMPARE(f.signal->m_firstBit, 4);
    QCOMPARE(f.signal->m_max, 1024);
    QCOMPARE(f.signal->m_sampleFreq, 1.0);
}

void SignalPropertiesTest::numBitsOutsideTheFieldRangeIsRefusedAtOk_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("0") << "0" << false;
    QTest::newRow("-3") << "-3" << false;
    QTest::newRow("4097") << "4097" << false;
    QTest::newRow("1") << "1" << true;
    QTest::newRow("2000") << "2000" << true;
    QTest::newRow("4096") << "4096" << true;
}

void SignalPropertiesTest::numBitsOutsideTheFieldRangeIsRefusedAtOk()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    SignalFixture f;
    f.signal->m_numBits = 8;
    QString boxText;
    bool closedByOk = false;
    OnNextDialog([&](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Num Bits")), typed));
        QTimer::singleShot(0, [&boxText] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxText = box->text();
                box->accept();
            }
        });
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
        closedByOk = !dialog.isVisible();
        if (!closedByOk) {
            QCOMPARE(grid.GetCurSel(), FindByName(grid, QStringLiteral("Num Bits")));
            QCOMPARE(grid.DescriptionText(), boxText);
        }
    });
    QCOMPARE(EditSignalProperties(*f.signal, nullptr), accepted);
    QCOMPARE(closedByOk, accepted);
    QCOMPARE(boxText.isEmpty(), accepted);
    if (!accepted) {
        QVERIFY2(boxText.contains(QStringLiteral("from 1 to 4096")), qPrintable(boxText));
        QCOMPARE(f.signal->m_numBits, 8);
    } else {
        QCOMPARE(f.signal->m_numBits, typed.toInt());
    }
}

QTEST_MAIN(SignalPropertiesTest)
#include "signal_properties_test.moc"
