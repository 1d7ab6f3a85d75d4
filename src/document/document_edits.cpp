// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/document_edits.h"

#include <algorithm>
#include <iterator>

#include "document/edit_commands.h"
#include "document/vexlar_doc.h"
#include "model/time_units.h"

namespace DocumentEdits {

bool ChangeSignal(CVexlarDoc& doc, CSignal& signal, const QString& text, const std::function<bool(CSignal&)>& edit,
                  bool samplesMayChange, int mergeId)
{
    const SignalSnapshot before = TakeSnapshot(signal, samplesMayChange);
    if (!edit || !edit(signal))
        return false;
    if (samplesMayChange)
        signal.RefreshSpectrum();   // a spectrum follows its samples and settings
    auto command = MakeSignalEdit(text, doc, signal, before, mergeId);
    if (!command) {
        doc.BumpRevision();   // e.g. OK in the dialog: views repaint all the same
        return false;
    }
    doc.PushUndo(std::move(command));
    return true;
}

bool MoveSignal(CVexlarDoc& doc, int32_t from, int32_t to)
{
    const auto n = static_cast<int32_t>(doc.m_signals.size());
    if (from < 0 || from >= n || to < 0 || to >= n || from == to)
        return false;
    doc.ExecuteUndoable(MakeMoveSignal(from, to));
    return true;
}

bool SetSampleRate(CVexlarDoc& doc, double hz)
{
    if (hz != 0.0 && !TimeUnits::IsValidSampleRate(hz))
        return false;
    if (hz == doc.m_sampleRate)
        return false;
    doc.ExecuteUndoable(MakeSampleRateChange(doc.m_sampleRate, hz));
    return true;
}

bool SetMarkers(CVexlarDoc& doc, int32_t marker1, int32_t marker2)
{
    marker1 = std::max(marker1, -1);
    marker2 = std::max(marker2, -1);
    if (marker1 == doc.m_marker1 && marker2 == doc.m_marker2)
        return false;
    doc.ExecuteUndoable(MakeMarkersChange(doc.m_marker1, doc.m_marker2, marker1, marker2));
    return true;
}

bool ResetPeakHold(CVexlarDoc& doc, CSignal& signal)
{
    const int32_t index = IndexOf(doc, &signal);
    if (index < 0)
        return false;
    double before[CSignal::kSpectrumBins];
    std::copy(std::begin(signal.m_peakHold), std::end(signal.m_peakHold), before);
    signal.ResetPeakHold();
    if (std::equal(std::begin(before), std::end(before), std::begin(signal.m_peakHold)))
        return false;
    doc.PushUndo(MakePeakHoldChange(QStringLiteral("Reset Trace"), index, before, signal.m_peakHold));
    return true;
}

}   // namespace DocumentEdits
