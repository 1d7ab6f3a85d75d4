// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/atomic_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/errors.h"

namespace {

constexpr const char* kCreateFailed = "Failed to create file.";
constexpr const char* kWriteFailed = "Failed to write file.";
constexpr const char* kTemporaryMarker = ".vexlar-tmp-";
constexpr size_t kRandomChars = 6;   // the XXXXXX of mkostemp
constexpr int kMaxLinks = 40;        // as the kernel's own limit for a path

std::string Reason(int error)
{
    return std::generic_category().message(error);
}

CFileAccessException Error(const char* what, int error)
{
    return CFileAccessException(std::string(what) + " " + Reason(error) + ".");
}

std::string Folder(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string FileName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::vector<char> cwd(PATH_MAX + 1);
    if (::getcwd(cwd.data(), cwd.size()) == nullptr)
        return path;   // the relative path still works for this process
    return std::string(cwd.data()) + "/" + path;
}

// The descriptor that a name such as /dev/stdout stands for, or -1.
int DescriptorNamed(const std::string& path)
{
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    for (const char* prefix : {"/dev/fd/", "/proc/self/fd/"}) {
        const size_t n = std::strlen(prefix);
        if (path.size() > n && path.compare(0, n, prefix) == 0) {
            int fd = 0;
            for (size_t i = n; i < path.size(); ++i) {
                if (path[i] < '0' || path[i] > '9' || fd > 100000)
                    return -1;
                fd = fd * 10 + (path[i] - '0');
            }
            return fd;
        }
    }
    return -1;
}

// The umask without changing it: umask() can only be read by setting it,
// which would briefly give files created by other threads the wrong mode.
mode_t CurrentUmask()
{
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr)
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(status);
        if (found)
            return static_cast<mode_t>(mask & 0777);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

bool IsTemporaryName(const char* name, const std::string& prefix)
{
    if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0)
        return false;
    const char* rest = name + prefix.size();
    if (std::strlen(rest) != kRandomChars)
        return false;
    for (const char* c = rest; *c != '\0'; ++c) {
        const bool alnum = (*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z');
        if (!alnum)
            return false;
    }
    return true;
}

}   // namespace

std::string TemporaryNamePrefix(const std::string& targetName)
{
    const size_t room = NAME_MAX - std::strlen(kTemporaryMarker) - kRandomChars;
    return targetName.substr(0, room) + kTemporaryMarker;
}

std::string ResolveOutputTarget(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;   // a file, a folder, or nothing yet: written here
        std::vector<char> buffer(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<size_t>(n) >= buffer.size())
            return current;   // changed meanwhile: the open below reports it
        const std::string link(buffer.data(), static_cast<size_t>(n));
        current = link.front() == '/' ? link : Folder(current) + "/" + link;
    }
    throw Error(kCreateFailed, ELOOP);
}

int RemoveStaleTemporaries(const std::string& target, std::chrono::seconds age)
{
    const std::string prefix = TemporaryNamePrefix(FileName(target));
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Folder(target).c_str()), &::closedir);
    if (!dir)
        return 0;
    const int dirFd = ::dirfd(dir.get());
    const time_t now = std::time(nullptr);
    int removed = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!IsTemporaryName(entry->d_name, prefix))
            continue;
        struct stat st {};
        if (::fstatat(dirFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid() || now - st.st_mtime < age.count())
            continue;
        // A writer holds its temporary file locked until it has renamed it:
        // a lock that cannot be taken means a running save or export.
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        struct stat again {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
            ::fstatat(dirFd, entry->d_name, &again, AT_SYMLINK_NOFOLLOW) == 0 && opened.st_dev == again.st_dev &&
            opened.st_ino == again.st_ino && ::unlinkat(dirFd, entry->d_name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

CAtomicOutput::CAtomicOutput(const std::string& path)
{
    if (path.empty())
        throw Error(kCreateFailed, ENOENT);

    const int named = DescriptorNamed(path);
    if (named >= 0) {
        m_direct = true;
        m_target = path;
        m_fd = ::fcntl(named, F_DUPFD_CLOEXEC, 3);
        if (m_fd < 0)
            throw Error(kCreateFailed, errno);
        return;
    }

    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            throw Error(kCreateFailed, EISDIR);
        if (!S_ISREG(st.st_mode)) {
            m_direct = true;
            m_target = path;
            m_fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
            if (m_fd < 0)
                throw Error(kCreateFailed, errno);
            return;
        }
    }

    m_target = Absolute(ResolveOutputTarget(path));
    // Leftovers of killed writes of this target go first: on a full disk
    // they may be what keeps this write from fitting.
    RemoveStaleTemporaries(m_target);

    std::string name =
        Folder(m_target) + "/" + TemporaryNamePrefix(FileName(m_target)) + std::string(kRandomChars, 'X');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw Error(kCreateFailed, errno);
    m_temporary = name;
    // Held until the rename: tells the clean-up of other processes that this
    // file is being written.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
}

CAtomicOutput::~CAtomicOutput()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_temporary.empty())
        ::unlink(m_temporary.c_str());
}

void CAtomicOutput::Fail(const char* what, int error)
{
    m_failed = true;
    throw Error(what, error);
}

void CAtomicOutput::Write(const void* data, size_t size)
{
    if (m_failed || m_committed || m_fd < 0)
        Fail(kWriteFailed, EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            Fail(kWriteFailed, errno);
        if (n == 0)
            Fail(kWriteFailed, EIO);
        p += n;
        size -= static_cast<size_t>(n);
    }
}

void CAtomicOutput::Commit()
{
    if (m_failed || m_committed || m_fd < 0)
        Fail(kWriteFailed, EBADF);

    if (m_direct) {
        const int fd = m_fd;
        m_fd = -1;
        m_committed = true;
        if (::close(fd) != 0 && errno != EINTR)
            Fail(kWriteFailed, errno);
        return;
    }

    // The old file's owner and permissions, or those of a new file
    // (mkostemp created the temporary file for the owner only). The owner
    // can only be kept where we are allowed to: errors are no reason to fail.
    struct stat old {};
    if (::stat(m_target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        if (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) {
            if (::fchown(m_fd, old.st_uid, old.st_gid) != 0)
                (void)::fchown(m_fd, static_cast<uid_t>(-1), old.st_gid);
        }
        ::fchmod(m_fd, old.st_mode & 07777);
    } else {
        ::fchmod(m_fd, 0666 & ~CurrentUmask());
    }

    if (::fsync(m_fd) != 0)
        Fail(kWriteFailed, errno);
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        Fail(kWriteFailed, errno);
    m_committed = true;
    // Closed only now, so that the lock covered the whole life of the
    // temporary name. The data is on the disk already (fsync above).
    ::close(m_fd);
    m_fd = -1;

    // Makes the rename itself durable.
    const int folder = ::open(Folder(m_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}
