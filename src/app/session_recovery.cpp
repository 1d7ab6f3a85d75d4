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
{}

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
        // Not saved anywhere but in the entry, which goes now: the document
        // is protected as any modified one (the close question, the next
        // recovery file).
        doc->SetModifiedFlag(true);
        m_documents.AdoptDocument(std::move(doc), entry.originalPath);
        CRecoveryStore::Remove(entry);
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
            ++written;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vexlar: unsaved document %s could not be kept in %s: %s\n",
                         qPrintable(m_documents.TitleOf(doc)), qPrintable(m_store.Folder()), e.what());
        }
    }
    return written;
}
