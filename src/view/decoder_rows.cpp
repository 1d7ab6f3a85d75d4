// SPDX-License-Identifier: GPL-3.0-or-later
#include "view/decoder_rows.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include "document/vexlar_doc.h"

namespace {

constexpr int kMinBoxWidth = 4;

uint64_t DocumentSamplerate(const CVexlarDoc& doc, const CDecoderRowConfig& row)
{
    if (row.samplerate > 0)
        return row.samplerate;
    if (doc.m_sampleRate >= 1.0 && doc.m_sampleRate < 1e15)
        return static_cast<uint64_t>(doc.m_sampleRate + 0.5);
    // A document without a rate: the first signal's sample frequency stands
    // for it, as in the VCD export (1 Hz by default: unknown).
    const CSignal* head = doc.Head();
    if (head != nullptr && head->m_sampleFreq > 1.0 && head->m_sampleFreq < 1e15)
        return static_cast<uint64_t>(head->m_sampleFreq + 0.5);
    return 0;
}

// The longest of the annotation's texts that fits `width`, else the shortest
// elided; empty when not even an ellipsis fits.
QString FittingText(const CAnnotationStore& store, const Annotation& a, const QFontMetrics& fm, int width)
{
    const int count = store.TextCount(a);
    for (int i = 0; i < count; ++i) {
        const QString t = QString::fromUtf8(store.Text(a, i));
        if (fm.horizontalAdvance(t) <= width)
            return t;
    }
    if (count == 0 || width < fm.horizontalAdvance(QStringLiteral("…")) + 2)
        return {};
    return fm.elidedText(QString::fromUtf8(store.Text(a, count - 1)), Qt::ElideRight, width);
}

}   // namespace

QColor AnnotationClassColor(int cls)
{
    // Hues spread by the golden angle, so classes next to each other differ.
    const int hue = static_cast<int>((static_cast<unsigned>(cls) * 137u + 20u) % 360u);
    return QColor::fromHsv(hue, 150, 200);
}

void CDecoderRowRuntime::Restart()
{
    m_runner.CancelAll();
    m_result.reset();
    m_lanes.clear();
    m_shownLanes.clear();
    m_error.clear();
    m_everSubmitted = false;
    m_decoding = false;
    m_lastJob.reset();
}

void CDecoderRowRuntime::Submit(const CVexlarDoc& doc, size_t rowIndex)
{
    const CDecoderRowConfig& row = doc.m_decoderRows[rowIndex];
    m_submittedRevision = doc.Revision();
    m_everSubmitted = true;
    const CDecoderCatalog& catalog = CDecoderCatalog::Instance();
    auto job = std::make_shared<DecodeJob>();
    std::string error;
    if (!catalog.Error().empty()) {
        error = catalog.Error();
    } else if (ParseDecodeSpec(row.spec, catalog, job->spec, error)) {
        BuildDecodeInput(job->spec, doc.m_signals, job->input, error);
    }
    if (!error.empty()) {
        m_error = QString::fromStdString(error);
        m_decoding = false;
        return;
    }
    job->samplerate = m_samplerate;
    if (m_lastJob && m_result && m_lastJob->samplerate == job->samplerate &&
        m_lastJob->input.unitSize == job->input.unitSize && m_lastJob->input.data == job->input.data &&
        m_lastJob->spec == job->spec)
        return;   // the same bits as the shown result
    m_decoding = true;
    m_lastStart = std::chrono::steady_clock::now();
    m_lastJob = job;
    m_runner.Submit(std::move(job), m_submittedRevision);
}

bool CDecoderRowRuntime::Poll(const CVexlarDoc& doc, size_t rowIndex)
{
    bool changed = false;
    const CDecoderRowConfig& row = doc.m_decoderRows[rowIndex];
    const uint64_t rate = DocumentSamplerate(doc, row);
    if (row.spec != m_spec || rate != m_samplerate) {
        Restart();
        m_spec = row.spec;
        m_samplerate = rate;
        changed = true;
    }
    RunnerResult taken;
    if (m_runner.TakeResult(taken) && taken.result && !taken.result->cancelled) {
        ShowResult(taken.result);
        changed = true;
    }
    // The next decode starts when the last one is done: it then takes the
    // newest samples, and captures that came meanwhile are skipped.
    if (!m_runner.Busy()) {
        if (m_decoding)
            changed = true;
        m_decoding = false;
        const bool due = !m_result || std::chrono::steady_clock::now() - m_lastStart >= kMinInterval;
        if (!m_everSubmitted || (doc.Revision() != m_submittedRevision && due)) {
            Submit(doc, rowIndex);
            changed = changed || m_decoding || !m_error.isEmpty();
        }
    }
    return changed;
}

bool CDecoderRowRuntime::Pending(const CVexlarDoc& doc, size_t rowIndex) const
{
    const CDecoderRowConfig& row = doc.m_decoderRows[rowIndex];
    return m_decoding || m_runner.Busy() || !m_everSubmitted || doc.Revision() != m_submittedRevision ||
           row.spec != m_spec || DocumentSamplerate(doc, row) != m_samplerate;
}

void CDecoderRowRuntime::ShowResult(std::shared_ptr<const DecodeResult> result)
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

int CDecoderRowRuntime::Height() const
{
    return kTitleHeight + kLaneHeight * std::max<int>(1, static_cast<int>(m_shownLanes.size()));
}

void CDecoderRowRuntime::Draw(QPainter& painter, const CVexlarDoc& doc, size_t rowIndex, int y,
                              const DecoderRowGeometry& g)
{
    const CDecoderRowConfig& row = doc.m_decoderRows[rowIndex];
    const int h = Height();
    m_rowRect = GdiRect{0, y, g.right, y + h};
    m_laneTops.clear();
    m_layouts.clear();
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetrics fm(font);

    // Name column: the row's name, and the lanes' names under it.
    painter.setPen(row.selected ? QColor(255, 255, 255) : QColor(200, 200, 200));
    painter.drawText(QRect(2, y + 1, g.traceLeft - 4, kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     fm.elidedText(row.name, Qt::ElideRight, g.traceLeft - 4));
    if (row.selected)
        painter.fillRect(QRect(0, y, 3, h), QColor(255, 255, 255));

    // Status on the title line: decoding, or the error.
    QString status;
    QColor statusColor(160, 160, 160);
    if (!m_error.isEmpty()) {
        status = m_error;
        statusColor = QColor(255, 110, 90);
    } else if (m_decoding && !m_result) {
        // Later decodes replace the shown result when they end; only the
        // first one has nothing to show meanwhile.
        status = QStringLiteral("decoding...");
    } else if (m_result && m_result->annotations.Size() == 0) {
        status = QStringLiteral("no annotations");
    }
    if (!status.isEmpty()) {
        painter.setPen(statusColor);
        painter.drawText(QRect(g.traceLeft + 4, y + 1, std::max(0, g.right - g.traceLeft - 8), kTitleHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         fm.elidedText(status.simplified(), Qt::ElideRight, g.right - g.traceLeft - 8));
    }

    if (m_result) {
        const CAnnotationStore& store = m_result->annotations;
        const LaneGeometry lg{g.firstSample, g.pixelsPerSample, g.traceLeft, g.right};
        painter.setClipRect(QRect(g.traceLeft, y, std::max(0, g.right - g.traceLeft), h));
        int laneTop = y + kTitleHeight;
        for (uint16_t lane : m_shownLanes) {
            m_laneTops.push_back(laneTop);
            m_layouts.emplace_back();
            LaneLayout& layout = m_layouts.back();
            LayoutLane(store, m_lanes[lane], lg, kMinBoxWidth, layout);
            const int top = laneTop + 1;
            const int boxH = kLaneHeight - 3;
            for (const LaneBlock& b : layout.blocks)
                painter.fillRect(QRect(b.x0, top, b.x1 - b.x0, boxH), QColor(150, 150, 150));
            for (const LaneBox& b : layout.boxes) {
                const Annotation& a = store.Items()[b.item];
                const QColor c = AnnotationClassColor(a.cls);
                const int x0 = std::max(b.x0, g.traceLeft - 2);
                const int x1 = std::min(b.x1, g.right + 2);
                painter.fillRect(QRect(x0, top, x1 - x0, boxH), c.darker(160));
                painter.setPen(c);
                painter.drawRect(QRect(x0, top, x1 - x0 - 1, boxH - 1));
                const int textLeft = std::max(x0, g.traceLeft) + 2;
                const int textRight = std::min(x1, g.right) - 2;
                const QString text = FittingText(store, a, fm, textRight - textLeft);
                if (!text.isEmpty()) {
                    painter.setPen(QColor(255, 255, 255));
                    painter.drawText(QRect(textLeft, top, textRight - textLeft, boxH), Qt::AlignCenter, text);
                }
            }
            // The lane's name in the name column.
            painter.setClipping(false);
            painter.setPen(QColor(150, 150, 150));
            const AnnotationLane& info = store.Lanes()[lane];
            painter.drawText(QRect(8, laneTop, g.traceLeft - 10, kLaneHeight), Qt::AlignLeft | Qt::AlignVCenter,
                             fm.elidedText(QString::fromStdString(info.desc), Qt::ElideRight, g.traceLeft - 10));
            painter.setClipRect(QRect(g.traceLeft, y, std::max(0, g.right - g.traceLeft), h));
            laneTop += kLaneHeight;
        }
    }
    painter.restore();
}

QString CDecoderRowRuntime::TextAt(GdiPoint point) const
{
    if (!m_result)
        return {};
    const CAnnotationStore& store = m_result->annotations;
    for (size_t i = 0; i < m_layouts.size(); ++i) {
        if (point.y < m_laneTops[i] || point.y >= m_laneTops[i] + kLaneHeight)
            continue;
        for (const LaneBox& b : m_layouts[i].boxes) {
            if (point.x >= b.x0 && point.x < b.x1) {
                const Annotation& a = store.Items()[b.item];
                return QString::fromStdString(store.ClassId(a)) + QStringLiteral(": ") +
                       QString::fromUtf8(store.Text(a));
            }
        }
        for (const LaneBlock& b : m_layouts[i].blocks) {
            if (point.x >= b.x0 && point.x < b.x1)
                return QStringLiteral("(many annotations: zoom in)");
        }
    }
    if (point.y >= m_rowRect.top && point.y < m_rowRect.top + kTitleHeight && !m_error.isEmpty())
        return m_error;
    return {};
}

bool CDecoderRowSet::Poll(const CVexlarDoc& doc)
{
    bool changed = false;
    while (m_rows.size() > doc.m_decoderRows.size()) {
        m_rows.pop_back();
        changed = true;
    }
    while (m_rows.size() < doc.m_decoderRows.size()) {
        m_rows.push_back(std::make_unique<CDecoderRowRuntime>());
        changed = true;
    }
    for (size_t i = 0; i < m_rows.size(); ++i)
        changed = m_rows[i]->Poll(doc, i) || changed;
    return changed;
}

bool CDecoderRowSet::Pending(const CVexlarDoc& doc) const
{
    if (m_rows.size() != doc.m_decoderRows.size())
        return true;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i]->Pending(doc, i))
            return true;
    }
    return false;
}

int64_t CDecoderRowSet::TotalExtent(int gap) const
{
    int64_t total = 0;
    for (const auto& row : m_rows)
        total += row->Height() + gap;
    return total;
}

QString CDecoderRowSet::FirstError() const
{
    for (const auto& row : m_rows) {
        if (!row->Error().isEmpty())
            return row->Error();
    }
    return {};
}
