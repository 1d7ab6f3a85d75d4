#pragma once
// The document: an ordered list of signals over the captured sample word and
// the trigger position of the last capture. It owns its signals. No widgets:
// the application's document manager, the views and the commands build on it.

#include <cstdint>

#include "model/signal.h"

class CArchive;
class CArchiveReader;
class CArchiveWriter;

class CVexlarDoc {
public:
    CVexlarDoc();    // one start-up signal "all_bits"
    ~CVexlarDoc();   // destroys every signal
    CVexlarDoc(const CVexlarDoc&) = delete;
    CVexlarDoc& operator=(const CVexlarDoc&) = delete;

    SignalList m_signals;   // display order, top row first; owned
    int32_t m_triggerPos = 2048;

    // Removes and destroys every signal (the list may stay empty).
    void RemoveAllSignals();

    // A new default signal owned by this document's list, appended at the
    // tail, or inserted after `after` (a position of m_signals).
    CSignal* AppendNewSignal();
    CSignal* InsertNewSignalAfter(SignalList::iterator after);
    // Removes the signal at `pos` and destroys it; returns the next position,
    // so callers can remove while iterating.
    SignalList::iterator EraseSignal(SignalList::iterator pos);
    CSignal* Head() const { return m_signals.empty() ? nullptr : m_signals.front(); }

    // Set by the user's own changes (signal list, settings), never by an
    // arriving capture; cleared by saving and opening.
    bool IsModified() const { return m_modified; }
    void SetModifiedFlag(bool modified = true) { m_modified = modified; }

    // Moves whenever the content changes (capture, edit, load): views repaint
    // when it differs from the one they painted.
    uint64_t Revision() const { return m_revision; }
    void BumpRevision();

    // Stores or loads the whole document (file format of the document).
    // Loading replaces the signals of this document; a malformed input throws
    // CFileFormatException. Use LoadDocumentBytes / OpenDocumentFile
    // (document_file.h) to load without touching a document on failure.
    void Serialize(CArchive& ar);

    // Takes over the signals and trigger position of `other` (which receives
    // this document's old signals); every moved signal's m_owner follows.
    void SwapContent(CVexlarDoc& other);

private:
    void Store(CArchiveWriter& w) const;
    void Load(CArchiveReader& r);

    bool m_modified = false;
    uint64_t m_revision = 0;
};
