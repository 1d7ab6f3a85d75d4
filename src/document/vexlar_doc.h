// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document: an ordered list of signals over the captured sample word and
// the trigger position of the last capture. It owns its signals. No widgets:
// the application's document manager, the views and the commands build on it.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "document/change_notifier.h"
#include "document/decoder_row.h"
#include "document/undo_stack.h"
#include "model/signal.h"

class CArchive;
class CArchiveReader;
class CArchiveWriter;

// The zoom and position a window last showed, kept with the document so
// that a saved file opens as it was left.
struct DocumentViewState {
    double zoom = 20.0;         // pixels per sample
    int32_t firstVisible = 0;   // sample at the left edge of the traces
    int32_t scrollY = 0;        // vertical scroll of the rows, 0 or negative
    bool operator==(const DocumentViewState&) const = default;
};

class CVexlarDoc {
public:
    // Most signals a document holds: the loader refuses files with more, and
    // the commands that make signals stop here, so that everything Vexlar
    // saves can be opened again.
    static constexpr int32_t kMaxSignals = 4096;

    CVexlarDoc();    // one start-up signal "all_bits"; live
    ~CVexlarDoc();   // destroys every signal
    CVexlarDoc(const CVexlarDoc&) = delete;
    CVexlarDoc& operator=(const CVexlarDoc&) = delete;

    SignalList m_signals;   // display order, top row first; owned
    int32_t m_triggerPos = 2048;
    int32_t m_captureId = 0;   // id of the capture the samples came from; 0: none
    // Protocol decoder rows, shown under the signals in this order.
    std::vector<CDecoderRowConfig> m_decoderRows;

    // Sample rate of the captures in Hz; 0 = not set, and time is counted in
    // samples. Stored in the file's extension block.
    double m_sampleRate = 0.0;
    // Markers M1 and M2 as sample indices (-1: not set), shared by every
    // window of the document. Stored in the extension block.
    int32_t m_marker1 = -1;
    int32_t m_marker2 = -1;
    // Zoom and position of the window that last moved. Stored in the
    // extension block; not an edit (changing it leaves the document
    // unmodified).
    DocumentViewState m_viewState;
    // What the last load could not read but got over (a malformed extension
    // block: the signals loaded, the extras did not). Empty when nothing.
    QString m_loadWarning;

    // The user's edits, for Undo and Redo (see undo_stack.h). Loading
    // clears it; saving marks its current place as the saved state.
    CUndoStack m_undo;
    // Records an edit that has been made already, or makes it and records
    // it; either way the document's revision moves.
    void PushUndo(std::unique_ptr<CUndoCommand> done);
    void ExecuteUndoable(std::unique_ptr<CUndoCommand> command);
    // Undo / redo the last edit; false when there is none.
    bool Undo();
    bool Redo();

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

    // Modified: the undo stack is away from the saved state, a change that
    // cannot be undone was made since the last save or open
    // (SetModifiedFlag(true)), or the document is live and took a capture
    // since then. SetModifiedFlag(false) makes the current state the saved
    // one (saving and opening do it).
    bool IsModified() const { return m_modified || m_capturedSinceSave || !m_undo.IsClean(); }
    void SetModifiedFlag(bool modified = true);
    // True when a capture changed samples since the last save or open.
    bool HasCaptureSinceSave() const { return m_capturedSinceSave; }
    // The hand-off calls this after a capture changed samples of the document.
    void NoteCaptureTaken();

    // Live: the document takes every capture the link hands over. Held: it
    // takes none, so the samples of a document opened from a file are never
    // replaced behind the user's back. New documents start live; loading a
    // file makes the document held.
    bool IsLive() const { return m_live; }
    void SetLive(bool live);

    // Called after IsModified() or IsLive() changed and after every change
    // of the undo history (edit, Undo, Redo), not on every capture; on the
    // thread that made the change (the user-interface thread).
    using StateListener = std::function<void()>;
    int AddStateListener(StateListener listener);   // returns an id for RemoveStateListener
    void RemoveStateListener(int id);

    // Moves whenever the content changes (capture, edit, load), and every
    // move is announced to the change listeners: the views repaint from it.
    uint64_t Revision() const { return m_revision; }
    void BumpRevision();
    // Calls `listener` after every change of the revision, on the thread that
    // made it (the user-interface thread). The subscription ends with the
    // returned handle, whichever of the two goes first.
    [[nodiscard]] CChangeNotifier::Subscription OnChanged(std::function<void()> listener)
    {
        return m_changed.Subscribe(std::move(listener));
    }

    // Stores or loads the whole document (file format of the document).
    // Loading replaces the signals of this document; a malformed input throws
    // CFileFormatException. Use LoadDocumentBytes / OpenDocumentFile
    // (document_file.h) to load without touching a document on failure.
    void Serialize(CArchive& ar);

    // Takes over the content of `other` (signals, trigger position, sample
    // rate, markers, view state, load warning), which receives this
    // document's old content; every moved signal's m_owner follows. Both
    // undo stacks are cleared: their commands belong to the old content.
    void SwapContent(CVexlarDoc& other);

private:
    void Store(CArchiveWriter& w) const;
    void Load(CArchiveReader& r);
    // A new revision, announced.
    void Changed();
    // The spectrum of every spectrum signal, from its samples and settings.
    void RefreshSpectra();

    // Tells the listeners when IsModified() or IsLive() differ from the
    // values given.
    void NotifyIfChanged(bool wasModified, bool wasLive);
    void NotifyState();

    bool m_modified = false;
    bool m_capturedSinceSave = false;
    bool m_live = true;
    uint64_t m_revision = 0;
    CChangeNotifier m_changed;
    std::vector<std::pair<int, StateListener>> m_listeners;
    int m_nextListenerId = 1;
};
