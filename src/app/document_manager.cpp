#include "app/document_manager.h"

#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_io.h"
#include "app/main_frame.h"
#include "document/vexlar_doc.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QSettings>

namespace {
const QString kRecentGroup = QStringLiteral("Recent File List");

QString CanonicalPath(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}
}   // namespace

struct CDocumentManager::Record {
    std::unique_ptr<CVexlarDoc> doc;
    QString path;    // empty until the document has a file
    QString title;   // "Vexlar1" for a new document, else the file's name
    std::vector<CChildFrame*> frames;
    bool discarded = false;   // the user's last answer for it was "Discard"
};

CDocumentManager::CDocumentManager(CMainFrame* frame, ViewFactory viewFactory, QObject* parent)
    : QObject(parent), m_frame(frame), m_viewFactory(std::move(viewFactory))
{
    connect(m_frame->MdiArea(), &QMdiArea::subWindowActivated, this, [this] { UpdateTitles(); });
}

CDocumentManager::~CDocumentManager()
{
    CloseAllDocuments();
}

CDocumentManager::Record* CDocumentManager::Find(const CVexlarDoc* doc) const
{
    for (const auto& record : m_records) {
        if (record->doc.get() == doc) {
            return record.get();
        }
    }
    return nullptr;
}

std::vector<CVexlarDoc*> CDocumentManager::Documents() const
{
    std::vector<CVexlarDoc*> docs;
    for (const auto& record : m_records) {
        docs.push_back(record->doc.get());
    }
    return docs;
}

std::vector<CChildFrame*> CDocumentManager::FramesOf(const CVexlarDoc* doc) const
{
    const Record* record = Find(doc);
    return record ? record->frames : std::vector<CChildFrame*>{};
}

QString CDocumentManager::PathOf(const CVexlarDoc* doc) const
{
    const Record* record = Find(doc);
    return record ? record->path : QString();
}

QString CDocumentManager::TitleOf(const CVexlarDoc* doc) const
{
    const Record* record = Find(doc);
    return record ? record->title : QString();
}

CVexlarDoc* CDocumentManager::ActiveDocument() const
{
    auto* frame = qobject_cast<CChildFrame*>(m_frame->MdiArea()->activeSubWindow());
    if (!frame) {
        // no active window (e.g. the main frame is not active): take the
        // current tab
        frame = qobject_cast<CChildFrame*>(m_frame->MdiArea()->currentSubWindow());
    }
    return frame ? frame->Document() : nullptr;
}

CChildFrame* CDocumentManager::CreateFrame(Record& record)
{
    QWidget* view = m_viewFactory(record.doc.get());
    auto* frame = new CChildFrame(record.doc.get(), view);
    frame->m_queryClose = [this](CChildFrame* f) { return QueryCloseFrame(f); };
    connect(frame, &CChildFrame::FrameClosed, this, &CDocumentManager::OnFrameClosed);
    record.frames.push_back(frame);
    m_frame->MdiArea()->addSubWindow(frame);
    frame->showMaximized();
    m_frame->MdiArea()->setActiveSubWindow(frame);
    m_frame->UpdateMenuForDocuments();
    UpdateTitles();
    emit DocumentsChanged();
    return frame;
}

CVexlarDoc* CDocumentManager::NewDocument()
{
    auto record = std::make_unique<Record>();
    record->doc = std::make_unique<CVexlarDoc>();
    record->title = QStringLiteral("Vexlar%1").arg(++m_untitledCount);
    Record& ref = *record;
    m_records.push_back(std::move(record));
    CreateFrame(ref);
    return ref.doc.get();
}

CVexlarDoc* CDocumentManager::OpenDocument(const QString& path)
{
    const QString canonical = CanonicalPath(path);
    for (const auto& record : m_records) {
        if (!record->path.isEmpty() && record->path == canonical && !record->frames.empty()) {
            m_frame->MdiArea()->setActiveSubWindow(record->frames.front());
            return record->doc.get();
        }
    }
    // Load into a fresh document first: a file that cannot be read leaves
    // every open document as it was.
    auto doc = std::make_unique<CVexlarDoc>();
    QString error;
    if (!LoadDocumentFromFile(*doc, canonical, error)) {
        ShowError(error);
        return nullptr;
    }
    doc->SetModifiedFlag(false);
    const QString warning = doc->m_loadWarning;
    auto record = std::make_unique<Record>();
    record->doc = std::move(doc);
    record->path = canonical;
    record->title = QFileInfo(canonical).fileName();
    Record& ref = *record;
    m_records.push_back(std::move(record));
    CreateFrame(ref);
    AddRecentFile(canonical);
    if (!warning.isEmpty()) {
        ShowError(QStringLiteral("%1\n\n%2").arg(QDir::toNativeSeparators(canonical), warning));
    }
    return ref.doc.get();
}

CVexlarDoc* CDocumentManager::AdoptDocument(std::unique_ptr<CVexlarDoc> doc, const QString& path)
{
    auto record = std::make_unique<Record>();
    record->doc = std::move(doc);
    if (path.isEmpty()) {
        record->title = QStringLiteral("Vexlar%1").arg(++m_untitledCount);
    } else {
        record->path = CanonicalPath(path);
        record->title = QFileInfo(record->path).fileName();
    }
    Record& ref = *record;
    m_records.push_back(std::move(record));
    CreateFrame(ref);
    return ref.doc.get();
}

bool CDocumentManager::WriteFile(Record& record, const QString& path)
{
    QString error;
    if (!SaveDocumentToFile(*record.doc, path, error)) {
        ShowError(error.isEmpty() ? QStringLiteral("Failed to save document.") : error);
        return false;
    }
    record.doc->SetModifiedFlag(false);
    record.discarded = false;
    record.path = CanonicalPath(path);
    record.title = QFileInfo(record.path).fileName();
    AddRecentFile(record.path);
    UpdateTitles();
    emit DocumentSaved(record.doc.get());
    return true;
}

bool CDocumentManager::SaveDocument(CVexlarDoc* doc)
{
    Record* record = Find(doc);
    if (!record) {
        return false;
    }
    if (record->path.isEmpty()) {
        return SaveDocumentAs(doc);
    }
    return WriteFile(*record, record->path);
}

bool CDocumentManager::SaveDocumentAs(CVexlarDoc* doc)
{
    Record* record = Find(doc);
    if (!record) {
        return false;
    }
    const QString suggested = record->path.isEmpty() ? record->title + QStringLiteral(".VEXLAR") : record->path;
    QString path;
    if (m_askSavePath) {
        path = m_askSavePath(suggested);
    } else {
        QFileDialog dialog(m_frame, tr("Save As"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QStringLiteral("Vexlar Files (*.VEXLAR)"));
        dialog.setDefaultSuffix(QStringLiteral("VEXLAR"));
        dialog.selectFile(suggested);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
            path = dialog.selectedFiles().constFirst();
        }
    }
    if (path.isEmpty()) {
        return false;
    }
    return WriteFile(*record, path);
}

CDocumentManager::SaveChoice CDocumentManager::AskSave(Record& record)
{
    const SaveChoice choice = AskSave(record.title);
    record.discarded = choice == SaveChoice::Discard;
    return choice;
}

CDocumentManager::SaveChoice CDocumentManager::AskSave(const QString& title)
{
    if (m_askSave) {
        return m_askSave(title);
    }
    const auto answer =
        QMessageBox::question(m_frame, QStringLiteral("Vexlar"), tr("Save changes to %1?").arg(title),
                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) {
        return SaveChoice::Save;
    }
    return answer == QMessageBox::Discard ? SaveChoice::Discard : SaveChoice::Cancel;
}

void CDocumentManager::ShowError(const QString& text)
{
    if (m_showError) {
        m_showError(text);
    } else {
        QMessageBox::warning(m_frame, QStringLiteral("Vexlar"), text);
    }
}

bool CDocumentManager::QueryCloseFrame(CChildFrame* frame)
{
    if (m_closingAll) {
        return true;
    }
    Record* record = Find(frame->Document());
    if (!record || record->frames.size() > 1 || !record->doc->IsModified()) {
        return true;   // other windows keep the document, or nothing to lose
    }
    switch (AskSave(*record)) {
    case SaveChoice::Save:
        return SaveDocument(record->doc.get());
    case SaveChoice::Discard:
        return true;
    case SaveChoice::Cancel:
        return false;
    }
    return false;
}

void CDocumentManager::OnFrameClosed(CChildFrame* frame)
{
    Record* record = Find(frame->Document());
    if (record) {
        auto& frames = record->frames;
        frames.erase(std::remove(frames.begin(), frames.end(), frame), frames.end());
        if (frames.empty()) {
            RemoveRecord(record->doc.get(), frame);
        }
    }
    // the sub-window is still listed while its close event runs
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_frame->UpdateMenuForDocuments();
            UpdateTitles();
        },
        Qt::QueuedConnection);
    emit DocumentsChanged();
}

void CDocumentManager::RemoveRecord(const CVexlarDoc* doc, QObject* lastFrame)
{
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if ((*it)->doc.get() == doc) {
            std::unique_ptr<Record> gone = std::move(*it);
            m_records.erase(it);
            if (gone->discarded && gone->doc->IsModified()) {
                emit DocumentDiscarded(gone->doc.get());
            }
            if (!lastFrame) {
                return;   // no view left that could still reach the document
            }
            // The closing frame and its view are deleted later; the document
            // goes when they are gone, so no view timer ever sees it freed.
            CVexlarDoc* raw = gone->doc.release();
            connect(lastFrame, &QObject::destroyed, [raw] { delete raw; });
            return;
        }
    }
}

bool CDocumentManager::CloseDocument(CVexlarDoc* doc)
{
    Record* record = Find(doc);
    if (!record) {
        return false;
    }
    if (record->doc->IsModified()) {
        switch (AskSave(*record)) {
        case SaveChoice::Save:
            if (!SaveDocument(doc)) {
                return false;
            }
            break;
        case SaveChoice::Discard:
            break;
        case SaveChoice::Cancel:
            return false;
        }
    }
    const std::vector<CChildFrame*> frames = record->frames;
    m_closingAll = true;
    for (CChildFrame* frame : frames) {
        frame->close();
    }
    m_closingAll = false;
    return Find(doc) == nullptr;
}

bool CDocumentManager::SaveAllModified()
{
    for (const auto& record : m_records) {
        if (!record->doc->IsModified()) {
            continue;
        }
        if (!record->frames.empty()) {
            m_frame->MdiArea()->setActiveSubWindow(record->frames.front());
        }
        switch (AskSave(*record)) {
        case SaveChoice::Save:
            if (!SaveDocument(record->doc.get())) {
                return false;
            }
            break;
        case SaveChoice::Discard:
            break;
        case SaveChoice::Cancel:
            return false;
        }
    }
    return true;
}

void CDocumentManager::CloseAllDocuments()
{
    m_closingAll = true;
    while (!m_records.empty()) {
        Record* record = m_records.front().get();
        const std::vector<CChildFrame*> frames = record->frames;
        for (CChildFrame* frame : frames) {
            frame->close();
        }
        if (!m_records.empty() && m_records.front().get() == record) {
            // frames already gone: drop the document directly
            m_records.erase(m_records.begin());
        }
    }
    m_closingAll = false;
}

CChildFrame* CDocumentManager::NewWindow(CVexlarDoc* doc)
{
    Record* record = Find(doc);
    return record ? CreateFrame(*record) : nullptr;
}

void CDocumentManager::AddRecentFile(const QString& path)
{
    const QString canonical = CanonicalPath(path);
    m_recentFiles.removeAll(canonical);
    m_recentFiles.prepend(canonical);
    while (m_recentFiles.size() > VexlarCmd::ID_FILE_MRU_COUNT) {
        m_recentFiles.removeLast();
    }
    m_frame->SetRecentFiles(m_recentFiles);
    SaveRecentFiles();
}

void CDocumentManager::RemoveRecentFile(const QString& path)
{
    if (m_recentFiles.removeAll(path) + m_recentFiles.removeAll(CanonicalPath(path)) == 0) {
        return;
    }
    m_frame->SetRecentFiles(m_recentFiles);
    SaveRecentFiles();
}

void CDocumentManager::LoadRecentFiles()
{
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    m_recentFiles.clear();
    for (int i = 1; i <= VexlarCmd::ID_FILE_MRU_COUNT; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty()) {
            m_recentFiles << path;
        }
    }
    settings.endGroup();
    m_frame->SetRecentFiles(m_recentFiles);
}

void CDocumentManager::SaveRecentFiles() const
{
    QSettings settings;
    settings.beginGroup(kRecentGroup);
    for (int i = 1; i <= VexlarCmd::ID_FILE_MRU_COUNT; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_recentFiles.size()) {
            settings.setValue(key, m_recentFiles[i - 1]);
        } else {
            settings.remove(key);
        }
    }
    settings.endGroup();
}

void CDocumentManager::UpdateTitles()
{
    for (const auto& record : m_records) {
        const bool modified = record->doc->IsModified();
        const size_t count = record->frames.size();
        for (size_t i = 0; i < count; ++i) {
            QString title = record->title;
            if (count > 1) {
                title += QStringLiteral(":%1").arg(i + 1);
            }
            if (modified) {
                title += QLatin1Char('*');
            }
            if (record->frames[i]->windowTitle() != title) {
                record->frames[i]->setWindowTitle(title);
            }
        }
    }
    CVexlarDoc* active = ActiveDocument();
    const Record* record = Find(active);
    const QString caption = record ? record->title + QStringLiteral(" - Vexlar") : QStringLiteral("Vexlar");
    if (m_frame->windowTitle() != caption) {
        m_frame->setWindowTitle(caption);
    }
}
