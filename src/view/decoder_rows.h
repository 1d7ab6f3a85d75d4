// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The protocol decoder rows of one view: each row of the document's
// m_decoderRows decodes on a worker thread of its own (the newest capture
// next, those in between skipped) and is drawn under the signals as a name
// line followed by one lane per annotation row of the decoder that has
// annotations: labelled boxes coloured per annotation class, text elided to
// the box, dense stretches as solid blocks.

#include <QColor>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "decode/annotation_layout.h"
#include "decode/decode_runner.h"
#include "model/geometry.h"

class CVexlarDoc;
class QPainter;

struct DecoderRowGeometry {
    int64_t firstSample = 0;
    double pixelsPerSample = 1.0;
    int traceLeft = 100;
    int right = 0;   // exclusive
};

class CDecoderRowRuntime {
public:
    static constexpr int kTitleHeight = 16;
    static constexpr int kLaneHeight = 18;
    // Live captures arrive up to 100 times a second; a row decodes at most
    // this often once it shows a result (nobody reads faster, and the
    // decoders' cost stays a small share of a core).
    static constexpr std::chrono::milliseconds kMinInterval{200};

    CDecoderRowRuntime() = default;
    CDecoderRowRuntime(const CDecoderRowRuntime&) = delete;
    CDecoderRowRuntime& operator=(const CDecoderRowRuntime&) = delete;

    // Takes a finished decode and starts the next one when the document moved
    // on; true when the row's picture changed.
    bool Poll(const CVexlarDoc& doc, size_t rowIndex);
    // Drops results and decodes from the start (the settings changed).
    void Restart();
    // Shows a finished decode (Poll does this with each result; the paint
    // benchmark hands one in directly).
    void ShowResult(std::shared_ptr<const DecodeResult> result);

    int Height() const;
    // Draws the row with its top at y; the name column gets the name.
    void Draw(QPainter& painter, const CVexlarDoc& doc, size_t rowIndex, int y, const DecoderRowGeometry& g);
    // The full text of the annotation under a point of the last paint (empty: none).
    QString TextAt(GdiPoint point) const;

    // A decode runs, or one is to start (the document or the settings moved
    // on since the last one).
    bool Pending(const CVexlarDoc& doc, size_t rowIndex) const;
    bool Decoding() const { return m_decoding; }
    const QString& Error() const { return m_error; }
    const std::string& Spec() const { return m_spec; }
    std::shared_ptr<const DecodeResult> Result() const { return m_result; }
    GdiRect RowRect() const { return m_rowRect; }

private:
    void Submit(const CVexlarDoc& doc, size_t rowIndex);

    CDecodeRunner m_runner;
    std::string m_spec;
    uint64_t m_samplerate = 0;
    uint64_t m_submittedRevision = 0;
    bool m_everSubmitted = false;
    std::chrono::steady_clock::time_point m_lastStart;
    std::shared_ptr<const DecodeJob> m_lastJob;   // unchanged bits are not decoded again
    bool m_decoding = false;
    QString m_error;
    std::shared_ptr<const DecodeResult> m_result;
    std::vector<LaneIndex> m_lanes;
    std::vector<uint16_t> m_shownLanes;   // lanes with annotations
    // Last paint, for hover: each shown lane's top and its layout.
    GdiRect m_rowRect;
    std::vector<int> m_laneTops;
    std::vector<LaneLayout> m_layouts;
};

// The rows of one view, kept in step with the document's m_decoderRows.
class CDecoderRowSet {
public:
    // Matches the runtimes to the document's rows (a changed specification or
    // sample rate restarts its row); true when anything to draw changed.
    bool Poll(const CVexlarDoc& doc);
    // Any row has work (see CDecoderRowRuntime::Pending).
    bool Pending(const CVexlarDoc& doc) const;
    size_t Size() const { return m_rows.size(); }
    CDecoderRowRuntime& Row(size_t i) { return *m_rows[i]; }
    const CDecoderRowRuntime& Row(size_t i) const { return *m_rows[i]; }
    // Sum of the rows' heights plus `gap` after each.
    int64_t TotalExtent(int gap) const;
    // The first error of any row (empty: none).
    QString FirstError() const;

private:
    std::vector<std::unique_ptr<CDecoderRowRuntime>> m_rows;
};

// The colour of an annotation class (distinct hues for neighbouring classes).
QColor AnnotationClassColor(int cls);
