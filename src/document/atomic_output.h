// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Output files that a failure never damages. Saving a document and every
// export write through CAtomicOutput:
//
// - A regular file (or one that does not exist yet) is written as a temporary
//   file "NAME.vexlar-tmp-XXXXXX" in the target's folder, flushed to the disk
//   and renamed over the target. The new file keeps the old file's owner and
//   permissions (a new file gets 0666 less the umask). Until Commit()
//   succeeds the target stays exactly as it was, and an output that is
//   abandoned (an error, an exception, the destructor) removes its temporary
//   file.
// - Symbolic links are followed: the file the link names is replaced and the
//   link stays (a dangling link's target is created).
// - A target that is not a regular file (a FIFO, a terminal, /dev/null) and
//   the names of open descriptors (/dev/stdout, /dev/stderr, /dev/fd/N,
//   /proc/self/fd/N) are written directly: they cannot be replaced, and
//   whoever opened the descriptor chose where its bytes go.
// - The temporary file is locked (flock) while it is written. Temporary files
//   of the same target left behind by a process that was killed are removed
//   before the next write of that target, when they are older than
//   kStaleTemporaryAge, belong to this user and nobody holds their lock.
//
// Plain POSIX code: no Qt, no widgets.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

class CAtomicOutput {
public:
    // Prepares the output. Throws CFileAccessException ("Failed to create
    // file." and the reason) when the target cannot be written at all.
    explicit CAtomicOutput(const std::string& path);
    // Without a successful Commit(): closes and removes the temporary file; an
    // existing target is left as it was.
    ~CAtomicOutput();
    CAtomicOutput(const CAtomicOutput&) = delete;
    CAtomicOutput& operator=(const CAtomicOutput&) = delete;

    // Writes everything or throws CFileAccessException ("Failed to write
    // file." and the reason). After a failure every further Write and Commit
    // throws at once, so a caller that formats as it writes stops there.
    void Write(const void* data, size_t size);
    void Write(std::string_view text) { Write(text.data(), text.size()); }

    // Makes the written bytes the target's content: fsync, rename over the
    // target, fsync of the folder. Throws CFileAccessException on failure, and
    // then the target is still the old file.
    void Commit();

    // True when the target is written in place (not a regular file).
    bool IsDirect() const { return m_direct; }
    // The file that is replaced (symbolic links followed).
    const std::string& TargetPath() const { return m_target; }
    // The temporary file while the output is open; empty for direct output.
    const std::string& TemporaryPath() const { return m_temporary; }

private:
    [[noreturn]] void Fail(const char* what, int error);

    std::string m_target;
    std::string m_temporary;
    int m_fd = -1;
    bool m_direct = false;
    bool m_failed = false;
    bool m_committed = false;
};

// Temporary files of abandoned writes are removed once they are this old.
inline constexpr std::chrono::seconds kStaleTemporaryAge{5 * 60};

// The file a write to `path` replaces: symbolic links followed, also a
// dangling last one. Throws CFileAccessException for a loop of links.
std::string ResolveOutputTarget(const std::string& path);

// "NAME.vexlar-tmp-" for the target file name NAME (shortened so that the
// whole temporary name fits the file-name limit): the start of the name of
// every temporary file of that target.
std::string TemporaryNamePrefix(const std::string& targetName);

// Removes the temporary files of `target` in its folder that are older than
// `age`, belong to this user and are not locked by a running writer. Returns
// how many were removed; errors are ignored (it only frees space).
int RemoveStaleTemporaries(const std::string& target, std::chrono::seconds age = kStaleTemporaryAge);
