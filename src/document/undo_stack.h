// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Undo and redo of the user's edits of one document. Every change that the
// user makes to a document (the signal-list commands, property edits, the
// row gestures, reordering, the sample rate, the markers) is recorded as a
// command that can take it back and make it again. Captures are not edits:
// they are never recorded, and the commands do not depend on the samples a
// capture brings (see edit_commands.h).
//
// The stack also knows the saved state: the document is unmodified when the
// stack stands where it stood at the last save (and nothing outside the
// stack, such as a capture, changed the document since).

#include <cstddef>
#include <memory>
#include <vector>

#include <QString>

class CVexlarDoc;

class CUndoCommand {
public:
    virtual ~CUndoCommand() = default;
    // Takes the change back / makes it again. Each is called only on the
    // document state the other one left.
    virtual void Undo(CVexlarDoc& doc) = 0;
    virtual void Redo(CVexlarDoc& doc) = 0;
    // What the Edit menu says: "Undo " + Text().
    virtual QString Text() const = 0;
    // Bytes the command keeps (removed signals, sample copies), so that the
    // stack can drop its oldest commands when it holds too much.
    virtual size_t MemoryBytes() const { return sizeof(*this); }
    // Commands with the same non-negative id may fold a following command
    // into themselves (several wheel notches are one edit): return true after
    // taking over `next`'s end state.
    virtual int MergeId() const { return -1; }
    virtual bool MergeWith(const CUndoCommand& next)
    {
        (void)next;
        return false;
    }
};

class CUndoStack {
public:
    // Limits: the oldest commands go first when either is exceeded (the
    // newest command is always kept).
    static constexpr size_t kMaxCommands = 1000;
    static constexpr size_t kMaxBytes = size_t(256) << 20;

    // Records a change that has been made already. Drops every command that
    // was undone (their redo is gone) and may merge into the last command.
    void Push(std::unique_ptr<CUndoCommand> done);

    bool CanUndo() const { return m_index > 0; }
    bool CanRedo() const { return m_index < m_commands.size(); }
    QString UndoText() const;   // empty when nothing can be undone
    QString RedoText() const;
    // Undo / redo one command on `doc`; false when there is none.
    bool Undo(CVexlarDoc& doc);
    bool Redo(CVexlarDoc& doc);

    // Forgets every command (a load replaces the whole document). Whether
    // the document is at its saved state stays as it was.
    void Clear();
    // The current place is the saved state.
    void SetClean();
    // True when the stack stands at the saved state. After the saved state
    // was dropped (undone and then replaced by a new edit, or cut off by the
    // limits) the stack is never clean again until the next save.
    bool IsClean() const { return m_clean == static_cast<std::ptrdiff_t>(m_index); }

    size_t Count() const { return m_commands.size(); }
    size_t Index() const { return m_index; }   // commands before it are done
    size_t MemoryBytes() const { return m_bytes; }

private:
    void Trim();

    std::vector<std::unique_ptr<CUndoCommand>> m_commands;
    size_t m_index = 0;
    std::ptrdiff_t m_clean = 0;   // -1: the saved state is no longer reachable
    size_t m_bytes = 0;
};
