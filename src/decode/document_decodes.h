// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The decodes of one document's decoder rows, shared by every window of the
// document. A decode starts when the document changes (a capture handed over,
// a load, an edit), runs on the row's worker thread to its end, and then the
// newest samples are decoded next: changes in between are skipped. Windows
// only draw the results; they hear of each new result or state through
// OnChanged.

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decode/annotation_layout.h"
#include "decode/decode_runner.h"
#include "document/change_notifier.h"

class CVexlarDoc;
struct CDecoderRowConfig;

// The decode state of one decoder row.
class CRowDecode {
public:
    // Live captures arrive up to 100 times a second; a row decodes at most
    // this often once it shows a result (nobody reads faster, and the
    // decoders' cost stays a small share of a core).
    static constexpr std::chrono::milliseconds kMinInterval{200};

    explicit CRowDecode(std::function<void()> onFinished = {});
    CRowDecode(const CRowDecode&) = delete;
    CRowDecode& operator=(const CRowDecode&) = delete;

    // The first decode runs, nothing to show yet (later decodes replace the
    // shown result when they end).
    bool Decoding() const { return m_decoding; }
    const QString& Error() const { return m_error; }
    const std::string& DecoderLine() const { return m_decoderLine; }
    uint64_t Samplerate() const { return m_samplerate; }
    std::shared_ptr<const DecodeResult> Result() const { return m_result; }
    // Annotations per lane, and the lanes that hold any (the lanes drawn).
    const std::vector<LaneIndex>& Lanes() const { return m_lanes; }
    const std::vector<uint16_t>& ShownLanes() const { return m_shownLanes; }
    // Decodes started on the worker thread so far.
    uint64_t DecodesStarted() const { return m_runner.StartedCount(); }

    // Shows a finished decode (the poll does this with each result; the
    // paint benchmark hands one in directly).
    void ShowResult(std::shared_ptr<const DecodeResult> result);

private:
    friend class CDocumentDecodes;
    // Forgets the result and decodes from the start with these settings.
    void Restart(const std::string& decoderLine, uint64_t samplerate);
    // Takes a finished decode and starts the next one when the document
    // moved on and the row is due; true when what the row shows changed.
    // `wait` gets the time until a deferred decode is due (zero: none).
    bool Poll(const CVexlarDoc& doc, const CDecoderRowConfig& row, std::chrono::milliseconds& wait);
    void Submit(const CVexlarDoc& doc, const CDecoderRowConfig& row);

    CDecodeRunner m_runner;
    std::string m_decoderLine;
    uint64_t m_samplerate = 0;
    uint64_t m_submittedRevision = 0;
    bool m_everSubmitted = false;
    std::chrono::steady_clock::time_point m_lastStart;
    std::shared_ptr<const DecodeJob> m_lastJob;   // unchanged bits are not decoded again
    bool m_decoding = false;
    QString m_error;
    std::shared_ptr<const DecodeResult> m_result;
    std::vector<LaneIndex> m_lanes;
    std::vector<uint16_t> m_shownLanes;
};

class CDocumentDecodes : public QObject {
public:
    // The decodes of `doc`, made on first use and shared while anyone holds
    // them (the windows of the document do). User-interface thread only.
    static std::shared_ptr<CDocumentDecodes> For(CVexlarDoc& doc);

    explicit CDocumentDecodes(CVexlarDoc& doc);
    ~CDocumentDecodes() override;

    // One entry per decoder row of the document, in its order, once the
    // change that added or moved a row has been taken (right after the
    // event that made it).
    size_t Size() const { return m_rows.size(); }
    const CRowDecode& Row(size_t i) const { return *m_rows[i]; }
    // The first error of any row (empty: none).
    QString FirstError() const;

    // Matches the rows to the document's, takes finished decodes and starts
    // due ones. Runs by itself after each change of the document and each
    // finished decode; tests may call it.
    void Update();

    // Called after every change of what the rows show (a result, an error,
    // the start of the first decode, a row added, moved or removed).
    [[nodiscard]] CChangeNotifier::Subscription OnChanged(std::function<void()> listener)
    {
        return m_changed.Subscribe(std::move(listener));
    }

private:
    bool SyncRows();
    std::unique_ptr<CRowDecode> NewRow();

    CVexlarDoc& m_doc;
    std::vector<std::unique_ptr<CRowDecode>> m_rows;
    // Single shot: merges a burst of changes into one update, and wakes a
    // decode deferred by kMinInterval.
    QTimer m_update;
    CChangeNotifier m_changed;
    CChangeNotifier::Subscription m_documentChanges;
};
