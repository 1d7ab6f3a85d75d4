// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/document_file.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "document/atomic_output.h"
#include "document/vexlar_doc.h"
#include "model/archive.h"
#include "model/errors.h"

namespace {

class CAtomicSink : public CByteSink {
public:
    explicit CAtomicSink(CAtomicOutput& out) : m_out(out) {}
    void Write(const uint8_t* data, size_t size) override { m_out.Write(data, size); }

private:
    CAtomicOutput& m_out;
};

class CVectorSink : public CByteSink {
public:
    explicit CVectorSink(std::vector<uint8_t>& out) : m_out(out) {}
    void Write(const uint8_t* data, size_t size) override { m_out.insert(m_out.end(), data, data + size); }

private:
    std::vector<uint8_t>& m_out;
};

std::string LocalPath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

}   // namespace

namespace {

// Loads into a fresh document and hands its content over only when the whole
// input was read; a null reader stands for an empty file.
void LoadThroughFreshDocument(CVexlarDoc& doc, CArchiveReader* reader)
{
    CVexlarDoc fresh;   // holds the start-up signal, which is what an empty file gives
    if (reader != nullptr) {
        CArchive ar(*reader);
        fresh.Serialize(ar);
    }
    doc.SwapContent(fresh);
    doc.SetModifiedFlag(false);
    // What a file holds is kept until the user makes the document live.
    doc.SetLive(false);
}

class CFdSource : public CByteSource {
public:
    explicit CFdSource(int fd) : m_fd(fd) {}
    size_t Read(uint8_t* data, size_t size) override
    {
        for (;;) {
            const ssize_t n = ::read(m_fd, data, size);
            if (n >= 0)
                return static_cast<size_t>(n);
            if (errno != EINTR)
                throw CFileAccessException("Failed to open document.");
        }
    }

private:
    int m_fd;
};

}   // namespace

void LoadDocumentStream(CVexlarDoc& doc, CByteSource& source, uint64_t size, size_t bufferSize)
{
    if (size == 0) {
        LoadThroughFreshDocument(doc, nullptr);
        return;
    }
    CArchiveReader reader(source, size, bufferSize);
    LoadThroughFreshDocument(doc, &reader);
}

void LoadDocumentBytes(CVexlarDoc& doc, const uint8_t* data, size_t size)
{
    if (size == 0) {
        LoadThroughFreshDocument(doc, nullptr);
        return;
    }
    CArchiveReader reader(data, size);
    LoadThroughFreshDocument(doc, &reader);
}

std::vector<uint8_t> StoreDocumentBytes(const CVexlarDoc& doc)
{
    std::vector<uint8_t> bytes;
    CVectorSink sink(bytes);
    CArchiveWriter writer(sink);
    CArchive ar(writer);
    const_cast<CVexlarDoc&>(doc).Serialize(ar);   // storing does not change the document
    writer.Flush();
    return bytes;
}

void OpenDocumentFile(CVexlarDoc& doc, const QString& path)
{
    const std::string local = LocalPath(path);
    const int fd = ::open(local.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw CFileAccessException("Failed to open document.");
    std::unique_ptr<int, void (*)(int*)> closer(new int(fd), [](int* p) {
        ::close(*p);
        delete p;
    });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw CFileAccessException("Failed to open document.");

    // Counts in the file are checked against the file's own size; the
    // samples are read straight into the signals.
    CFdSource source(fd);
    LoadDocumentStream(doc, source, static_cast<uint64_t>(st.st_size));
}

void WriteDocumentFile(const CVexlarDoc& doc, const QString& path)
{
    try {
        CAtomicOutput out(LocalPath(path));
        CAtomicSink sink(out);
        CArchiveWriter writer(sink);
        CArchive ar(writer);
        const_cast<CVexlarDoc&>(doc).Serialize(ar);   // storing does not change the document
        writer.Flush();
        out.Commit();
    } catch (const std::exception&) {
        throw CFileSaveException();
    }
}

void SaveDocumentFile(CVexlarDoc& doc, const QString& path)
{
    WriteDocumentFile(doc, path);
    doc.SetModifiedFlag(false);
}
