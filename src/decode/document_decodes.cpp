// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/document_decodes.h"

#include <QMetaObject>

#include <algorithm>
#include <map>

#include "decode/decode_input.h"
#include "decode/decoder_stack.h"
#include "decode/decoder_catalog.h"
#include "document/vexlar_doc.h"

namespace {

uint64_t RowSamplerate(const CVexlarDoc& doc, const CDecoderRowConfig& row)
{
    if (row.samplerate > 0)
        return row.samplerate;
    if (doc.m_sampleRate >= 1.0 && doc.m_sampleRate < 1e15)
        return static_cast<uint64_t>(doc.m_sampleRate + 0.5);
    return 0;
}

}   // namespace

CRowDecode::CRowDecode(std::function<void()> onFinished) : m_runner(std::move(onFinished))
{}

void CRowDecode::ShowResult(std::shared_ptr<const DecodeResult> result)
{
    m_result = std::move(result);
    m_lanes = BuildLaneIndex(m_result->annotations);
    m_shownLanes.clear();
    for (size_t i = 0; i < m_lanes.size(); ++i) {
        if (!m_lanes[i].order.empty())
            m_shownLanes.push_back(static_cast<uint16_t>(i));
    }
    m_error = m_result->ok ? QString() : QString::fromStdString(m_result->error);
}

void CRowDecode::Restart(const std::string& decoderLine, uint64_t samplerate)
{
    m_runner.CancelAll();
    m_decoderLine = decoderLine;
    m_samplerate = samplerate;
    m_result.reset();
    m_lanes.clear();
    m_shownLanes.clear();
    m_error.clear();
    m_everSubmitted = false;
    m_decoding = false;
    m_lastJob.reset();
}

void CRowDecode::Submit(const CVexlarDoc& doc, const CDecoderRowConfig& row)
{
    m_submittedRevision = doc.Revision();
    m_everSubmitted = true;
    const CDecoderCatalog& catalog = CDecoderCatalog::Instance();
    auto job = std::make_shared<DecodeJob>();
    std::string error;
    if (!catalog.Error().empty()) {
        error = catalog.Error();
    } else if (ParseDecoderLine(row.decoderLine, catalog, job->stack, error)) {
        BuildDecodeInput(job->stack, doc.m_signals, job->input, error);
    }
    if (!error.empty()) {
        m_error = QString::fromStdString(error);
        m_decoding = false;
        return;
    }
    job->samplerate = m_samplerate;
    if (m_lastJob && m_result && m_lastJob->samplerate == job->samplerate &&
        m_lastJob->input.unitSize == job->input.unitSize && m_lastJob->input.data == job->input.data &&
        m_lastJob->stack == job->stack)
        return;   // the same bits as the shown result
    m_decoding = true;
    m_lastStart = std::chrono::steady_clock::now();
    m_lastJob = job;
    m_runner.Submit(std::move(job), m_submittedRevision);
}

bool CRowDecode::Poll(const CVexlarDoc& doc, const CDecoderRowConfig& row, std::chrono::milliseconds& wait)
{
    using namespace std::chrono;
    wait = milliseconds(0);
    bool changed = false;
    RunnerResult taken;
    if (m_runner.TakeResult(taken) && taken.result && !taken.result->cancelled) {
        ShowResult(taken.result);
        changed = true;
    }
    // The next decode starts when the last one is done: it then takes the
    // newest samples, and the changes that came meanwhile are skipped.
    if (m_runner.Busy())
        return changed;
    if (m_decoding)
        changed = true;
    m_decoding = false;
    if (m_everSubmitted && doc.Revision() == m_submittedRevision)
        return changed;
    const auto since = steady_clock::now() - m_lastStart;
    if (m_result && since < kMinInterval) {
        wait = ceil<milliseconds>(kMinInterval - since);
        return changed;
    }
    Submit(doc, row);
    return changed || m_decoding || !m_error.isEmpty();
}

std::shared_ptr<CDocumentDecodes> CDocumentDecodes::For(CVexlarDoc& doc)
{
    static std::map<const CVexlarDoc*, std::weak_ptr<CDocumentDecodes>> registry;
    for (auto it = registry.begin(); it != registry.end();) {
        if (it->second.expired())
            it = registry.erase(it);
        else
            ++it;
    }
    std::weak_ptr<CDocumentDecodes>& slot = registry[&doc];
    std::shared_ptr<CDocumentDecodes> decodes = slot.lock();
    if (!decodes) {
        decodes = std::make_shared<CDocumentDecodes>(doc);
        slot = decodes;
    }
    return decodes;
}

CDocumentDecodes::CDocumentDecodes(CVexlarDoc& doc) : m_doc(doc)
{
    m_update.setSingleShot(true);
    connect(&m_update, &QTimer::timeout, this, [this] { Update(); });
    // Every change of the document (a capture, a load, an edit in any window)
    // is looked at once its event is done: a burst of changes is one update.
    m_documentChanges = m_doc.OnChanged([this] { m_update.start(0); });
    Update();
}

// The rows' worker threads end (and are waited for) before the object goes,
// and with it any wake-up they posted.
CDocumentDecodes::~CDocumentDecodes() = default;

std::unique_ptr<CRowDecode> CDocumentDecodes::NewRow()
{
    // A finished decode wakes the user-interface thread, which takes it.
    return std::make_unique<CRowDecode>([this] {
        QMetaObject::invokeMethod(
            this, [this] { Update(); }, Qt::QueuedConnection);
    });
}

bool CDocumentDecodes::SyncRows()
{
    const auto& configs = m_doc.m_decoderRows;
    bool same = m_rows.size() == configs.size();
    for (size_t i = 0; same && i < configs.size(); ++i)
        same = m_rows[i]->DecoderLine() == configs[i].decoderLine &&
               m_rows[i]->Samplerate() == RowSamplerate(m_doc, configs[i]);
    if (same)
        return false;
    // Rows that were moved, or that stay while others come and go, keep their
    // decode: each row takes a state of the same settings if one is left.
    std::vector<std::unique_ptr<CRowDecode>> old = std::move(m_rows);
    m_rows.clear();
    for (const CDecoderRowConfig& config : configs) {
        const uint64_t rate = RowSamplerate(m_doc, config);
        auto match = std::find_if(old.begin(), old.end(), [&](const std::unique_ptr<CRowDecode>& r) {
            return r && r->DecoderLine() == config.decoderLine && r->Samplerate() == rate;
        });
        if (match != old.end()) {
            m_rows.push_back(std::move(*match));
        } else {
            m_rows.push_back(NewRow());
            m_rows.back()->Restart(config.decoderLine, rate);
        }
    }
    return true;
}

void CDocumentDecodes::Update()
{
    bool changed = SyncRows();
    std::chrono::milliseconds nextWait{0};
    for (size_t i = 0; i < m_rows.size(); ++i) {
        std::chrono::milliseconds wait{0};
        changed = m_rows[i]->Poll(m_doc, m_doc.m_decoderRows[i], wait) || changed;
        if (wait.count() > 0 && (nextWait.count() == 0 || wait < nextWait))
            nextWait = wait;
    }
    if (nextWait.count() > 0 && !(m_update.isActive() && m_update.remainingTime() <= nextWait.count()))
        m_update.start(static_cast<int>(nextWait.count()));
    if (changed)
        m_changed.Notify();
}

QString CDocumentDecodes::FirstError() const
{
    for (const auto& row : m_rows) {
        if (!row->Error().isEmpty())
            return row->Error();
    }
    return {};
}
