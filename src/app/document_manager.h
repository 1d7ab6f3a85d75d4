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
class CDocumentManager : public QObject {
    Q_OBJECT
public:
    using ViewFactory = std::function<QWidget*(CVexlarDoc* doc)>;
    enum class SaveChoice { Save, Discard, Cancel };

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
    std::function<QString(const QString& suggested)> m_askSavePath;
    std::function<void(const QString& text)> m_showError;

    // Keeps window titles and the modified marks current.
    void UpdateTitles();

signals:
    void DocumentsChanged();
    void DocumentSaved(const CVexlarDoc* doc);
    // Closed with its changes thrown away at the user's answer "Discard".
    void DocumentDiscarded(const CVexlarDoc* doc);

private:
    struct Record;
    Record* Find(const CVexlarDoc* doc) const;
    CChildFrame* CreateFrame(Record& record);
    bool QueryCloseFrame(CChildFrame* frame);
    void OnFrameClosed(CChildFrame* frame);
    void RemoveRecord(const CVexlarDoc* doc, QObject* lastFrame);
    bool WriteFile(Record& record, const QString& path);
    SaveChoice AskSave(Record& record);   // remembers a "Discard"
    SaveChoice AskSave(const QString& title);
    void ShowError(const QString& text);

    CMainFrame* m_frame;
    ViewFactory m_viewFactory;
    std::vector<std::unique_ptr<Record>> m_records;
    QStringList m_recentFiles;
    int m_untitledCount = 0;
    bool m_closingAll = false;
};
