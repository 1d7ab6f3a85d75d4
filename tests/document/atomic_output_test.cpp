// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and every export write through one atomic output: a failure (full
// disk, read-only folder) leaves an existing target byte for byte and with its
// permissions, and no temporary file; symbolic links are written through; a
// FIFO is written directly; temporary files of killed writes are cleaned up.
// Each case runs for every kind of output.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "document/atomic_output.h"
#include "document/document_file.h"
#include "document/text_export.h"
#include "document/text_output.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"
#include "model/errors.h"

namespace fs = std::filesystem;

namespace {

struct OutputKind {
    const char* name;
    // Writes the whole output to `path` as the application does.
    std::function<void(CVexlarDoc&, const QString&)> write;
    // Formats into a text output (null for the document file).
    std::function<void(const CVexlarDoc&, CTextOutput&)> format;
    // The bytes a successful write gives.
    std::function<std::string(const CVexlarDoc&)> expected;
};

std::string Formatted(const CVexlarDoc& doc, const std::function<void(const CVexlarDoc&, CTextOutput&)>& format)
{
    std::string text;
    CTextOutput out(text);
    format(doc, out);
    out.Close();
    return text;
}

OutputKind TextKind(const char* name, void (*exportFn)(const CVexlarDoc&, const QString&),
                    void (*formatFn)(const CVexlarDoc&, CTextOutput&))
{
    OutputKind kind{name, [exportFn](CVexlarDoc& doc, const QString& path) { exportFn(doc, path); }, formatFn, {}};
    kind.expected = [formatFn](const CVexlarDoc& doc) { return Formatted(doc, formatFn); };
    return kind;
}

std::vector<OutputKind> Kinds()
{
    std::vector<OutputKind> kinds;
    kinds.push_back(TextKind("csv", &ExportCsv, &WriteCsv));
    kinds.push_back(TextKind(
        "text", [](const CVexlarDoc& doc, const QString& path) { ExportSignalText(*doc.Head(), path); },
        [](const CVexlarDoc& doc, CTextOutput& out) { WriteSignalText(*doc.Head(), out); }));
    kinds.push_back(TextKind("vhdl", &ExportVhdlTestbench, &WriteVhdlTestbench));
    kinds.push_back(TextKind("vcd", &ExportVcd, &WriteVcd));
    OutputKind save{"save", [](CVexlarDoc& doc, const QString& path) { SaveDocumentFile(doc, path); }, {}, {}};
    save.expected = [](const CVexlarDoc& doc) {
        const std::vector<uint8_t> bytes = StoreDocumentBytes(doc);
        return std::string(bytes.begin(), bytes.end());
    };
    kinds.push_back(save);
    return kinds;
}

void PrintTo(const OutputKind& kind, std::ostream* os)
{
    *os << kind.name;
}

// 131,072 random 32-bit samples and an 8-bit field of them: every kind of
// output is more than the 1 MiB that a text output buffers, far beyond the
// limits below.
void Fill(CVexlarDoc& doc)
{
    constexpr int32_t kSamples = 1 << 17;
    std::mt19937 rng(7);
    CSignal* head = doc.Head();
    head->EnsureCapacity(kSamples);
    for (int32_t i = 0; i < kSamples; ++i)
        head->m_samples[i] = rng();
    head->m_count = kSamples;
    CSignal* field = doc.AppendNewSignal();
    field->m_name = QStringLiteral("data");
    field->m_numBits = 8;
    field->m_firstBit = 4;
    field->UpdateMask();
    field->UpdateFromSource();
}

std::string ReadAll(const fs::path& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

void WriteText(const fs::path& path, const std::string& text, mode_t mode)
{
    std::ofstream(path, std::ios::binary) << text;
    ::chmod(path.c_str(), mode);
}

mode_t ModeOf(const fs::path& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

QString Q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

// Everything in a folder except the names given.
std::vector<std::string> Others(const fs::path& folder, std::vector<std::string> known)
{
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end())
            others.push_back(name);
    }
    return others;
}

// Mounts made by a test stay in a mount namespace of this test process.
bool PrivateMounts()
{
    static const bool ok = ::geteuid() == 0 && ::unshare(CLONE_NEWNS) == 0 &&
                           ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return ok;
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/vexlar-atomic-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir()
    {
        for (auto it = m_mounts.rbegin(); it != m_mounts.rend(); ++it)
            ::umount2(it->c_str(), MNT_DETACH);
        std::error_code ec;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
        for (const auto& entry : fs::recursive_directory_iterator(m_path, ec))
            if (entry.is_directory(ec))
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_path, ec);
    }
    fs::path operator/(const char* name) const { return m_path / name; }
    // A small tmpfs on a new subfolder; false where it cannot be mounted.
    bool MountTmpfs(const fs::path& at, const char* size)
    {
        fs::create_directory(at);
        const std::string options = std::string("size=") + size + ",mode=0755";
        if (!PrivateMounts() || ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) != 0)
            return false;
        m_mounts.push_back(at);
        return true;
    }

private:
    fs::path m_path;
    std::vector<fs::path> m_mounts;
};

// Runs `fn` with the file size limit at `bytes` (writes beyond it fail with
// EFBIG as on a full disk; SIGXFSZ ignored as the application does).
template <typename Fn>
void WithFileSizeLimit(rlim_t bytes, Fn fn)
{
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = bytes;
    auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    fn();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);
}

// The write must fail with the error of its kind and leave the old target.
void ExpectFailure(const OutputKind& kind, CVexlarDoc& doc, const fs::path& path)
{
    try {
        kind.write(doc, Q(path));
        ADD_FAILURE() << kind.name << ": reported success";
    } catch (const CFileSaveException& e) {
        EXPECT_STREQ(kind.name, "save") << e.what();
    } catch (const CFileAccessException& e) {
        EXPECT_STRNE(kind.name, "save");
        EXPECT_EQ(std::string(e.what()).rfind("Failed to", 0), 0u) << e.what();
    }
}

const char kOld[] = "the old content\n";

class AtomicOutputKinds : public ::testing::TestWithParam<OutputKind> {
protected:
    void SetUp() override { Fill(m_doc); }
    CVexlarDoc m_doc;
};

TEST_P(AtomicOutputKinds, FullDiskKeepsTheOldFileAndItsPermissions)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    const fs::path target = dir / "out.dat";
    WriteText(target, kOld, 0640);
    WithFileSizeLimit(64 * 1024, [&] { ExpectFailure(kind, m_doc, target); });
    EXPECT_EQ(ReadAll(target), kOld);
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(Others(dir / "", {"out.dat"}), std::vector<std::string>{});   // no temporary file left

    // A new file on a full disk: nothing is left at all.
    WithFileSizeLimit(64 * 1024, [&] { ExpectFailure(kind, m_doc, dir / "new.dat"); });
    EXPECT_FALSE(fs::exists(dir / "new.dat"));
    EXPECT_EQ(Others(dir / "", {"out.dat"}), std::vector<std::string>{});
}

TEST_P(AtomicOutputKinds, FullTmpfsKeepsTheOldFile)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    const fs::path disk = dir / "disk";
    if (!dir.MountTmpfs(disk, "64k"))
        GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    WriteText(disk / "out.dat", kOld, 0600);
    ExpectFailure(kind, m_doc, disk / "out.dat");
    EXPECT_EQ(ReadAll(disk / "out.dat"), kOld);
    EXPECT_EQ(ModeOf(disk / "out.dat"), 0600u);
    EXPECT_EQ(Others(disk, {"out.dat"}), std::vector<std::string>{});
}

TEST_P(AtomicOutputKinds, ReadOnlyFolderKeepsTheOldFile)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    const fs::path folder = dir / "ro";
    if (::geteuid() == 0) {
        // Root writes into folders without write permission: a read-only
        // mount stands in for the folder.
        if (!dir.MountTmpfs(folder, "1m"))
            GTEST_SKIP() << "no tmpfs can be mounted here";
        WriteText(folder / "out.dat", kOld, 0666);
        ASSERT_EQ(::mount("tmpfs", folder.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    } else {
        fs::create_directory(folder);
        WriteText(folder / "out.dat", kOld, 0666);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    // The file itself is writable, the folder is not: an atomic replacement
    // is impossible, and the file is not truncated and half written instead.
    ExpectFailure(kind, m_doc, folder / "out.dat");
    EXPECT_EQ(ReadAll(folder / "out.dat"), kOld);
    EXPECT_EQ(ModeOf(folder / "out.dat"), 0666u);
    EXPECT_EQ(Others(folder, {"out.dat"}), std::vector<std::string>{});
}

// The folder case as an ordinary user meets it, also where the tests run as
// root: a child process that has given up root writes a file it may write in
// a folder it may not.
TEST_P(AtomicOutputKinds, FolderWithoutWritePermissionKeepsTheOldFile)
{
    const OutputKind& kind = GetParam();
    if (::geteuid() != 0)
        GTEST_SKIP() << "ReadOnlyFolderKeepsTheOldFile covers this without root";
    TempDir dir;
    const fs::path folder = dir / "theirs";
    fs::create_directory(folder);
    ::chmod((dir / "").c_str(), 0755);
    ::chmod(folder.c_str(), 0755);   // root's folder: others may not create files in it
    WriteText(folder / "out.dat", kOld, 0666);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 3;
        if (::setgid(65534) == 0 && ::setuid(65534) == 0) {
            try {
                kind.write(m_doc, Q(folder / "out.dat"));
                status = 1;   // reported success
            } catch (const std::exception&) {
                status = 0;
            }
        }
        ::_exit(status);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "root of a user namespace: no other user to become";
    EXPECT_EQ(WEXITSTATUS(status), 0) << kind.name << ": reported success";
    EXPECT_EQ(ReadAll(folder / "out.dat"), kOld);
    EXPECT_EQ(ModeOf(folder / "out.dat"), 0666u);
    EXPECT_EQ(Others(folder, {"out.dat"}), std::vector<std::string>{});
}

TEST_P(AtomicOutputKinds, ReplacesTheTargetKeepingItsPermissions)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    WriteText(dir / "out.dat", kOld, 0640);
    kind.write(m_doc, Q(dir / "out.dat"));
    EXPECT_EQ(ReadAll(dir / "out.dat"), kind.expected(m_doc));
    EXPECT_EQ(ModeOf(dir / "out.dat"), 0640u);

    // A new file gets the usual mode for the umask.
    const mode_t mask = ::umask(027);
    kind.write(m_doc, Q(dir / "new.dat"));
    ::umask(mask);
    EXPECT_EQ(ModeOf(dir / "new.dat"), 0640u);
    EXPECT_EQ(Others(dir / "", {"out.dat", "new.dat"}), std::vector<std::string>{});
}

TEST_P(AtomicOutputKinds, WritesThroughSymbolicLinks)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    fs::create_directory(dir / "links");
    WriteText(dir / "real.dat", kOld, 0604);
    fs::create_symlink("real.dat", dir / "link.dat");             // relative, same folder
    fs::create_symlink("../link.dat", dir / "links/chain.dat");   // a chain from another folder
    fs::create_symlink("made.dat", dir / "dangling.dat");         // names a file not there yet
    const std::string expected = kind.expected(m_doc);

    for (const char* via : {"link.dat", "links/chain.dat"}) {
        SCOPED_TRACE(via);
        std::ofstream(dir / "real.dat", std::ios::trunc) << kOld;
        kind.write(m_doc, Q(dir / via));
        EXPECT_TRUE(fs::is_symlink(dir / "link.dat"));
        EXPECT_TRUE(fs::is_symlink(dir / "links/chain.dat"));
        EXPECT_EQ(ReadAll(dir / "real.dat"), expected);
        EXPECT_EQ(ModeOf(dir / "real.dat"), 0604u);
    }
    kind.write(m_doc, Q(dir / "dangling.dat"));
    EXPECT_TRUE(fs::is_symlink(dir / "dangling.dat"));
    EXPECT_EQ(ReadAll(dir / "made.dat"), expected);
    EXPECT_EQ(Others(dir / "", {"real.dat", "link.dat", "dangling.dat", "made.dat", "links"}),
              std::vector<std::string>{});
    EXPECT_EQ(Others(dir / "links", {"chain.dat"}), std::vector<std::string>{});

    // A loop of links is an error, not a hang.
    fs::create_symlink("loop2.dat", dir / "loop1.dat");
    fs::create_symlink("loop1.dat", dir / "loop2.dat");
    ExpectFailure(kind, m_doc, dir / "loop1.dat");
}

TEST_P(AtomicOutputKinds, AFifoIsWrittenDirectly)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // The read end first, then a write end of our own that keeps the reader
    // from seeing the end before the output under test has even opened the
    // FIFO; closing it after the write ends the reading, whatever the write
    // did to the FIFO.
    const int readFd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(readFd, 0);
    const int keepFd = ::open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(keepFd, 0);
    ::fcntl(readFd, F_SETFL, ::fcntl(readFd, F_GETFL) & ~O_NONBLOCK);
    std::string received;
    std::thread reader([&] {
        char buffer[65536];
        ssize_t n;
        while ((n = ::read(readFd, buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<size_t>(n));
    });
    kind.write(m_doc, Q(fifo));
    ::close(keepFd);
    reader.join();
    ::close(readFd);
    EXPECT_EQ(received, kind.expected(m_doc));
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Others(dir / "", {"pipe"}), std::vector<std::string>{});
}

TEST_P(AtomicOutputKinds, StaleTemporaryFilesOfTheTargetAreRemoved)
{
    const OutputKind& kind = GetParam();
    TempDir dir;
    const std::string prefix = TemporaryNamePrefix("out.dat");
    auto age = [&](const std::string& name, int seconds) {
        WriteText(dir / name.c_str(), "partial", 0600);
        const struct timespec times[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
        ::utimensat(AT_FDCWD, (dir / name.c_str()).c_str(), times, 0);
    };
    age(prefix + "Stale1", 3600);                             // killed an hour ago: removed
    age(prefix + "Fresh1", 10);                               // may still be written: kept
    age(prefix + "Held01", 3600);                             // locked by a running writer: kept
    age(TemporaryNamePrefix("other.dat") + "Stale2", 3600);   // another target's: kept
    age(prefix + "toolong7", 3600);                           // not a name we make: kept
    age("out.dat.backup", 3600);                              // the user's own file: kept
    const bool root = ::geteuid() == 0;
    if (root) {
        age(prefix + "Other1", 3600);   // another user's: kept
        ASSERT_EQ(::chown((dir / (prefix + "Other1").c_str()).c_str(), 65534, 65534), 0);
    }

    // Another process holds the lock, as a running save does.
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const std::string held = (dir / (prefix + "Held01").c_str()).string();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(held.c_str(), O_RDWR);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        char c;
        (void)!::read(release[0], &c, 1);
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, 'y');

    kind.write(m_doc, Q(dir / "out.dat"));

    (void)!::write(release[1], "x", 1);
    ::waitpid(child, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);

    EXPECT_EQ(ReadAll(dir / "out.dat"), kind.expected(m_doc));
    std::vector<std::string> expected = {"out.dat",           prefix + "Fresh1",
                                         prefix + "Held01",   TemporaryNamePrefix("other.dat") + "Stale2",
                                         prefix + "toolong7", "out.dat.backup"};
    if (root)
        expected.push_back(prefix + "Other1");
    std::vector<std::string> left = Others(dir / "", {});
    std::sort(left.begin(), left.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
}

INSTANTIATE_TEST_SUITE_P(EveryOutput, AtomicOutputKinds, ::testing::ValuesIn(Kinds()),
                         [](const ::testing::TestParamInfo<OutputKind>& row) { return std::string(row.param.name); });

// The document file is written by the archive, which throws at its first
// failed write already; the text exports format as they write.
TEST(AtomicOutput, TextFormattingStopsAtTheFirstFailedWrite)
{
    CVexlarDoc doc;
    Fill(doc);
    for (const OutputKind& kind : Kinds()) {
        if (!kind.format)
            continue;
        SCOPED_TRACE(kind.name);
        TempDir dir;
        const fs::path target = dir / "out.dat";
        WriteText(target, kOld, 0644);
        WithFileSizeLimit(64 * 1024, [&] {
            CTextOutput out(Q(target));
            // The error comes out of the formatting itself, not only at Close().
            EXPECT_THROW(kind.format(doc, out), CFileAccessException);
            EXPECT_THROW(out.Close(), CFileAccessException);
        });
        EXPECT_EQ(ReadAll(target), kOld);
        EXPECT_EQ(Others(dir / "", {"out.dat"}), std::vector<std::string>{});
    }
}

TEST(AtomicOutput, TheTemporaryFileIsNamedForItsTargetAndLockedWhileWritten)
{
    TempDir dir;
    {
        CAtomicOutput out((dir / "doc.VEXLAR").string());
        const std::string temporary = out.TemporaryPath();
        EXPECT_EQ(fs::path(temporary).parent_path(), (dir / "doc.VEXLAR").parent_path());
        EXPECT_EQ(fs::path(temporary).filename().string().rfind("doc.VEXLAR.vexlar-tmp-", 0), 0u) << temporary;
        out.Write("abc");
        const int other = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);   // held by the writer
        ::close(other);
        // Even at age 0 a locked temporary file is never taken.
        EXPECT_EQ(RemoveStaleTemporaries((dir / "doc.VEXLAR").string(), std::chrono::seconds(0)), 0);
        EXPECT_FALSE(fs::exists(dir / "doc.VEXLAR"));   // not before Commit
        out.Commit();
        EXPECT_FALSE(fs::exists(temporary));
    }
    EXPECT_EQ(ReadAll(dir / "doc.VEXLAR"), "abc");

    // Abandoned without Commit: nothing changes.
    {
        CAtomicOutput out((dir / "doc.VEXLAR").string());
        out.Write("new content");
    }
    EXPECT_EQ(ReadAll(dir / "doc.VEXLAR"), "abc");
    EXPECT_EQ(Others(dir / "", {"doc.VEXLAR"}), std::vector<std::string>{});

    // A name at the file-name limit still gets a temporary file.
    const std::string longName(255, 'n');
    {
        CAtomicOutput out((dir / longName.c_str()).string());
        out.Write("x");
        out.Commit();
    }
    EXPECT_EQ(ReadAll(dir / longName.c_str()), "x");
}

TEST(AtomicOutput, DescriptorNamesAreWrittenDirectly)
{
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    {
        CAtomicOutput out("/dev/fd/" + std::to_string(fds[1]));
        EXPECT_TRUE(out.IsDirect());
        out.Write("through the pipe");
        out.Commit();
    }
    ::close(fds[1]);
    char buffer[64] = {};
    EXPECT_EQ(::read(fds[0], buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(fds[0]);

    EXPECT_THROW(CAtomicOutput("/dev/fd/987"), CFileAccessException);   // not open
    TempDir dir;
    fs::create_directory(dir / "folder");
    EXPECT_THROW(CAtomicOutput((dir / "folder").string()), CFileAccessException);
    EXPECT_THROW(CAtomicOutput((dir / "missing/x.txt").string()), CFileAccessException);
}

}   // namespace
