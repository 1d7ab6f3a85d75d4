#pragma once
// Buffered 8-bit text output of the exports, into a file or into memory (for
// tests). Lines end with CR LF.

#include <cstddef>
#include <string>
#include <string_view>

#include <QString>

class CTextOutput {
public:
    // Collects the text in `memory`.
    explicit CTextOutput(std::string& memory);
    // Creates or truncates the file; throws CFileAccessException when it
    // cannot be created.
    explicit CTextOutput(const QString& path);
    ~CTextOutput();   // writes what is buffered, without reporting errors
    CTextOutput(const CTextOutput&) = delete;
    CTextOutput& operator=(const CTextOutput&) = delete;

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
    // Writes everything and closes the file; throws CFileAccessException when
    // the text could not be written completely.
    void Close();

private:
    static constexpr size_t kFlushAt = 1 << 20;
    void Flush();

    std::string* m_memory = nullptr;
    int m_fd = -1;
    bool m_failed = false;
    std::string m_buffer;
};
