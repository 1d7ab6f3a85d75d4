// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class CChildFrame;
class CMainFrame;
class CVexlarDoc;
class QWidget;

// The documents of the application and their windows: New, Open, Save,
// Save As, Close, the recent-file list and New Window (another frame on the
// same document). A document lives while at least one of its frames is open.
//
// The active frame (and with it the active document, the one the commands
// work on) is kept here: it is set when a frame is created, activated or its
// view takes the focus, and when it closes the frame the document area shows
// next takes its place. Whether the main window is active, or a window
// manager runs at all, does not change it.
class CDocumentManager : public QObject {
    Q_OBJECT
public:
    using ViewFactory = std::function<QWidget*(CVexlarDoc* doc)>;
    enum class SaveChoice { Save, Discard, Cancel };
    // The answer to the question about several modified documents at exit:
    // save all, discard all, cancel, or save those marked in `save` (one
    // entry per document asked about, in the order asked).
    struct SeveralSaveAnswer {
        enum class Choice { SaveAll, DiscardAll, SaveChosen, Cancel } choice = Choice::Cancel;
        std::vector<bool> save;
    };

    CDocumentManager(CMainFrame* frame, ViewFactory viewFactory, QObject* parent = nullptr);
    ~CDocumentManager() override;

    CVexlarDoc* NewDocument();
    // Opens the file in a new document, or activates it when it is open
    // already. Shows the error and returns null when it cannot be read.
    CVexlarDoc* OpenDocument(const QString& path);
    // Shows a document made elsewhere (a recovered one) in a new window, as
    // the document of `path` (empty: a new untitled document).
    CVexlarDoc* AdoptDocument(std::unique_ptr<CVexlarDoc> doc, const QString& path);
    bool SaveDocument(CVexlarDoc* doc);   // Save As when it has no file yet
    bool SaveDocumentAs(CVexlarDoc* doc);
    bool CloseDocument(CVexlarDoc* doc);   // offers to save a modified one
    CChildFrame* NewWindow(CVexlarDoc* doc);
    // Offers to save each modified document; false when the user cancelled.
    bool SaveAllModified();
    void CloseAllDocuments();   // no questions

    CVexlarDoc* ActiveDocument() const;
    CChildFrame* ActiveFrame() const { return m_activeFrame; }
    // Makes the frame the active one (null clears it).
    void SetActiveFrame(CChildFrame* frame);
    std::vector<CVexlarDoc*> Documents() const;
    std::vector<CChildFrame*> FramesOf(const CVexlarDoc* doc) const;
    QString PathOf(const CVexlarDoc* doc) const;
    QString TitleOf(const CVexlarDoc* doc) const;

    QStringList RecentFiles() const { return m_recentFiles; }
    void AddRecentFile(const QString& path);
    void RemoveRecentFile(const QString& path);
    void LoadRecentFiles();
    void SaveRecentFiles() const;

    // Hooks for the dialogs, so that tests can answer them.
    std::function<SaveChoice(const QString& title)> m_askSave;
    std::function<SeveralSaveAnswer(const QStringList& titles)> m_askSaveSeveral;
    std::function<QString(const QString& suggested)> m_askSavePath;
    std::function<void(const QString& text)> m_showError;

    // Brings window titles, the modified marks, the live marks of the tabs
    // and the main window's caption up to date.
    void UpdateTitles();

signals:
    void DocumentsChanged();
    void DocumentSaved(const CVexlarDoc* doc);
    // Closed with its changes thrown away at the user's answer "Discard".
    void DocumentDiscarded(const CVexlarDoc* doc);
    void ActiveDocumentChanged();
    // A document became modified or saved, live or held.
    void DocumentStateChanged(CVexlarDoc* doc);

private:
    struct Record;
    Record* Find(const CVexlarDoc* doc) const;
    CChildFrame* CreateFrame(Record& record);
    void Listen(Record& record);   // titles and commands follow the document's state
    CChildFrame* FrameShownNext() const;
    bool QueryCloseFrame(CChildFrame* frame);
    void OnFrameClosed(CChildFrame* frame);
    void RemoveRecord(const CVexlarDoc* doc, QObject* lastFrame);
    bool WriteFile(Record& record, const QString& path);
    SaveChoice AskSave(Record& record);   // remembers a "Discard"
    SaveChoice AskSave(const QString& title);
    SeveralSaveAnswer AskSaveSeveral(const QStringList& titles);
    void ShowError(const QString& text);
    void OnFocusChanged(QWidget* now);

    CMainFrame* m_frame;
    ViewFactory m_viewFactory;
    std::vector<std::unique_ptr<Record>> m_records;
    QStringList m_recentFiles;
    int m_untitledCount = 0;
    bool m_closingAll = false;
    CChildFrame* m_activeFrame = nullptr;
    std::vector<CChildFrame*> m_activationOrder;   // least recently active first
};
