// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QMainWindow>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;
class QPrinter;
class QSettings;
class QToolBar;
class CKeyStateTracker;
struct LinkStatusTexts;

// The main window: menu bar (menu 128 without documents, 130 with one),
// the "Standard" tool bar, the status bar with its key-state indicators and
// the tabbed document area. Commands are QActions that carry their command id
// in data(); their handlers live in the application object.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // hiColorIcons selects the full tool bar (New, Open, Save, ...); without it
    // the smaller one without Open is used.
    explicit CMainFrame(bool hiColorIcons = true, QWidget* parent = nullptr);
    ~CMainFrame() override;

    QAction* Action(int commandId) const;   // null for an unknown id
    QMdiArea* MdiArea() const { return m_mdiArea; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QLabel* MessagePane() const { return m_message; }
    QLabel* Indicator(int indicatorId) const;   // CAP, NUM, SCRL panes

    // The capture link's panes: the core, captures per second, captures
    // lost, datagrams ignored. A pane without text is hidden.
    enum class LinkPane { Core, Rate, Lost, Ignored };
    QLabel* LinkStatusPane(LinkPane pane) const;
    // Shows the texts; "no answer from the core ..." takes the place of
    // "Ready" in the message pane (not of another message) while it lasts.
    void ShowLinkStatus(const LinkStatusTexts& texts);
    CKeyStateTracker* KeyState() const { return m_keyState; }

    // The printer of Print Setup, Print and Print Preview.
    QPrinter* Printer();

    // 128 while no document window is open, 130 otherwise.
    int CurrentMenuId() const { return m_menuId; }
    void UpdateMenuForDocuments();

    void SetRecentFiles(const QStringList& paths);
    QStringList RecentFiles() const { return m_recentFiles; }

    void LoadBarState(QSettings& settings);
    void SaveBarState(QSettings& settings) const;

    // Asked before the window closes; returning false keeps it open.
    std::function<bool()> m_queryClose;
    // The document window the commands work on (checked in the Window menu).
    std::function<QMdiSubWindow*()> m_activeWindow;

signals:
    void FilesDropped(const QStringList& paths);
    void RecentFileChosen(const QString& path);
    void Closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddAction(int id, const QString& text, const QString& statusTip = {});
    void CreateActions();
    void CreateToolBar(bool hiColorIcons);
    void CreateStatusBar();
    void BuildMenu128();
    void BuildMenu130();
    QMenuBar* ClearMenuBar();
    QMenu* AddViewMenu();
    void AddRecentFileItems(QMenu* file);
    void UpdateIndicators();
    void FillWindowList(QMenu* window);

    std::map<int, QAction*> m_actions;
    QAction* m_recentActions[4] = {};
    QMdiArea* m_mdiArea = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_message = nullptr;
    QLabel* m_caps = nullptr;
    QLabel* m_num = nullptr;
    QLabel* m_scrl = nullptr;
    QLabel* m_linkPanes[4] = {};
    QString m_linkMessage;   // the link's text in the message pane, if shown
    CKeyStateTracker* m_keyState = nullptr;
    QStringList m_recentFiles;
    int m_menuId = 0;
    std::unique_ptr<QPrinter> m_printer;
};

// The command id that an action carries, or 0.
int CommandIdOf(const QAction* action);
