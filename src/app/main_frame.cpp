// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_frame.h"

#include "app/app_icons.h"
#include "app/command_ids.h"
#include "app/link_status_texts.h"
#include "app/key_state.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QTabBar>
#include <QToolBar>

#include "view/vexlar_view.h"

using namespace VexlarCmd;

int CommandIdOf(const QAction* action)
{
    return action ? action->data().toInt() : 0;
}

CMainFrame::CMainFrame(bool hiColorIcons, QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowTitle(QStringLiteral("Vexlar"));
    setWindowIcon(AppIcons::Application());
    setAcceptDrops(true);

    m_mdiArea = new QMdiArea(this);
    m_mdiArea->setObjectName(QStringLiteral("DocumentArea"));
    m_mdiArea->setViewMode(QMdiArea::TabbedView);
    m_mdiArea->setTabsClosable(true);
    m_mdiArea->setTabsMovable(true);
    m_mdiArea->setDocumentMode(true);
    m_mdiArea->setTabShape(QTabWidget::Rounded);
    m_mdiArea->setBackground(QColor(37, 37, 40));
    if (auto* tabs = m_mdiArea->findChild<QTabBar*>()) {
        tabs->setExpanding(false);   // tabs as wide as their titles
        tabs->setElideMode(Qt::ElideRight);
    }
    setCentralWidget(m_mdiArea);

    CreateActions();
    CreateToolBar(hiColorIcons);
    CreateStatusBar();
    menuBar()->setObjectName(QStringLiteral("MenuBar"));
    UpdateMenuForDocuments();
    resize(1100, 720);
}

CMainFrame::~CMainFrame() = default;

QPrinter* CMainFrame::Printer()
{
    if (!m_printer) {
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        CVexlarView::SetPrintDefaults(*m_printer);
    }
    return m_printer.get();
}

QAction* CMainFrame::AddAction(int id, const QString& text, const QString& statusTip)
{
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setObjectName(QStringLiteral("cmd%1").arg(id));
    if (!statusTip.isEmpty()) {
        action->setStatusTip(statusTip);
    }
    addAction(action);   // shortcuts work whichever menu is shown
    m_actions[id] = action;
    return action;
}

void CMainFrame::CreateActions()
{
    AddAction(ID_FILE_NEW, tr("&New"), tr("Create a new document"))->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    AddAction(ID_FILE_OPEN, tr("&Open..."), tr("Open an existing document"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    AddAction(ID_FILE_CLOSE, tr("&Close"), tr("Close the active document"));
    AddAction(ID_FILE_SAVE, tr("&Save"), tr("Save the active document"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    AddAction(ID_FILE_SAVE_AS, tr("Save &As..."), tr("Save the active document with a new name"));
    AddAction(ID_FILE_DOCUMENT_PROPERTIES, tr("&Document Properties..."),
              tr("Set the sample rate of the active document"));
    AddAction(ID_FILE_EXPORT, tr("&Export..."), tr("Export the capture as a comma-separated table"));
    AddAction(ID_FILE_EXPORT_VCD, tr("Export &VCD..."),
              tr("Export the capture as a value change dump for waveform viewers"));
    AddAction(ID_FILE_PRINT, tr("&Print..."), tr("Print the active document"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    AddAction(ID_FILE_PRINT_PREVIEW, tr("Print Previe&w"), tr("Display full pages"));
    AddAction(ID_FILE_PRINT_SETUP, tr("P&rint Setup..."), tr("Change the printer and printing options"));
    AddAction(ID_APP_EXIT, tr("E&xit"), tr("Quit the application; prompts to save documents"));
    for (int i = 0; i < ID_FILE_MRU_COUNT; ++i) {
        m_recentActions[i] = AddAction(ID_FILE_MRU_FILE1 + i, QString(), tr("Open this document"));
        connect(m_recentActions[i], &QAction::triggered, this, [this, i] {
            if (i < m_recentFiles.size()) {
                emit RecentFileChosen(m_recentFiles[i]);
            }
        });
    }

    auto* undo = AddAction(ID_EDIT_UNDO, tr("&Undo"), tr("Undo the last action"));
    undo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    auto* redo = AddAction(ID_EDIT_REDO, tr("&Redo"), tr("Redo the last action undone"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    auto* cut = AddAction(ID_EDIT_CUT, tr("Cu&t"), tr("Cut the selection and put it on the Clipboard"));
    cut->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    auto* copy = AddAction(ID_EDIT_COPY, tr("&Copy"), tr("Copy the selection and put it on the Clipboard"));
    copy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    auto* paste = AddAction(ID_EDIT_PASTE, tr("&Paste"), tr("Insert Clipboard contents"));
    paste->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    // Undo and Redo follow the active document; nothing handles Cut, Copy
    // and Paste, which stay disabled.
    for (QAction* edit : {undo, redo, cut, copy, paste}) {
        edit->setEnabled(false);
    }
    AddAction(ID_EDIT_NEXT_EDGE, tr("Next &Edge"), tr("Move marker M1 to the next edge of the selected one-bit signal"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
    AddAction(ID_EDIT_PREV_EDGE, tr("Pre&vious Edge"),
              tr("Move marker M1 to the previous edge of the selected one-bit signal"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left));
    AddAction(ID_EDIT_FIND_VALUE, tr("&Find Value..."),
              tr("Move marker M1 to where the selected signal holds a value"))
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    AddAction(ID_EDIT_NEXT_VALUE, tr("Find &Next Value"), tr("Move marker M1 to the next place of the value"))
        ->setShortcut(QKeySequence(Qt::Key_F3));
    AddAction(ID_EDIT_PREV_VALUE, tr("Find Previ&ous Value"), tr("Move marker M1 to the previous place of the value"))
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    undo->setIcon(QIcon());
    cut->setIcon(AppIcons::Cut());
    copy->setIcon(AppIcons::Copy());
    paste->setIcon(AppIcons::Paste());

    auto* toolbar = AddAction(ID_VIEW_TOOLBAR, tr("&Toolbars and Docking Windows"), tr("Show or hide the toolbar"));
    toolbar->setCheckable(true);
    toolbar->setChecked(true);
    auto* status = AddAction(ID_VIEW_STATUS_BAR, tr("&Status Bar"), tr("Show or hide the status bar"));
    status->setCheckable(true);
    status->setChecked(true);
    auto* valueCursor = AddAction(ID_VIEW_VALUE_CURSOR, tr("&Value Cursor"),
                                  tr("Show the value of every signal at the pointer beside its name"));
    valueCursor->setCheckable(true);
    valueCursor->setShortcut(QKeySequence(Qt::Key_V));

    auto* run = AddAction(ID_TRIG_RUN, tr("&Run"), tr("Capture continuously"));
    run->setCheckable(true);
    run->setChecked(true);
    run->setIcon(AppIcons::Run());
    auto* now = AddAction(ID_TRIG_NOW, tr("Trig &Now"), tr("Force one trigger now"));
    now->setIcon(AppIcons::TrigNow());
    auto* live = AddAction(ID_TRIG_LIVE, tr("&Live"),
                           tr("Let the active document take captures; off, it keeps the samples it holds"));
    live->setCheckable(true);
    live->setIcon(AppIcons::Live());

    AddAction(ID_SIGNALS_ADD, tr("&Add..."), tr("Add a signal"));
    AddAction(ID_SIGNALS_ADD_DECODER, tr("Add De&coder..."), tr("Add a protocol decoder row"));
    AddAction(ID_SIGNALS_DELETE, tr("&Delete Selected"), tr("Delete the selected signals"))
        ->setShortcut(QKeySequence(Qt::Key_Delete));
    AddAction(ID_SIGNALS_FREEZE, tr("&Freeze Selected"), tr("Keep the samples of the selected signals"));
    AddAction(ID_SIGNALS_DUPLICATE, tr("D&uplicate Selected"),
              tr("Freeze the selected signals and add a live copy of each"));
    AddAction(ID_SIGNALS_EXPORT_TESTBENCH, tr("&Export Testbench..."), tr("Export the capture as a VHDL testbench"));
    AddAction(ID_SIGNALS_EXPORT_SELECTED, tr("Export Selected..."),
              tr("Export each selected signal as text, one value per line"));

    AddAction(ID_WINDOW_NEW, tr("&New Window"), tr("Open another window for the active document"));
    AddAction(ID_WINDOW_MANAGER, tr("&Windows..."), tr("Activate or close document windows"));
    AddAction(ID_NEXT_PANE, tr("Next Pane"))->setShortcut(QKeySequence(Qt::Key_F6));
    AddAction(ID_PREV_PANE, tr("Previous Pane"))->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
    connect(Action(ID_NEXT_PANE), &QAction::triggered, m_mdiArea, &QMdiArea::activateNextSubWindow);
    connect(Action(ID_PREV_PANE), &QAction::triggered, m_mdiArea, &QMdiArea::activatePreviousSubWindow);

    AddAction(ID_APP_ABOUT, tr("&About Vexlar..."), tr("Display program information, version number and copyright"));

    Action(ID_FILE_NEW)->setIcon(AppIcons::New());
    Action(ID_FILE_OPEN)->setIcon(AppIcons::Open());
    Action(ID_FILE_SAVE)->setIcon(AppIcons::Save());
    Action(ID_APP_ABOUT)->setIcon(AppIcons::About());

    connect(Action(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
}

QAction* CMainFrame::Action(int commandId) const
{
    auto it = m_actions.find(commandId);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateToolBar(bool hiColorIcons)
{
    m_toolBar = new QToolBar(tr("Standard"), this);
    m_toolBar->setObjectName(QStringLiteral("Standard"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setContentsMargins(1, 1, 1, 1);
    m_toolBar->setMovable(true);
    m_toolBar->addAction(Action(ID_FILE_NEW));
    if (hiColorIcons) {
        m_toolBar->addAction(Action(ID_FILE_OPEN));
    }
    m_toolBar->addAction(Action(ID_FILE_SAVE));
    m_toolBar->addSeparator();
    m_toolBar->addAction(Action(ID_EDIT_CUT));
    m_toolBar->addAction(Action(ID_EDIT_COPY));
    m_toolBar->addAction(Action(ID_EDIT_PASTE));
    m_toolBar->addSeparator();
    m_toolBar->addAction(Action(ID_TRIG_RUN));
    m_toolBar->addAction(Action(ID_TRIG_NOW));
    m_toolBar->addAction(Action(ID_TRIG_LIVE));
    m_toolBar->addSeparator();
    m_toolBar->addAction(Action(ID_APP_ABOUT));
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    QAction* toggle = Action(ID_VIEW_TOOLBAR);
    connect(toggle, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toggle, [this, toggle](bool) {
        // hidden with the main window is not hidden by the user
        if (isVisible()) {
            toggle->setChecked(m_toolBar->isVisible());
        }
    });
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    m_message = new QLabel(tr("Ready"), bar);
    m_message->setObjectName(QStringLiteral("MessagePane"));
    bar->addWidget(m_message, 1);
    // The status tips of the commands replace "Ready" while the mouse is on
    // them; QStatusBar hides the permanent message widget meanwhile.

    // The link's panes come first, left of the key-state indicators; they
    // stay hidden until there is something to say.
    const char* const linkPaneNames[] = {"LinkCorePane", "LinkRatePane", "LinkLostPane", "LinkIgnoredPane"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(bar);
        label->setObjectName(QLatin1String(linkPaneNames[i]));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->hide();
        bar->addPermanentWidget(label);
        m_linkPanes[i] = label;
    }

    auto makeIndicator = [bar](const QString& text, int id) {
        auto* label = new QLabel(bar);
        label->setObjectName(QStringLiteral("Indicator%1").arg(id));
        label->setProperty("indicatorText", text);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) + 12);
        bar->addPermanentWidget(label);
        return label;
    };
    m_caps = makeIndicator(QStringLiteral("CAP"), ID_INDICATOR_CAPS);
    m_num = makeIndicator(QStringLiteral("NUM"), ID_INDICATOR_NUM);
    m_scrl = makeIndicator(QStringLiteral("SCRL"), ID_INDICATOR_SCRL);

    m_keyState = new CKeyStateTracker(this);
    connect(m_keyState, &CKeyStateTracker::Changed, this, &CMainFrame::UpdateIndicators);
    UpdateIndicators();

    QAction* toggle = Action(ID_VIEW_STATUS_BAR);
    connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

QLabel* CMainFrame::Indicator(int indicatorId) const
{
    switch (indicatorId) {
    case ID_INDICATOR_CAPS:
        return m_caps;
    case ID_INDICATOR_NUM:
        return m_num;
    case ID_INDICATOR_SCRL:
        return m_scrl;
    default:
        return nullptr;
    }
}

QLabel* CMainFrame::LinkStatusPane(LinkPane pane) const
{
    return m_linkPanes[static_cast<int>(pane)];
}

void CMainFrame::ShowLinkStatus(const LinkStatusTexts& texts)
{
    const QString* const paneTexts[] = {&texts.core, &texts.rate, &texts.lost, &texts.ignored};
    for (int i = 0; i < 4; ++i) {
        QLabel* label = m_linkPanes[i];
        if (label->text() != *paneTexts[i])
            label->setText(*paneTexts[i]);
        label->setVisible(!paneTexts[i]->isEmpty());
    }
    // The message pane says "Ready" or a message of its own (the progress of
    // a search); the link's word replaces "Ready" only, and gives it back.
    const QString ready = tr("Ready");
    const QString shown = m_message->text();
    if (shown != ready && shown != m_linkMessage)
        return;
    m_linkMessage = texts.noAnswer;
    m_message->setText(texts.noAnswer.isEmpty() ? ready : texts.noAnswer);
}

void CMainFrame::UpdateIndicators()
{
    // A pane shows its text while its lock key is on and is empty otherwise,
    // so a glance tells which locks are on.
    const std::pair<QLabel*, bool> panes[] = {
        {m_caps, m_keyState->CapsLock()},
        {m_num, m_keyState->NumLock()},
        {m_scrl, m_keyState->ScrollLock()},
    };
    for (const auto& [label, on] : panes) {
        label->setText(on ? label->property("indicatorText").toString() : QString());
    }
}

QMenuBar* CMainFrame::ClearMenuBar()
{
    // QMenuBar::clear() only takes the menus' entries off the bar; the menus
    // themselves stay its children. Without deleting them every switch
    // between the two menu bars, and every change of the recent-file list,
    // would leave a full set of menus behind. Deleted later: the change may
    // come from an item of one of these very menus (a recent file chosen).
    QMenuBar* bar = menuBar();
    QList<QMenu*> menus;
    for (QAction* entry : bar->actions()) {
        if (QMenu* menu = entry->menu(); menu && menu->parent() == bar) {
            menus << menu;
        }
    }
    bar->clear();
    for (QMenu* menu : menus) {
        menu->deleteLater();
    }
    return bar;
}

QMenu* CMainFrame::AddViewMenu()
{
    QMenu* view = menuBar()->addMenu(tr("&View"));
    view->addAction(Action(ID_VIEW_TOOLBAR));
    view->addAction(Action(ID_VIEW_STATUS_BAR));
    return view;
}

void CMainFrame::BuildMenu128()
{
    QMenuBar* bar = ClearMenuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    file->addAction(Action(ID_FILE_NEW));
    file->addAction(Action(ID_FILE_OPEN));
    file->addAction(Action(ID_FILE_CLOSE));
    file->addSeparator();
    file->addAction(Action(ID_FILE_PRINT_SETUP));
    file->addSeparator();
    file->addAction(Action(ID_APP_EXIT));
    AddViewMenu();
    QMenu* help = bar->addMenu(tr("&Help"));
    help->addAction(Action(ID_APP_ABOUT));
}

void CMainFrame::AddRecentFileItems(QMenu* file)
{
    if (m_recentFiles.isEmpty()) {
        // the placeholder item, shown disabled while the list is empty
        QAction* first = m_recentActions[0];
        first->setText(tr("Recent File"));
        first->setEnabled(false);
        file->addAction(first);
        return;
    }
    for (int i = 0; i < ID_FILE_MRU_COUNT && i < m_recentFiles.size(); ++i) {
        QString name = QDir::toNativeSeparators(m_recentFiles[i]);
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        m_recentActions[i]->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        m_recentActions[i]->setEnabled(true);
        file->addAction(m_recentActions[i]);
    }
}

void CMainFrame::BuildMenu130()
{
    QMenuBar* bar = ClearMenuBar();
    QMenu* file = bar->addMenu(tr("&File"));
    file->addAction(Action(ID_FILE_NEW));
    file->addAction(Action(ID_FILE_OPEN));
    file->addAction(Action(ID_FILE_CLOSE));
    file->addAction(Action(ID_FILE_SAVE));
    file->addAction(Action(ID_FILE_SAVE_AS));
    file->addAction(Action(ID_FILE_DOCUMENT_PROPERTIES));
    file->addSeparator();
    file->addAction(Action(ID_FILE_EXPORT));
    file->addAction(Action(ID_FILE_EXPORT_VCD));
    file->addSeparator();
    file->addAction(Action(ID_FILE_PRINT));
    file->addAction(Action(ID_FILE_PRINT_PREVIEW));
    file->addSeparator();
    AddRecentFileItems(file);
    file->addSeparator();
    file->addAction(Action(ID_APP_EXIT));

    QMenu* edit = bar->addMenu(tr("&Edit"));
    edit->addAction(Action(ID_EDIT_UNDO));
    edit->addAction(Action(ID_EDIT_REDO));
    edit->addSeparator();
    edit->addAction(Action(ID_EDIT_CUT));
    edit->addAction(Action(ID_EDIT_COPY));
    edit->addAction(Action(ID_EDIT_PASTE));
    edit->addSeparator();
    edit->addAction(Action(ID_EDIT_NEXT_EDGE));
    edit->addAction(Action(ID_EDIT_PREV_EDGE));
    edit->addAction(Action(ID_EDIT_FIND_VALUE));
    edit->addAction(Action(ID_EDIT_NEXT_VALUE));
    edit->addAction(Action(ID_EDIT_PREV_VALUE));

    QMenu* view = AddViewMenu();
    view->addSeparator();
    view->addAction(Action(ID_VIEW_VALUE_CURSOR));

    QMenu* trig = bar->addMenu(tr("&Trig"));
    trig->addAction(Action(ID_TRIG_RUN));
    trig->addAction(Action(ID_TRIG_NOW));
    trig->addSeparator();
    trig->addAction(Action(ID_TRIG_LIVE));

    QMenu* signalsMenu = bar->addMenu(tr("&Signals"));
    signalsMenu->addAction(Action(ID_SIGNALS_ADD));
    signalsMenu->addAction(Action(ID_SIGNALS_ADD_DECODER));
    signalsMenu->addAction(Action(ID_SIGNALS_DELETE));
    signalsMenu->addAction(Action(ID_SIGNALS_FREEZE));
    signalsMenu->addAction(Action(ID_SIGNALS_DUPLICATE));
    signalsMenu->addSeparator();
    signalsMenu->addAction(Action(ID_SIGNALS_EXPORT_TESTBENCH));
    signalsMenu->addAction(Action(ID_SIGNALS_EXPORT_SELECTED));

    QMenu* window = bar->addMenu(tr("&Window"));
    window->addAction(Action(ID_WINDOW_NEW));
    window->addAction(Action(ID_WINDOW_MANAGER));
    // the open document windows, numbered, the active one checked
    connect(window, &QMenu::aboutToShow, this, [this, window] { FillWindowList(window); });

    QMenu* help = bar->addMenu(tr("&Help"));
    help->addAction(Action(ID_APP_ABOUT));
}

void CMainFrame::FillWindowList(QMenu* window)
{
    for (QAction* action : window->actions()) {
        if (action->property("windowListItem").toBool()) {
            window->removeAction(action);
            action->deleteLater();
        }
    }
    const auto windows = m_mdiArea->subWindowList();
    if (windows.isEmpty()) {
        return;
    }
    QAction* separator = window->addSeparator();
    separator->setProperty("windowListItem", true);
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* sub = windows[i];
        QString title = sub->windowTitle();
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = window->addAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title) : title);
        item->setProperty("windowListItem", true);
        item->setCheckable(true);
        item->setChecked(sub == (m_activeWindow ? m_activeWindow() : m_mdiArea->activeSubWindow()));
        connect(item, &QAction::triggered, m_mdiArea, [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
    }
}

void CMainFrame::UpdateMenuForDocuments()
{
    const int wanted = m_mdiArea->subWindowList().isEmpty() ? IDR_MAINFRAME : IDR_VexlarTYPE;
    if (wanted == m_menuId) {
        return;
    }
    m_menuId = wanted;
    if (wanted == IDR_MAINFRAME) {
        BuildMenu128();
    } else {
        BuildMenu130();
    }
}

void CMainFrame::SetRecentFiles(const QStringList& paths)
{
    m_recentFiles = paths.mid(0, ID_FILE_MRU_COUNT);
    if (m_menuId == IDR_VexlarTYPE) {
        BuildMenu130();
    }
}

void CMainFrame::LoadBarState(QSettings& settings)
{
    settings.beginGroup(QStringLiteral("MainFrame"));
    const QByteArray geometry = settings.value(QStringLiteral("Geometry")).toByteArray();
    if (!geometry.isEmpty()) {
        restoreGeometry(geometry);
    }
    const QByteArray state = settings.value(QStringLiteral("BarState")).toByteArray();
    if (!state.isEmpty()) {
        restoreState(state);
    }
    const bool statusVisible = settings.value(QStringLiteral("StatusBar"), true).toBool();
    settings.endGroup();
    Action(ID_VIEW_STATUS_BAR)->setChecked(statusVisible);
    statusBar()->setVisible(statusVisible);
    Action(ID_VIEW_TOOLBAR)->setChecked(!m_toolBar->isHidden());
}

void CMainFrame::SaveBarState(QSettings& settings) const
{
    settings.beginGroup(QStringLiteral("MainFrame"));
    settings.setValue(QStringLiteral("Geometry"), saveGeometry());
    settings.setValue(QStringLiteral("BarState"), saveState());
    settings.setValue(QStringLiteral("StatusBar"), Action(ID_VIEW_STATUS_BAR)->isChecked());
    settings.endGroup();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (m_queryClose && !m_queryClose()) {
        event->ignore();
        return;
    }
    event->accept();
    emit Closed();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        emit FilesDropped(paths);
    }
}
