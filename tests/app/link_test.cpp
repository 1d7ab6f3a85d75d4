// SPDX-License-Identifier: GPL-3.0-or-later
// The application and its capture link against simulated cores on loopback:
// start-up with a named core, the demo core, Run and Trig Now, several
// documents, and exit while the capture thread waits for data.

#include <QAction>
#include <QElapsedTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/command_ids.h"
#include "app_test_support.h"

using namespace VexlarCmd;
using namespace apptest;

namespace {

// The capture id whose test pattern the signal holds, or -1.
int PatternCaptureOf(const CSignal* signal, int highestId)
{
    if (!signal || signal->m_count != 4096) {
        return -1;
    }
    for (int id = 1; id <= highestId; ++id) {
        bool all = true;
        for (int i = 0; i < signal->m_count && all; ++i) {
            all = signal->m_samples[i] == coresim::PatternWord(static_cast<uint16_t>(id), static_cast<uint32_t>(i));
        }
        if (all) {
            return id;
        }
    }
    return -1;
}

// Waits until the link has not completed a capture for quietMs.
void WaitUntilQuiet(CCaptureLink& link, int quietMs)
{
    uint64_t last = link.CompletedCaptures();
    QElapsedTimer quiet;
    quiet.start();
    QElapsedTimer total;
    total.start();
    while (quiet.elapsed() < quietMs && total.elapsed() < 5000) {
        QTest::qWait(10);
        if (link.CompletedCaptures() != last) {
            last = link.CompletedCaptures();
            quiet.restart();
        }
    }
}

}   // namespace

class LinkTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }

    void aCoreOnTheCommandLineFillsTheFirstDocument()
    {
        auto core = StartCore();
        QVERIFY(core);
        CVexlarApp app;
        QVERIFY(app.InitInstance(CoreOptionsFor(core->CapturePort())));
        QVERIFY(app.m_link.IsRunning());
        CVexlarDoc* doc = FirstDocument(app);
        QVERIFY(doc);
        // the first capture arrives at the link (no event is processed meanwhile)...
        QVERIFY(WaitWithoutEvents([&] { return app.m_link.FrontCaptureId() != 0; }));
        QCOMPARE(FirstSignal(doc)->m_count, 0);
        // ... and a few 10 ms ticks later it is in the document
        QTest::qWait(60);
        QVERIFY(PatternCaptureOf(FirstSignal(doc), static_cast<int>(core->CapturesSent()) + 1) > 0);
        QCOMPARE(doc->m_triggerPos, 2048);
        QCOMPARE(app.m_link.CoreAddress(), std::string("127.0.0.1"));
        QCOMPARE(app.m_link.CorePort(), core->CapturePort());
        QVERIFY(doc->IsModified());   // a new document is live: the captures it took are unsaved
    }

    void theDemoLinkBringsCaptures()
    {
        CVexlarApp app;
        CommandLineOptions options;
        options.demo = true;
        QVERIFY(app.InitInstance(options));
        QVERIFY(app.DemoCore());
        QCOMPARE(app.DemoCore()->DiscoveryPort(), 0);   // nothing announced anywhere
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() >= 3; }));
        QCOMPARE(app.m_link.CorePort(), app.DemoCore()->CapturePort());
        QVERIFY(app.DemoCore()->CapturesSent() >= 3);
        QVERIFY(WaitFor([&] {
            return PatternCaptureOf(FirstSignal(FirstDocument(app)),
                                    static_cast<int>(app.DemoCore()->CapturesSent()) + 1) > 0;
        }));
    }

    void runOffStopsRequestsAndTrigNowBringsExactlyOneCapture()
    {
        auto core = StartCore();
        QVERIFY(core);
        CVexlarApp app;
        QVERIFY(app.InitInstance(CoreOptionsFor(core->CapturePort())));
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() >= 2; }));

        app.MainFrame()->Action(ID_TRIG_RUN)->trigger();
        QVERIFY(!app.MainFrame()->Action(ID_TRIG_RUN)->isChecked());
        WaitUntilQuiet(app.m_link, 300);   // a capture in flight may still complete
        const uint64_t completed = app.m_link.CompletedCaptures();
        const uint32_t sent = core->CapturesSent();
        const uint32_t accepted = core->RequestsAccepted();
        QTest::qWait(400);
        QCOMPARE(app.m_link.CompletedCaptures(), completed);
        QCOMPARE(core->RequestsAccepted(), accepted);

        app.MainFrame()->Action(ID_TRIG_NOW)->trigger();
        QVERIFY(WaitFor([&] { return app.m_link.CompletedCaptures() == completed + 1; }));
        QTest::qWait(400);
        QCOMPARE(app.m_link.CompletedCaptures(), completed + 1);
        QCOMPARE(core->CapturesSent(), sent + 1);
        // the one capture reaches the document
        const int id = app.m_link.FrontCaptureId();
        QVERIFY(WaitFor([&] { return PatternCaptureOf(FirstSignal(FirstDocument(app)), id) == id; }));
    }

    void twoDocumentsBothReceiveEveryCapture()
    {
        auto core = StartCore();
        QVERIFY(core);
        CVexlarApp app;
        QVERIFY(app.InitInstance(CoreOptionsFor(core->CapturePort())));
        app.OnFileNew();
        const auto docs = app.Documents()->Documents();
        QCOMPARE(docs.size(), size_t(2));
        // the second document looks at a bit field of its own
        CSignal* bus = docs[1]->m_signals.front();
        bus->m_numBits = 8;
        bus->m_firstBit = 1;
        bus->m_allBits = false;
        bus->UpdateMask();

        app.MainFrame()->Action(ID_TRIG_RUN)->trigger();
        WaitUntilQuiet(app.m_link, 300);
        for (int round = 0; round < 3; ++round) {
            const int before = app.m_link.FrontCaptureId();
            app.OnTrigNow();
            QVERIFY(WaitFor([&] { return app.m_link.FrontCaptureId() != before; }));
            const int id = app.m_link.FrontCaptureId();
            QVERIFY2(WaitFor([&] { return PatternCaptureOf(FirstSignal(docs[0]), id) == id; }), "first document");
            QVERIFY2(WaitFor([&] {
                         const CSignal* s = FirstSignal(docs[1]);
                         if (!s || s->m_count != 4096) {
                             return false;
                         }
                         for (int i = 0; i < s->m_count; ++i) {
                             const uint32_t word =
                                 coresim::PatternWord(static_cast<uint16_t>(id), static_cast<uint32_t>(i));
                             if (s->m_samples[i] != ((word >> 1) & 0xFFu)) {
                                 return false;
                             }
                         }
                         return true;
                     }),
                     "second document");
        }
    }

    void exitWhileTheThreadWaitsForACaptureTakesAboutASecondAtMost()
    {
        // a peer that takes the requests and never answers
        const int silent = ::socket(AF_INET, SOCK_DGRAM, 0);
        QVERIFY(silent >= 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(silent, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
        socklen_t length = sizeof local;
        QCOMPARE(::getsockname(silent, reinterpret_cast<sockaddr*>(&local), &length), 0);

        auto app = std::make_unique<CVexlarApp>();
        QVERIFY(app->InitInstance(CoreOptionsFor(ntohs(local.sin_port))));
        QVERIFY(WaitWithoutEvents([&] { return app->m_link.RequestsSent() > 0; }));
        QTest::qWait(100);   // the thread is now in its receive
        QElapsedTimer timer;
        timer.start();
        app->ExitInstance();
        const qint64 elapsed = timer.elapsed();
        qInfo("exit with the thread in its receive took %lld ms", static_cast<long long>(elapsed));
        QVERIFY(!app->m_link.IsRunning());
        QVERIFY2(elapsed < 1600, qPrintable(QStringLiteral("exit took %1 ms").arg(elapsed)));
        app.reset();
        ::close(silent);
    }
};

QTEST_MAIN(LinkTest)
#include "link_test.moc"
