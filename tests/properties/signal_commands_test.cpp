// SPDX-License-Identifier: GPL-3.0-or-later
// The Signals menu commands on a real document, with the real properties
// dialog for Add (confirmed or cancelled through its buttons).

#include "acquisition/capture_frame.h"
#include "document/capture_handoff.h"
#include "document/signal_commands.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"
#include "properties/signal_properties.h"
#include "test_support.h"

#include <QTest>

#include <vector>

using namespace test_support;

namespace {

// Replaces the document's signals by named ones, each holding one sample
// (its index), the listed ones selected.
void FillDocument(CVexlarDoc& doc, const QStringList& names, const QStringList& selected)
{
    doc.RemoveAllSignals();
    for (int i = 0; i < names.size(); ++i) {
        CSignal* s = doc.AppendNewSignal();
        s->m_name = names[i];
        s->m_selected = selected.contains(names[i]);
        s->EnsureCapacity(1);
        s->m_count = 1;
        s->m_samples[0] = static_cast<uint32_t>(i);
    }
    doc.SetModifiedFlag(false);
}

QStringList Names(const CVexlarDoc& doc)
{
    QStringList names;
    for (const CSignal* s : doc.m_signals)
        names << s->m_name;
    return names;
}

SignalEditor RealEditor()
{
    return [](CSignal& s) { return EditSignalProperties(s, nullptr); };
}

// A capture of the given little-endian words, as the link hands it over.
struct Capture {
    std::vector<uint8_t> bytes;
    CaptureFrame frame;
    explicit Capture(const std::vector<uint32_t>& words)
    {
        for (uint32_t w : words)
            for (int b = 0; b < 4; ++b)
                bytes.push_back(static_cast<uint8_t>(w >> (8 * b)));
        frame.words = bytes.data();
        frame.capacityBytes = static_cast<int32_t>(bytes.size());
        frame.depth = static_cast<int32_t>(words.size());
        frame.triggerPos = frame.depth / 2;
        frame.bitsPerSample = 32;
        frame.captureId = 1;
    }
};

}   // namespace

class SignalCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void addThenCancel();
    void addThenOk();
    void deleteSelected_data();
    void deleteSelected();
    void duplicateSelected();
    void freezeTwice();
    void addOnEmptyList();
};

void SignalCommandsTest::addThenCancel()
{
    CVexlarDoc doc;
    FillDocument(doc, {"A", "B"}, {});
    const uint64_t revision = doc.Revision();
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Name")), QStringLiteral("never")));
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
    });
    QVERIFY(!AddSignal(doc, RealEditor()));
    QCOMPARE(Names(doc), QStringList({"A", "B"}));
    QVERIFY(!doc.IsModified());
    QCOMPARE(doc.Revision(), revision);
}

void SignalCommandsTest::addThenOk()
{
    CVexlarDoc doc;   // the start-up signal all_bits
    CSignal* allBits = doc.m_signals.front();
    allBits->EnsureCapacity(2);
    allBits->m_count = 2;
    allBits->m_samples[0] = 0xFED;
    allBits->m_samples[1] = 0x0F0;
    const uint64_t revision = doc.Revision();
    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Name")), QStringLiteral("nibble")));
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Num Bits")), QStringLiteral("4")));
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("First Bit")), QStringLiteral("4")));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    QVERIFY(AddSignal(doc, RealEditor()));
    QCOMPARE(Names(doc), QStringList({"all_bits", "nibble"}));
    const CSignal* added = doc.m_signals.back();
    QCOMPARE(added->m_owner, &doc.m_signals);
    QCOMPARE(added->m_count, 2);
    QCOMPARE(added->m_samples[0], 0xEu);
    QCOMPARE(added->m_samples[1], 0xFu);
    QVERIFY(doc.IsModified());
    QVERIFY(doc.Revision() != revision);
}

void SignalCommandsTest::deleteSelected_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::newRow("first, third and last") << QStringList{"S0", "S2", "S5"} << QStringList{"S1", "S3", "S4"};
    QTest::newRow("neighbours") << QStringList{"S1", "S2"} << QStringList{"S0", "S3", "S4", "S5"};
    QTest::newRow("none") << QStringList{} << QStringList{"S0", "S1", "S2", "S3", "S4", "S5"};
    QTest::newRow("all") << QStringList{"S0", "S1", "S2", "S3", "S4", "S5"} << QStringList{};
}

void SignalCommandsTest::deleteSelected()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, remaining);
    CVexlarDoc doc;
    FillDocument(doc, {"S0", "S1", "S2", "S3", "S4", "S5"}, selected);
    QCOMPARE(DeleteSelectedSignals(doc), int(selected.size()));
    QCOMPARE(Names(doc), remaining);
    QCOMPARE(doc.IsModified(), !selected.isEmpty());
}

void SignalCommandsTest::duplicateSelected()
{
    CVexlarDoc doc;
    FillDocument(doc, {"A", "X", "B"}, {"A", "B"});
    CSignal* a = doc.m_signals.front();
    a->m_numBits = 4;
    a->m_firstBit = 8;
    a->UpdateMask();
    a->m_colorTheme = 0;
    a->m_analog = true;
    a->m_min = -5;
    a->m_max = 77;
    a->m_radix = Signed;
    a->m_sampleFreq = 1000.0;
    a->m_peakHold[17] = -3.5;
    a->m_specMax = 42.0;
    const uint64_t revision = doc.Revision();

    QCOMPARE(DuplicateSelectedSignals(doc), 2);
    QCOMPARE(Names(doc), QStringList({"A", "A", "X", "B", "B"}));
    std::vector<CSignal*> s(doc.m_signals.begin(), doc.m_signals.end());
    // Originals frozen, copies live, all four selected; X untouched.
    const bool frozen[] = {true, false, false, true, false};
    const bool selectedFlags[] = {true, true, false, true, true};
    for (size_t i = 0; i < s.size(); ++i) {
        QCOMPARE(s[i]->m_freeze, frozen[i]);
        QCOMPARE(s[i]->m_selected, selectedFlags[i]);
    }
    const CSignal& copy = *s[1];
    QVERIFY(&copy != a);
    QCOMPARE(copy.m_owner, &doc.m_signals);
    QCOMPARE(copy.m_count, 1);
    QCOMPARE(copy.m_samples[0], 0u);
    QVERIFY(copy.m_samples != a->m_samples);
    QCOMPARE(copy.m_numBits, 4);
    QCOMPARE(copy.m_firstBit, 8);
    QCOMPARE(copy.m_mask, 0xFu);
    QCOMPARE(copy.m_colorTheme, 0);
    QVERIFY(copy.m_analog);
    QCOMPARE(copy.m_min, -5);
    QCOMPARE(copy.m_max, 77);
    QCOMPARE(copy.m_radix, Signed);
    QCOMPARE(copy.m_sampleFreq, 1000.0);
    QCOMPARE(copy.m_peakHold[17], -3.5);
    // Not copied: the spectrum's last range keeps its defaults.
    QCOMPARE(copy.m_specMax, 1.0);
    QCOMPARE(s[4]->m_samples[0], 2u);   // B's copy carries B's sample
    QVERIFY(doc.IsModified());
    QVERIFY(doc.Revision() != revision);

    // The snapshot: the next capture reaches the copies but not the originals.
    Capture capture({0xABCDu});
    CopyCaptureIntoDocument(capture.frame, doc);
    QCOMPARE(s[0]->m_samples[0], 0u);
    QCOMPARE(s[1]->m_samples[0], 0xBu);
}

void SignalCommandsTest::freezeTwice()
{
    CVexlarDoc doc;
    FillDocument(doc, {"A", "B", "C"}, {"A", "C"});
    QCOMPARE(FreezeSelectedSignals(doc), 2);
    QVERIFY(doc.IsModified());
    doc.SetModifiedFlag(false);
    QCOMPARE(FreezeSelectedSignals(doc), 0);   // already frozen: stays frozen, nothing changed
    QVERIFY(!doc.IsModified());
    std::vector<CSignal*> s(doc.m_signals.begin(), doc.m_signals.end());
    QVERIFY(s[0]->m_freeze && !s[1]->m_freeze && s[2]->m_freeze);

    // Frozen signals keep their samples when a capture arrives; the others change.
    Capture capture({0x77u, 0x66u});
    CopyCaptureIntoDocument(capture.frame, doc);
    QCOMPARE(s[0]->m_count, 1);
    QCOMPARE(s[0]->m_samples[0], 0u);
    QCOMPARE(s[1]->m_count, 2);
    QCOMPARE(s[2]->m_samples[0], 2u);
}

void SignalCommandsTest::addOnEmptyList()
{
    CVexlarDoc doc;
    FillDocument(doc, {"A", "B"}, {"A", "B"});
    QCOMPARE(DeleteSelectedSignals(doc), 2);
    QVERIFY(doc.m_signals.empty());
    doc.SetModifiedFlag(false);

    OnNextDialog([](CPropertiesDialog& dialog) {
        CFEPropertyGridCtrl& grid = *dialog.Grid();
        QVERIFY(TypeValue(grid, FindByName(grid, QStringLiteral("Num Bits")), QStringLiteral("32")));
        QTest::mouseClick(dialog.OkButton(), Qt::LeftButton);
    });
    // There is no signal to copy samples from: the new one is added all the same.
    QVERIFY(AddSignal(doc, RealEditor()));
    QCOMPARE(Names(doc), QStringList({"Signalx"}));
    QVERIFY(doc.IsModified());
    CSignal* added = doc.m_signals.front();
    QCOMPARE(added->m_count, 0);
    QCOMPARE(added->m_mask, 0xFFFFFFFFu);

    // ... and it takes the next capture.
    Capture capture({0x12345678u, 0x9u});
    CopyCaptureIntoDocument(capture.frame, doc);
    QCOMPARE(added->m_count, 2);
    QCOMPARE(added->m_samples[0], 0x12345678u);
    QCOMPARE(added->m_samples[1], 0x9u);
}

QTEST_MAIN(SignalCommandsTest)
#include "signal_commands_test.moc"
