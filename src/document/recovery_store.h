// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Recovery files: modified documents written when the application has to end
// without asking (SIGTERM at logout, SIGINT, SIGHUP), offered for restoring at
// the next start. Each entry is an ordinary document file
// "recovered-<time>-<pid>-<n>.VEXLAR" (it opens like any other) with a small
// JSON file beside it that says which file and window title the document had.
// The folder is $XDG_STATE_HOME/vexlar, by default ~/.local/state/vexlar.
// No widgets: the application decides when to write and what to offer.

#include <cstdint>
#include <vector>

#include <QString>

class CVexlarDoc;

struct RecoveryEntry {
    QString file;            // the recovered document in the store
    QString originalPath;    // the file the document belonged to; empty for a new document
    QString title;           // its title then ("Vexlar1", "capture.VEXLAR")
    int64_t writtenAt = 0;   // seconds since the epoch
};

class CRecoveryStore {
public:
    // The store in `folder` (created when the first entry is written).
    explicit CRecoveryStore(QString folder = DefaultFolder());
    ~CRecoveryStore();
    CRecoveryStore(const CRecoveryStore&) = delete;
    CRecoveryStore& operator=(const CRecoveryStore&) = delete;

    // $XDG_STATE_HOME/vexlar when that is an absolute path, otherwise
    // $HOME/.local/state/vexlar.
    static QString DefaultFolder();
    const QString& Folder() const { return m_folder; }

    // Writes the document as a new entry (atomically, see CAtomicOutput) and
    // returns it; the document itself is not changed. Throws
    // CFileSaveException when it cannot be written.
    RecoveryEntry Write(const CVexlarDoc& doc, const QString& originalPath, const QString& title);

    // The entries in the store, oldest first.
    std::vector<RecoveryEntry> Entries() const;

    // Loads an entry into `doc` (see OpenDocumentFile); throws as that does.
    static void Load(const RecoveryEntry& entry, CVexlarDoc& doc);

    // Removes the entry's files.
    static void Remove(const RecoveryEntry& entry);

    // Takes the store's lock, so that of two applications starting at the
    // same time only one offers (and restores) the entries. Held until this
    // object is destroyed; false when another process holds it.
    bool Claim();

private:
    QString m_folder;
    int m_lockFd = -1;
};
