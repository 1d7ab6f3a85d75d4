#include "model/archive.h"

#include <bit>
#include <cstring>

#include "model/errors.h"
#include "model/windows1252.h"

static_assert(std::endian::native == std::endian::little,
              "the archive copies arrays of words as they are in memory");

CArchiveWriter::CArchiveWriter(CByteSink& sink, size_t bufferSize)
    : m_sink(sink), m_buffer(bufferSize < 64 ? 64 : bufferSize)
{
}

CArchiveWriter::~CArchiveWriter() = default;

void CArchiveWriter::Flush()
{
    if (m_used != 0) {
        m_sink.Write(m_buffer.data(), m_used);
        m_used = 0;
    }
}

void CArchiveWriter::WriteBytes(const void* data, size_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (size <= m_buffer.size() - m_used) {
        std::memcpy(m_buffer.data() + m_used, bytes, size);
        m_used += size;
        return;
    }
    Flush();
    if (size >= m_buffer.size()) {
        m_sink.Write(bytes, size);   // large blocks skip the buffer
        return;
    }
    std::memcpy(m_buffer.data(), bytes, size);
    m_used = size;
}

void CArchiveWriter::WriteByte(uint8_t v)
{
    if (m_used == m_buffer.size())
        Flush();
    m_buffer[m_used++] = v;
}

void CArchiveWriter::WriteUInt16(uint16_t v)
{
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    WriteBytes(b, 2);
}

void CArchiveWriter::WriteUInt32(uint32_t v)
{
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    WriteBytes(b, 4);
}

void CArchiveWriter::WriteInt32(int32_t v)
{
    WriteUInt32(static_cast<uint32_t>(v));
}

void CArchiveWriter::WriteDouble(double v)
{
    WriteBytes(&v, sizeof v);
}

void CArchiveWriter::WriteUInt32Array(const uint32_t* values, size_t count)
{
    if (count != 0)
        WriteBytes(values, count * sizeof(uint32_t));
}

void CArchiveWriter::WriteDoubleArray(const double* values, size_t count)
{
    if (count != 0)
        WriteBytes(values, count * sizeof(double));
}

void CArchiveWriter::WriteString(const QString& text)
{
    WriteByte(0xFF);
    WriteUInt16(0xFFFE);
    const size_t length = static_cast<size_t>(text.size());
    if (length < 255) {
        WriteByte(static_cast<uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteByte(0xFF);
        WriteUInt16(static_cast<uint16_t>(length));
    } else {
        WriteByte(0xFF);
        WriteUInt16(0xFFFF);
        WriteUInt32(static_cast<uint32_t>(length));
    }
    WriteBytes(text.utf16(), length * 2);
}

void CArchiveReader::Need(size_t bytes) const
{
    if (bytes > m_size - m_pos)
        throw CFileFormatException();
}

uint8_t CArchiveReader::ReadByte()
{
    Need(1);
    return m_data[m_pos++];
}

uint16_t CArchiveReader::ReadUInt16()
{
    Need(2);
    const uint8_t* p = m_data + m_pos;
    m_pos += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t CArchiveReader::ReadUInt32()
{
    Need(4);
    const uint8_t* p = m_data + m_pos;
    m_pos += 4;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

int32_t CArchiveReader::ReadInt32()
{
    return static_cast<int32_t>(ReadUInt32());
}

double CArchiveReader::ReadDouble()
{
    Need(8);
    double v;
    std::memcpy(&v, m_data + m_pos, 8);
    m_pos += 8;
    return v;
}

void CArchiveReader::ReadUInt32Array(uint32_t* out, size_t count)
{
    if (count > Remaining() / 4)
        throw CFileFormatException();
    if (count != 0)
        std::memcpy(out, m_data + m_pos, count * 4);
    m_pos += count * 4;
}

void CArchiveReader::ReadDoubleArray(double* out, size_t count)
{
    if (count > Remaining() / 8)
        throw CFileFormatException();
    if (count != 0)
        std::memcpy(out, m_data + m_pos, count * 8);
    m_pos += count * 8;
}

// The length forms after the first byte: below 0xFF the byte itself, then a
// uint16 below 0xFFFF, then a uint32 below 0xFFFFFFFF, then a uint64.
uint64_t CArchiveReader::ReadLength(uint8_t first)
{
    if (first < 0xFF)
        return first;
    const uint16_t w = ReadUInt16();
    if (w < 0xFFFF)
        return w;
    const uint32_t d = ReadUInt32();
    if (d < 0xFFFFFFFFu)
        return d;
    const uint64_t lo = ReadUInt32();
    const uint64_t hi = ReadUInt32();
    return lo | (hi << 32);
}

QString CArchiveReader::ReadString()
{
    uint8_t first = ReadByte();
    bool wide = false;
    if (first == 0xFF && Remaining() >= 2 && m_data[m_pos] == 0xFE && m_data[m_pos + 1] == 0xFF) {
        m_pos += 2;   // the marker of UTF-16 text
        wide = true;
        first = ReadByte();
    }
    const uint64_t length = ReadLength(first);
    if (wide) {
        if (length > Remaining() / 2)
            throw CFileFormatException();
        QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
        std::memcpy(text.data(), m_data + m_pos, length * 2);
        m_pos += length * 2;
        return text;
    }
    if (length > Remaining())
        throw CFileFormatException();
    QString text = DecodeWindows1252(reinterpret_cast<const char*>(m_data + m_pos), length);
    m_pos += length;
    return text;
}
