// SPDX-License-Identifier: GPL-3.0-or-later
// Files and endings that never lose the user's data, through the application
// object: saving through symbolic links, saves and exports that fail on a
// full disk, and SIGTERM, SIGINT and SIGHUP ending the application in order
// with the modified documents kept for the next start, which offers them.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <csignal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/command_ids.h"
#include "app/document_commands.h"
#include "app/session_recovery.h"
#include "app_test_support.h"
#include "document/document_file.h"
#include "document/recovery_store.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

QString StoreFolder()
{
    return CRecoveryStore::DefaultFolder();
}

// A UDP port on loopback where no core answers: the capture thread runs and
// requests captures, but none ever arrives, so the documents hold only what
// the test puts there.
class CSilentCore {
public:
    CSilentCore()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~CSilentCore()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

CSilentCore& SilentCore()
{
    static CSilentCore core;
    return core;
}

std::unique_ptr<CVexlarApp> StartApp(const CSessionRecovery::Ask& ask = {})
{
    auto app = std::make_unique<CVexlarApp>();
    app->m_askRestore = ask;
    if (!app->InitInstance(CoreOptionsFor(SilentCore().Port()))) {
        return nullptr;
    }
    return app;
}

CSignal* AddSignal(CVexlarDoc& doc, const QString& name, int samples)
{
    CSignal* signal = doc.AppendNewSignal();
    signal->m_name = name;
    signal->m_numBits = 16;
    signal->m_allBits = false;
    signal->UpdateMask();
    signal->m_freeze = true;
    signal->EnsureCapacity(samples);
    for (int i = 0; i < samples; ++i) {
        signal->m_samples[i] = static_cast<uint32_t>(i * 7);
    }
    signal->m_count = samples;
    return signal;
}

QStringList SignalNames(const CVexlarDoc& doc)
{
    QStringList names;
    for (const CSignal* signal : doc.m_signals) {
        names << signal->m_name;
    }
    return names;
}

QStringList SignalNamesIn(const QString& path)
{
    CVexlarDoc doc;
    OpenDocumentFile(doc, path);
    return SignalNames(doc);
}

unsigned Mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the restore offer once it is shown: `answer` gets the box. The
// offer appears inside InitInstance; the answer is queued from its show
// event, so that it runs inside the box's own event loop.
class COfferAnswer : public QObject {
public:
    explicit COfferAnswer(std::function<void(QMessageBox*)> answer) : m_answer(std::move(answer))
    {
        qApp->installEventFilter(this);
    }
    bool Seen() const { return m_seen; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (event->type() == QEvent::Show && box && box->objectName() == QLatin1String("RestoreOffer") && !m_seen) {
            m_seen = true;
            QMetaObject::invokeMethod(
                box, [this, box] { m_answer(box); }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    std::function<void(QMessageBox*)> m_answer;
    bool m_seen = false;
};

void Click(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text) {
            button->click();
            return;
        }
    }
    box->close();
}

// Writes with the file size limit at `bytes`: writes beyond it fail as on a
// full disk. The application ignores SIGXFSZ, which would otherwise kill
// this process.
template <typename Fn>
void WithFileSizeLimit(rlim_t bytes, Fn fn)
{
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    struct rlimit limited = old;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    fn();
    setrlimit(RLIMIT_FSIZE, &old);
}

// The ending signal made every event loop quit, and QEventLoop::exec returns
// at once until QCoreApplication::exec has run again (main never gets there
// after that; a test goes on with other applications).
void ForgetTheQuit()
{
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    QCoreApplication::exec();
}

// True once the process has a handler for SIGTERM (its start-up is done).
bool CatchesSigterm(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:")) {
            bool ok = false;
            const qulonglong mask = line.mid(7).trimmed().toULongLong(&ok, 16);
            return ok && (mask & (1ull << (SIGTERM - 1))) != 0;
        }
    }
    return false;
}

}   // namespace

class FileSafetyTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }
    void init() { QDir(StoreFolder()).removeRecursively(); }
    void cleanup() { SetExportPathAsker({}); }

    void saveThroughASymbolicLinkWritesItsTarget_data()
    {
        QTest::addColumn<bool>("saveAs");
        QTest::newRow("Save As onto the link") << true;
        QTest::newRow("opened through the link, then Save") << false;
    }

    void saveThroughASymbolicLinkWritesItsTarget()
    {
        QFETCH(bool, saveAs);
        auto app = StartApp();
        QVERIFY(app);
        CDocumentManager* documents = app->Documents();
        QTemporaryDir dir;
        const QString real = dir.filePath(QStringLiteral("real.VEXLAR"));
        const QString link = dir.filePath(QStringLiteral("link.VEXLAR"));
        {
            CVexlarDoc old;
            AddSignal(old, QStringLiteral("old"), 4);
            SaveDocumentFile(old, real);
        }
        ::chmod(QFile::encodeName(real).constData(), 0640);
        QVERIFY(QFile::link(QStringLiteral("real.VEXLAR"), link));

        CVexlarDoc* doc = nullptr;
        if (saveAs) {
            doc = FirstDocument(*app);
            documents->m_askSavePath = [&](const QString&) { return link; };
        } else {
            doc = documents->OpenDocument(link);
        }
        QVERIFY(doc);
        AddSignal(*doc, QStringLiteral("new"), 4);
        doc->SetModifiedFlag();
        QVERIFY(saveAs ? documents->SaveDocumentAs(doc) : documents->SaveDocument(doc));

        QVERIFY2(QFileInfo(link).isSymLink(), "the link was replaced by a file");
        QVERIFY(SignalNamesIn(real).contains(QStringLiteral("new")));
        QCOMPARE(Mode(real), 0640u);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);
        QVERIFY(!doc->IsModified());

        // Saved once more: still through the link.
        AddSignal(*doc, QStringLiteral("again"), 4);
        doc->SetModifiedFlag();
        QVERIFY(documents->SaveDocument(doc));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(SignalNamesIn(real).contains(QStringLiteral("again")));
    }

    void aFullDiskKeepsTheOldFileAndSaysSo_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("message");
        QTest::newRow("Save") << int(ID_FILE_SAVE) << QStringLiteral("Failed to save document.");
        QTest::newRow("Export") << int(ID_FILE_EXPORT) << QStringLiteral("Failed to write file.");
        QTest::newRow("Export VCD") << int(ID_FILE_EXPORT_VCD) << QStringLiteral("Failed to write file.");
        QTest::newRow("Export Testbench")
            << int(ID_SIGNALS_EXPORT_TESTBENCH) << QStringLiteral("Failed to write file.");
        QTest::newRow("Export Selected") << int(ID_SIGNALS_EXPORT_SELECTED) << QStringLiteral("Failed to write file.");
    }

    void aFullDiskKeepsTheOldFileAndSaysSo()
    {
        QFETCH(int, command);
        QFETCH(QString, message);
        auto app = StartApp();
        QVERIFY(app);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("target"));
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old content\n");
        old.close();
        ::chmod(QFile::encodeName(target).constData(), 0604);

        CVexlarDoc* doc = FirstDocument(*app);
        CDocumentManager* documents = app->Documents();
        doc->RemoveAllSignals();   // the first signal is the one the testbench writes
        if (command == ID_FILE_SAVE) {
            documents->m_askSavePath = [&](const QString&) { return target; };
            QVERIFY(documents->SaveDocumentAs(doc));   // the document's file from now on
            QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
            old.write("the old content\n");
            old.close();
        }
        AddSignal(*doc, QStringLiteral("big"), 200000)->m_selected = true;   // megabytes in every format
        doc->SetModifiedFlag();
        SetExportPathAsker([&](QWidget*, const ExportTarget&) { return target; });
        QStringList errors;
        documents->m_showError = [&](const QString& text) { errors << text; };
        QString shown;
        QTimer::singleShot(0, app->MainFrame(), [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown = box->text();
                box->close();
            }
        });
        WithFileSizeLimit(64 * 1024, [&] { app->MainFrame()->Action(command)->trigger(); });

        errors << shown;
        QVERIFY2(errors.join(QLatin1Char('|')).startsWith(message), qPrintable(errors.join(QLatin1Char('|'))));
        QCOMPARE(ReadAll(target), QByteArray("the old content\n"));
        QCOMPARE(Mode(target), 0604u);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);   // no temporary file left
        if (command == ID_FILE_SAVE) {
            QVERIFY(doc->IsModified());
        }
    }

    void anEndingSignalKeepsTheModifiedDocumentsForTheNextStart_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void anEndingSignalKeepsTheModifiedDocumentsForTheNextStart()
    {
        QFETCH(int, signalNumber);
        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("saved.VEXLAR"));
        {
            CVexlarDoc doc;
            AddSignal(doc, QStringLiteral("on disk"), 8);
            SaveDocumentFile(doc, saved);
        }
        const QByteArray savedBytes = ReadAll(saved);

        int asked = 0;
        auto app = StartApp([&](const std::vector<RecoveryEntry>&) {
            ++asked;
            return CSessionRecovery::Choice::Later;
        });
        QVERIFY(app);
        QCOMPARE(asked, 0);   // nothing kept: no question
        CDocumentManager* documents = app->Documents();
        CVexlarDoc* untitled = FirstDocument(*app);
        AddSignal(*untitled, QStringLiteral("never saved"), 1000);
        untitled->SetModifiedFlag();
        CVexlarDoc* opened = documents->OpenDocument(saved);
        QVERIFY(opened);
        opened->m_signals.front()->m_name = QStringLiteral("renamed");
        opened->SetModifiedFlag();
        documents->NewDocument();   // unmodified: nothing to keep
        QVERIFY(app->m_link.IsRunning());

        ::raise(signalNumber);   // the handler only writes to its pipe; the event loop does the rest
        QVERIFY(WaitFor([&] { return app->TerminationSignal() == signalNumber; }));

        const std::vector<RecoveryEntry> kept = CRecoveryStore(StoreFolder()).Entries();
        QCOMPARE(kept.size(), size_t(2));
        QStringList titles;
        for (const RecoveryEntry& entry : kept) {
            titles << entry.title + QLatin1Char('=') + QFileInfo(entry.originalPath).fileName();
        }
        titles.sort();
        QCOMPARE(titles, QStringList({QStringLiteral("Vexlar1="), QStringLiteral("saved.VEXLAR=saved.VEXLAR")}));
        QCOMPARE(ReadAll(saved), savedBytes);   // the user's file is not saved over unasked

        app->ExitInstance();   // what main does when the event loop has returned
        QVERIFY(!app->m_link.IsRunning());
        app.reset();
        ForgetTheQuit();

        // The next start offers them; Restore opens them as they were.
        std::vector<RecoveryEntry> offered;
        app = StartApp([&](const std::vector<RecoveryEntry>& entries) {
            offered = entries;
            return CSessionRecovery::Choice::Restore;
        });
        QVERIFY(app);
        QCOMPARE(offered.size(), size_t(2));
        documents = app->Documents();
        const std::vector<CVexlarDoc*> docs = documents->Documents();
        QCOMPARE(docs.size(), size_t(3));   // the start-up document and the two restored
        CVexlarDoc* restoredUntitled = nullptr;
        CVexlarDoc* restoredSaved = nullptr;
        for (CVexlarDoc* doc : docs) {
            if (SignalNames(*doc).contains(QStringLiteral("never saved"))) {
                restoredUntitled = doc;
            } else if (SignalNames(*doc).contains(QStringLiteral("renamed"))) {
                restoredSaved = doc;
            }
        }
        QVERIFY(restoredUntitled && restoredSaved);
        QVERIFY(restoredUntitled->IsModified() && restoredSaved->IsModified());
        QCOMPARE(restoredUntitled->m_signals.back()->m_count, 1000);
        QVERIFY(documents->PathOf(restoredUntitled).isEmpty());
        QCOMPARE(documents->PathOf(restoredSaved), QFileInfo(saved).canonicalFilePath());
        // Kept until each is saved or discarded: an ending without
        // questions now would still leave them for the next start.
        QCOMPARE(CRecoveryStore(StoreFolder()).Entries().size(), size_t(2));

        // Saving the restored document writes its own file and drops its entry.
        QVERIFY(documents->SaveDocument(restoredSaved));
        QCOMPARE(SignalNamesIn(saved).front(), QStringLiteral("renamed"));
        const std::vector<RecoveryEntry> left = CRecoveryStore(StoreFolder()).Entries();
        QCOMPARE(left.size(), size_t(1));
        QVERIFY(left.front().originalPath.isEmpty());
        // Closing the other one with "Discard" drops the last entry.
        documents->m_askSave = [](const QString&) { return CDocumentManager::SaveChoice::Discard; };
        QVERIFY(documents->CloseDocument(restoredUntitled));
        QVERIFY(CRecoveryStore(StoreFolder()).Entries().empty());
        app.reset();

        // Nothing left to offer.
        asked = 0;
        app = StartApp([&](const std::vector<RecoveryEntry>&) {
            ++asked;
            return CSessionRecovery::Choice::Restore;
        });
        QVERIFY(app);
        QCOMPARE(asked, 0);
    }

    void theOfferCanBeDiscardedOrPutOff()
    {
        {
            CVexlarDoc doc;
            AddSignal(doc, QStringLiteral("kept"), 4);
            CRecoveryStore(StoreFolder()).Write(doc, QString(), QStringLiteral("Vexlar3"));
        }
        // Closed without an answer: asked again next time.
        {
            COfferAnswer answer([](QMessageBox* box) { box->close(); });
            auto app = StartApp();
            QVERIFY(app);
            QVERIFY(answer.Seen());
            QCOMPARE(app->Documents()->Documents().size(), size_t(1));
            QCOMPARE(CRecoveryStore(StoreFolder()).Entries().size(), size_t(1));
        }
        // Discard: removed, nothing opened.
        {
            COfferAnswer answer([](QMessageBox* box) { Click(box, QStringLiteral("&Discard")); });
            auto app = StartApp();
            QVERIFY(app);
            QVERIFY(answer.Seen());
            QCOMPARE(app->Documents()->Documents().size(), size_t(1));
            QVERIFY(CRecoveryStore(StoreFolder()).Entries().empty());
            QVERIFY(QDir(StoreFolder()).entryList({QStringLiteral("recovered-*")}, QDir::Files).isEmpty());
        }
        // Restore through the box: the document comes back, modified. The
        // application then ends without asking (as after a crash): the entry
        // is offered again.
        {
            CVexlarDoc doc;
            AddSignal(doc, QStringLiteral("kept"), 4);
            CRecoveryStore(StoreFolder()).Write(doc, QString(), QStringLiteral("Vexlar3"));
        }
        const QString first = CRecoveryStore(StoreFolder()).Entries().front().file;
        for (int round = 0; round < 2; ++round) {
            COfferAnswer answer([](QMessageBox* box) { Click(box, QStringLiteral("&Restore")); });
            auto app = StartApp();
            QVERIFY(app);
            QVERIFY(answer.Seen());
            const auto docs = app->Documents()->Documents();
            QCOMPARE(docs.size(), size_t(2));
            QVERIFY(SignalNames(*docs.back()).contains(QStringLiteral("kept")));
            QVERIFY(docs.back()->IsModified());
            QCOMPARE(CRecoveryStore(StoreFolder()).Entries().size(), size_t(1));
        }
        // Restored, then SIGTERM: written to a new entry, which replaces the old.
        {
            COfferAnswer answer([](QMessageBox* box) { Click(box, QStringLiteral("&Restore")); });
            auto app = StartApp();
            QVERIFY(app);
            QVERIFY(answer.Seen());
            ::raise(SIGTERM);
            QVERIFY(WaitFor([&] { return app->TerminationSignal() == SIGTERM; }));
            const std::vector<RecoveryEntry> kept = CRecoveryStore(StoreFolder()).Entries();
            QCOMPARE(kept.size(), size_t(1));
            QVERIFY(kept.front().file != first);
            app.reset();
            ForgetTheQuit();
        }
    }

    void aScreenshotRunLeavesTheKeptDocumentsAlone()
    {
        // Nobody answers a question in a screenshot run: it must not wait
        // for one, and the kept document stays for the next start.
        {
            CVexlarDoc doc;
            AddSignal(doc, QStringLiteral("kept"), 4);
            CRecoveryStore(StoreFolder()).Write(doc, QString(), QStringLiteral("Vexlar1"));
        }
        QTemporaryDir dir;
        const QString shot = dir.filePath(QStringLiteral("shot.png"));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_STATE_HOME"), StateDir().path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), SettingsDir().path());
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(VEXLAR_EXECUTABLE),
                      {QStringLiteral("--core"), QStringLiteral("127.0.0.1:%1").arg(SilentCore().Port()),
                       QStringLiteral("--screenshot"), shot, QStringLiteral("--screenshot-delay"),
                       QStringLiteral("200")});
        QVERIFY(process.waitForStarted(10000));
        QVERIFY2(process.waitForFinished(30000), "still running: waiting for an answer?");
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(QFileInfo(shot).size() > 0);
        QCOMPARE(CRecoveryStore(StoreFolder()).Entries().size(), size_t(1));
    }

    void theRealApplicationEndsInOrderOnSigterm()
    {
        // Second round: a kept document makes the start-up ask, and SIGTERM
        // arrives while that question is open and nobody can answer it.
        for (bool withQuestion : {false, true}) {
            if (!withQuestion) {
                QDir(StoreFolder()).removeRecursively();
            } else {
                CVexlarDoc doc;
                AddSignal(doc, QStringLiteral("kept"), 4);
                CRecoveryStore(StoreFolder()).Write(doc, QString(), QStringLiteral("Vexlar1"));
            }
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("XDG_STATE_HOME"), StateDir().path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), SettingsDir().path());
            process.setProcessEnvironment(env);
            process.start(QStringLiteral(VEXLAR_EXECUTABLE),
                          {QStringLiteral("--core"), QStringLiteral("127.0.0.1:%1").arg(SilentCore().Port())});
            QVERIFY(process.waitForStarted(10000));
            QVERIFY(WaitFor([&] { return CatchesSigterm(process.processId()); }, 20000));
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            QVERIFY(process.waitForFinished(20000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);   // not killed by the signal
            QCOMPARE(process.exitCode(), 128 + SIGTERM);
            // The question was put off, not answered: the entry is still there.
            QCOMPARE(CRecoveryStore(StoreFolder()).Entries().size(), size_t(withQuestion ? 1 : 0));
        }
    }
};

QTEST_MAIN(FileSafetyTest)
#include "file_safety_test.moc"
