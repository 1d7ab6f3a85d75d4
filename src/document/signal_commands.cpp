// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/signal_commands.h"

#include "document/edit_commands.h"
#include "document/vexlar_doc.h"
#include "model/signal.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// Copies everything a duplicate shares with its original. The copy keeps its
// own defaults for m_freeze, m_specMin, m_specMax and m_spectrumDb.
void CopySignal(const CSignal& from, CSignal& to)
{
    to.EnsureCapacity(from.m_count);
    if (from.m_count > 0)
        std::copy(from.m_samples, from.m_samples + from.m_count, to.m_samples);
    to.m_count = from.m_count;

    to.m_name = from.m_name;
    to.m_numBits = from.m_numBits;
    to.m_firstBit = from.m_firstBit;
    to.m_allBits = from.m_allBits;
    to.m_mask = from.m_mask;
    to.m_expanded = from.m_expanded;
    to.m_selected = from.m_selected;
    to.m_bitGap = from.m_bitGap;
    to.m_bitHeight = from.m_bitHeight;
    to.m_busHeight = from.m_busHeight;
    to.m_colorTheme = from.m_colorTheme;
    to.m_analog = from.m_analog;
    to.m_min = from.m_min;
    to.m_max = from.m_max;
    to.m_graphHeight = from.m_graphHeight;
    to.m_spectrum = from.m_spectrum;
    to.m_sampleFreq = from.m_sampleFreq;
    to.m_minDb = from.m_minDb;
    to.m_maxDb = from.m_maxDb;
    std::copy(std::begin(from.m_peakHold), std::end(from.m_peakHold), std::begin(to.m_peakHold));
    to.m_radix = from.m_radix;
}

}   // namespace

bool AddSignal(CVexlarDoc& doc, const SignalEditor& edit)
{
    if (doc.m_signals.size() >= static_cast<size_t>(CVexlarDoc::kMaxSignals))
        throw CSignalLimitError("A document holds at most " + std::to_string(CVexlarDoc::kMaxSignals) +
                                " signals. Delete signals before adding another.");
    // The new signal belongs to the document's list but is not in it while it
    // is being edited; it joins the list only when confirmed.
    auto signal = std::make_unique<CSignal>(&doc.m_signals);
    if (!edit || !edit(*signal))
        return false;
    doc.m_signals.push_back(signal.release());
    doc.PushUndo(MakeSignalsInserted(QStringLiteral("Add Signal"), {int32_t(doc.m_signals.size()) - 1}));
    return true;
}

int DeleteSelectedSignals(CVexlarDoc& doc)
{
    std::vector<int32_t> selected;
    int32_t index = 0;
    for (const CSignal* signal : doc.m_signals) {
        if (signal->m_selected)
            selected.push_back(index);
        ++index;
    }
    // The removed signals stay with the command, so Undo brings them back
    // with their samples.
    auto command = RemoveSignals(doc, QStringLiteral("Delete Selected"), selected);
    if (!command)
        return 0;
    doc.PushUndo(std::move(command));
    return static_cast<int>(selected.size());
}

int FreezeSelectedSignals(CVexlarDoc& doc)
{
    auto command = std::make_unique<CCompoundCommand>(QStringLiteral("Freeze Selected"));
    int frozen = 0;
    for (CSignal* signal : doc.m_signals) {
        if (signal->m_selected && !signal->m_freeze) {
            const SignalSnapshot before = TakeSnapshot(*signal, false);
            signal->m_freeze = true;
            command->Add(MakeSignalEdit(QString(), doc, *signal, before));
            ++frozen;
        }
    }
    if (frozen > 0)
        doc.PushUndo(std::move(command));
    return frozen;
}

int DuplicateSelectedSignals(CVexlarDoc& doc)
{
    const auto selected =
        std::count_if(doc.m_signals.begin(), doc.m_signals.end(), [](const CSignal* s) { return s->m_selected; });
    const size_t total = doc.m_signals.size() + static_cast<size_t>(selected);
    if (total > static_cast<size_t>(CVexlarDoc::kMaxSignals))
        throw CSignalLimitError("Duplicating the " + std::to_string(selected) + " selected signals would make " +
                                std::to_string(total) + " signals; a document holds at most " +
                                std::to_string(CVexlarDoc::kMaxSignals) + ".");
    std::vector<std::unique_ptr<CUndoCommand>> freezes;
    std::vector<int32_t> copies;
    int32_t index = 0;
    for (auto it = doc.m_signals.begin(); it != doc.m_signals.end(); ++it, ++index) {
        CSignal* original = *it;
        if (!original->m_selected)
            continue;
        CSignal* copy = doc.InsertNewSignalAfter(it);
        CopySignal(*original, *copy);
        // The copy's own engine computes the spectrum it shows.
        copy->RefreshSpectrum();
        const SignalSnapshot before = TakeSnapshot(*original, false);
        original->m_freeze = true;
        freezes.push_back(MakeSignalEdit(QString(), doc, *original, before));
        ++it;   // continue after the copy, which is not duplicated again
        ++index;
        copies.push_back(index);
    }
    if (copies.empty())
        return 0;
    // The places of the originals are those of the list with the copies in
    // it: Redo puts the copies in before freezing, Undo unfreezes first.
    auto command = std::make_unique<CCompoundCommand>(QStringLiteral("Duplicate Selected"));
    command->Add(MakeSignalsInserted(QString(), copies));
    for (auto& freeze : freezes)
        command->Add(std::move(freeze));
    doc.PushUndo(std::move(command));
    return static_cast<int>(copies.size());
}
