// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/undo_stack.h"

void CUndoStack::Push(std::unique_ptr<CUndoCommand> done)
{
    if (!done)
        return;
    // The undone commands cannot be redone after a new edit.
    while (m_commands.size() > m_index) {
        m_bytes -= m_commands.back()->MemoryBytes();
        m_commands.pop_back();
    }
    if (m_clean > static_cast<std::ptrdiff_t>(m_index))
        m_clean = -1;

    // Fold into the last command unless that would swallow the saved state.
    if (m_index > 0 && m_clean != static_cast<std::ptrdiff_t>(m_index)) {
        CUndoCommand& last = *m_commands.back();
        if (last.MergeId() >= 0 && last.MergeId() == done->MergeId()) {
            const size_t before = last.MemoryBytes();
            if (last.MergeWith(*done)) {
                m_bytes = m_bytes - before + last.MemoryBytes();
                return;
            }
        }
    }
    m_bytes += done->MemoryBytes();
    m_commands.push_back(std::move(done));
    ++m_index;
    Trim();
}

void CUndoStack::Trim()
{
    size_t drop = 0;
    size_t bytes = m_bytes;
    while (m_commands.size() - drop > 1 && (m_commands.size() - drop > kMaxCommands || bytes > kMaxBytes)) {
        bytes -= m_commands[drop]->MemoryBytes();
        ++drop;
    }
    if (drop == 0)
        return;
    m_commands.erase(m_commands.begin(), m_commands.begin() + static_cast<std::ptrdiff_t>(drop));
    m_bytes = bytes;
    m_index -= drop;
    if (m_clean >= 0)
        m_clean = m_clean >= static_cast<std::ptrdiff_t>(drop) ? m_clean - static_cast<std::ptrdiff_t>(drop) : -1;
}

QString CUndoStack::UndoText() const
{
    return CanUndo() ? m_commands[m_index - 1]->Text() : QString();
}

QString CUndoStack::RedoText() const
{
    return CanRedo() ? m_commands[m_index]->Text() : QString();
}

bool CUndoStack::Undo(CVexlarDoc& doc)
{
    if (!CanUndo())
        return false;
    --m_index;
    m_commands[m_index]->Undo(doc);
    return true;
}

bool CUndoStack::Redo(CVexlarDoc& doc)
{
    if (!CanRedo())
        return false;
    m_commands[m_index]->Redo(doc);
    ++m_index;
    return true;
}

void CUndoStack::Clear()
{
    // A document that differs from its file keeps differing.
    const bool clean = IsClean();
    m_commands.clear();
    m_index = 0;
    m_clean = clean ? 0 : -1;
    m_bytes = 0;
}

void CUndoStack::SetClean()
{
    m_clean = static_cast<std::ptrdiff_t>(m_index);
}
