#pragma once
// Keeps modified documents over an ending that cannot ask (SIGTERM at
// logout, SIGINT, SIGHUP): each one is written to a recovery file, and the
// next start offers to restore them or discard them.

#include <QString>
#include <functional>
#include <vector>

#include "document/recovery_store.h"

class CDocumentManager;
class QWidget;

class CSessionRecovery {
public:
    enum class Choice {
        Restore,   // open every entry as a modified document; the entries go
        Discard,   // remove every entry
        Later,     // "Ask Later", Escape or closing the question: ask again next time
    };
    using Ask = std::function<Choice(const std::vector<RecoveryEntry>& entries)>;

    explicit CSessionRecovery(CDocumentManager& documents, const QString& folder = CRecoveryStore::DefaultFolder());

    // Offers the stored entries, if there are any and no other running
    // Vexlar is offering them. `ask` answers instead of the dialog (tests).
    // Restored documents keep the file and title they had, are marked
    // modified and take their entries' place: the entries are removed. An
    // entry that cannot be read is reported and kept. Returns how many were
    // restored.
    int OfferRestore(QWidget* parent, const Ask& ask);

    // Writes every modified document to a new entry; returns how many were
    // written. Failures go to standard error: nobody can be asked now.
    int WriteModifiedDocuments();

    const CRecoveryStore& Store() const { return m_store; }

private:
    static Choice AskWithDialog(QWidget* parent, const std::vector<RecoveryEntry>& entries);

    CDocumentManager& m_documents;
    CRecoveryStore m_store;
};
