// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/vexlar_doc.h"

#include <atomic>
#include <memory>

#include "document/document_extension.h"
#include "model/archive.h"
#include "model/errors.h"

namespace {
// Smallest record in a file: version, sample count, a one-byte name length
// and the 33 bytes of fields that follow the name in a version 1 record.
constexpr size_t kMinRecordBytes = 4 + 4 + 1 + 33;

// Most signals a file may hold (CVexlarDoc::kMaxSignals). Each signal is a
// bit field of one 32-bit sample word, so a handful of rows covers every use
// and a few thousand is already far beyond any real document; yet every row
// costs tens of kilobytes in memory (its spectrum and peak-hold arrays)
// against 42 bytes in the file. Without a cap a crafted file of minimal
// records makes the program allocate hundreds of times its own size, so a
// larger count is a malformed file.
constexpr int32_t kMaxSignals = CVexlarDoc::kMaxSignals;

// Revisions come from one counter for the whole process, so a document never
// repeats a revision that another document (perhaps one that lived at the
// same address before) has used: drawing caches keyed on a document and its
// revision can never mistake new samples for old ones.
uint64_t NextRevision()
{
    static std::atomic<uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}
}   // namespace

CVexlarDoc::CVexlarDoc() : m_revision(NextRevision())
{
    CSignal* s = new CSignal(&m_signals);
    s->m_name = QStringLiteral("all_bits");
    s->m_colorTheme = 2;
    s->m_expanded = true;
    m_signals.push_back(s);
    s->m_numBits = 32;
    s->m_firstBit = 0;
}

void CVexlarDoc::BumpRevision()
{
    Changed();
}

void CVexlarDoc::Changed()
{
    m_revision = NextRevision();
    m_changed.Notify();
}

void CVexlarDoc::SetModifiedFlag(bool modified)
{
    const bool wasModified = IsModified();
    m_modified = modified;
    if (!modified) {
        m_capturedSinceSave = false;
        m_undo.SetClean();
    }
    NotifyIfChanged(wasModified, m_live);
}

void CVexlarDoc::PushUndo(std::unique_ptr<CUndoCommand> done)
{
    m_undo.Push(std::move(done));
    Changed();
    // The history changed: what Undo and Redo offer changes with it.
    NotifyState();
}

void CVexlarDoc::ExecuteUndoable(std::unique_ptr<CUndoCommand> command)
{
    if (!command)
        return;
    command->Redo(*this);
    PushUndo(std::move(command));
}

bool CVexlarDoc::Undo()
{
    if (!m_undo.Undo(*this))
        return false;
    RefreshSpectra();
    Changed();
    NotifyState();
    return true;
}

bool CVexlarDoc::Redo()
{
    if (!m_undo.Redo(*this))
        return false;
    RefreshSpectra();
    Changed();
    NotifyState();
    return true;
}

void CVexlarDoc::RefreshSpectra()
{
    // An edit taken back or made again may have changed samples or spectrum
    // settings; the peak hold is what the edit left.
    for (CSignal* s : m_signals)
        s->RefreshSpectrum(CSignal::PeakHold::Keep);
}

void CVexlarDoc::NoteCaptureTaken()
{
    if (m_capturedSinceSave)
        return;   // the common case: nothing to tell anyone
    const bool wasModified = IsModified();
    m_capturedSinceSave = true;
    NotifyIfChanged(wasModified, m_live);
}

void CVexlarDoc::SetLive(bool live)
{
    const bool wasLive = m_live;
    m_live = live;
    NotifyIfChanged(IsModified(), wasLive);
}

int CVexlarDoc::AddStateListener(StateListener listener)
{
    const int id = m_nextListenerId++;
    m_listeners.emplace_back(id, std::move(listener));
    return id;
}

void CVexlarDoc::RemoveStateListener(int id)
{
    std::erase_if(m_listeners, [id](const auto& entry) { return entry.first == id; });
}

void CVexlarDoc::NotifyIfChanged(bool wasModified, bool wasLive)
{
    if (wasModified == IsModified() && wasLive == m_live)
        return;
    NotifyState();
}

void CVexlarDoc::NotifyState()
{
    // A copy: a listener may add or remove listeners.
    const auto listeners = m_listeners;
    for (const auto& entry : listeners)
        entry.second();
}

CVexlarDoc::~CVexlarDoc()
{
    // No listener hears of a document that is going away.
    m_changed.Clear();
    RemoveAllSignals();
}

void CVexlarDoc::RemoveAllSignals()
{
    while (!m_signals.empty()) {
        CSignal* s = m_signals.front();
        m_signals.pop_front();
        delete s;
    }
    // The recorded edits name signals by their place in the list.
    m_undo.Clear();
    Changed();
}

CSignal* CVexlarDoc::AppendNewSignal()
{
    auto s = std::make_unique<CSignal>(&m_signals);
    m_signals.push_back(s.get());
    Changed();
    return s.release();
}

CSignal* CVexlarDoc::InsertNewSignalAfter(SignalList::iterator after)
{
    auto s = std::make_unique<CSignal>(&m_signals);
    m_signals.insert(after == m_signals.end() ? after : std::next(after), s.get());
    Changed();
    return s.release();
}

SignalList::iterator CVexlarDoc::EraseSignal(SignalList::iterator pos)
{
    CSignal* s = *pos;
    auto next = m_signals.erase(pos);
    delete s;
    Changed();
    return next;
}

void CVexlarDoc::SwapContent(CVexlarDoc& other)
{
    m_signals.swap(other.m_signals);
    for (CSignal* s : m_signals)
        s->m_owner = &m_signals;
    for (CSignal* s : other.m_signals)
        s->m_owner = &other.m_signals;
    std::swap(m_triggerPos, other.m_triggerPos);
    std::swap(m_sampleRate, other.m_sampleRate);
    std::swap(m_marker1, other.m_marker1);
    std::swap(m_marker2, other.m_marker2);
    std::swap(m_viewState, other.m_viewState);
    m_loadWarning.swap(other.m_loadWarning);
    m_undo.Clear();
    other.m_undo.Clear();
    std::swap(m_captureId, other.m_captureId);
    m_decoderRows.swap(other.m_decoderRows);
    Changed();
    other.Changed();
}

void CVexlarDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        Store(ar.Writer());
    else
        Load(ar.Reader());
}

void CVexlarDoc::Store(CArchiveWriter& w) const
{
    w.WriteInt32(1);
    w.WriteInt32(static_cast<int32_t>(m_signals.size()));
    CArchive ar(w);
    for (CSignal* s : m_signals)
        s->Serialize(ar);
    // After the last record, where a reader of the plain format stops.
    DocumentExtension::Store(*this, w);
}

void CVexlarDoc::Load(CArchiveReader& r)
{
    RemoveAllSignals();
    if (r.ReadInt32() != 1)
        throw CFileFormatException();
    // Every record needs at least kMinRecordBytes, so a count that the rest
    // of the file cannot hold is rejected before any signal is created, and
    // so is a count above kMaxSignals.
    const int32_t count = r.ReadInt32();
    if (count < 0 || count > kMaxSignals || static_cast<size_t>(count) > r.Remaining() / kMinRecordBytes)
        throw CFileFormatException();
    CArchive ar(r);
    for (int32_t i = 0; i < count; ++i) {
        auto s = std::make_unique<CSignal>(&m_signals);
        s->Serialize(ar);
        m_signals.push_back(s.release());
    }
    // Whatever the extension block holds, the signals are loaded: a
    // malformed block only leaves a warning and the extras at their defaults.
    m_sampleRate = 0.0;
    m_marker1 = -1;
    m_marker2 = -1;
    m_viewState = DocumentViewState();
    m_decoderRows.clear();
    m_loadWarning = DocumentExtension::Load(*this, r);
    // The spectra shown and exported are those of the file's samples; the
    // peak hold stays as the file stored it.
    for (CSignal* s : m_signals)
        s->RefreshSpectrum(CSignal::PeakHold::Keep);
    Changed();
}
