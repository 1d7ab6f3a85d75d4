// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/recovery_store.h"

#include <algorithm>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "document/atomic_output.h"
#include "document/document_file.h"
#include "model/errors.h"

namespace {

const QString kPrefix = QStringLiteral("recovered-");
const QString kDocumentSuffix = QStringLiteral(".VEXLAR");
const QString kInfoSuffix = QStringLiteral(".json");
// The largest information file read back: it holds a path and a title.
constexpr qint64 kMaxInfoBytes = 64 * 1024;

QString InfoFileOf(const QString& documentFile)
{
    return documentFile.left(documentFile.size() - kDocumentSuffix.size()) + kInfoSuffix;
}

}   // namespace

CRecoveryStore::CRecoveryStore(QString folder) : m_folder(std::move(folder))
{}

CRecoveryStore::~CRecoveryStore()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

QString CRecoveryStore::DefaultFolder()
{
    // Relative values are invalid by the base-directory rules and ignored.
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return QDir(state).filePath(QStringLiteral("vexlar"));
    return QDir(QDir::homePath()).filePath(QStringLiteral(".local/state/vexlar"));
}

RecoveryEntry CRecoveryStore::Write(const CVexlarDoc& doc, const QString& originalPath, const QString& title)
{
    // The folder holds copies of the user's documents: for the user only.
    if (!QFileInfo::exists(m_folder)) {
        if (!QDir().mkpath(m_folder))
            throw CFileSaveException();
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    RecoveryEntry entry;
    entry.originalPath = originalPath;
    entry.title = title;
    entry.writtenAt = QDateTime::currentSecsSinceEpoch();
    const QString stem = kPrefix +
                         QDateTime::fromSecsSinceEpoch(entry.writtenAt).toString(QStringLiteral("yyyyMMdd-HHmmss")) +
                         QStringLiteral("-%1-").arg(::getpid());
    const QDir dir(m_folder);
    for (int n = 1;; ++n) {
        entry.file = dir.filePath(stem + QString::number(n) + kDocumentSuffix);
        if (!QFileInfo::exists(entry.file) && !QFileInfo::exists(InfoFileOf(entry.file)))
            break;
    }

    // The document first: an entry without its information file is still
    // offered, one without its document is not.
    WriteDocumentFile(doc, entry.file);
    QJsonObject info;
    info.insert(QStringLiteral("path"), originalPath);
    info.insert(QStringLiteral("title"), title);
    info.insert(QStringLiteral("written"), static_cast<qint64>(entry.writtenAt));
    const QByteArray json = QJsonDocument(info).toJson();
    try {
        CAtomicOutput out(QFile::encodeName(InfoFileOf(entry.file)).toStdString());
        out.Write(json.constData(), static_cast<size_t>(json.size()));
        out.Commit();
    } catch (const std::exception&) {
        throw CFileSaveException();
    }
    return entry;
}

std::vector<RecoveryEntry> CRecoveryStore::Entries() const
{
    std::vector<RecoveryEntry> entries;
    const QDir dir(m_folder);
    const QStringList files = dir.entryList({kPrefix + QLatin1Char('*') + kDocumentSuffix}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        RecoveryEntry entry;
        entry.file = dir.filePath(name);
        entry.title = name;
        entry.writtenAt = QFileInfo(entry.file).lastModified().toSecsSinceEpoch();
        QFile infoFile(InfoFileOf(entry.file));
        if (infoFile.open(QIODevice::ReadOnly) && infoFile.size() <= kMaxInfoBytes) {
            const QJsonObject info = QJsonDocument::fromJson(infoFile.read(kMaxInfoBytes)).object();
            if (info.value(QStringLiteral("title")).isString() &&
                !info.value(QStringLiteral("title")).toString().isEmpty())
                entry.title = info.value(QStringLiteral("title")).toString();
            entry.originalPath = info.value(QStringLiteral("path")).toString();
            if (info.value(QStringLiteral("written")).isDouble())
                entry.writtenAt = info.value(QStringLiteral("written")).toInteger();
        }
        entries.push_back(entry);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const RecoveryEntry& a, const RecoveryEntry& b) { return a.writtenAt < b.writtenAt; });
    return entries;
}

void CRecoveryStore::Load(const RecoveryEntry& entry, CVexlarDoc& doc)
{
    OpenDocumentFile(doc, entry.file);
}

void CRecoveryStore::Remove(const RecoveryEntry& entry)
{
    QFile::remove(InfoFileOf(entry.file));
    QFile::remove(entry.file);
}

bool CRecoveryStore::Claim()
{
    if (m_lockFd >= 0)
        return true;
    if (!QFileInfo::exists(m_folder))
        return true;   // nothing stored, nothing to share
    const QByteArray lockPath = QFile::encodeName(QDir(m_folder).filePath(QStringLiteral("offer.lock")));
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;   // a store we cannot lock is still ours to offer
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}
