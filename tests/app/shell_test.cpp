// SPDX-License-Identifier: GPL-3.0-or-later
// The main window, its menus and commands, the document manager and the
// command line, on the offscreen platform. Every application here runs the
// in-process demo core on loopback: nothing is searched on any network.

#include <QAction>
#include <QCommandLinkButton>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QUrl>

#include "app/about_dlg.h"
#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_io.h"
#include "app/key_state.h"
#include "app/view_factory.h"
#include "document/document_edits.h"
#include "app_test_support.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

QStringList MenuTitles(CMainFrame* frame)
{
    QStringList titles;
    for (QAction* action : frame->menuBar()->actions()) {
        titles << action->text();
    }
    return titles;
}

QMenu* MenuNamed(CMainFrame* frame, const QString& title)
{
    for (QAction* action : frame->menuBar()->actions()) {
        if (action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

// Command ids of a menu's items, 0 for a separator.
QList<int> MenuIds(QMenu* menu)
{
    QList<int> ids;
    if (!menu) {
        return ids;
    }
    for (QAction* action : menu->actions()) {
        ids << (action->isSeparator() ? 0 : CommandIdOf(action));
    }
    return ids;
}

int DocumentCount(const CVexlarApp& app)
{
    return static_cast<int>(app.Documents()->Documents().size());
}

}   // namespace

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }
    void init() { QSettings().clear(); }

    void menusSwitchWithTheFirstAndLastDocument()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        DiscardUnsavedChanges(*app);
        CMainFrame* frame = app->MainFrame();
        const QStringList with = {"&File", "&Edit", "&View", "&Trig", "&Signals", "&Window", "&Help"};
        const QStringList without = {"&File", "&View", "&Help"};
        QCOMPARE(frame->CurrentMenuId(), IDR_VexlarTYPE);
        QCOMPARE(MenuTitles(frame), with);

        app->OnFileNew();
        QCOMPARE(DocumentCount(*app), 2);
        app->OnFileClose();   // the active (second) document
        QVERIFY(WaitFor([&] { return DocumentCount(*app) == 1; }));
        QCoreApplication::processEvents();
        QCOMPARE(frame->CurrentMenuId(), IDR_VexlarTYPE);
        QCOMPARE(MenuTitles(frame), with);

        app->OnFileClose();   // the last one
        QVERIFY(WaitFor([&] { return frame->CurrentMenuId() == IDR_MAINFRAME; }));
        QCOMPARE(MenuTitles(frame), without);
        QCOMPARE(MenuIds(MenuNamed(frame, "&File")),
                 (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, 0, ID_FILE_PRINT_SETUP, 0, ID_APP_EXIT}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&View")), (QList<int>{ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&Help")), (QList<int>{ID_APP_ABOUT}));

        app->OnFileNew();   // the first document brings menu 130 back
        QCOMPARE(frame->CurrentMenuId(), IDR_VexlarTYPE);
        QCOMPARE(MenuTitles(frame), with);
    }

    void rebuildingTheMenusLeavesNoOldMenusBehind()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        DiscardUnsavedChanges(*app);
        CMainFrame* frame = app->MainFrame();
        auto menusOfTheBar = [frame] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return frame->menuBar()->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).size();
        };
        // menu 130 has four menus more than menu 128 (the bar may keep a
        // menu of its own for the items that do not fit)
        const auto withDocument = menusOfTheBar();
        QTemporaryDir dir;
        for (int round = 0; round < 3; ++round) {
            app->OnFileClose();
            QVERIFY(WaitFor([&] { return frame->CurrentMenuId() == IDR_MAINFRAME; }));
            QCOMPARE(menusOfTheBar(), withDocument - 4);
            app->OnFileNew();
            // a new entry of the recent-file list rebuilds the File menu too
            app->Documents()->AddRecentFile(dir.filePath(QStringLiteral("r%1.VEXLAR").arg(round)));
            QCOMPARE(menusOfTheBar(), withDocument);
        }
    }

    void documentMenuHoldsTheCommandsInOrder()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CMainFrame* frame = app->MainFrame();
        QCOMPARE(MenuIds(MenuNamed(frame, "&File")),
                 (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS,
                             ID_FILE_DOCUMENT_PROPERTIES, 0, ID_FILE_EXPORT, ID_FILE_EXPORT_VCD, 0, ID_FILE_PRINT,
                             ID_FILE_PRINT_PREVIEW, 0, ID_FILE_MRU_FILE1, 0, ID_APP_EXIT}));
        QCOMPARE(
            MenuIds(MenuNamed(frame, "&Edit")),
            (QList<int>{ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, 0, ID_EDIT_NEXT_EDGE,
                        ID_EDIT_PREV_EDGE, ID_EDIT_FIND_VALUE, ID_EDIT_NEXT_VALUE, ID_EDIT_PREV_VALUE}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&View")),
                 (QList<int>{ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_VALUE_CURSOR}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&Trig")), (QList<int>{ID_TRIG_RUN, ID_TRIG_NOW, 0, ID_TRIG_LIVE}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&Signals")),
                 (QList<int>{ID_SIGNALS_ADD, ID_SIGNALS_ADD_DECODER, ID_SIGNALS_DELETE, ID_SIGNALS_FREEZE,
                             ID_SIGNALS_DUPLICATE, 0, ID_SIGNALS_EXPORT_TESTBENCH, ID_SIGNALS_EXPORT_SELECTED}));
        QCOMPARE(MenuIds(MenuNamed(frame, "&Window")).first(), ID_WINDOW_NEW);

        const QList<std::pair<int, QString>> texts = {
            {ID_FILE_NEW, "&New"},
            {ID_FILE_OPEN, "&Open..."},
            {ID_FILE_CLOSE, "&Close"},
            {ID_FILE_SAVE, "&Save"},
            {ID_FILE_SAVE_AS, "Save &As..."},
            {ID_FILE_EXPORT, "&Export..."},
            {ID_FILE_PRINT_SETUP, "P&rint Setup..."},
            {ID_APP_EXIT, "E&xit"},
            {ID_VIEW_TOOLBAR, "&Toolbars and Docking Windows"},
            {ID_VIEW_STATUS_BAR, "&Status Bar"},
            {ID_APP_ABOUT, "&About Vexlar..."},
            {ID_EDIT_UNDO, "&Undo"},
            {ID_EDIT_CUT, "Cu&t"},
            {ID_EDIT_COPY, "&Copy"},
            {ID_EDIT_PASTE, "&Paste"},
            {ID_TRIG_RUN, "&Run"},
            {ID_TRIG_NOW, "Trig &Now"},
            {ID_TRIG_LIVE, "&Live"},
            {ID_SIGNALS_ADD, "&Add..."},
            {ID_SIGNALS_DELETE, "&Delete Selected"},
            {ID_SIGNALS_FREEZE, "&Freeze Selected"},
            {ID_SIGNALS_DUPLICATE, "D&uplicate Selected"},
            {ID_SIGNALS_EXPORT_TESTBENCH, "&Export Testbench..."},
            {ID_SIGNALS_EXPORT_SELECTED, "Export Selected..."},
            {ID_WINDOW_NEW, "&New Window"},
        };
        for (const auto& [id, text] : texts) {
            QVERIFY2(frame->Action(id), qPrintable(QString::number(id)));
            QCOMPARE(frame->Action(id)->text(), text);
        }
        // the recent-file placeholder while the list is empty
        QCOMPARE(frame->Action(ID_FILE_MRU_FILE1)->text(), QStringLiteral("Recent File"));
        QVERIFY(!frame->Action(ID_FILE_MRU_FILE1)->isEnabled());
    }

    void acceleratorsEditStateAndToolBar()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CMainFrame* frame = app->MainFrame();
        using K = QKeySequence;
        const QList<std::pair<int, QList<K>>> keys = {
            {ID_FILE_NEW, {K(Qt::CTRL | Qt::Key_N)}},
            {ID_FILE_OPEN, {K(Qt::CTRL | Qt::Key_O)}},
            {ID_FILE_SAVE, {K(Qt::CTRL | Qt::Key_S)}},
            {ID_FILE_PRINT, {K(Qt::CTRL | Qt::Key_P)}},
            {ID_EDIT_UNDO, {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)}},
            {ID_EDIT_REDO, {K(Qt::CTRL | Qt::Key_Y), K(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}},
            {ID_EDIT_NEXT_EDGE, {K(Qt::CTRL | Qt::Key_Right)}},
            {ID_EDIT_PREV_EDGE, {K(Qt::CTRL | Qt::Key_Left)}},
            {ID_EDIT_FIND_VALUE, {K(Qt::CTRL | Qt::Key_F)}},
            {ID_EDIT_NEXT_VALUE, {K(Qt::Key_F3)}},
            {ID_EDIT_PREV_VALUE, {K(Qt::SHIFT | Qt::Key_F3)}},
            {ID_VIEW_VALUE_CURSOR, {K(Qt::Key_V)}},
            {ID_SIGNALS_DELETE, {K(Qt::Key_Delete)}},
            {ID_EDIT_CUT, {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)}},
            {ID_EDIT_COPY, {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)}},
            {ID_EDIT_PASTE, {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)}},
            {ID_NEXT_PANE, {K(Qt::Key_F6)}},
            {ID_PREV_PANE, {K(Qt::SHIFT | Qt::Key_F6)}},
        };
        for (const auto& [id, sequences] : keys) {
            QCOMPARE(frame->Action(id)->shortcuts(), sequences);
        }
        // Nothing to undo yet in the new document; nothing handles Cut, Copy
        // and Paste.
        for (int id : {ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) {
            QVERIFY2(!frame->Action(id)->isEnabled(), qPrintable(QString::number(id)));
        }
        QVERIFY(frame->Action(ID_TRIG_RUN)->isCheckable());
        QVERIFY(frame->Action(ID_TRIG_RUN)->isChecked());
        QVERIFY(frame->Action(ID_TRIG_NOW)->isEnabled());

        QList<int> toolIds;
        for (QAction* action : frame->ToolBar()->actions()) {
            toolIds << (action->isSeparator() ? 0 : CommandIdOf(action));
            if (!action->isSeparator()) {
                QVERIFY2(!action->icon().isNull(), qPrintable(action->text()));
            }
        }
        QCOMPARE(toolIds, (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY,
                                      ID_EDIT_PASTE, 0, ID_TRIG_RUN, ID_TRIG_NOW, ID_TRIG_LIVE, 0, ID_APP_ABOUT}));
        QCOMPARE(frame->ToolBar()->windowTitle(), QStringLiteral("Standard"));
    }

    void runCommandFollowsTheLink()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        QAction* run = app->MainFrame()->Action(ID_TRIG_RUN);
        run->trigger();
        QVERIFY(!app->m_link.IsRunEnabled());
        QVERIFY(!run->isChecked());
        run->trigger();
        QVERIFY(app->m_link.IsRunEnabled());
        QVERIFY(run->isChecked());
    }

    void statusBarShowsReadyAndTheLockKeys()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CMainFrame* frame = app->MainFrame();
        QCOMPARE(frame->MessagePane()->text(), QStringLiteral("Ready"));
        QLabel* caps = frame->Indicator(ID_INDICATOR_CAPS);
        QVERIFY(caps && frame->Indicator(ID_INDICATOR_NUM) && frame->Indicator(ID_INDICATOR_SCRL));
        // the panes stand right of the message pane in the order CAP, NUM, SCRL
        QVERIFY(caps->x() < frame->Indicator(ID_INDICATOR_NUM)->x());
        QVERIFY(frame->Indicator(ID_INDICATOR_NUM)->x() < frame->Indicator(ID_INDICATOR_SCRL)->x());

        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        const bool before = frame->KeyState()->CapsLock();
        QTest::keyClick(frame->windowHandle(), Qt::Key_CapsLock);
        QCOMPARE(frame->KeyState()->CapsLock(), !before);
        QCOMPARE(caps->text(), before ? QString() : QStringLiteral("CAP"));
        QTest::keyClick(frame->windowHandle(), Qt::Key_CapsLock);
        QCOMPARE(caps->text(), before ? QStringLiteral("CAP") : QString());
    }

    void aboutBoxShowsTheVersion()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        QString caption, version;
        bool sawIcon = false;
        QTimer::singleShot(0, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (!about) {
                return;
            }
            caption = about->windowTitle();
            version = about->findChild<QLabel*>(QStringLiteral("aboutVersion"))->text();
            sawIcon = !about->findChild<QLabel*>(QStringLiteral("aboutIcon"))->pixmap().isNull();
            about->findChild<QPushButton*>(QStringLiteral("aboutOk"))->click();
        });
        app->MainFrame()->Action(ID_APP_ABOUT)->trigger();
        QCOMPARE(caption, QStringLiteral("About Vexlar"));
        QCOMPARE(version, QStringLiteral("Vexlar, Version 2.1"));
        QVERIFY(sawIcon);
    }

    void newWindowShowsTheSameDocument()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(doc);
        // Held and saved-as-is: no capture adds a "*" to the titles below.
        doc->SetLive(false);
        doc->SetModifiedFlag(false);
        app->MainFrame()->Action(ID_WINDOW_NEW)->trigger();
        const auto frames = app->Documents()->FramesOf(doc);
        QCOMPARE(frames.size(), size_t(2));
        QCOMPARE(DocumentCount(*app), 1);
        for (CChildFrame* frame : frames) {
            QCOMPARE(frame->Document(), doc);
            QCOMPARE(DocumentOfView(frame->View()), doc);
        }
        QCOMPARE(frames[0]->windowTitle(), QStringLiteral("Vexlar1:1"));
        QCOMPARE(frames[1]->windowTitle(), QStringLiteral("Vexlar1:2"));
        QCOMPARE(app->MainFrame()->MdiArea()->subWindowList().size(), 2);
        // the Window menu lists both windows, the active one checked
        QMenu* windowMenu = MenuNamed(app->MainFrame(), "&Window");
        QVERIFY(windowMenu);
        emit windowMenu->aboutToShow();
        QStringList listed;
        for (QAction* action : windowMenu->actions()) {
            if (action->property("windowListItem").toBool() && !action->isSeparator()) {
                listed << action->text() + (action->isChecked() ? "*" : "");
            }
        }
        QCOMPARE(listed, (QStringList{"&1 Vexlar1:1", "&2 Vexlar1:2*"}));

        // closing one of two windows of a modified document asks nothing and
        // keeps the document
        doc->SetModifiedFlag(true);
        int asked = 0;
        app->Documents()->m_askSave = [&](const QString&) {
            ++asked;
            return CDocumentManager::SaveChoice::Cancel;
        };
        frames[1]->close();
        QVERIFY(WaitFor([&] { return app->Documents()->FramesOf(doc).size() == 1; }));
        QCOMPARE(asked, 0);
        QCOMPARE(DocumentCount(*app), 1);
        QCOMPARE(app->Documents()->FramesOf(doc).front()->windowTitle(), QStringLiteral("Vexlar1*"));
    }

    void windowsClosedInAnyOrderLeaveTheirDocumentsUsable()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        DiscardUnsavedChanges(*app);
        CDocumentManager* docs = app->Documents();
        CVexlarDoc* first = FirstDocument(*app);
        QVERIFY(first);
        QVERIFY(docs->NewWindow(first));
        CVexlarDoc* second = docs->NewDocument();
        QVERIFY(docs->NewWindow(second));
        QCOMPARE(app->MainFrame()->MdiArea()->subWindowList().size(), 4);

        // the window the document was opened in goes first: the other one
        // keeps showing it and it keeps receiving captures
        docs->FramesOf(first).front()->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(docs->FramesOf(first).size(), size_t(1));
        QCOMPARE(DocumentOfView(docs->FramesOf(first).front()->View()), first);
        const uint64_t revision = first->Revision();
        QVERIFY(WaitFor([&] { return first->Revision() != revision; }));

        // its last window, then one window of the other document, and the
        // application ends before either closed window has been deleted
        docs->FramesOf(first).front()->close();
        QCOMPARE(DocumentCount(*app), 1);
        docs->FramesOf(second).back()->close();
        QCOMPARE(docs->FramesOf(second).size(), size_t(1));
        QCOMPARE(app->ExitInstance(), 0);
        QVERIFY(!app->m_link.IsRunning());
        QVERIFY(!app->MainFrame());
    }

    void closingAModifiedDocumentOffersToSave_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("save") << int(CDocumentManager::SaveChoice::Save) << true << true;
        QTest::newRow("discard") << int(CDocumentManager::SaveChoice::Discard) << true << false;
        QTest::newRow("cancel") << int(CDocumentManager::SaveChoice::Cancel) << false << false;
    }

    void closingAModifiedDocumentOffersToSave()
    {
        QFETCH(int, choice);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        auto app = StartDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(doc);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("kept.VEXLAR"));
        QStringList asked;
        app->Documents()->m_askSave = [&](const QString& title) {
            asked << title;
            return static_cast<CDocumentManager::SaveChoice>(choice);
        };
        app->Documents()->m_askSavePath = [&](const QString&) { return path; };

        // an unmodified document closes without a question (held, so that
        // the newest capture does not modify it first)
        app->OnFileNew();
        app->Documents()->ActiveDocument()->SetLive(false);
        app->Documents()->ActiveDocument()->SetModifiedFlag(false);
        app->OnFileClose();
        QVERIFY(WaitFor([&] { return DocumentCount(*app) == 1; }));
        QVERIFY(asked.isEmpty());

        doc->SetModifiedFlag(true);
        // closing the window by its tab goes the same way as File Close
        app->Documents()->FramesOf(doc).front()->close();
        QCoreApplication::processEvents();
        QCOMPARE(asked, QStringList{QStringLiteral("Vexlar1")});
        QCOMPARE(DocumentCount(*app) == 0, closed);
        QCOMPARE(QFile::exists(path), saved);
    }

    void closingTheApplicationOffersToSave()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(doc);
        doc->SetModifiedFlag(true);
        int asked = 0;
        auto answer = CDocumentManager::SaveChoice::Cancel;
        app->Documents()->m_askSave = [&](const QString&) {
            ++asked;
            return answer;
        };
        QVERIFY(!app->MainFrame()->close());   // Cancel keeps everything
        QCOMPARE(asked, 1);
        QVERIFY(app->MainFrame()->isVisible());
        QCOMPARE(DocumentCount(*app), 1);

        answer = CDocumentManager::SaveChoice::Discard;
        QVERIFY(app->MainFrame()->close());
        QCOMPARE(asked, 2);
        QVERIFY(app->MainFrameClosed());
    }

    void saveOpenAndTheRecentFileList()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("first.VEXLAR"));
        CVexlarDoc* doc = FirstDocument(*app);
        QVERIFY(doc);
        doc->m_signals.front()->m_name = QStringLiteral("renamed");
        doc->SetModifiedFlag(true);
        QString suggestedName;
        app->Documents()->m_askSavePath = [&](const QString& suggested) {
            suggestedName = suggested;
            return path;
        };
        app->OnFileSave();   // no file yet: Save As
        QCOMPARE(suggestedName, QStringLiteral("Vexlar1.VEXLAR"));
        QVERIFY(QFile::exists(path));
        QVERIFY(!doc->IsModified());
        QCOMPARE(app->Documents()->TitleOf(doc), QStringLiteral("first.VEXLAR"));
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(), path);
        QCOMPARE(app->MainFrame()->Action(ID_FILE_MRU_FILE1)->text(),
                 QStringLiteral("&1 %1").arg(QDir::toNativeSeparators(path)));

        // opening the open file activates its window
        QCOMPARE(app->Documents()->OpenDocument(path), doc);
        QCOMPARE(DocumentCount(*app), 1);

        // a second application opens it from the recent-file list
        app.reset();
        auto second = StartDemoApp();
        QVERIFY(second);
        QCOMPARE(second->Documents()->RecentFiles(), QStringList{path});
        second->MainFrame()->Action(ID_FILE_MRU_FILE1)->trigger();
        QCOMPARE(DocumentCount(*second), 2);
        CVexlarDoc* opened = second->Documents()->ActiveDocument();
        QVERIFY(opened);
        QCOMPARE(opened->m_signals.front()->m_name, QStringLiteral("renamed"));
        QCOMPARE(second->MainFrame()->windowTitle(), QStringLiteral("first.VEXLAR - Vexlar"));
    }

    void aRecentFileThatCannotBeOpenedLeavesTheList()
    {
        QTemporaryDir dir;
        const QString kept = dir.filePath(QStringLiteral("kept.VEXLAR"));
        const QString gone = dir.filePath(QStringLiteral("gone.VEXLAR"));
        QString error;
        CVexlarDoc source;
        QVERIFY(SaveDocumentToFile(source, kept, error));
        QVERIFY(SaveDocumentToFile(source, gone, error));
        auto app = StartDemoApp();
        QVERIFY(app);
        app->Documents()->AddRecentFile(kept);
        app->Documents()->AddRecentFile(gone);
        QVERIFY(QFile::remove(gone));
        QStringList errors;
        app->Documents()->m_showError = [&](const QString& text) { errors << text; };

        app->MainFrame()->Action(ID_FILE_MRU_FILE1)->trigger();   // gone.VEXLAR
        QCOMPARE(errors.size(), 1);
        QCOMPARE(DocumentCount(*app), 1);
        QCOMPARE(app->Documents()->RecentFiles(), QStringList{kept});
        QCOMPARE(QSettings().value(QStringLiteral("Recent File List/File1")).toString(), kept);
        QVERIFY(!QSettings().contains(QStringLiteral("Recent File List/File2")));
        QCOMPARE(app->MainFrame()->Action(ID_FILE_MRU_FILE1)->text(),
                 QStringLiteral("&1 %1").arg(QDir::toNativeSeparators(kept)));
    }

    void aRecentFileChosenInTheOpenFileMenu()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("menu.VEXLAR"));
        QString error;
        CVexlarDoc source;
        QVERIFY(SaveDocumentToFile(source, path, error));
        auto app = StartDemoApp();
        QVERIFY(app);
        app->Documents()->AddRecentFile(path);
        // choosing it rebuilds the very menu it was chosen in
        QPointer<QMenu> file = MenuNamed(app->MainFrame(), "&File");
        QVERIFY(file);
        file->popup(app->MainFrame()->mapToGlobal(QPoint(20, 20)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QTest::keyClick(file, Qt::Key_1);
        QVERIFY(WaitFor([&] { return DocumentCount(*app) == 2; }));
        QCOMPARE(app->Documents()->TitleOf(app->Documents()->ActiveDocument()), QStringLiteral("menu.VEXLAR"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(file.isNull());   // the old menu is gone, the bar has a new one
        QVERIFY(MenuNamed(app->MainFrame(), "&File"));
    }

    void aBadFileLeavesTheOpenDocumentsAlone()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        QTemporaryDir dir;
        const QString bad = dir.filePath(QStringLiteral("bad.VEXLAR"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a document at all");
        file.close();
        QStringList errors;
        app->Documents()->m_showError = [&](const QString& text) { errors << text; };
        QVERIFY(!app->Documents()->OpenDocument(bad));
        QCOMPARE(errors, QStringList{QStringLiteral("Unexpected file format.")});
        QCOMPARE(DocumentCount(*app), 1);
        QVERIFY(app->Documents()->RecentFiles().isEmpty());
    }

    void droppedFilesAreOpened()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("dropped.VEXLAR"));
        QString error;
        CVexlarDoc source;
        QVERIFY(SaveDocumentToFile(source, path, error));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        CMainFrame* frame = app->MainFrame();
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(frame, &drop);
        QCOMPARE(DocumentCount(*app), 2);
        QCOMPARE(app->Documents()->TitleOf(app->Documents()->ActiveDocument()), QStringLiteral("dropped.VEXLAR"));
    }

    void aFileOnTheCommandLineIsOpenedInsteadOfANewDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("start.VEXLAR"));
        QString error;
        CVexlarDoc source;
        source.m_signals.front()->m_name = QStringLiteral("from_file");
        QVERIFY(SaveDocumentToFile(source, path, error));

        CVexlarApp app;
        CommandLineOptions options;
        options.demo = true;
        options.file = path;
        QVERIFY(app.InitInstance(options));
        QCOMPARE(DocumentCount(app), 1);
        QVERIFY(FirstDocument(app));
        QCOMPARE(FirstDocument(app)->m_signals.front()->m_name, QStringLiteral("from_file"));

        // a file that cannot be opened ends the start-up
        CVexlarApp failing;
        options.file = dir.filePath(QStringLiteral("missing.VEXLAR"));
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                shown = true;
                box->close();
            }
        });
        QVERIFY(!failing.InitInstance(options));
        QVERIFY(shown);
        QVERIFY(!failing.m_link.IsRunning());
    }

    void theSampleRateOfTheCommandLineGoesToTheStartDocument()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("rate.VEXLAR"));
        QString error;
        CVexlarDoc source;
        source.m_sampleRate = 1000.0;
        QVERIFY(SaveDocumentToFile(source, path, error));

        // An opened file takes the rate as an edit: modified, and Undo gives
        // the file's own rate back.
        {
            CVexlarApp app;
            CommandLineOptions options;
            options.demo = true;
            options.file = path;
            options.sampleRate = 25e6;
            QVERIFY(app.InitInstance(options));
            CVexlarDoc* doc = FirstDocument(app);
            QVERIFY(doc);
            QCOMPARE(doc->m_sampleRate, 25e6);
            QVERIFY(doc->IsModified());
            QVERIFY(doc->Undo());
            QCOMPARE(doc->m_sampleRate, 1000.0);
            QVERIFY(!doc->IsModified());
        }
        // A new document simply has it.
        {
            CVexlarApp app;
            CommandLineOptions options;
            options.demo = true;
            options.sampleRate = 25e6;
            QVERIFY(app.InitInstance(options));
            CVexlarDoc* doc = FirstDocument(app);
            QVERIFY(doc);
            QCOMPARE(doc->m_sampleRate, 25e6);
            QVERIFY(!doc->m_undo.CanUndo());
        }
    }

    // A menu item's access key opens it at once only when no other item of
    // the menu has the same key ("Document &Properties..." beside "&Print..."
    // only moved between the two).
    // In every menu each item has an access key of its own: two items with
    // one key only move between them instead of opening either.
    void menuItemsHaveAccessKeysOfTheirOwn()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CMainFrame* frame = app->MainFrame();
        const auto key = [](const QAction* action) {
            const QString text = action->text();
            const qsizetype at = text.indexOf(QLatin1Char('&'));
            return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
        };
        for (int id : {ID_FILE_DOCUMENT_PROPERTIES, ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_NEXT_EDGE, ID_EDIT_PREV_EDGE,
                       ID_EDIT_FIND_VALUE, ID_EDIT_NEXT_VALUE, ID_EDIT_PREV_VALUE, ID_VIEW_VALUE_CURSOR})
            QVERIFY2(!key(frame->Action(id)).isNull(), qPrintable(frame->Action(id)->text()));
        for (QAction* menuAction : frame->menuBar()->actions()) {
            QMenu* menu = menuAction->menu();
            if (!menu)
                continue;
            const QList<QAction*> items = menu->actions();
            for (qsizetype i = 0; i < items.size(); ++i) {
                const QChar letter = key(items[i]);
                if (letter.isNull() || items[i]->isSeparator())
                    continue;
                for (qsizetype j = i + 1; j < items.size(); ++j)
                    QVERIFY2(key(items[j]) != letter, qPrintable(items[i]->text() + " / " + items[j]->text()));
            }
        }
    }

    // Undo and Redo name the active document's last edit as soon as it is
    // made, whoever made it: no event loop turn, no timer in between. An edit
    // of another document leaves them alone.
    void undoAndRedoFollowEveryEditAtOnce()
    {
        auto app = StartDemoApp();
        QVERIFY(app);
        CMainFrame* frame = app->MainFrame();
        CVexlarDoc* first = FirstDocument(*app);
        QVERIFY(first);
        app->OnFileNew();
        CVexlarDoc* active = app->Documents()->ActiveDocument();
        QVERIFY(active && active != first);
        QAction* undo = frame->Action(ID_EDIT_UNDO);
        QAction* redo = frame->Action(ID_EDIT_REDO);

        QVERIFY(DocumentEdits::SetMarkers(*active, 10, 20));
        QVERIFY(undo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("&Undo Markers"));
        QVERIFY(DocumentEdits::SetSampleRate(*active, 1e6));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Sample Rate"));

        QVERIFY(DocumentEdits::SetMarkers(*first, 1, 2));
        QCOMPARE(undo->text(), QStringLiteral("&Undo Sample Rate"));

        undo->trigger();
        QCOMPARE(active->m_sampleRate, 0.0);
        QCOMPARE(undo->text(), QStringLiteral("&Undo Markers"));
        QVERIFY(redo->isEnabled());
        QCOMPARE(redo->text(), QStringLiteral("&Redo Sample Rate"));
        QVERIFY(active->Undo());
        QVERIFY(!undo->isEnabled());
        QCOMPARE(undo->text(), QStringLiteral("&Undo"));
    }

    void windowGeometryAndBarsAreKept()
    {
        {
            auto app = StartDemoApp();
            QVERIFY(app);
            DiscardUnsavedChanges(*app);
            app->MainFrame()->resize(900, 600);
            app->MainFrame()->Action(ID_VIEW_STATUS_BAR)->trigger();   // hide it
            QVERIFY(app->MainFrame()->statusBar()->isHidden());
            QVERIFY(app->MainFrame()->close());
        }
        auto app = StartDemoApp();
        QVERIFY(app);
        QCOMPARE(app->MainFrame()->size(), QSize(900, 600));
        QVERIFY(app->MainFrame()->statusBar()->isHidden());
        QVERIFY(!app->MainFrame()->Action(ID_VIEW_STATUS_BAR)->isChecked());
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("demo");
        QTest::addColumn<QString>("core");
        QTest::addColumn<int>("port");
        QTest::addColumn<QStringList>("adapters");
        QTest::addColumn<QString>("file");
        const QStringList none;
        QTest::newRow("nothing") << QStringList{} << true << false << "" << 0 << none << "";
        QTest::newRow("demo") << QStringList{"--demo"} << true << true << "" << 0 << none << "";
        QTest::newRow("core") << QStringList{"--core", "127.0.0.1:5000"} << true << false << "127.0.0.1" << 5000 << none
                              << "";
        QTest::newRow("core=") << QStringList{"--core=10.0.0.5:1"} << true << false << "10.0.0.5" << 1 << none << "";
        QTest::newRow("adapters") << QStringList{"--adapter", "127.0.0.1", "--adapter=10.1.2.3", "a.VEXLAR"} << true
                                  << false << "" << 0 << QStringList{"127.0.0.1", "10.1.2.3"} << "a.VEXLAR";
        QTest::newRow("port 0") << QStringList{"--core", "127.0.0.1:0"} << false << false << "" << 0 << none << "";
        QTest::newRow("port too big") << QStringList{"--core", "127.0.0.1:65536"} << false << false << "" << 0 << none
                                      << "";
        QTest::newRow("no port") << QStringList{"--core", "127.0.0.1"} << false << false << "" << 0 << none << "";
        QTest::newRow("host name") << QStringList{"--core", "fpga:5000"} << false << false << "" << 0 << none << "";
        QTest::newRow("missing value") << QStringList{"--core"} << false << false << "" << 0 << none << "";
        QTest::newRow("bad adapter") << QStringList{"--adapter", "eth0"} << false << false << "" << 0 << none << "";
        QTest::newRow("unknown") << QStringList{"--frobnicate"} << false << false << "" << 0 << none << "";
        QTest::newRow("two files") << QStringList{"a.VEXLAR", "b.VEXLAR"} << false << false << "" << 0 << none
                                   << "a.VEXLAR";
        QTest::newRow("demo and core") << QStringList{"--demo", "--core", "127.0.0.1:5"} << false << true << "127.0.0.1"
                                       << 5 << none << "";
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(bool, demo);
        QFETCH(QString, core);
        QFETCH(int, port);
        QFETCH(QStringList, adapters);
        QFETCH(QString, file);
        const CommandLineOptions options = ParseCommandLine(QStringList{"vexlar"} + args);
        QCOMPARE(options.error.isEmpty(), ok);
        QCOMPARE(options.demo, demo);
        QCOMPARE(options.coreAddress, core);
        QCOMPARE(options.corePort, port);
        QCOMPARE(options.adapters, adapters);
        QCOMPARE(options.file, file);
    }

    void sampleRateOption()
    {
        QCOMPARE(ParseCommandLine({"vexlar", "--samplerate", "100MHz", "--demo"}).sampleRate, 100e6);
        QCOMPARE(ParseCommandLine({"vexlar", "--samplerate=48k", "a.VEXLAR"}).sampleRate, 48000.0);
        QCOMPARE(ParseCommandLine({"vexlar"}).sampleRate, 0.0);
        for (const char* bad : {"fast", "0", "-1", "2e12"}) {
            QVERIFY2(!ParseCommandLine({"vexlar", "--samplerate", bad}).error.isEmpty(), bad);
        }
        QVERIFY(!ParseCommandLine({"vexlar", "--samplerate"}).error.isEmpty());
    }

    void qtOptionsAreLeftToQt()
    {
        QCOMPARE(
            WithoutQtOptions({"vexlar", "-platform", "offscreen", "--demo", "-style=fusion", "-reverse", "a.VEXLAR"}),
            (QStringList{"vexlar", "--demo", "a.VEXLAR"}));
    }
};

QTEST_MAIN(ShellTest)
#include "shell_test.moc"
