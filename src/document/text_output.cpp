#include "document/text_output.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QFile>

#include "model/errors.h"

CTextOutput::CTextOutput(std::string& memory) : m_memory(&memory)
{}

CTextOutput::CTextOutput(const QString& path)
{
    const QByteArray local = QFile::encodeName(path);
    m_fd = ::open(local.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        throw CFileAccessException("Failed to create file.");
    m_buffer.reserve(kFlushAt + 4096);
}

CTextOutput::~CTextOutput()
{
    if (m_fd >= 0) {
        Flush();
        ::close(m_fd);
    }
}

void CTextOutput::Flush()
{
    if (m_memory != nullptr) {
        m_memory->append(m_buffer);
        m_buffer.clear();
        return;
    }
    const char* p = m_buffer.data();
    size_t left = m_buffer.size();
    while (left > 0 && !m_failed) {
        const ssize_t n = ::write(m_fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_failed = true;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    m_buffer.clear();
}

void CTextOutput::Close()
{
    Flush();
    if (m_fd >= 0) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0)
            m_failed = true;
    }
    if (m_failed)
        throw CFileAccessException("Failed to write file.");
}
