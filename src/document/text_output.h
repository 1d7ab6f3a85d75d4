// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Buffered 8-bit text output of the exports, into a file or into memory (for
// tests). Lines end with CR LF. A file is written through CAtomicOutput: the
// target changes only when Close() succeeds, and the first failed write
// throws out of the formatting code that called Append.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include <QString>

class CAtomicOutput;

class CTextOutput {
public:
    // Collects the text in `memory`.
    explicit CTextOutput(std::string& memory);
    // Prepares the file (see CAtomicOutput); throws CFileAccessException
    // ("Failed to create file." and the reason) when it cannot be written.
    explicit CTextOutput(const QString& path);
    // Without a successful Close(): a file target keeps its old content and
    // no temporary file is left.
    ~CTextOutput();
    CTextOutput(const CTextOutput&) = delete;
    CTextOutput& operator=(const CTextOutput&) = delete;

    // These throw CFileAccessException ("Failed to write file." and the
    // reason) when the buffer cannot be written.
    void Append(std::string_view text)
    {
        m_buffer.append(text);
        if (m_buffer.size() >= kFlushAt)
            Flush();
    }
    void Append(char c)
    {
        m_buffer.push_back(c);
        if (m_buffer.size() >= kFlushAt)
            Flush();
    }
    void EndLine() { Append(std::string_view("\r\n", 2)); }
    void Line(std::string_view text)
    {
        Append(text);
        EndLine();
    }
    // Writes what is buffered and makes it the file's content; throws
    // CFileAccessException when that fails (the old file then stays).
    void Close();

private:
    static constexpr size_t kFlushAt = 1 << 20;
    void Flush();

    std::string* m_memory = nullptr;
    std::unique_ptr<CAtomicOutput> m_file;
    std::string m_buffer;
};
