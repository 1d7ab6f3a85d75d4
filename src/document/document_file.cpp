#include "document/document_file.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include "document/vexlar_doc.h"
#include "model/archive.h"
#include "model/errors.h"

namespace {

// Writes everything or throws; retries after signals and short writes.
void WriteAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CFileSaveException();
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

class CFdSink : public CByteSink {
public:
    explicit CFdSink(int fd) : m_fd(fd) {}
    void Write(const uint8_t* data, size_t size) override { WriteAll(m_fd, data, size); }

private:
    int m_fd;
};

class CVectorSink : public CByteSink {
public:
    explicit CVectorSink(std::vector<uint8_t>& out) : m_out(out) {}
    void Write(const uint8_t* data, size_t size) override { m_out.insert(m_out.end(), data, data + size); }

private:
    std::vector<uint8_t>& m_out;
};

// Closes the descriptor and removes the temporary file unless committed.
struct TempFile {
    std::string path;
    int fd = -1;
    bool committed = false;
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!committed && !path.empty())
            ::unlink(path.c_str());
    }
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

void SaveDocumentFile(CVexlarDoc& doc, const QString& path)
{
    const QFileInfo info(path);
    const std::string target = LocalPath(info.absoluteFilePath());
    const std::string folder = LocalPath(info.absolutePath());

    TempFile temp;
    temp.path = target + ".XXXXXX";
    std::vector<char> name(temp.path.begin(), temp.path.end());
    name.push_back('\0');
    temp.fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (temp.fd < 0) {
        temp.path.clear();
        throw CFileSaveException();
    }
    temp.path.assign(name.data());

    // The new file gets the old file's permissions, or the usual ones of a
    // new file (mkstemp creates it readable by the owner only).
    struct stat old {};
    mode_t mode;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(temp.fd, mode);

    try {
        CFdSink sink(temp.fd);
        CArchiveWriter writer(sink);
        CArchive ar(writer);
        doc.Serialize(ar);
        writer.Flush();
    } catch (const CFileSaveException&) {
        throw;
    } catch (const std::exception&) {
        throw CFileSaveException();
    }
    if (::fsync(temp.fd) != 0)
        throw CFileSaveException();
    const int fd = temp.fd;
    temp.fd = -1;
    if (::close(fd) != 0)
        throw CFileSaveException();
    if (::rename(temp.path.c_str(), target.c_str()) != 0)
        throw CFileSaveException();
    temp.committed = true;

    // Make the rename itself durable.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    doc.SetModifiedFlag(false);
}
