// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Little-endian binary archive of the document file: int32, uint32, bool (one
// byte), double and the length-prefixed string. The writer streams into a
// sink through a buffer; the reader works on a byte buffer in memory and
// checks every read against what remains, so that no count from the input is
// trusted. Both are plain code: a test or a fuzzer drives them without files.

#include <cstddef>
#include <cstdint>
#include <vector>

#include <QString>

// Where the writer's bytes go.
class CByteSink {
public:
    virtual ~CByteSink() = default;
    virtual void Write(const uint8_t* data, size_t size) = 0;   // throws on failure
};

// Collects the bytes in memory.
class CMemorySink : public CByteSink {
public:
    void Write(const uint8_t* data, size_t size) override { m_bytes.insert(m_bytes.end(), data, data + size); }
    std::vector<uint8_t> m_bytes;
};

class CArchiveWriter {
public:
    explicit CArchiveWriter(CByteSink& sink, size_t bufferSize = 1 << 18);
    ~CArchiveWriter();   // does not flush: a failed store must not look complete
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    void WriteInt32(int32_t v);
    void WriteUInt32(uint32_t v);
    void WriteUInt16(uint16_t v);
    void WriteByte(uint8_t v);
    void WriteBool(bool v) { WriteByte(v ? 1 : 0); }
    void WriteDouble(double v);
    void WriteUInt32Array(const uint32_t* values, size_t count);
    void WriteDoubleArray(const double* values, size_t count);
    // FF FE FF, the length in UTF-16 code units (1, 3 or 7 bytes), UTF-16LE.
    void WriteString(const QString& text);
    void WriteBytes(const void* data, size_t size);
    void Flush();   // hands the buffered bytes to the sink

private:
    CByteSink& m_sink;
    std::vector<uint8_t> m_buffer;
    size_t m_used = 0;
};

// Where the reader's bytes come from when they are not all in memory.
class CByteSource {
public:
    virtual ~CByteSource() = default;
    // Reads up to `size` bytes; returns how many (0 at the end). Throws on failure.
    virtual size_t Read(uint8_t* data, size_t size) = 0;
};

class CArchiveReader {
public:
    // All the input in memory.
    CArchiveReader(const uint8_t* data, size_t size) : m_data(data), m_size(size), m_total(size) {}
    // `total` bytes from a source, read through a buffer; large arrays are
    // read straight into their destination.
    CArchiveReader(CByteSource& source, uint64_t total, size_t bufferSize = 1 << 18);

    // Every read throws CFileFormatException when the input ends first.
    int32_t ReadInt32();
    uint32_t ReadUInt32();
    uint16_t ReadUInt16();
    uint8_t ReadByte();
    bool ReadBool() { return ReadByte() != 0; }
    double ReadDouble();
    void ReadUInt32Array(uint32_t* out, size_t count);
    void ReadDoubleArray(double* out, size_t count);
    // With the marker FF FE FF: a length in UTF-16 code units and UTF-16LE
    // text. Without it: a length in bytes of Windows-1252 text.
    QString ReadString();

    // `size` raw bytes.
    void ReadRaw(void* out, size_t size) { ReadBytes(out, size); }

    // Bytes left in the input (in memory or still to come from the source).
    size_t Remaining() const { return static_cast<size_t>(m_total - Position()); }
    uint64_t Position() const { return m_windowStart + m_pos; }

private:
    void Need(size_t bytes);
    void ReadBytes(void* out, size_t size);
    uint64_t ReadLength(uint8_t first);

    const uint8_t* m_data;   // the current window of the input
    size_t m_size;           // bytes in the window
    size_t m_pos = 0;        // read position in the window
    uint64_t m_total;        // bytes of the whole input
    uint64_t m_windowStart = 0;
    CByteSource* m_source = nullptr;
    std::vector<uint8_t> m_buffer;
};

// The direction-carrying archive that Serialize of the records takes.
class CArchive {
public:
    explicit CArchive(CArchiveWriter& writer) : m_writer(&writer) {}
    explicit CArchive(CArchiveReader& reader) : m_reader(&reader) {}
    bool IsStoring() const { return m_writer != nullptr; }
    bool IsLoading() const { return m_reader != nullptr; }
    CArchiveWriter& Writer() { return *m_writer; }
    CArchiveReader& Reader() { return *m_reader; }

private:
    CArchiveWriter* m_writer = nullptr;
    CArchiveReader* m_reader = nullptr;
};
