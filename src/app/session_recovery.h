// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps modified documents over an ending that cannot ask (SIGTERM at
// logout, SIGINT, SIGHUP): each one is written to a recovery file, and the
// next start offers to restore them or discard them.

#include <QObject>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "document/recovery_store.h"

class CDocumentManager;
class CVexlarDoc;
class QWidget;

class CSessionRecovery {
public:
    enum class Choice {
        Restore,   // open every entry as a modified document
        Discard,   // remove every entry
        Later,     // "Ask Later", Escape or closing the question: ask again next time
    };
    using Ask = std::function<Choice(const std::vector<RecoveryEntry>& entries)>;

    explicit CSessionRecovery(CDocumentManager& documents, const QString& folder = CRecoveryStore::DefaultFolder());

    // Offers the stored entries, if there are any and no other running
    // Vexlar is offering them. `ask` answers instead of the dialog (tests).
    // Restored documents keep the file and title they had and are marked
    // modified. Each entry stays until its document is saved or closed at
    // the answer "Discard", so that an ending without questions (a crash)
    // still leaves it for the next start. An entry that cannot be read is
    // reported and kept. Returns how many were restored.
    int OfferRestore(QWidget* parent, const Ask& ask);

    // Writes every modified document to a new entry (which replaces the
    // entry a restored document came from); returns how many were written.
    // Failures go to standard error: nobody can be asked now.
    int WriteModifiedDocuments();

    const CRecoveryStore& Store() const { return m_store; }

private:
    static Choice AskWithDialog(QWidget* parent, const std::vector<RecoveryEntry>& entries);
    // Removes the entry that `doc` was restored from, if any.
    void Forget(const CVexlarDoc* doc);

    CDocumentManager& m_documents;
    CRecoveryStore m_store;
    // Restored documents and the entries they came from.
    std::vector<std::pair<const CVexlarDoc*, RecoveryEntry>> m_restored;
    // Owns the connections to the document manager, which outlives this.
    QObject m_connections;
};
