// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/document_manager.h"

#include "app/app_icons.h"
#include "app/child_frame.h"
#include "app/command_ids.h"
#include "app/document_io.h"
#include "app/main_frame.h"
#include "app/save_modified_dialog.h"
#include "document/vexlar_doc.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabBar>

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
    int listenerId = 0;   // of the document's state listener
};

CDocumentManager::CDocumentManager(CMainFrame* frame, ViewFactory viewFactory, QObject* parent)
    : QObject(parent), m_frame(frame), m_viewFactory(std::move(viewFactory))
{
    QMdiArea* area = m_frame->MdiArea();
    // The document area reports an activation only while the main window is
    // active; a tab the user picks and a view that takes the focus count as
    // well, so the active frame follows the user with or without a window
    // manager.
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* window) {
        if (auto* child = qobject_cast<CChildFrame*>(window)) {
            SetActiveFrame(child);
        }
    });
    if (auto* tabs = area->findChild<QTabBar*>()) {
        connect(tabs, &QTabBar::tabBarClicked, this, [this, area](int index) {
            const auto windows = area->subWindowList(QMdiArea::CreationOrder);
            if (index >= 0 && index < windows.size()) {
                SetActiveFrame(qobject_cast<CChildFrame*>(windows[index]));
            }
        });
    }
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
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
    return m_activeFrame ? m_activeFrame->Document() : nullptr;
}

void CDocumentManager::SetActiveFrame(CChildFrame* frame)
{
    if (frame && std::find(m_activationOrder.begin(), m_activationOrder.end(), frame) == m_activationOrder.end()) {
        return;   // not one of ours, or already closing
    }
    if (frame == m_activeFrame) {
        return;
    }
    m_activeFrame = frame;
    if (frame) {
        m_activationOrder.erase(std::remove(m_activationOrder.begin(), m_activationOrder.end(), frame),
                                m_activationOrder.end());
        m_activationOrder.push_back(frame);
    }
    UpdateTitles();
    emit ActiveDocumentChanged();
}

void CDocumentManager::OnFocusChanged(QWidget* now)
{
    // The focus inside one of our frames (a click in its view, keyboard
    // navigation) makes that frame active.
    for (QWidget* w = now; w; w = w->parentWidget()) {
        if (auto* child = qobject_cast<CChildFrame*>(w)) {
            SetActiveFrame(child);
            return;
        }
    }
}

CChildFrame* CDocumentManager::CreateFrame(Record& record)
{
    QWidget* view = m_viewFactory(record.doc.get());
    auto* frame = new CChildFrame(record.doc.get(), view);
    frame->m_queryClose = [this](CChildFrame* f) { return QueryCloseFrame(f); };
    connect(frame, &CChildFrame::FrameClosed, this, &CDocumentManager::OnFrameClosed);
    record.frames.push_back(frame);
    m_activationOrder.insert(m_activationOrder.begin(), frame);
    m_frame->MdiArea()->addSubWindow(frame);
    frame->showMaximized();
    m_frame->MdiArea()->setActiveSubWindow(frame);
    m_frame->UpdateMenuForDocuments();
    SetActiveFrame(frame);
    UpdateTitles();
    emit DocumentsChanged();
    return frame;
}

void CDocumentManager::Listen(Record& record)
{
    CVexlarDoc* doc = record.doc.get();
    record.listenerId = doc->AddStateListener([this, doc] {
        UpdateTitles();
        emit DocumentStateChanged(doc);
    });
}

CVexlarDoc* CDocumentManager::NewDocument()
{
    auto record = std::make_unique<Record>();
    record->doc = std::make_unique<CVexlarDoc>();
    record->title = QStringLiteral("Vexlar%1").arg(++m_untitledCount);
    Record& ref = *record;
    m_records.push_back(std::move(record));
    Listen(ref);
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
    Listen(ref);
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
    // Buttons with access keys (S, D), so that the question can be answered
    // from the keyboard whatever the desktop's button labels are.
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vexlar"), tr("Save changes to %1?").arg(title),
                    QMessageBox::NoButton, m_frame);
    box.setObjectName(QStringLiteral("SaveQuestion"));
    QPushButton* save = box.addButton(tr("&Save"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(tr("&Discard"), QMessageBox::DestructiveRole);
    box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(save);
    box.exec();
    if (box.clickedButton() == save) {
        return SaveChoice::Save;
    }
    return box.clickedButton() == discard ? SaveChoice::Discard : SaveChoice::Cancel;
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
    m_activationOrder.erase(std::remove(m_activationOrder.begin(), m_activationOrder.end(), frame),
                            m_activationOrder.end());
    if (frame == m_activeFrame) {
        // Nothing may act on a closing frame; the frame shown next takes its
        // place once the document area has let go of this one.
        m_activeFrame = nullptr;
        UpdateTitles();
        emit ActiveDocumentChanged();
    }
    Record* record = Find(frame->Document());
    if (record) {
        auto& frames = record->frames;
        frames.erase(std::remove(frames.begin(), frames.end(), frame), frames.end());
        if (frames.empty()) {
            RemoveRecord(record->doc.get(), frame);
        }
    }
    UpdateTitles();   // the windows left lose their ":n"
    // the sub-window is still listed while its close event runs
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_frame->UpdateMenuForDocuments();
            if (!m_activeFrame) {
                SetActiveFrame(FrameShownNext());
            }
            UpdateTitles();
        },
        Qt::QueuedConnection);
    emit DocumentsChanged();
}

CChildFrame* CDocumentManager::FrameShownNext() const
{
    // The tab the document area shows now, else the frame active last.
    QMdiArea* area = m_frame->MdiArea();
    if (auto* tabs = area->findChild<QTabBar*>()) {
        const auto windows = area->subWindowList(QMdiArea::CreationOrder);
        const int index = tabs->currentIndex();
        if (index >= 0 && index < windows.size()) {
            auto* child = qobject_cast<CChildFrame*>(windows[index]);
            if (std::find(m_activationOrder.begin(), m_activationOrder.end(), child) != m_activationOrder.end()) {
                return child;
            }
        }
    }
    return m_activationOrder.empty() ? nullptr : m_activationOrder.back();
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
            gone->doc->RemoveStateListener(gone->listenerId);
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
    std::vector<CVexlarDoc*> modified;
    QStringList titles;
    for (const auto& record : m_records) {
        if (record->doc->IsModified()) {
            modified.push_back(record->doc.get());
            titles << record->title;
        }
    }
    if (modified.empty()) {
        return true;
    }
    std::vector<bool> save(modified.size(), true);
    if (modified.size() == 1) {
        if (const Record* record = Find(modified.front()); record && !record->frames.empty()) {
            m_frame->MdiArea()->setActiveSubWindow(record->frames.front());
        }
        switch (AskSave(*Find(modified.front()))) {
        case SaveChoice::Save:
            break;
        case SaveChoice::Discard:
            save[0] = false;
            break;
        case SaveChoice::Cancel:
            return false;
        }
    } else {
        // One question for all of them.
        const SeveralSaveAnswer answer = AskSaveSeveral(titles);
        using Choice = SeveralSaveAnswer::Choice;
        switch (answer.choice) {
        case Choice::SaveAll:
            break;
        case Choice::DiscardAll:
            std::fill(save.begin(), save.end(), false);
            break;
        case Choice::SaveChosen:
            for (size_t i = 0; i < save.size(); ++i) {
                save[i] = i < answer.save.size() && answer.save[i];
            }
            break;
        case Choice::Cancel:
            return false;
        }
    }
    for (size_t i = 0; i < modified.size(); ++i) {
        if (Record* record = Find(modified[i])) {
            record->discarded = !save[i];   // its changes are thrown away at the user's word
        }
    }
    for (size_t i = 0; i < modified.size(); ++i) {
        // A save that fails or whose file dialog is cancelled stops the exit.
        if (save[i] && Find(modified[i]) && !SaveDocument(modified[i])) {
            return false;
        }
    }
    return true;
}

CDocumentManager::SeveralSaveAnswer CDocumentManager::AskSaveSeveral(const QStringList& titles)
{
    if (m_askSaveSeveral) {
        return m_askSaveSeveral(titles);
    }
    CSaveModifiedDialog dialog(titles, m_frame);
    dialog.exec();
    SeveralSaveAnswer answer;
    answer.save = dialog.Checked();
    switch (dialog.Result()) {
    case CSaveModifiedDialog::Answer::SaveChecked:
        answer.choice = std::find(answer.save.begin(), answer.save.end(), false) == answer.save.end()
                            ? SeveralSaveAnswer::Choice::SaveAll
                            : SeveralSaveAnswer::Choice::SaveChosen;
        break;
    case CSaveModifiedDialog::Answer::DiscardAll:
        answer.choice = SeveralSaveAnswer::Choice::DiscardAll;
        break;
    case CSaveModifiedDialog::Answer::Cancel:
        answer.choice = SeveralSaveAnswer::Choice::Cancel;
        break;
    }
    return answer;
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
            record->frames[i]->SetLiveMark(record->doc->IsLive());
        }
    }
    CVexlarDoc* active = ActiveDocument();
    const Record* record = Find(active);
    const QString caption = record ? record->title + QStringLiteral(" - Vexlar") : QStringLiteral("Vexlar");
    if (m_frame->windowTitle() != caption) {
        m_frame->setWindowTitle(caption);
    }
}
