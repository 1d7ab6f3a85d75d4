// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user's edits of a document that are not commands of the Signals menu:
// changing one signal (its properties dialog, a gesture on its row), moving
// a signal to another place, the sample rate and the markers. Each one is
// recorded for Undo and marks the document modified through its undo stack;
// an edit that changes nothing records nothing.

#include <cstdint>
#include <functional>

#include <QString>

class CSignal;
class CVexlarDoc;

namespace DocumentEdits {

// Gestures whose repeated steps on one signal form one edit.
enum MergeId : int { kNoMerge = -1, kGraphHeightSteps = 1, kAnalogRangeSteps = 2 };

// Runs `edit` on a signal of the document and records what it changed.
// `edit` returns false when it changed nothing (a cancelled dialog).
// `samplesMayChange`: false for edits that cannot touch the samples (nor the
// spectrum's input), which then are not copied; otherwise the spectrum of a
// spectrum row is computed again. Returns whether anything changed.
bool ChangeSignal(CVexlarDoc& doc, CSignal& signal, const QString& text, const std::function<bool(CSignal&)>& edit,
                  bool samplesMayChange = true, int mergeId = kNoMerge);

// Moves the signal at place `from` so that it stands at place `to`.
bool MoveSignal(CVexlarDoc& doc, int32_t from, int32_t to);

// Sets the sample rate (0: none; otherwise a rate TimeUnits::IsValidSampleRate
// accepts). False when it is invalid or unchanged.
bool SetSampleRate(CVexlarDoc& doc, double hz);

// Sets both markers (-1: not set).
bool SetMarkers(CVexlarDoc& doc, int32_t marker1, int32_t marker2);

// "Reset Trace" of a spectrum signal: its peak hold starts again.
bool ResetPeakHold(CVexlarDoc& doc, CSignal& signal);

}   // namespace DocumentEdits
