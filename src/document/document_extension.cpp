// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/document_extension.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "document/vexlar_doc.h"
#include "model/archive.h"
#include "model/errors.h"
#include "model/time_units.h"

namespace DocumentExtension {

namespace {

// What the block holds, read completely before any of it reaches the
// document, so that a malformed block changes nothing.
struct Content {
    double sampleRate = 0.0;
    int32_t marker1 = -1;
    int32_t marker2 = -1;
    DocumentViewState view;
    std::vector<CDecoderRowConfig> decoderRows;
};

// Limits of a decoder row as read from a file (far above anything real).
constexpr size_t kMaxDecoderRows = 1024;
constexpr qsizetype kMaxDecoderText = 4096;

// Largest zoom the view allows (pixels per sample).
constexpr double kMaxZoom = 160.0;

void WriteField(CArchiveWriter& fields, uint32_t id, const std::function<void(CArchiveWriter&)>& payload)
{
    CMemorySink sink;
    {
        CArchiveWriter w(sink, 64);
        payload(w);
        w.Flush();
    }
    fields.WriteUInt32(id);
    fields.WriteUInt32(static_cast<uint32_t>(sink.m_bytes.size()));
    fields.WriteBytes(sink.m_bytes.data(), sink.m_bytes.size());
}

bool ValidMarker(int32_t marker)
{
    return marker >= -1;
}

bool ValidView(const DocumentViewState& v)
{
    return std::isfinite(v.zoom) && v.zoom > 0.0 && v.zoom <= kMaxZoom && v.firstVisible >= 0 && v.scrollY <= 0;
}

// Reads one known field into `content`; throws CFileFormatException when its
// payload is too short or its values are not ones the document can take.
void ReadField(uint32_t id, CArchiveReader& payload, Content& content)
{
    switch (id) {
    case kSampleRateField: {
        const double rate = payload.ReadDouble();
        if (!TimeUnits::IsValidSampleRate(rate))
            throw CFileFormatException();
        content.sampleRate = rate;
        break;
    }
    case kMarkersField: {
        const int32_t m1 = payload.ReadInt32();
        const int32_t m2 = payload.ReadInt32();
        if (!ValidMarker(m1) || !ValidMarker(m2))
            throw CFileFormatException();
        content.marker1 = m1;
        content.marker2 = m2;
        break;
    }
    case kViewField: {
        DocumentViewState view;
        view.zoom = payload.ReadDouble();
        view.firstVisible = payload.ReadInt32();
        view.scrollY = payload.ReadInt32();
        if (!ValidView(view))
            throw CFileFormatException();
        content.view = view;
        break;
    }
    case kDecoderRowField: {
        // One field per row, in display order.
        CDecoderRowConfig row;
        row.name = payload.ReadString();
        const QString decoderLine = payload.ReadString();
        const double rate = payload.ReadDouble();
        row.selected = payload.ReadBool();
        if (row.name.size() > kMaxDecoderText || decoderLine.size() > kMaxDecoderText || decoderLine.isEmpty() ||
            !std::isfinite(rate) || rate < 0.0 || rate > 1e15 || content.decoderRows.size() >= kMaxDecoderRows)
            throw CFileFormatException();
        row.decoderLine = decoderLine.toStdString();
        row.samplerate = static_cast<uint64_t>(rate);
        content.decoderRows.push_back(std::move(row));
        break;
    }
    default:
        break;   // a field of a later version, or of rows this build does not know
    }
}

// Parses the bytes of all fields.
Content ParseFields(const std::vector<uint8_t>& bytes)
{
    Content content;
    size_t pos = 0;
    while (pos < bytes.size()) {
        CArchiveReader header(bytes.data() + pos, bytes.size() - pos);
        const uint32_t id = header.ReadUInt32();
        const uint32_t length = header.ReadUInt32();
        pos += 8;
        if (length > bytes.size() - pos)
            throw CFileFormatException();
        CArchiveReader payload(bytes.data() + pos, length);
        ReadField(id, payload, content);
        pos += length;
    }
    return content;
}

}   // namespace

QString MalformedBlockWarning()
{
    return QStringLiteral("The sample rate, markers and view stored after the signals could not be read. "
                          "The signals were loaded without them.");
}

void Store(const CVexlarDoc& doc, CArchiveWriter& w)
{
    CMemorySink sink;
    {
        CArchiveWriter fields(sink, 256);
        if (doc.m_sampleRate > 0.0)
            WriteField(fields, kSampleRateField, [&](CArchiveWriter& p) { p.WriteDouble(doc.m_sampleRate); });
        if (doc.m_marker1 >= 0 || doc.m_marker2 >= 0) {
            WriteField(fields, kMarkersField, [&](CArchiveWriter& p) {
                p.WriteInt32(doc.m_marker1 >= 0 ? doc.m_marker1 : -1);
                p.WriteInt32(doc.m_marker2 >= 0 ? doc.m_marker2 : -1);
            });
        }
        if (!(doc.m_viewState == DocumentViewState())) {
            WriteField(fields, kViewField, [&](CArchiveWriter& p) {
                p.WriteDouble(doc.m_viewState.zoom);
                p.WriteInt32(doc.m_viewState.firstVisible);
                p.WriteInt32(doc.m_viewState.scrollY);
            });
        }
        for (const CDecoderRowConfig& row : doc.m_decoderRows) {
            WriteField(fields, kDecoderRowField, [&](CArchiveWriter& p) {
                p.WriteString(row.name);
                p.WriteString(QString::fromStdString(row.decoderLine));
                p.WriteDouble(static_cast<double>(row.samplerate));
                p.WriteBool(row.selected);
            });
        }
        fields.Flush();
    }
    if (sink.m_bytes.empty())
        return;
    w.WriteBytes(kTag, sizeof kTag);
    w.WriteInt32(kVersion);
    w.WriteUInt32(static_cast<uint32_t>(sink.m_bytes.size()));
    w.WriteBytes(sink.m_bytes.data(), sink.m_bytes.size());
}

QString Load(CVexlarDoc& doc, CArchiveReader& r)
{
    if (r.Remaining() == 0)
        return QString();
    Content content;
    try {
        uint8_t tag[4];
        r.ReadRaw(tag, sizeof tag);
        if (std::memcmp(tag, kTag, sizeof tag) != 0)
            throw CFileFormatException();
        if (r.ReadInt32() != kVersion)
            throw CFileFormatException();
        // The block runs to the end of the file: nothing may follow it, and
        // it may claim no more than the file holds.
        const uint32_t length = r.ReadUInt32();
        if (length != r.Remaining() || length > kMaxBlockBytes)
            throw CFileFormatException();
        std::vector<uint8_t> bytes(length);
        r.ReadRaw(bytes.data(), bytes.size());
        content = ParseFields(bytes);
    } catch (const CFileFormatException&) {
        return MalformedBlockWarning();
    }
    doc.m_sampleRate = content.sampleRate;
    doc.m_marker1 = content.marker1;
    doc.m_marker2 = content.marker2;
    doc.m_viewState = content.view;
    doc.m_decoderRows = std::move(content.decoderRows);
    return QString();
}

}   // namespace DocumentExtension
