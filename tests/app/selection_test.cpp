// SPDX-License-Identifier: GPL-3.0-or-later
// The "Select FPGA" core selection at start-up. Discovery is restricted to
// the adapter 127.0.0.1: its broadcast stays on the loopback interface. The
// cores' discovery replies come from a responder of this test, so that their
// order is known; the cores themselves are simulated on loopback.

#include <QCommandLinkButton>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "app/command_ids.h"
#include "app/select_fpga_dialog.h"
#include "app_test_support.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

constexpr uint32_t kOtherCoreId = 0x0BADC0DE;

// Answers discovery requests from 127.0.0.1 with a fixed list of replies, in
// list order, and counts the requests.
class DiscoveryResponder {
public:
    struct Reply {
        uint32_t coreId;
        uint16_t port;
    };

    bool Start()
    {
        m_socket = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (m_socket < 0) {
            return false;
        }
        const int on = 1;
        ::setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        timeval timeout{0, 20000};
        ::setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(DISCOVERY_PORT);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(m_socket);
            m_socket = -1;
            return false;
        }
        m_thread = std::thread([this] { Loop(); });
        return true;
    }

    ~DiscoveryResponder()
    {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
        if (m_socket >= 0) {
            ::close(m_socket);
        }
    }

    void SetReplies(std::vector<Reply> replies)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_replies = std::move(replies);
    }
    int Requests() const { return m_requests.load(); }

private:
    void Loop()
    {
        uint8_t buffer[64];
        while (!m_stop) {
            sockaddr_in sender{};
            socklen_t length = sizeof sender;
            const ssize_t n =
                ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &length);
            // only requests of this machine's loopback are answered
            if (n < 1 || buffer[0] != 0x56 || sender.sin_addr.s_addr != htonl(INADDR_LOOPBACK)) {
                continue;
            }
            ++m_requests;
            std::vector<Reply> replies;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                replies = m_replies;
            }
            for (const Reply& reply : replies) {
                const uint8_t datagram[8] = {0x57,
                                             1,
                                             uint8_t(reply.coreId >> 24),
                                             uint8_t(reply.coreId >> 16),
                                             uint8_t(reply.coreId >> 8),
                                             uint8_t(reply.coreId),
                                             uint8_t(reply.port >> 8),
                                             uint8_t(reply.port)};
                ::sendto(m_socket, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&sender), sizeof sender);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    int m_socket = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    std::mutex m_lock;
    std::vector<Reply> m_replies;
    std::thread m_thread;
};

CommandLineOptions LoopbackDiscovery()
{
    CommandLineOptions options;
    options.adapters = QStringList{QStringLiteral("127.0.0.1")};
    return options;
}

QList<int> CoreLinkIds(const CSelectFpgaDialog& dialog)
{
    QList<int> ids;
    for (QCommandLinkButton* link : dialog.Links()) {
        ids << CSelectFpgaDialog::IdOf(link);
    }
    return ids;
}

QString PortText(const coresim::CoreSimulator& core)
{
    return QStringLiteral("127.0.0.1:%1").arg(core.CapturePort());
}

}   // namespace

class SelectionTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }

    void theDialogOffersTheLogicAnalyzerCoresInAnswerOrder()
    {
        auto first = StartCore();
        auto second = StartCore();
        QVERIFY(first && second);
        DiscoveryResponder responder;
        QVERIFY(responder.Start());
        // the second core answers first, the core of another kind in between
        responder.SetReplies({{LOGIC_ANALYZER_CORE_ID, uint16_t(second->CapturePort())},
                              {kOtherCoreId, 7777},
                              {LOGIC_ANALYZER_CORE_ID, uint16_t(first->CapturePort())}});

        CVexlarApp app;
        QStringList texts;
        QList<int> ids;
        QString title, instruction;
        bool linkRunningAtDialog = true;
        bool hasCancel = false;
        QStringList progressSeen;
        int requestsAtDialog = -1;
        // watch the window while the passes run and answer the real dialog
        QTimer watcher;
        watcher.setInterval(50);
        connect(&watcher, &QTimer::timeout, [&] {
            if (app.MainFrame()) {
                progressSeen << app.MainFrame()->MessagePane()->text();
            }
            auto* dialog = qobject_cast<CSelectFpgaDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) {
                return;
            }
            watcher.stop();
            requestsAtDialog = responder.Requests();
            linkRunningAtDialog = app.m_link.IsRunning();
            title = dialog->windowTitle();
            instruction = dialog->findChild<QLabel*>(QStringLiteral("MainInstruction"))->text();
            auto* box = dialog->findChild<QDialogButtonBox*>();
            hasCancel = box && box->button(QDialogButtonBox::Cancel);
            ids = CoreLinkIds(*dialog);
            for (QCommandLinkButton* link : dialog->Links()) {
                texts << link->text();
            }
            dialog->Link(IDC_FIRST_CORE_LINK + 1)->click();   // the second core offered
        });
        watcher.start();
        QVERIFY(app.InitInstance(LoopbackDiscovery()));

        QCOMPARE(title, QStringLiteral("Select FPGA"));
        QCOMPARE(instruction, QStringLiteral("Select wanted FPGA/Logic Analyzer"));
        QVERIFY(hasCancel);
        QCOMPARE(ids, (QList<int>{10, 11, IDC_DEMO_CORE_LINK}));
        QCOMPARE(texts, (QStringList{PortText(*second), PortText(*first), "Demo core (simulated)"}));
        QVERIFY(!linkRunningAtDialog);
        QCOMPARE(requestsAtDialog, 4);   // two passes over one adapter, two requests each
        QVERIFY2(progressSeen.filter(QStringLiteral("Searching")).size() >= 2,
                 "the window went on running during the discovery passes");
        QCOMPARE(app.MainFrame()->MessagePane()->text(), QStringLiteral("Ready"));

        // the second link is the first core; the thread connects to it
        // without a discovery of its own
        QVERIFY(app.m_link.IsRunning());
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() >= 3; }));
        QCOMPARE(app.m_link.CorePort(), first->CapturePort());
        QVERIFY(first->CapturesSent() >= 3);
        QCOMPARE(second->RequestsAccepted(), 0u);
        QCOMPARE(responder.Requests(), 4);
        QCOMPARE(app.SelectionScanPasses(), 2);
    }

    void cancelStartsNothing()
    {
        auto core = StartCore();
        QVERIFY(core);
        DiscoveryResponder responder;
        QVERIFY(responder.Start());
        responder.SetReplies({{LOGIC_ANALYZER_CORE_ID, uint16_t(core->CapturePort())}});

        CVexlarApp app;
        QList<int> ids;
        app.m_runSelectDialog = [&](CSelectFpgaDialog& dialog) {
            ids = CoreLinkIds(dialog);
            return IDCANCEL;
        };
        QVERIFY(app.InitInstance(LoopbackDiscovery()));
        QCOMPARE(ids, (QList<int>{10, IDC_DEMO_CORE_LINK}));
        QVERIFY(!app.m_link.IsRunning());
        QTest::qWait(300);
        QCOMPARE(core->RequestsAccepted(), 0u);
        QCOMPARE(responder.Requests(), 4);
        QVERIFY(!app.DemoCore());
    }

    void withoutALogicAnalyzerTheSearchingThreadRunsBeforeTheDialog()
    {
        auto core = StartCore();
        QVERIFY(core);
        DiscoveryResponder responder;
        QVERIFY(responder.Start());
        responder.SetReplies({{kOtherCoreId, 7777}});   // only a core of another kind

        CVexlarApp app;
        bool runningAtDialog = false;
        QList<int> ids;
        app.m_runSelectDialog = [&](CSelectFpgaDialog& dialog) {
            runningAtDialog = app.m_link.IsRunning();
            ids = CoreLinkIds(dialog);
            return IDCANCEL;
        };
        QVERIFY(app.InitInstance(LoopbackDiscovery()));
        QVERIFY(runningAtDialog);
        QCOMPARE(ids, (QList<int>{IDC_DEMO_CORE_LINK}));   // no core to choose
        QVERIFY(app.m_link.IsRunning());                   // Cancel changed nothing

        // the thread goes on searching (on 127.0.0.1 only) and takes the
        // first logic-analyzer core that answers
        responder.SetReplies({{kOtherCoreId, 7777}, {LOGIC_ANALYZER_CORE_ID, uint16_t(core->CapturePort())}});
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() >= 1; }, 10000));
        QCOMPARE(app.m_link.CorePort(), core->CapturePort());
    }

    void exitWhileTheThreadSearchesEndsWithinADiscoveryPass()
    {
        DiscoveryResponder responder;   // answers nothing, counts the requests
        QVERIFY(responder.Start());
        auto app = std::make_unique<CVexlarApp>();
        app->m_runSelectDialog = [](CSelectFpgaDialog&) { return IDCANCEL; };
        QVERIFY(app->InitInstance(LoopbackDiscovery()));
        QVERIFY(app->m_link.IsRunning());
        const int selectionRequests = responder.Requests();
        // the thread's own search is under way on 127.0.0.1
        QVERIFY(WaitFor([&] { return responder.Requests() > selectionRequests; }, 5000));
        QElapsedTimer timer;
        timer.start();
        app->ExitInstance();
        const qint64 elapsed = timer.elapsed();
        qInfo("exit with the thread searching took %lld ms", static_cast<long long>(elapsed));
        QVERIFY(!app->m_link.IsRunning());
        QVERIFY2(elapsed < 2500, qPrintable(QStringLiteral("exit took %1 ms").arg(elapsed)));
    }

    void closingTheWindowDuringTheSearchEndsItWithoutADialog()
    {
        CVexlarApp app;
        bool dialogShown = false;
        app.m_runSelectDialog = [&](CSelectFpgaDialog&) {
            dialogShown = true;
            return IDCANCEL;
        };
        QElapsedTimer sinceClose;
        QTimer::singleShot(300, [&] {
            sinceClose.start();
            app.MainFrame()->close();
        });
        QVERIFY(app.InitInstance(LoopbackDiscovery()));
        QVERIFY(sinceClose.isValid());
        QVERIFY2(sinceClose.elapsed() < 1500, "the search ends soon after the window closed");
        QVERIFY(app.MainFrameClosed());
        QVERIFY(!dialogShown);
        QVERIFY(!app.m_link.IsRunning());
    }

    void theDemoCoreChosenWhileTheThreadSearchesIsFoundOnLoopback()
    {
        DiscoveryResponder responder;   // holds nothing but keeps the count
        QVERIFY(responder.Start());
        CVexlarApp app;
        app.m_runSelectDialog = [&](CSelectFpgaDialog&) { return IDC_DEMO_CORE_LINK; };
        QVERIFY(app.InitInstance(LoopbackDiscovery()));
        QVERIFY(app.DemoCore());
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() >= 2; }, 10000));
        QCOMPARE(app.m_link.CorePort(), app.DemoCore()->CapturePort());
    }
};

QTEST_MAIN(SelectionTest)
#include "selection_test.moc"
