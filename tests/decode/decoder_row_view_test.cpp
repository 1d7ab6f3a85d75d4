// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder rows in a real view (offscreen): decoded off the UI thread and
// drawn as lanes of labelled boxes, hover text, errors in the row and the
// status line, the row's commands; and the decoder dialog.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include <string>
#include <vector>

#include "acquisition/capture_frame.h"
#include "core_simulator.h"
#include "decode/decoder_catalog.h"
#include "properties/add_decoder_dialog.h"
#include "protocol_captures.h"
#include "decode/document_decodes.h"
#include "document/capture_handoff.h"
#include "document/decoder_row_edits.h"
#include "document/demo_document.h"
#include "view/decoder_rows.h"
#include "view/vexlar_view.h"

namespace {

bool HaveDecoders()
{
    return CDecoderCatalog::Instance().Error().empty();
}

struct Fixture {
    CVexlarDoc doc;
    CVexlarView view{&doc};
    QStringList messages;

    Fixture()
    {
        WordStream s;
        AppendUart(s, 0, {0x48, 0x69}, 10, 30);
        FillDocument(doc, s.words, {"rx"}, 1.0);
        doc.Head()->m_expanded = false;
        view.resize(1000, 400);
        view.onStatusMessage = [this](const QString& m) { messages << m; };
    }
    void AddRow(const std::string& decoderLine, uint64_t rate)
    {
        CDecoderRowConfig row;
        row.name = QStringLiteral("UART");
        row.decoderLine = decoderLine;
        row.samplerate = rate;
        doc.m_decoderRows.push_back(row);
        doc.BumpRevision();
    }
    // Waits (handling events: the view's own poll drives the decode) until
    // the first decoder row has a result or an error.
    bool Decoded()
    {
        return QTest::qWaitFor(
            [&] {
                const CDocumentDecodes* rows = view.Decodes();
                return rows->Size() > 0 && !rows->Row(0).Decoding() &&
                       (rows->Row(0).Result() || !rows->Row(0).Error().isEmpty());
            },
            15000);
    }
};

// Replaces the samples of the document's signals, as a capture hand-off does:
// the whole word into "all_bits", each field taken from it, one change.
void ReplaceSamples(CVexlarDoc& doc, const std::vector<uint32_t>& words)
{
    CSignal* all = doc.Head();
    all->EnsureCapacity(static_cast<int32_t>(words.size()));
    all->m_count = static_cast<int32_t>(words.size());
    std::copy(words.begin(), words.end(), all->m_samples);
    for (CSignal* s : doc.m_signals) {
        if (s != all)
            s->UpdateFromSource();
    }
    doc.BumpRevision();
}

// The hover text over the first data byte of a UART row (samples 40..120)
// in the first decoder row of `view`, at 20 px per sample (empty: none).
QString HoverTextOfFirstByte(CVexlarView& view)
{
    CViewport v = view.Viewport();
    v.SetZoom(20);
    v.SetFirstVisible(40);
    view.SetViewport(v);
    view.PaintNow();
    if (view.DrawnDecoderRows().empty())
        return {};
    const GdiRect r = view.DrawnDecoderRows().front().rowRect;
    for (int y = r.top + kDecoderTitleHeight + kDecoderLaneHeight / 2; y < r.bottom; y += kDecoderLaneHeight) {
        const QString text = view.DecoderTextAt(GdiPoint{300, y});
        if (text.startsWith(QStringLiteral("rx-data: ")))
            return text;
    }
    return {};
}

}   // namespace

class DecoderRowViewTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        if (!HaveDecoders())
            QSKIP("no protocol decoders");
    }

    void drawsBoxesAndShowsTheirTextOnHover()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 1000000);
        QVERIFY(f.Decoded());
        const QImage& img = f.view.PaintNow();
        const CRowDecode& row = f.view.Decodes()->Row(0);
        QVERIFY(row.Error().isEmpty());
        const GdiRect r = f.view.DrawnDecoderRows().at(0).rowRect;
        QVERIFY(r.bottom > r.top);
        QVERIFY(r.bottom <= img.height());
        // The first data byte spans samples 40..120: at 20 px per sample from
        // sample 0 that is x 900 onwards (the trace area starts at 100).
        CViewport v = f.view.Viewport();
        v.SetFirstVisible(40);
        f.view.SetViewport(v);
        f.view.PaintNow();
        const int laneCount = (DecoderRowHeight(row) - kDecoderTitleHeight) / kDecoderLaneHeight;
        QVERIFY(laneCount >= 2);   // data and bits at least
        bool foundData = false;
        for (int lane = 0; lane < laneCount; ++lane) {
            const int y = r.top + kDecoderTitleHeight + lane * kDecoderLaneHeight + 8;
            const QString text = f.view.DecoderTextAt(GdiPoint{300, y});
            if (text == QStringLiteral("rx-data: 48"))
                foundData = true;
        }
        QVERIFY(foundData);
        // Boxes are painted in colour under the title line.
        const QImage& again = f.view.PaintNow();
        int coloured = 0;
        for (int x = 100; x < 1000; x += 7) {
            const QRgb p = again.pixel(x, r.top + kDecoderTitleHeight + 8) & 0xFFFFFF;
            coloured += p != 0;
        }
        QVERIFY(coloured > 50);
    }

    void errorShowsInTheRowAndTheStatusLine()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 0);   // no sample rate anywhere
        QVERIFY(f.Decoded());
        const CRowDecode& row = f.view.Decodes()->Row(0);
        QVERIFY(row.Error().contains(QStringLiteral("samplerate")));
        QVERIFY(!f.messages.isEmpty());
        QVERIFY(f.messages.last().startsWith(QStringLiteral("Decoder error: ")));
        f.view.PaintNow();   // painting an errored row works
    }

    void aBadDecoderLineIsAnErrorNotACrash()
    {
        Fixture f;
        f.AddRow("uart:rx=nosuchsignal", 1000000);
        QVERIFY(f.Decoded());
        QVERIFY(f.view.Decodes()->Row(0).Error().contains(QStringLiteral("nosuchsignal")));
    }

    void commandsDuplicateMoveAndDelete()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 1000000);
        f.AddRow("uart:rx=#0:baudrate=100000:format=ascii", 1000000);
        f.doc.m_decoderRows[1].name = QStringLiteral("second");
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_DUPLICATE, 0);
        QCOMPARE(f.doc.m_decoderRows.size(), size_t{3});
        QCOMPARE(f.doc.m_decoderRows[1].decoderLine, f.doc.m_decoderRows[0].decoderLine);
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_MOVE_UP, 2);
        QCOMPARE(f.doc.m_decoderRows[1].name, QStringLiteral("second"));
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_MOVE_DOWN, 2);   // already last: nothing
        QCOMPARE(f.doc.m_decoderRows[1].name, QStringLiteral("second"));
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_DELETE, 1);
        QCOMPARE(f.doc.m_decoderRows.size(), size_t{2});
        QVERIFY(f.doc.IsModified());
        QVERIFY(f.Decoded());
        QCOMPARE(f.view.Decodes()->Size(), size_t{2});
    }

    void twoWindowsOfADocumentShareOneDecode()
    {
        Fixture f;
        CVexlarView second(&f.doc);
        second.resize(1000, 400);
        f.AddRow("uart:rx=rx:baudrate=100000", 1000000);
        QVERIFY(f.Decoded());
        QCOMPARE(second.Decodes(), f.view.Decodes());
        const CRowDecode& row = f.view.Decodes()->Row(0);
        QCOMPARE(row.DecodesStarted(), uint64_t{1});
        QCOMPARE(HoverTextOfFirstByte(second), QStringLiteral("rx-data: 48"));

        // New samples, as a capture hand-off brings them: the document's
        // change alone starts one more decode, and both windows draw it.
        const auto before = row.Result();
        WordStream s;
        AppendUart(s, 0, {0x4F, 0x4B}, 10, 30);
        ReplaceSamples(f.doc, s.words);
        QVERIFY(QTest::qWaitFor([&] { return row.Result() != before && !row.Decoding(); }, 15000));
        QCOMPARE(row.DecodesStarted(), uint64_t{2});
        QCOMPARE(HoverTextOfFirstByte(f.view), QStringLiteral("rx-data: 4F"));
        QCOMPARE(HoverTextOfFirstByte(second), QStringLiteral("rx-data: 4F"));
    }

    void rowEditsAreUndoneWithTheDecodesFollowing()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 1000000);
        QVERIFY(f.Decoded());
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_DELETE, 0);
        QVERIFY(f.doc.m_decoderRows.empty());
        QVERIFY(QTest::qWaitFor([&] { return f.view.Decodes()->Size() == 0; }, 15000));
        QCOMPARE(f.doc.m_undo.UndoText(), QStringLiteral("Delete Decoder Row"));
        QVERIFY(f.doc.Undo());
        QCOMPARE(f.doc.m_decoderRows.size(), size_t{1});
        QVERIFY(f.Decoded());
        QCOMPARE(HoverTextOfFirstByte(f.view), QStringLiteral("rx-data: 48"));
    }

    void demoDocumentDecodesTheDemoCoresSerialLine()
    {
        // The demo document with a capture of the simulated core's pattern,
        // taken in through the hand-off the capture distributor uses.
        CVexlarDoc doc;
        DemoDocument::Fill(doc);
        constexpr int32_t kDepth = 8192;   // five times the text
        std::vector<uint8_t> bytes(size_t{kDepth} * 4);
        for (int32_t i = 0; i < kDepth; ++i) {
            const uint32_t w = coresim::PatternWord(1, static_cast<uint32_t>(i));
            for (int b = 0; b < 4; ++b)
                bytes[size_t(i) * 4 + size_t(b)] = static_cast<uint8_t>(w >> (8 * b));
        }
        CaptureFrame frame;
        frame.captureId = 1;
        frame.words = bytes.data();
        frame.capacityBytes = static_cast<int32_t>(bytes.size());
        frame.depth = kDepth;
        frame.bitsPerSample = 32;
        CopyCaptureIntoDocument(frame, doc);

        const auto decodes = CDocumentDecodes::For(doc);
        QVERIFY(QTest::qWaitFor(
            [&] { return decodes->Size() == 1 && decodes->Row(0).Result() && !decodes->Row(0).Decoding(); }, 15000));
        const auto result = decodes->Row(0).Result();
        QVERIFY2(result->ok, result->error.c_str());
        std::string text;
        const CAnnotationStore& store = result->annotations;
        for (const Annotation& a : store.Items()) {
            if (store.ClassId(a) == "rx-data")
                text += static_cast<char>(std::stoul(std::string(store.Text(a)), nullptr, 16));
        }
        QVERIFY2(text.find("Vexlar\r\nVexlar\r\n") != std::string::npos, text.c_str());
    }

    void dialogBuildsTheDecoderLineFromItsChoices()
    {
        Fixture f;
        CAddDecoderDialog dialog(f.doc, nullptr);
        auto* filter = dialog.findChild<QLineEdit*>(QStringLiteral("decoderFilter"));
        auto* list = dialog.findChild<QListWidget*>(QStringLiteral("decoderList"));
        QVERIFY(filter && list);
        QVERIFY(list->count() > 50);
        filter->setText(QStringLiteral("uart"));
        int visible = 0;
        int uartRow = -1;
        for (int i = 0; i < list->count(); ++i) {
            if (!list->item(i)->isHidden()) {
                ++visible;
                if (list->item(i)->data(Qt::UserRole).toString() == QStringLiteral("uart"))
                    uartRow = i;
            }
        }
        QVERIFY(visible >= 1 && visible < 10);
        QVERIFY(uartRow >= 0);
        list->setCurrentRow(uartRow);
        auto* rx = dialog.findChild<QComboBox*>(QStringLiteral("channel_rx"));
        auto* baud = dialog.findChild<QLineEdit*>(QStringLiteral("option_baudrate"));
        auto* parity = dialog.findChild<QComboBox*>(QStringLiteral("option_parity"));
        QVERIFY(rx && baud && parity);
        QCOMPARE(baud->text(), QStringLiteral("115200"));   // the default
        QCOMPARE(parity->currentText(), QStringLiteral("none"));
        rx->setCurrentIndex(rx->findData(QStringLiteral("rx")));   // the one-bit signal "rx"
        baud->setText(QStringLiteral("9600"));
        parity->setCurrentIndex(parity->findData(QStringLiteral("even")));
        auto* line = dialog.findChild<QLineEdit*>(QStringLiteral("decoderLine"));
        QCOMPARE(line->text(), QStringLiteral("uart:rx=rx:baudrate=9600:parity=even"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Row().decoderLine, std::string("uart:rx=rx:baudrate=9600:parity=even"));

        // A wrong hand-edited decoder line keeps the dialog open with the message.
        CAddDecoderDialog second(f.doc, &dialog.Row());
        auto* line2 = second.findChild<QLineEdit*>(QStringLiteral("decoderLine"));
        QCOMPARE(line2->text(), QStringLiteral("uart:rx=rx:baudrate=9600:parity=even"));
        QCOMPARE(second.findChild<QComboBox*>(QStringLiteral("option_parity"))->currentText(), QStringLiteral("even"));
        line2->setText(QStringLiteral("uart:rx=rx:parity=sometimes"));
        second.accept();
        QVERIFY(second.result() != int(QDialog::Accepted));
        QVERIFY(second.findChild<QLabel*>(QStringLiteral("decoderError"))->text().contains(QStringLiteral("parity")));
    }
};

QTEST_MAIN(DecoderRowViewTest)
#include "decoder_row_view_test.moc"
