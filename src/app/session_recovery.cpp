// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/session_recovery.h"

#include "app/document_manager.h"
#include "document/vexlar_doc.h"

#include <QDateTime>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>
#include <exception>
#include <memory>

CSessionRecovery::CSessionRecovery(CDocumentManager& documents, const QString& folder)
    : m_documents(documents), m_store(folder)
{
    const auto done = [this](const CVexlarDoc* doc) { Forget(doc); };
    QObject::connect(&documents, &CDocumentManager::DocumentSaved, &m_connections, done);
    QObject::connect(&documents, &CDocumentManager::DocumentDiscarded, &m_connections, done);
}

void CSessionRecovery::Forget(const CVexlarDoc* doc)
{
    for (auto it = m_restored.begin(); it != m_restored.end(); ++it) {
        if (it->first == doc) {
            CRecoveryStore::Remove(it->second);
            m_restored.erase(it);
            return;
        }
    }
}

CSessionRecovery::Choice CSessionRecovery::AskWithDialog(QWidget* parent, const std::vector<RecoveryEntry>& entries)
{
    QStringList lines;
    for (const RecoveryEntry& entry : entries) {
        const QString when =
            QDateTime::fromSecsSinceEpoch(entry.writtenAt).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QString where = entry.originalPath.isEmpty() ? QObject::tr("never saved") : entry.originalPath;
        lines << QStringLiteral("%1 (%2), kept %3").arg(entry.title, where, when);
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Vexlar"),
                    QObject::tr("Vexlar was ended without a chance to save. Restore the unsaved documents?"),
                    QMessageBox::NoButton, parent);
    box.setObjectName(QStringLiteral("RestoreOffer"));
    box.setInformativeText(lines.join(QLatin1Char('\n')));
    QPushButton* restore = box.addButton(QObject::tr("&Restore"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    // Escape and the window's close button keep the documents for next time.
    QPushButton* later = box.addButton(QObject::tr("Ask &Later"), QMessageBox::RejectRole);
    box.setDefaultButton(restore);
    box.setEscapeButton(later);
    box.exec();
    if (box.clickedButton() == restore) {
        return Choice::Restore;
    }
    return box.clickedButton() == discard ? Choice::Discard : Choice::Later;
}

int CSessionRecovery::OfferRestore(QWidget* parent, const Ask& ask)
{
    const std::vector<RecoveryEntry> entries = m_store.Entries();
    if (entries.empty() || !m_store.Claim()) {
        return 0;
    }
    const Choice choice = ask ? ask(entries) : AskWithDialog(parent, entries);
    if (choice == Choice::Later) {
        return 0;
    }
    if (choice == Choice::Discard) {
        for (const RecoveryEntry& entry : entries) {
            CRecoveryStore::Remove(entry);
        }
        return 0;
    }
    int restored = 0;
    QStringList failed;
    for (const RecoveryEntry& entry : entries) {
        auto doc = std::make_unique<CVexlarDoc>();
        try {
            CRecoveryStore::Load(entry, *doc);
        } catch (const std::exception& e) {
            failed << QStringLiteral("%1: %2").arg(entry.title, QString::fromLocal8Bit(e.what()));
            continue;
        }
        // Saved nowhere but in the entry: modified, so that closing asks
        // and an ending signal keeps it again.
        doc->SetModifiedFlag(true);
        m_restored.emplace_back(m_documents.AdoptDocument(std::move(doc), entry.originalPath), entry);
        ++restored;
    }
    if (!failed.isEmpty()) {
        const QString text = QObject::tr("These recovered documents could not be read and are kept in %1:\n%2")
                                 .arg(m_store.Folder(), failed.join(QLatin1Char('\n')));
        if (m_documents.m_showError) {
            m_documents.m_showError(text);
        } else {
            QMessageBox::warning(parent, QStringLiteral("Vexlar"), text);
        }
    }
    return restored;
}

int CSessionRecovery::WriteModifiedDocuments()
{
    int written = 0;
    for (CVexlarDoc* doc : m_documents.Documents()) {
        if (!doc->IsModified()) {
            continue;
        }
        try {
            const RecoveryEntry entry = m_store.Write(*doc, m_documents.PathOf(doc), m_documents.TitleOf(doc));
            std::fprintf(stderr, "vexlar: unsaved document %s kept in %s\n", qPrintable(entry.title),
                         qPrintable(entry.file));
            Forget(doc);   // the new entry holds what the old one held, and more
            ++written;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vexlar: unsaved document %s could not be kept in %s: %s\n",
                         qPrintable(m_documents.TitleOf(doc)), qPrintable(m_store.Folder()), e.what());
        }
    }
    // The documents close without questions now: the entries of restored
    // documents that were not written again stay for the next start.
    m_restored.clear();
    return written;
}
