// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/archive.h"

#include <algorithm>
#include <bit>
#include <string>
#include <cstring>

#include "model/errors.h"
#include "model/windows1252.h"

static_assert(std::endian::native == std::endian::little, "the archive copies arrays of words as they are in memory");

CArchiveWriter::CArchiveWriter(CByteSink& sink, size_t bufferSize)
    : m_sink(sink), m_buffer(bufferSize < 64 ? 64 : bufferSize)
{}

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

CArchiveReader::CArchiveReader(CByteSource& source, uint64_t total, size_t bufferSize)
    : m_data(nullptr), m_size(0), m_total(total), m_source(&source), m_buffer(bufferSize < 64 ? 64 : bufferSize)
{
    m_data = m_buffer.data();
}

// Makes `bytes` bytes available in the window, refilling it from the source.
void CArchiveReader::Need(size_t bytes)
{
    if (bytes <= m_size - m_pos)
        return;
    if (bytes > Remaining() || m_source == nullptr || bytes > m_buffer.size())
        throw CFileFormatException();
    const size_t left = m_size - m_pos;
    std::memmove(m_buffer.data(), m_buffer.data() + m_pos, left);
    m_windowStart += m_pos;
    m_pos = 0;
    m_size = left;
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(m_buffer.size() - left, m_total - m_windowStart - left));
    while (m_size < left + wanted) {
        const size_t n = m_source->Read(m_buffer.data() + m_size, left + wanted - m_size);
        if (n == 0)
            throw CFileFormatException();   // the input ended before its stated size
        m_size += n;
    }
}

void CArchiveReader::ReadBytes(void* out, size_t size)
{
    if (size > Remaining())
        throw CFileFormatException();
    auto* dst = static_cast<uint8_t*>(out);
    const size_t inWindow = std::min(size, m_size - m_pos);
    if (inWindow != 0)
        std::memcpy(dst, m_data + m_pos, inWindow);
    m_pos += inWindow;
    dst += inWindow;
    size -= inWindow;
    if (size == 0)
        return;
    // The window is used up (m_source is set, since Remaining() covers size).
    m_windowStart += m_pos;
    m_pos = 0;
    m_size = 0;
    if (size >= m_buffer.size()) {
        while (size > 0) {
            const size_t n = m_source->Read(dst, size);
            if (n == 0)
                throw CFileFormatException();
            dst += n;
            size -= n;
            m_windowStart += n;
        }
        return;
    }
    Need(size);
    std::memcpy(dst, m_data, size);
    m_pos = size;
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
    ReadBytes(out, count * 4);
}

void CArchiveReader::ReadDoubleArray(double* out, size_t count)
{
    if (count > Remaining() / 8)
        throw CFileFormatException();
    ReadBytes(out, count * 8);
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
    if (first == 0xFF && Remaining() >= 2) {
        Need(2);
        if (m_data[m_pos] == 0xFE && m_data[m_pos + 1] == 0xFF) {
            m_pos += 2;   // the marker of UTF-16 text
            wide = true;
            first = ReadByte();
        }
    }
    const uint64_t length = ReadLength(first);
    if (wide) {
        if (length > Remaining() / 2)
            throw CFileFormatException();
        QString text(static_cast<qsizetype>(length), Qt::Uninitialized);
        ReadBytes(text.data(), length * 2);
        return text;
    }
    if (length > Remaining())
        throw CFileFormatException();
    std::string bytes(static_cast<size_t>(length), '\0');
    ReadBytes(bytes.data(), bytes.size());
    return DecodeWindows1252(bytes.data(), bytes.size());
}
