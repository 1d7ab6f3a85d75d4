// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar says what the capture link is doing: the core in use,
// captures per second, captures lost, datagrams ignored and why, and "no
// answer from the core" after time-outs. Texts from counters, then the real
// application against simulated cores with faults and against a core that
// never answers; no timer runs while no link runs.

#include <QLabel>
#include <QStatusBar>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "acquisition/capture_link.h"
#include "acquisition/capture_link_status.h"
#include "app/link_status_monitor.h"
#include "app/link_status_texts.h"
#include "app_test_support.h"

using namespace apptest;
using LinkPane = CMainFrame::LinkPane;

namespace {

QString PaneText(const CVexlarApp& app, LinkPane pane)
{
    const QLabel* label = app.MainFrame()->LinkStatusPane(pane);
    return label->isVisibleTo(app.MainFrame()) ? label->text() : QString();
}

// A UDP socket on loopback that takes requests and never answers.
class SilentCore {
public:
    SilentCore()
    {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            m_port = ntohs(address.sin_port);
        }
    }
    ~SilentCore()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    SilentCore(const SilentCore&) = delete;
    SilentCore& operator=(const SilentCore&) = delete;
    int Port() const { return m_port; }

private:
    int m_fd = -1;
    int m_port = 0;
};

}   // namespace

class LinkStatusTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateSettings(); }

    void textsFromTheLinksCounters()
    {
        struct Case {
            const char* name;
            CaptureLinkStatus status;
            LinkStatusTexts expected;
        };
        CaptureLinkStatus running;
        running.coreAddress = "10.0.0.7";
        running.corePort = 5000;
        running.capturesPerSecond = 49.24;
        running.capturesLost = 3;
        running.secondsSinceAnswer = 0.1;
        CaptureLinkStatus searching;
        searching.searching = true;
        searching.searchAdapters = 3;
        CaptureLinkStatus wideSamples = running;   // a 64-bit core: every datagram turned away
        wideSamples.capturesPerSecond = 0;
        wideSamples.capturesLost = 0;
        wideSamples.ignored.unsupportedWidth = 8;
        wideSamples.ignored.tooShort = 4;
        wideSamples.timeoutsInARow = 5;
        wideSamples.secondsSinceAnswer = -1;   // no datagram the link could use
        CaptureLinkStatus silentSince = running;
        silentSince.timeoutsInARow = 2;
        silentSince.secondsSinceAnswer = 4.9;
        silentSince.ignored.depthAboveLimit = 1;
        CaptureLinkStatus silentLong = running;   // past ten seconds the count moves by five
        silentLong.timeoutsInARow = 17;
        silentLong.secondsSinceAnswer = 17.6;
        CaptureLinkStatus answersButIncomplete = running;   // time-outs, yet datagrams keep coming
        answersButIncomplete.timeoutsInARow = 3;
        answersButIncomplete.secondsSinceAnswer = 0.4;
        answersButIncomplete.ignored.tooShort = 3;

        const Case cases[] = {
            {"core in use",
             running,
             {QStringLiteral("10.0.0.7:5000"), QStringLiteral("49.2 captures/s"), QStringLiteral("lost 3"), {}, {}}},
            {"searching",
             searching,
             {QStringLiteral("searching on 3 adapters"),
              QStringLiteral("0.0 captures/s"),
              QStringLiteral("lost 0"),
              {},
              {}}},
            {"64-bit core",
             wideSamples,
             {QStringLiteral("10.0.0.7:5000"), QStringLiteral("0.0 captures/s"), QStringLiteral("lost 0"),
              QStringLiteral("ignored 12 (too short 4, unsupported sample width 8)"),
              QStringLiteral("no answer from the core for 5 s")}},
            {"silent after answers",
             silentSince,
             {QStringLiteral("10.0.0.7:5000"), QStringLiteral("49.2 captures/s"), QStringLiteral("lost 3"),
              QStringLiteral("ignored 1 (depth above the limit 1)"),
              QStringLiteral("no answer from the core for 4 s")}},
            {"silent for long",
             silentLong,
             {QStringLiteral("10.0.0.7:5000"),
              QStringLiteral("49.2 captures/s"),
              QStringLiteral("lost 3"),
              {},
              QStringLiteral("no answer from the core for 15 s")}},
            {"answers but incomplete",
             answersButIncomplete,
             {QStringLiteral("10.0.0.7:5000"),
              QStringLiteral("49.2 captures/s"),
              QStringLiteral("lost 3"),
              QStringLiteral("ignored 3 (too short 3)"),
              {}}},
        };
        for (const Case& c : cases) {
            const LinkStatusTexts texts = LinkStatusTextsOf(c.status);
            QVERIFY2(texts.core == c.expected.core, c.name);
            QVERIFY2(texts.rate == c.expected.rate, c.name);
            QVERIFY2(texts.lost == c.expected.lost, c.name);
            QVERIFY2(texts.ignored == c.expected.ignored, qPrintable(QLatin1String(c.name) + ": " + texts.ignored));
            QVERIFY2(texts.noAnswer == c.expected.noAnswer, qPrintable(QLatin1String(c.name) + ": " + texts.noAnswer));
        }
    }

    // The real application against simulated cores: what each fault does
    // shows in the panes within a few seconds.
    void faultsOfTheCoreShowInTheStatusBar()
    {
        struct Case {
            const char* name;
            void (*configure)(coresim::CoreOptions&);
            const char* ignoredReason;   // in the ignored pane; null: pane hidden
            bool lost;                   // the lost pane leaves "lost 0"
            bool noAnswer;               // the message pane says so instead of "Ready"
        };
        const Case cases[] = {
            {"healthy core", [](coresim::CoreOptions&) {}, nullptr, false, false},
            {"short datagram in every capture", [](coresim::CoreOptions& o) { o.shortIndexes = {2}; }, "too short",
             true, false},
            {"64-bit samples", [](coresim::CoreOptions& o) { o.widthExponent = 3; }, "unsupported sample width", false,
             true},
        };
        for (const Case& c : cases) {
            coresim::CoreOptions options;
            options.address = "127.0.0.1";
            options.discoveryPort = 0;
            options.capturePort = 0;
            c.configure(options);
            coresim::CoreSimulator core(options);
            QVERIFY2(core.Start(), c.name);
            CVexlarApp app;
            QVERIFY2(app.InitInstance(CoreOptionsFor(core.CapturePort())), c.name);
            DiscardUnsavedChanges(app);
            const QString address = QStringLiteral("127.0.0.1:%1").arg(core.CapturePort());
            QVERIFY2(WaitFor([&] { return PaneText(app, LinkPane::Core) == address; }), c.name);

            const QLabel* message = app.MainFrame()->MessagePane();
            const bool shown = WaitFor(
                [&] {
                    const bool ignoredShown =
                        c.ignoredReason ? PaneText(app, LinkPane::Ignored).contains(QLatin1String(c.ignoredReason))
                                        : PaneText(app, LinkPane::Ignored).isEmpty();
                    const bool lostShown = (PaneText(app, LinkPane::Lost) != QStringLiteral("lost 0")) == c.lost;
                    const bool answerShown =
                        message->text().startsWith(QStringLiteral("no answer from the core for ")) == c.noAnswer;
                    const bool rateShown =
                        c.noAnswer || c.lost || PaneText(app, LinkPane::Rate) != QStringLiteral("0.0 captures/s");
                    return ignoredShown && lostShown && answerShown && rateShown &&
                           app.m_link.Status().receiveTimeouts >= (c.noAnswer || c.lost ? 2u : 0u);
                },
                8000);
            QVERIFY2(shown, qPrintable(QStringLiteral("%1: core '%2' rate '%3' lost '%4' ignored '%5' message '%6'")
                                           .arg(QLatin1String(c.name), PaneText(app, LinkPane::Core),
                                                PaneText(app, LinkPane::Rate), PaneText(app, LinkPane::Lost),
                                                PaneText(app, LinkPane::Ignored), message->text())));
            if (!c.noAnswer)
                QVERIFY2(message->text() == QStringLiteral("Ready"), c.name);
        }
    }

    void aCoreThatNeverAnswersIsReported()
    {
        SilentCore silent;
        QVERIFY(silent.Port() > 0);
        CVexlarApp app;
        QVERIFY(app.InitInstance(CoreOptionsFor(silent.Port())));
        DiscardUnsavedChanges(app);
        const QLabel* message = app.MainFrame()->MessagePane();
        QCOMPARE(message->text(), QStringLiteral("Ready"));
        // The count of seconds goes up while the core stays silent.
        const QString prefix = QStringLiteral("no answer from the core for ");
        auto secondsShown = [&] {
            const QString text = message->text();
            return text.startsWith(prefix) && text.endsWith(QStringLiteral(" s"))
                       ? text.mid(prefix.size(), text.size() - prefix.size() - 2).toInt()
                       : -1;
        };
        QVERIFY(WaitFor([&] { return secondsShown() >= 1; }, 5000));
        const int first = secondsShown();
        QVERIFY(WaitFor([&] { return secondsShown() > first; }, 5000));
        QCOMPARE(PaneText(app, LinkPane::Core), QStringLiteral("127.0.0.1:%1").arg(silent.Port()));
        QCOMPARE(PaneText(app, LinkPane::Rate), QStringLiteral("0.0 captures/s"));
        QVERIFY(PaneText(app, LinkPane::Ignored).isEmpty());
    }

    // Idle costs nothing: no link, no timer and no panes; a stopped link
    // stops the timer and leaves its last counters, which are not redrawn.
    void theTimerRunsOnlyWhileTheLinkRuns()
    {
        CMainFrame frame;
        CCaptureLink link;
        CLinkStatusMonitor monitor(link, frame);
        monitor.Follow();
        QVERIFY(!monitor.TimerRunning());
        for (LinkPane pane : {LinkPane::Core, LinkPane::Rate, LinkPane::Lost, LinkPane::Ignored})
            QVERIFY(!frame.LinkStatusPane(pane)->isVisibleTo(&frame));
        QCOMPARE(frame.MessagePane()->text(), QStringLiteral("Ready"));

        SilentCore silent;
        link.SetCore("127.0.0.1", silent.Port());
        link.Start();
        monitor.Follow();
        QVERIFY(monitor.TimerRunning());
        QVERIFY(frame.LinkStatusPane(LinkPane::Rate)->isVisibleTo(&frame));
        // The core pane appears when the thread has taken up the core.
        QVERIFY(WaitFor([&] { return frame.LinkStatusPane(LinkPane::Core)->isVisibleTo(&frame); }, 5000));
        // Run off: the counters stand still, so does the timer.
        link.SetRunEnabled(false);
        monitor.Follow();
        QVERIFY(!monitor.TimerRunning());
        link.SetRunEnabled(true);
        monitor.Follow();
        QVERIFY(monitor.TimerRunning());
        link.StopAndWait();
        monitor.Follow();
        QVERIFY(!monitor.TimerRunning());
        QCOMPARE(frame.LinkStatusPane(LinkPane::Core)->text(), QStringLiteral("127.0.0.1:%1").arg(silent.Port()));
        const uint64_t updates = monitor.Updates();
        for (int i = 0; i < 5; ++i)
            monitor.Refresh();
        QCOMPARE(monitor.Updates(), updates);
    }
};

QTEST_MAIN(LinkStatusTest)
#include "link_status_test.moc"
