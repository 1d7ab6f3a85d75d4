// SPDX-License-Identifier: GPL-3.0-or-later
// The store of recovery files: where it lives, what an entry holds, entries
// whose information file is missing or broken, and the lock that lets only
// one starting application offer the entries.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include <QDir>

#include "document/document_file.h"
#include "document/recovery_store.h"
#include "document/vexlar_doc.h"

namespace fs = std::filesystem;

namespace {

class RecoveryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vexlar-recovery-XXXXXX";
        m_dir = ::mkdtemp(pattern);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    QString Folder() const { return QString::fromStdString((m_dir / "state" / "vexlar").string()); }

    fs::path m_dir;
};

TEST_F(RecoveryStore, FolderFollowsXdgStateHome)
{
    const char* old = std::getenv("XDG_STATE_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_STATE_HOME", "/somewhere/state", 1);
    EXPECT_EQ(CRecoveryStore::DefaultFolder(), QStringLiteral("/somewhere/state/vexlar"));
    // A relative value is invalid and ignored, as an unset one.
    ::setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(CRecoveryStore::DefaultFolder(), QDir::homePath() + QStringLiteral("/.local/state/vexlar"));
    ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(CRecoveryStore::DefaultFolder(), QDir::homePath() + QStringLiteral("/.local/state/vexlar"));
    if (old)
        ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
}

TEST_F(RecoveryStore, AnEntryIsTheDocumentWithItsPathAndTitle)
{
    CRecoveryStore store(Folder());
    EXPECT_TRUE(store.Entries().empty());   // no folder yet

    CVexlarDoc doc;
    doc.m_signals.front()->m_name = QStringLiteral("kept");
    doc.SetModifiedFlag();
    const RecoveryEntry first = store.Write(doc, QStringLiteral("/data/run.VEXLAR"), QStringLiteral("run.VEXLAR"));
    const RecoveryEntry second = store.Write(doc, QString(), QStringLiteral("Vexlar2"));
    EXPECT_TRUE(doc.IsModified());   // a copy, not the document's file
    EXPECT_NE(first.file, second.file);

    struct stat st {};
    ASSERT_EQ(::stat(Folder().toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);   // copies of the user's documents

    const std::vector<RecoveryEntry> entries = store.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].file, first.file);
    EXPECT_EQ(entries[0].originalPath, QStringLiteral("/data/run.VEXLAR"));
    EXPECT_EQ(entries[0].title, QStringLiteral("run.VEXLAR"));
    EXPECT_TRUE(entries[1].originalPath.isEmpty());
    EXPECT_EQ(entries[1].title, QStringLiteral("Vexlar2"));

    // The entry is an ordinary document file.
    CVexlarDoc back;
    CRecoveryStore::Load(entries[0], back);
    EXPECT_EQ(back.m_signals.front()->m_name, QStringLiteral("kept"));

    CRecoveryStore::Remove(entries[0]);
    ASSERT_EQ(store.Entries().size(), 1u);
    EXPECT_EQ(store.Entries()[0].file, second.file);
}

TEST_F(RecoveryStore, MissingOrBrokenInformationStillOffersTheDocument)
{
    CRecoveryStore store(Folder());
    CVexlarDoc doc;
    const RecoveryEntry a = store.Write(doc, QStringLiteral("/a.VEXLAR"), QStringLiteral("a.VEXLAR"));
    const RecoveryEntry b = store.Write(doc, QStringLiteral("/b.VEXLAR"), QStringLiteral("b.VEXLAR"));
    const RecoveryEntry c = store.Write(doc, QStringLiteral("/c.VEXLAR"), QStringLiteral("c.VEXLAR"));
    auto info = [](const RecoveryEntry& e) {
        std::string path = e.file.toStdString();
        return path.substr(0, path.size() - 7) + ".json";
    };
    fs::remove(info(a));                                                     // killed between the two files
    std::ofstream(info(b), std::ios::trunc) << "[1, 2, \"not an object\"";   // truncated JSON
    std::ofstream(info(c), std::ios::trunc) << std::string(200000, '{');     // far too large

    const std::vector<RecoveryEntry> entries = store.Entries();
    ASSERT_EQ(entries.size(), 3u);
    for (const RecoveryEntry& e : entries) {
        EXPECT_TRUE(e.originalPath.isEmpty()) << e.file.toStdString();
        EXPECT_TRUE(e.title.startsWith(QStringLiteral("recovered-"))) << e.title.toStdString();
    }
    // Files of other names in the folder are not entries.
    std::ofstream(fs::path(Folder().toStdString()) / "notes.VEXLAR") << "x";
    EXPECT_EQ(store.Entries().size(), 3u);
}

TEST_F(RecoveryStore, OnlyOneStoreObjectClaimsTheEntries)
{
    CRecoveryStore first(Folder());
    CVexlarDoc doc;
    first.Write(doc, QString(), QStringLiteral("Vexlar1"));
    CRecoveryStore second(Folder());
    EXPECT_TRUE(first.Claim());
    EXPECT_TRUE(first.Claim());     // again: still ours
    EXPECT_FALSE(second.Claim());   // as another running application
    {
        CRecoveryStore third(Folder());
        EXPECT_FALSE(third.Claim());
    }
}

}   // namespace
