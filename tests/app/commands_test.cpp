// SPDX-License-Identifier: GPL-3.0-or-later
// The document commands of the shell: the exports with their save dialogs,
// the Signals menu with the properties dialog, printing, and the headless
// export of the vexlar executable without a display.

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLabel>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "app/command_ids.h"
#include "app/document_commands.h"
#include "app/document_io.h"
#include "app_test_support.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

// A fixed document: captures would change the samples under the test.
std::unique_ptr<CVexlarApp> StartQuietDemoApp()
{
    auto app = StartDemoApp();
    if (app) {
        app->m_link.SetRunEnabled(false);
        // A capture already on its way would still land in the live
        // start-up document: held, it keeps what the test puts there.
        FirstDocument(*app)->SetLive(false);
        FirstDocument(*app)->SetModifiedFlag(false);
    }
    return app;
}

// Three signals a, b, c of three samples each (no capture needed).
void FillDocument(CVexlarDoc& doc)
{
    doc.RemoveAllSignals();
    const char* names[] = {"a", "b", "c"};
    for (int s = 0; s < 3; ++s) {
        CSignal* signal = doc.AppendNewSignal();
        signal->m_name = QString::fromLatin1(names[s]);
        signal->m_numBits = 8;
        signal->m_allBits = false;
        signal->m_radix = Unsigned;
        signal->UpdateMask();
        signal->m_freeze = true;   // keeps these samples whatever arrives
        signal->EnsureCapacity(3);
        for (int i = 0; i < 3; ++i) {
            signal->m_samples[i] = static_cast<uint32_t>(10 * (s + 1) + i);
        }
        signal->m_count = 3;
    }
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the next modal window with `answer` and records its text.
void AnswerNextModal(QString* text, const std::function<void(QWidget*)>& answer)
{
    QTimer::singleShot(0, [text, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && text) {
            *text = box->text();
        }
        answer(modal);
    });
}

}   // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }
    void cleanup() { SetExportPathAsker({}); }

    void exportsAskWithTheirExtensionsAndWriteTheChosenFile_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("table") << ID_FILE_EXPORT << "csv" << QByteArray("a,b,c\r\n10,20,30\r\n");
        QTest::newRow("testbench") << ID_SIGNALS_EXPORT_TESTBENCH << "vhd" << QByteArray("\r\n\r\nlibrary ieee;\r\n");
        QTest::newRow("vcd") << ID_FILE_EXPORT_VCD << "vcd" << QByteArray("$");
    }

    void exportsAskWithTheirExtensionsAndWriteTheChosenFile()
    {
        QFETCH(int, command);
        QFETCH(QString, extension);
        QFETCH(QByteArray, start);
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        FillDocument(*FirstDocument(*app));
        QTemporaryDir dir;
        QStringList asked;
        QString path = dir.filePath(QStringLiteral("out.") + extension);
        SetExportPathAsker([&](QWidget*, const ExportTarget& target) {
            asked << target.extension;
            return path;
        });
        app->MainFrame()->Action(command)->trigger();
        QCOMPARE(asked, QStringList{extension});
        QVERIFY2(ReadAll(path).startsWith(start), ReadAll(path).left(60).constData());

        // Cancel writes nothing
        path = dir.filePath(QStringLiteral("cancelled.") + extension);
        SetExportPathAsker([&](QWidget*, const ExportTarget&) { return QString(); });
        app->MainFrame()->Action(command)->trigger();
        QVERIFY(!QFile::exists(path));
    }

    // The real save dialog of each export: the format's filter first, and
    // the folder of the document's file with the document's name suggested.
    void exportDialogsOfferTheirFormatInTheDocumentsFolder_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("table") << ID_FILE_EXPORT << "CSV files (*.csv)"
                               << "capture.csv";
        QTest::newRow("testbench") << ID_SIGNALS_EXPORT_TESTBENCH << "VHDL files (*.vhd)"
                                   << "capture.vhd";
        QTest::newRow("vcd") << ID_FILE_EXPORT_VCD << "VCD files (*.vcd)"
                             << "capture.vcd";
        QTest::newRow("selected") << ID_SIGNALS_EXPORT_SELECTED << "Text files (*.txt)"
                                  << "capture-a.txt";
    }

    void exportDialogsOfferTheirFormatInTheDocumentsFolder()
    {
        QFETCH(int, command);
        QFETCH(QString, filter);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("capture.VEXLAR"));
        {
            CVexlarDoc saved;
            FillDocument(saved);
            saved.m_signals.front()->m_selected = true;
            QString error;
            QVERIFY(SaveDocumentToFile(saved, path, error));
        }
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        QVERIFY(app->Documents()->OpenDocument(path));
        QString shownFilter, shownFolder, shownName;
        QStringList filters;
        AnswerNextModal(nullptr, [&](QWidget* w) {
            if (auto* dialog = qobject_cast<QFileDialog*>(w)) {
                shownFilter = dialog->selectedNameFilter();
                filters = dialog->nameFilters();
                shownFolder = dialog->directory().absolutePath();
                const auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                shownName = name ? name->text() : QString();
            }
            w->close();
        });
        app->MainFrame()->Action(command)->trigger();
        QCOMPARE(shownFilter, filter);
        QCOMPARE(filters.first(), filter);
        QCOMPARE(shownFolder, QFileInfo(path).absolutePath());
        QCOMPARE(shownName, fileName);
    }

    // Add and Duplicate Selected on a full document say why nothing happens.
    void signalCommandsAtTheLimitSaySo()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        while (doc->m_signals.size() < size_t(CVexlarDoc::kMaxSignals)) {
            doc->AppendNewSignal();
        }
        doc->m_signals.front()->m_selected = true;
        for (int command : {ID_SIGNALS_ADD, ID_SIGNALS_DUPLICATE}) {
            QString message;
            AnswerNextModal(&message, [](QWidget* w) { w->close(); });
            app->MainFrame()->Action(command)->trigger();
            QVERIFY2(message.contains(QStringLiteral("at most 4096")), qPrintable(message));
            QCOMPARE(doc->m_signals.size(), size_t(CVexlarDoc::kMaxSignals));
        }
    }

    void exportSelectedAsksOncePerSelectedSignalAndCancelSkipsOne()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        FillDocument(*doc);
        for (CSignal* signal : doc->m_signals) {
            signal->m_selected = true;
        }
        QTemporaryDir dir;
        int call = 0;
        QStringList extensions;
        SetExportPathAsker([&](QWidget*, const ExportTarget& target) {
            extensions << target.extension;
            ++call;
            return call == 2 ? QString() : dir.filePath(QStringLiteral("signal%1.txt").arg(call));
        });
        app->MainFrame()->Action(ID_SIGNALS_EXPORT_SELECTED)->trigger();
        QCOMPARE(extensions, (QStringList{"txt", "txt", "txt"}));
        QCOMPARE(ReadAll(dir.filePath("signal1.txt")), QByteArray("10\r\n11\r\n12\r\n"));
        QVERIFY(!QFile::exists(dir.filePath("signal2.txt")));
        QCOMPARE(ReadAll(dir.filePath("signal3.txt")), QByteArray("30\r\n31\r\n32\r\n"));

        // nothing selected: no dialog at all
        for (CSignal* signal : doc->m_signals) {
            signal->m_selected = false;
        }
        app->MainFrame()->Action(ID_SIGNALS_EXPORT_SELECTED)->trigger();
        QCOMPARE(call, 3);
    }

    void anExportThatCannotBeWrittenSaysSo()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        FillDocument(*FirstDocument(*app));
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("missing-folder/out.txt"));
        SetExportPathAsker([&](QWidget*, const ExportTarget&) { return path; });
        QString message;
        AnswerNextModal(&message, [](QWidget* w) { w->close(); });
        app->MainFrame()->Action(ID_FILE_EXPORT)->trigger();
        QVERIFY(!QFile::exists(path));
        QVERIFY2(!message.isEmpty(), "the failure is reported, not passed over");
    }

    void aTestbenchOfAnEmptyDocumentReportsTheError()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        FirstDocument(*app)->RemoveAllSignals();
        QTemporaryDir dir;
        SetExportPathAsker([&](QWidget*, const ExportTarget&) { return dir.filePath("empty.vhd"); });
        QString message;
        AnswerNextModal(&message, [](QWidget* w) { w->close(); });
        app->MainFrame()->Action(ID_SIGNALS_EXPORT_TESTBENCH)->trigger();
        QCOMPARE(message, QStringLiteral("Encountered an improper argument."));
    }

    void addOpensThePropertiesAndAppendsOnOk()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(doc);
        const size_t before = doc->m_signals.size();

        AnswerNextModal(nullptr, [](QWidget* w) { w->findChild<QPushButton*>("cancelButton")->click(); });
        app->MainFrame()->Action(ID_SIGNALS_ADD)->trigger();
        QCOMPARE(doc->m_signals.size(), before);
        QVERIFY(!doc->IsModified());

        QString title;
        AnswerNextModal(nullptr, [&title](QWidget* w) {
            title = w->windowTitle();
            w->findChild<QPushButton*>("okButton")->click();
        });
        app->MainFrame()->Action(ID_SIGNALS_ADD)->trigger();
        QVERIFY(!title.isEmpty());
        QCOMPARE(doc->m_signals.size(), before + 1);
        QCOMPARE(doc->m_signals.back()->m_name, QStringLiteral("Signalx"));
        QVERIFY(doc->IsModified());
    }

    void deleteFreezeAndDuplicateActOnTheSelection()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        FillDocument(*doc);
        for (CSignal* signal : doc->m_signals) {
            signal->m_freeze = false;
        }
        auto it = doc->m_signals.begin();
        (*it)->m_selected = true;   // a
        std::advance(it, 2);
        (*it)->m_selected = true;   // c
        CMainFrame* frame = app->MainFrame();

        frame->Action(ID_SIGNALS_FREEZE)->trigger();
        QStringList frozen;
        for (CSignal* signal : doc->m_signals) {
            if (signal->m_freeze) {
                frozen << signal->m_name;
            }
        }
        QCOMPARE(frozen, (QStringList{"a", "c"}));

        frame->Action(ID_SIGNALS_DUPLICATE)->trigger();
        QStringList names;
        for (CSignal* signal : doc->m_signals) {
            names << signal->m_name;
        }
        QCOMPARE(names, (QStringList{"a", "a", "b", "c", "c"}));

        frame->Action(ID_SIGNALS_DELETE)->trigger();
        names.clear();
        for (CSignal* signal : doc->m_signals) {
            names << signal->m_name;
        }
        QCOMPARE(names, QStringList{"b"});
        QVERIFY(doc->IsModified());
    }

    void printPreviewShowsTheActiveView()
    {
        auto app = StartQuietDemoApp();
        QVERIFY(app);
        bool preview = false;
        AnswerNextModal(nullptr, [&preview](QWidget* w) {
            preview = qobject_cast<QPrintPreviewDialog*>(w) != nullptr;
            w->close();
        });
        app->MainFrame()->Action(ID_FILE_PRINT_PREVIEW)->trigger();
        QVERIFY(preview);
    }

    void headlessExportNeedsNoDisplay()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath("in.VEXLAR");
        CVexlarDoc doc;
        FillDocument(doc);
        QString error;
        QVERIFY(SaveDocumentToFile(doc, in, error));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
            QProcess process;
            process.setProcessEnvironment(env);
            process.start(QStringLiteral(VEXLAR_EXECUTABLE), args);
            if (!process.waitForFinished(30000)) {
                process.kill();
                return -1;
            }
            if (err) {
                *err = process.readAllStandardError();
            }
            return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        };
        const QString out = dir.filePath("out.csv");
        QCOMPARE(run({"--export", "csv", in, out}), 0);
        QCOMPARE(ReadAll(out), QByteArray("a,b,c\r\n10,20,30\r\n11,21,31\r\n12,22,32\r\n"));

        QFile bad(dir.filePath("bad.VEXLAR"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\x07garbage");
        bad.close();
        QByteArray err;
        QVERIFY(run({"--export", "csv", bad.fileName(), dir.filePath("never.csv")}, &err) != 0);
        QVERIFY2(err.contains("Unexpected file format."), err.constData());
        QVERIFY(!QFile::exists(dir.filePath("never.csv")));

        QCOMPARE(run({"--version"}), 0);
        QCOMPARE(run({"--help"}), 0);
        QCOMPARE(run({"--core", "not-an-address"}), 2);
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
