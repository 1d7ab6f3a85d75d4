// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder rows in a real view (offscreen): decoded off the UI thread and
// drawn as lanes of labelled boxes, hover text, errors in the row and the
// status line, the row's commands; and the decoder dialog.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include "decode/decoder_catalog.h"
#include "properties/add_decoder_dialog.h"
#include "protocol_captures.h"
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
    void AddRow(const std::string& spec, uint64_t rate)
    {
        CDecoderRowConfig row;
        row.name = QStringLiteral("UART");
        row.spec = spec;
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
                CDecoderRowSet& rows = view.DecoderRows();
                return rows.Size() > 0 && !rows.Row(0).Decoding() &&
                       (rows.Row(0).Result() || !rows.Row(0).Error().isEmpty());
            },
            15000);
    }
};

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
        CDecoderRowRuntime& row = f.view.DecoderRows().Row(0);
        QVERIFY(row.Error().isEmpty());
        const GdiRect r = row.RowRect();
        QVERIFY(r.bottom > r.top);
        QVERIFY(r.bottom <= img.height());
        // The first data byte spans samples 40..120: at 20 px per sample from
        // sample 0 that is x 900 onwards (the trace area starts at 100).
        CViewport v = f.view.Viewport();
        v.SetFirstVisible(40);
        f.view.SetViewport(v);
        f.view.PaintNow();
        const int laneCount = (row.Height() - CDecoderRowRuntime::kTitleHeight) / CDecoderRowRuntime::kLaneHeight;
        QVERIFY(laneCount >= 2);   // data and bits at least
        bool foundData = false;
        for (int lane = 0; lane < laneCount; ++lane) {
            const int y = r.top + CDecoderRowRuntime::kTitleHeight + lane * CDecoderRowRuntime::kLaneHeight + 8;
            const QString text = row.TextAt(GdiPoint{300, y});
            if (text == QStringLiteral("rx-data: 48"))
                foundData = true;
        }
        QVERIFY(foundData);
        // Boxes are painted in colour under the title line.
        const QImage& again = f.view.PaintNow();
        int coloured = 0;
        for (int x = 100; x < 1000; x += 7) {
            const QRgb p = again.pixel(x, r.top + CDecoderRowRuntime::kTitleHeight + 8) & 0xFFFFFF;
            coloured += p != 0;
        }
        QVERIFY(coloured > 50);
    }

    void errorShowsInTheRowAndTheStatusLine()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 0);   // no sample rate anywhere
        QVERIFY(f.Decoded());
        CDecoderRowRuntime& row = f.view.DecoderRows().Row(0);
        QVERIFY(row.Error().contains(QStringLiteral("samplerate")));
        QVERIFY(!f.messages.isEmpty());
        QVERIFY(f.messages.last().startsWith(QStringLiteral("Decoder error: ")));
        f.view.PaintNow();   // painting an errored row works
    }

    void aBadSpecificationIsAnErrorNotACrash()
    {
        Fixture f;
        f.AddRow("uart:rx=nosuchsignal", 1000000);
        QVERIFY(f.Decoded());
        QVERIFY(f.view.DecoderRows().Row(0).Error().contains(QStringLiteral("nosuchsignal")));
    }

    void commandsDuplicateMoveAndDelete()
    {
        Fixture f;
        f.AddRow("uart:rx=rx:baudrate=100000", 1000000);
        f.AddRow("uart:rx=#0:baudrate=100000:format=ascii", 1000000);
        f.doc.m_decoderRows[1].name = QStringLiteral("second");
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_DUPLICATE, 0);
        QCOMPARE(f.doc.m_decoderRows.size(), size_t{3});
        QCOMPARE(f.doc.m_decoderRows[1].spec, f.doc.m_decoderRows[0].spec);
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_MOVE_UP, 2);
        QCOMPARE(f.doc.m_decoderRows[1].name, QStringLiteral("second"));
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_MOVE_DOWN, 2);   // already last: nothing
        QCOMPARE(f.doc.m_decoderRows[1].name, QStringLiteral("second"));
        f.view.RunDecoderRowCommand(CVexlarView::ID_DECODER_DELETE, 1);
        QCOMPARE(f.doc.m_decoderRows.size(), size_t{2});
        QVERIFY(f.doc.IsModified());
        QVERIFY(f.Decoded());
        QCOMPARE(f.view.DecoderRows().Size(), size_t{2});
    }

    void dialogBuildsTheSpecificationFromItsChoices()
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
        auto* spec = dialog.findChild<QLineEdit*>(QStringLiteral("decoderSpec"));
        QCOMPARE(spec->text(), QStringLiteral("uart:rx=rx:baudrate=9600:parity=even"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.Row().spec, std::string("uart:rx=rx:baudrate=9600:parity=even"));

        // A wrong hand-edited specification keeps the dialog open with the message.
        CAddDecoderDialog second(f.doc, &dialog.Row());
        auto* spec2 = second.findChild<QLineEdit*>(QStringLiteral("decoderSpec"));
        QCOMPARE(spec2->text(), QStringLiteral("uart:rx=rx:baudrate=9600:parity=even"));
        QCOMPARE(second.findChild<QComboBox*>(QStringLiteral("option_parity"))->currentText(), QStringLiteral("even"));
        spec2->setText(QStringLiteral("uart:rx=rx:parity=sometimes"));
        second.accept();
        QVERIFY(second.result() != int(QDialog::Accepted));
        QVERIFY(second.findChild<QLabel*>(QStringLiteral("decoderError"))->text().contains(QStringLiteral("parity")));
    }
};

QTEST_MAIN(DecoderRowViewTest)
#include "decoder_row_view_test.moc"
