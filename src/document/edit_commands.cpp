// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/edit_commands.h"

#include <algorithm>
#include <iterator>

#include "document/vexlar_doc.h"
#include "model/errors.h"

// ---------------------------------------------------------------------------
// Settings and places

SignalSettings SignalSettings::Of(const CSignal& s)
{
    SignalSettings v;
    v.name = s.m_name;
    v.numBits = s.m_numBits;
    v.firstBit = s.m_firstBit;
    v.allBits = s.m_allBits;
    v.mask = s.m_mask;
    v.freeze = s.m_freeze;
    v.expanded = s.m_expanded;
    v.colorTheme = s.m_colorTheme;
    v.analog = s.m_analog;
    v.min = s.m_min;
    v.max = s.m_max;
    v.graphHeight = s.m_graphHeight;
    v.spectrum = s.m_spectrum;
    v.sampleFreq = s.m_sampleFreq;
    v.minDb = s.m_minDb;
    v.maxDb = s.m_maxDb;
    v.radix = s.m_radix;
    return v;
}

void SignalSettings::ApplyTo(CSignal& s) const
{
    s.m_name = name;
    s.m_numBits = numBits;
    s.m_firstBit = firstBit;
    s.m_allBits = allBits;
    s.m_mask = mask;
    s.m_freeze = freeze;
    s.m_expanded = expanded;
    s.m_colorTheme = colorTheme;
    s.m_analog = analog;
    s.m_min = min;
    s.m_max = max;
    s.m_graphHeight = graphHeight;
    s.m_spectrum = spectrum;
    s.m_sampleFreq = sampleFreq;
    s.m_minDb = minDb;
    s.m_maxDb = maxDb;
    s.m_radix = radix;
}

bool SignalSettings::SameExtraction(const SignalSettings& other) const
{
    return numBits == other.numBits && firstBit == other.firstBit && allBits == other.allBits && mask == other.mask;
}

bool SignalSettings::SameSpectrumInput(const SignalSettings& other) const
{
    return SameExtraction(other) && radix == other.radix && spectrum == other.spectrum &&
           sampleFreq == other.sampleFreq;
}

CSignal* SignalAt(const CVexlarDoc& doc, int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= doc.m_signals.size())
        return nullptr;
    return *std::next(doc.m_signals.begin(), index);
}

int32_t IndexOf(const CVexlarDoc& doc, const CSignal* signal)
{
    int32_t index = 0;
    for (const CSignal* s : doc.m_signals) {
        if (s == signal)
            return index;
        ++index;
    }
    return -1;
}

namespace {

SignalList::iterator PlaceOf(CVexlarDoc& doc, int32_t index)
{
    return std::next(doc.m_signals.begin(), std::clamp<int32_t>(index, 0, int32_t(doc.m_signals.size())));
}

size_t SignalBytes(const CSignal& s)
{
    return sizeof(CSignal) + static_cast<size_t>(std::max(s.m_capacity, 0)) * sizeof(uint32_t);
}

void PutSamples(CSignal& s, const std::vector<uint32_t>& samples)
{
    const auto n = static_cast<int32_t>(samples.size());
    s.EnsureCapacity(n);
    std::copy(samples.begin(), samples.end(), s.m_samples);
    s.m_count = n;
}

// ---------------------------------------------------------------------------

class CSignalEditCommand : public CUndoCommand {
public:
    CSignalEditCommand(QString text, int32_t index, SignalSnapshot before, SignalSnapshot after, bool withSamples,
                       int mergeId)
        : m_text(std::move(text)), m_index(index), m_before(std::move(before)), m_after(std::move(after)),
          m_withSamples(withSamples), m_mergeId(mergeId)
    {}
    void Undo(CVexlarDoc& doc) override { Apply(doc, m_before, m_after); }
    void Redo(CVexlarDoc& doc) override { Apply(doc, m_after, m_before); }
    QString Text() const override { return m_text; }
    size_t MemoryBytes() const override
    {
        return sizeof(*this) + (m_before.samples.size() + m_after.samples.size()) * sizeof(uint32_t);
    }
    int MergeId() const override { return m_mergeId; }
    bool MergeWith(const CUndoCommand& next) override
    {
        const auto* edit = dynamic_cast<const CSignalEditCommand*>(&next);
        if (edit == nullptr || edit->m_index != m_index || edit->m_withSamples || m_withSamples)
            return false;
        m_after = edit->m_after;
        return true;
    }

private:
    void Apply(CVexlarDoc& doc, const SignalSnapshot& state, const SignalSnapshot& from)
    {
        CSignal* s = SignalAt(doc, m_index);
        if (s == nullptr)
            return;
        state.settings.ApplyTo(*s);
        if (m_withSamples) {
            PutSamples(*s, state.samples);
        } else if (!state.settings.SameExtraction(from.settings)) {
            // The edit did not change the samples it found, yet its bit field
            // differs: take the field again from the document's source.
            try {
                s->UpdateFromSource();
            } catch (const CInvalidArgumentException&) {
            }
        }
        // A spectrum follows its samples and the settings it is computed from.
        if (m_withSamples || !state.settings.SameSpectrumInput(from.settings))
            s->RefreshSpectrum();
    }

    QString m_text;
    int32_t m_index;
    SignalSnapshot m_before;
    SignalSnapshot m_after;
    bool m_withSamples;
    int m_mergeId;
};

// Signals that are in the list on one side of the edit and kept by the
// command on the other.
class CSignalPresenceCommand : public CUndoCommand {
public:
    CSignalPresenceCommand(QString text, std::vector<int32_t> indexes, bool presentAfterRedo)
        : m_text(std::move(text)), m_indexes(std::move(indexes)), m_held(m_indexes.size()),
          m_presentAfterRedo(presentAfterRedo)
    {}
    void Undo(CVexlarDoc& doc) override
    {
        if (m_presentAfterRedo)
            TakeOut(doc);
        else
            PutIn(doc);
    }
    void Redo(CVexlarDoc& doc) override
    {
        if (m_presentAfterRedo)
            PutIn(doc);
        else
            TakeOut(doc);
    }
    QString Text() const override { return m_text; }
    size_t MemoryBytes() const override
    {
        size_t bytes = sizeof(*this) + m_indexes.size() * sizeof(int32_t);
        for (const auto& s : m_held) {
            if (s)
                bytes += SignalBytes(*s);
        }
        return bytes;
    }

    // Takes the signals out now (for a removal made by the caller).
    void TakeOut(CVexlarDoc& doc)
    {
        for (size_t k = m_indexes.size(); k-- > 0;) {
            const auto it = PlaceOf(doc, m_indexes[k]);
            if (it == doc.m_signals.end())
                continue;
            m_held[k].reset(*it);
            doc.m_signals.erase(it);
        }
    }

private:
    void PutIn(CVexlarDoc& doc)
    {
        for (size_t k = 0; k < m_indexes.size(); ++k) {
            if (!m_held[k])
                continue;
            CSignal* s = m_held[k].release();
            s->m_owner = &doc.m_signals;
            doc.m_signals.insert(PlaceOf(doc, m_indexes[k]), s);
        }
    }

    QString m_text;
    std::vector<int32_t> m_indexes;
    std::vector<std::unique_ptr<CSignal>> m_held;
    bool m_presentAfterRedo;
};

class CMoveSignalCommand : public CUndoCommand {
public:
    CMoveSignalCommand(int32_t from, int32_t to) : m_from(from), m_to(to) {}
    void Undo(CVexlarDoc& doc) override { Move(doc, m_to, m_from); }
    void Redo(CVexlarDoc& doc) override { Move(doc, m_from, m_to); }
    QString Text() const override { return QStringLiteral("Move Signal"); }

private:
    static void Move(CVexlarDoc& doc, int32_t from, int32_t to)
    {
        const int32_t n = static_cast<int32_t>(doc.m_signals.size());
        if (from < 0 || from >= n || to < 0 || to >= n || from == to)
            return;
        auto it = std::next(doc.m_signals.begin(), from);
        CSignal* s = *it;
        doc.m_signals.erase(it);
        doc.m_signals.insert(std::next(doc.m_signals.begin(), to), s);
    }

    int32_t m_from;
    int32_t m_to;
};

class CSampleRateCommand : public CUndoCommand {
public:
    CSampleRateCommand(double before, double after) : m_before(before), m_after(after) {}
    void Undo(CVexlarDoc& doc) override { doc.m_sampleRate = m_before; }
    void Redo(CVexlarDoc& doc) override { doc.m_sampleRate = m_after; }
    QString Text() const override { return QStringLiteral("Sample Rate"); }

private:
    double m_before;
    double m_after;
};

class CMarkersCommand : public CUndoCommand {
public:
    CMarkersCommand(int32_t b1, int32_t b2, int32_t a1, int32_t a2) : m_b1(b1), m_b2(b2), m_a1(a1), m_a2(a2) {}
    void Undo(CVexlarDoc& doc) override
    {
        doc.m_marker1 = m_b1;
        doc.m_marker2 = m_b2;
    }
    void Redo(CVexlarDoc& doc) override
    {
        doc.m_marker1 = m_a1;
        doc.m_marker2 = m_a2;
    }
    QString Text() const override { return QStringLiteral("Markers"); }

private:
    int32_t m_b1, m_b2, m_a1, m_a2;
};

class CPeakHoldCommand : public CUndoCommand {
public:
    CPeakHoldCommand(QString text, int32_t index, const double* before, const double* after)
        : m_text(std::move(text)), m_index(index), m_before(before, before + CSignal::kSpectrumBins),
          m_after(after, after + CSignal::kSpectrumBins)
    {}
    void Undo(CVexlarDoc& doc) override { Put(doc, m_before); }
    void Redo(CVexlarDoc& doc) override { Put(doc, m_after); }
    QString Text() const override { return m_text; }
    size_t MemoryBytes() const override { return sizeof(*this) + 2 * CSignal::kSpectrumBins * sizeof(double); }

private:
    void Put(CVexlarDoc& doc, const std::vector<double>& values)
    {
        if (CSignal* s = SignalAt(doc, m_index))
            std::copy(values.begin(), values.end(), s->m_peakHold);
    }

    QString m_text;
    int32_t m_index;
    std::vector<double> m_before;
    std::vector<double> m_after;
};

}   // namespace

// ---------------------------------------------------------------------------

void CCompoundCommand::Add(std::unique_ptr<CUndoCommand> command)
{
    if (command)
        m_parts.push_back(std::move(command));
}

void CCompoundCommand::Undo(CVexlarDoc& doc)
{
    for (auto it = m_parts.rbegin(); it != m_parts.rend(); ++it)
        (*it)->Undo(doc);
}

void CCompoundCommand::Redo(CVexlarDoc& doc)
{
    for (auto& part : m_parts)
        part->Redo(doc);
}

size_t CCompoundCommand::MemoryBytes() const
{
    size_t bytes = sizeof(*this);
    for (const auto& part : m_parts)
        bytes += part->MemoryBytes();
    return bytes;
}

SignalSnapshot TakeSnapshot(const CSignal& signal, bool withSamples)
{
    SignalSnapshot snapshot;
    snapshot.settings = SignalSettings::Of(signal);
    snapshot.hasSamples = withSamples;
    if (withSamples && signal.m_count > 0 && signal.m_samples != nullptr)
        snapshot.samples.assign(signal.m_samples, signal.m_samples + signal.m_count);
    return snapshot;
}

std::unique_ptr<CUndoCommand> MakeSignalEdit(const QString& text, const CVexlarDoc& doc, const CSignal& signal,
                                             const SignalSnapshot& before, int mergeId)
{
    const int32_t index = IndexOf(doc, &signal);
    if (index < 0)
        return nullptr;
    SignalSnapshot after = TakeSnapshot(signal, before.hasSamples);
    const bool samplesChanged = before.hasSamples && after.samples != before.samples;
    if (!samplesChanged && after.settings == before.settings)
        return nullptr;
    SignalSnapshot kept = before;
    if (!samplesChanged) {
        kept.samples = {};
        after.samples = {};
        kept.hasSamples = after.hasSamples = false;
    }
    return std::make_unique<CSignalEditCommand>(text, index, std::move(kept), std::move(after), samplesChanged,
                                                mergeId);
}

std::unique_ptr<CUndoCommand> MakeSignalsInserted(const QString& text, const std::vector<int32_t>& indexes)
{
    if (indexes.empty())
        return nullptr;
    return std::make_unique<CSignalPresenceCommand>(text, indexes, true);
}

std::unique_ptr<CUndoCommand> RemoveSignals(CVexlarDoc& doc, const QString& text, std::vector<int32_t> indexes)
{
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                 [&](int32_t i) { return i < 0 || static_cast<size_t>(i) >= doc.m_signals.size(); }),
                  indexes.end());
    if (indexes.empty())
        return nullptr;
    auto command = std::make_unique<CSignalPresenceCommand>(text, std::move(indexes), false);
    command->TakeOut(doc);
    return command;
}

std::unique_ptr<CUndoCommand> MakeMoveSignal(int32_t from, int32_t to)
{
    return std::make_unique<CMoveSignalCommand>(from, to);
}

std::unique_ptr<CUndoCommand> MakeSampleRateChange(double before, double after)
{
    return std::make_unique<CSampleRateCommand>(before, after);
}

std::unique_ptr<CUndoCommand> MakeMarkersChange(int32_t before1, int32_t before2, int32_t after1, int32_t after2)
{
    return std::make_unique<CMarkersCommand>(before1, before2, after1, after2);
}

std::unique_ptr<CUndoCommand> MakePeakHoldChange(const QString& text, int32_t index, const double* before,
                                                 const double* after)
{
    return std::make_unique<CPeakHoldCommand>(text, index, before, after);
}
