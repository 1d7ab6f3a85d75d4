// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The undoable edits of a document (see undo_stack.h). Commands name signals
// by their place in the list: every change of the list goes through a
// command, so a command finds the list as it left it. Signals that an edit
// takes out of the list are kept by its command (with their samples) until
// the command itself goes.
//
// Samples: a capture is not an edit, and an undone edit does not bring back
// an old capture. A command keeps copies of a signal's samples only when the
// edit itself changed them (a new bit field extracts them again; OK on a
// frozen signal re-extracts it); Undo and Redo put those copies back, so a
// frozen capture is never lost to an edit.

#include <cstdint>
#include <memory>
#include <vector>

#include <QString>

#include "document/undo_stack.h"
#include "model/signal.h"

class CVexlarDoc;

// The settings of a signal that the user edits: everything but its samples,
// selection, layout and spectrum results.
struct SignalSettings {
    QString name;
    int32_t numBits = 1;
    int32_t firstBit = 0;
    bool allBits = false;
    uint32_t mask = 0xFFFFFFFFu;
    bool freeze = false;
    bool expanded = true;
    int32_t colorTheme = 1;
    bool analog = false;
    int32_t min = 0;
    int32_t max = 1024;
    int32_t graphHeight = 100;
    bool spectrum = false;
    double sampleFreq = 1.0;
    double minDb = 0.0;
    double maxDb = 0.0;
    SignalRadix radix = Hex;

    static SignalSettings Of(const CSignal& s);
    void ApplyTo(CSignal& s) const;
    // Same bit field: the samples need not be extracted again.
    bool SameExtraction(const SignalSettings& other) const;
    // Same input of the spectrum computation (the extraction, the radix's
    // sign extension, the style and the sample frequency).
    bool SameSpectrumInput(const SignalSettings& other) const;
    bool operator==(const SignalSettings&) const = default;
};

// The signal at a place of the list (null when there is none), and the place
// of a signal (-1 when it is not in the list).
CSignal* SignalAt(const CVexlarDoc& doc, int32_t index);
int32_t IndexOf(const CVexlarDoc& doc, const CSignal* signal);

// Runs several commands as one edit (Redo in order, Undo in reverse).
class CCompoundCommand : public CUndoCommand {
public:
    explicit CCompoundCommand(QString text) : m_text(std::move(text)) {}
    void Add(std::unique_ptr<CUndoCommand> command);
    bool IsEmpty() const { return m_parts.empty(); }
    void Undo(CVexlarDoc& doc) override;
    void Redo(CVexlarDoc& doc) override;
    QString Text() const override { return m_text; }
    size_t MemoryBytes() const override;

private:
    QString m_text;
    std::vector<std::unique_ptr<CUndoCommand>> m_parts;
};

// A signal's settings (and, when the edit changed them, its samples) before
// and after an edit that has been made already. Null when nothing changed.
// Commands of the same `mergeId` on the same signal fold into one (the
// notches of one wheel gesture); -1 never merges.
struct SignalSnapshot {
    SignalSettings settings;
    bool hasSamples = false;
    std::vector<uint32_t> samples;   // m_count words when hasSamples
};
// `withSamples`: false for edits that cannot change the samples (a colour, a
// graph height), which then cost no copy.
SignalSnapshot TakeSnapshot(const CSignal& signal, bool withSamples = true);
std::unique_ptr<CUndoCommand> MakeSignalEdit(const QString& text, const CVexlarDoc& doc, const CSignal& signal,
                                             const SignalSnapshot& before, int mergeId = -1);

// Signals put into the list at `indexes` (ascending; each the place the
// signal now has) by an edit made already.
std::unique_ptr<CUndoCommand> MakeSignalsInserted(const QString& text, const std::vector<int32_t>& indexes);

// Takes the signals at `indexes` (ascending) out of the list and returns the
// command that keeps them; null when no index names a signal.
std::unique_ptr<CUndoCommand> RemoveSignals(CVexlarDoc& doc, const QString& text, std::vector<int32_t> indexes);

// Moves the signal at `from` so that it ends up at place `to` (both within
// the list), as a command not yet run (ExecuteUndoable runs it).
std::unique_ptr<CUndoCommand> MakeMoveSignal(int32_t from, int32_t to);

// The document's sample rate (0: not set), markers and a signal's peak hold.
std::unique_ptr<CUndoCommand> MakeSampleRateChange(double before, double after);
std::unique_ptr<CUndoCommand> MakeMarkersChange(int32_t before1, int32_t before2, int32_t after1, int32_t after2);
std::unique_ptr<CUndoCommand> MakePeakHoldChange(const QString& text, int32_t index, const double* before,
                                                 const double* after);
