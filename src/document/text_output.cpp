// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/text_output.h"

#include <QFile>

#include "document/atomic_output.h"

CTextOutput::CTextOutput(std::string& memory) : m_memory(&memory)
{}

CTextOutput::CTextOutput(const QString& path)
    : m_file(std::make_unique<CAtomicOutput>(QFile::encodeName(path).toStdString()))
{
    m_buffer.reserve(kFlushAt + 4096);
}

CTextOutput::~CTextOutput()
{
    if (m_memory != nullptr)
        m_memory->append(m_buffer);
}

void CTextOutput::Flush()
{
    if (m_memory != nullptr) {
        m_memory->append(m_buffer);
    } else if (!m_buffer.empty()) {
        // Throws at the first failure; the buffer is dropped all the same,
        // since nothing more will be written after it.
        try {
            m_file->Write(m_buffer);
        } catch (...) {
            m_buffer.clear();
            throw;
        }
    }
    m_buffer.clear();
}

void CTextOutput::Close()
{
    Flush();
    if (m_file)
        m_file->Commit();
}
