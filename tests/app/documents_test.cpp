// SPDX-License-Identifier: GPL-3.0-or-later
// Which document the commands act on, what a capture may change, and what
// closing asks: the active document is the application's own fact; opened
// documents are held and new ones live; a live document that took a capture
// has something to save; exit asks once about several modified documents.
// All with the demo core on loopback, offscreen.

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QPushButton>
#include <QTimer>

#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_io.h"
#include "app/save_modified_dialog.h"
#include "app_test_support.h"
#include "document/capture_handoff.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

// Counts the timer events delivered to the application shell (the main
// window and everything in it, the application object), leaving out the
// waveform views, which run their own capture timer.
class ShellTimerCounter : public QObject {
public:
    explicit ShellTimerCounter(CVexlarApp& app) : m_app(app) { qApp->installEventFilter(this); }
    ~ShellTimerCounter() override { qApp->removeEventFilter(this); }
    int Count() const { return m_count; }
    QStringList Receivers() const { return m_receivers; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Timer && InShell(watched)) {
            ++m_count;
            m_receivers << QString::fromLatin1(watched->metaObject()->className()) + QLatin1Char('/') +
                               watched->objectName();
        }
        return false;
    }

private:
    bool InShell(QObject* object) const
    {
        for (QObject* o = object; o; o = o->parent()) {
            if (o->inherits("CVexlarView")) {
                return false;
            }
            if (o == m_app.MainFrame() || o == &m_app || o == m_app.Documents()) {
                return true;
            }
        }
        return false;
    }
    CVexlarApp& m_app;
    int m_count = 0;
    QStringList m_receivers;
};

QString SaveFile(const QString& path, const QString& firstName)
{
    CVexlarDoc source;
    source.m_signals.front()->m_name = firstName;
    source.m_signals.front()->EnsureCapacity(2);
    source.m_signals.front()->m_samples[1] = 0xABCD;
    source.m_signals.front()->m_count = 2;
    QString error;
    return SaveDocumentToFile(source, path, error) ? path : QString();
}

}   // namespace

class DocumentsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }
    void init() { QSettings().clear(); }

    // The commands and the caption follow the active document, which the
    // application sets itself, with no timer: here the document area is
    // made to forget its active window, as it does when the main window is
    // not the active one.
    void commandsFollowTheActiveDocumentWithoutATimer()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        app->m_link.SetRunEnabled(false);
        DiscardUnsavedChanges(*app);
        CMainFrame* frame = app->MainFrame();
        CVexlarDoc* first = FirstDocument(*app);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Vexlar1 - Vexlar"));
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());

        CVexlarDoc* second = app->Documents()->NewDocument();
        QCOMPARE(app->Documents()->ActiveDocument(), second);
        QCOMPARE(frame->windowTitle(), QStringLiteral("Vexlar2 - Vexlar"));
        frame->MdiArea()->setActiveSubWindow(nullptr);
        QCoreApplication::processEvents();
        QCOMPARE(app->Documents()->ActiveDocument(), second);
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());
        QVERIFY(frame->Action(ID_SIGNALS_ADD)->isEnabled());

        // The view of the first document takes the focus: it is active.
        QWidget* firstView = app->Documents()->FramesOf(first).front()->View();
        firstView->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        if (QApplication::focusWidget() == firstView) {
            QCOMPARE(app->Documents()->ActiveDocument(), first);
            QCOMPARE(frame->windowTitle(), QStringLiteral("Vexlar1 - Vexlar"));
        }

        // Held and live: the Live command's check mark follows the document.
        second->SetLive(false);
        app->Documents()->SetActiveFrame(app->Documents()->FramesOf(second).front());
        QVERIFY(!frame->Action(ID_TRIG_LIVE)->isChecked());
        app->Documents()->SetActiveFrame(app->Documents()->FramesOf(first).front());
        QVERIFY(frame->Action(ID_TRIG_LIVE)->isChecked());

        // Closing the active document hands the commands to the one shown next.
        app->OnFileClose();
        QVERIFY(WaitFor([&] { return app->Documents()->ActiveDocument() == second; }));
        QCOMPARE(frame->windowTitle(), QStringLiteral("Vexlar2 - Vexlar"));
        QVERIFY(frame->Action(ID_FILE_SAVE)->isEnabled());
        app->OnFileClose();
        QVERIFY(WaitFor([&] { return app->Documents()->Documents().empty(); }));
        QVERIFY(!app->Documents()->ActiveDocument());
        QCOMPARE(frame->windowTitle(), QStringLiteral("Vexlar"));
        QVERIFY(!frame->Action(ID_FILE_SAVE)->isEnabled());
        QVERIFY(!frame->Action(ID_TRIG_LIVE)->isEnabled());
    }

    // With Run off nothing happens, and no timer of the shell fires.
    void anIdleShellRunsNoTimer()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        app->MainFrame()->Action(ID_TRIG_RUN)->trigger();   // Run off, as the user turns it off
        QVERIFY(!app->m_link.IsRunEnabled());
        QVERIFY(WaitFor([&] { return app->MainFrame()->isVisible(); }));
        // Start-up settles: a capture in flight may still land, and the
        // document area lays its windows out once after a resize.
        QTest::qWait(600);
        ShellTimerCounter timers(*app);
        QTest::qWait(1000);
        QVERIFY2(timers.Count() == 0, qPrintable(timers.Receivers().join(QStringLiteral(", "))));
    }

    void newDocumentsAreLiveAndOpenedOnesHeld()
    {
        QTemporaryDir dir;
        const QString path = SaveFile(dir.filePath(QStringLiteral("kept.VEXLAR")), QStringLiteral("from_file"));
        QVERIFY(!path.isEmpty());
        auto app = StartDemoApp();   // Run on: captures keep arriving
        QVERIFY(app);
        CDocumentManager* docs = app->Documents();
        CVexlarDoc* fresh = FirstDocument(*app);
        QVERIFY(fresh->IsLive());
        QVERIFY(docs->FramesOf(fresh).front()->LiveMark());

        CVexlarDoc* opened = docs->OpenDocument(path);
        QVERIFY(opened);
        QVERIFY(!opened->IsLive());
        QVERIFY(!docs->FramesOf(opened).front()->LiveMark());
        CMainFrame* frame = app->MainFrame();
        QVERIFY(frame->Action(ID_TRIG_LIVE)->isEnabled());
        QVERIFY(!frame->Action(ID_TRIG_LIVE)->isChecked());

        // Captures go on; the opened document keeps the file's samples, is
        // not modified, and the new one takes them and has something to save.
        const uint64_t completed = app->m_link.CompletedCaptures();
        QVERIFY(WaitFor([&] { return app->m_link.CompletedCaptures() >= completed + 3 && fresh->IsModified(); }));
        QTest::qWait(50);
        const CSignal* kept = opened->m_signals.front();
        QCOMPARE(kept->m_count, 2);
        QCOMPARE(kept->m_samples[1], 0xABCDu);
        QVERIFY(!opened->IsModified());
        QVERIFY(docs->FramesOf(fresh).front()->windowTitle().endsWith(QLatin1Char('*')));
        QCOMPARE(docs->FramesOf(opened).front()->windowTitle(), QStringLiteral("kept.VEXLAR"));

        // Made live with the Live command, it takes the newest capture at
        // once and every capture after it, and is modified from then on.
        frame->Action(ID_TRIG_LIVE)->trigger();
        QVERIFY(opened->IsLive());
        QCOMPARE(opened->m_signals.front()->m_count, 4096);
        QVERIFY(frame->Action(ID_TRIG_LIVE)->isChecked());
        QVERIFY(docs->FramesOf(opened).front()->LiveMark());
        QVERIFY(WaitFor([&] { return opened->m_signals.front()->m_count == 4096; }));
        QVERIFY(opened->IsModified());
        QVERIFY(WaitFor([&] { return docs->FramesOf(opened).front()->windowTitle() == "kept.VEXLAR*"; }));
        // Frozen signals keep their meaning in a live document.
        QCOMPARE(frame->Action(ID_TRIG_LIVE)->text(), QStringLiteral("&Live"));
    }

    void anUntitledDocumentHoldingCapturesAsksBeforeItCloses()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(WaitFor([&] { return doc->HasCaptureSinceSave(); }));
        QStringList asked;
        app->Documents()->m_askSave = [&](const QString& title) {
            asked << title;
            return CDocumentManager::SaveChoice::Cancel;
        };
        app->OnFileClose();
        QCOMPARE(asked, QStringList{QStringLiteral("Vexlar1")});
        QCOMPARE(app->Documents()->Documents().size(), size_t(1));

        // Saved, it is not modified until the next capture.
        QTemporaryDir dir;
        app->Documents()->m_askSavePath = [&](const QString&) { return dir.filePath(QStringLiteral("c.VEXLAR")); };
        app->m_link.SetRunEnabled(false);
        QTest::qWait(100);   // a capture in flight lands before the save
        QVERIFY(app->Documents()->SaveDocument(doc));
        QVERIFY(!doc->IsModified());
        QTest::qWait(100);
        QVERIFY(!doc->IsModified());
        app->m_link.SetRunEnabled(true);
        QVERIFY(WaitFor([&] { return doc->IsModified(); }));
    }

    void exitAsksOnceAboutSeveralModifiedDocuments_data()
    {
        using Choice = CDocumentManager::SeveralSaveAnswer::Choice;
        QTest::addColumn<int>("choice");
        QTest::addColumn<QList<bool>>("chosen");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("saved");   // documents saved, by title
        QTest::newRow("cancel") << int(Choice::Cancel) << QList<bool>{} << false << QStringList{};
        QTest::newRow("discard all") << int(Choice::DiscardAll) << QList<bool>{} << true << QStringList{};
        QTest::newRow("save all") << int(Choice::SaveAll) << QList<bool>{} << true << QStringList{"Vexlar1", "Vexlar3"};
        QTest::newRow("save the second only")
            << int(Choice::SaveChosen) << QList<bool>{false, true} << true << QStringList{"Vexlar3"};
    }

    void exitAsksOnceAboutSeveralModifiedDocuments()
    {
        QFETCH(int, choice);
        QFETCH(QList<bool>, chosen);
        QFETCH(bool, closes);
        QFETCH(QStringList, saved);
        auto app = StartDemoApp();
        QVERIFY(app);
        app->m_link.SetRunEnabled(false);
        CDocumentManager* docs = app->Documents();
        CVexlarDoc* first = FirstDocument(*app);
        docs->NewDocument();   // Vexlar2: stays unmodified
        docs->NewDocument();
        for (CVexlarDoc* doc : docs->Documents()) {
            doc->SetLive(false);   // no capture changes them from now on
            doc->SetModifiedFlag(false);
        }
        CVexlarDoc* third = docs->Documents().back();
        first->SetModifiedFlag(true);
        third->SetModifiedFlag(true);
        QList<QStringList> questions;
        docs->m_askSave = [&](const QString& title) {
            questions << QStringList{title};
            return CDocumentManager::SaveChoice::Cancel;
        };
        docs->m_askSaveSeveral = [&](const QStringList& titles) {
            questions << titles;
            CDocumentManager::SeveralSaveAnswer answer;
            answer.choice = static_cast<CDocumentManager::SeveralSaveAnswer::Choice>(choice);
            answer.save.assign(chosen.begin(), chosen.end());
            return answer;
        };
        QTemporaryDir dir;
        QStringList savedTitles;
        docs->m_askSavePath = [&](const QString& suggested) {
            savedTitles << QFileInfo(suggested).completeBaseName();
            return dir.filePath(suggested);
        };
        QCOMPARE(app->MainFrame()->close(), closes);
        QCOMPARE(questions, (QList<QStringList>{{"Vexlar1", "Vexlar3"}}));
        QCOMPARE(savedTitles, saved);
        QCOMPARE(app->MainFrameClosed(), closes);
    }

    void theQuestionAboutSeveralDocumentsLetsTheUserChoose()
    {
        CSaveModifiedDialog dialog({QStringLiteral("a.VEXLAR"), QStringLiteral("Vexlar2")});
        QCOMPARE(dialog.List()->count(), 2);
        QCOMPARE(dialog.SaveButton()->text(), QStringLiteral("&Save All"));
        dialog.List()->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(dialog.SaveButton()->text(), QStringLiteral("&Save Checked"));
        QCOMPARE(dialog.Checked(), (std::vector<bool>{true, false}));
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.SaveButton()->click(); });
        dialog.exec();
        QCOMPARE(dialog.Result(), CSaveModifiedDialog::Answer::SaveChecked);

        CSaveModifiedDialog other({QStringLiteral("x"), QStringLiteral("y")});
        QTimer::singleShot(0, &other, [&other] { other.DiscardButton()->click(); });
        other.exec();
        QCOMPARE(other.Result(), CSaveModifiedDialog::Answer::DiscardAll);
    }
};

QTEST_MAIN(DocumentsTest)
#include "documents_test.moc"
