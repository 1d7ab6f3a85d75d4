// SPDX-License-Identifier: GPL-3.0-or-later
// The capture link against a scripted core (a test socket) and against the
// simulated core, over loopback only.

#include "acquisition/capture_link.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <set>
#include <thread>

#include "core_simulator.h"
#include "datagram_builder.h"
#include "scripted_core.h"
#include "udp_test_socket.h"

using namespace testing_datagrams;

namespace {

// Checks every sample word of the front capture against the test pattern.
::testing::AssertionResult FrontMatchesPattern(CCaptureLink& link)
{
    std::lock_guard<std::mutex> guard(link.m_lock);
    const CaptureFrame& f = link.m_front;
    if (f.words == nullptr || f.depth != 4096 || f.bitsPerSample != 32 || f.triggerPos != 2048)
        return ::testing::AssertionFailure() << "unexpected frame: depth " << f.depth << " bits " << f.bitsPerSample;
    const auto id = static_cast<uint16_t>(f.captureId.load());
    for (int32_t i = 0; i < f.depth; ++i) {
        if (CaptureWord(f.words, i) != coresim::PatternWord(id, static_cast<uint32_t>(i)))
            return ::testing::AssertionFailure() << "capture " << id << " word " << i << " differs";
    }
    return ::testing::AssertionSuccess();
}

TEST_F(ScriptedCoreTest, CompleteCaptureIsHandedOverAndTheNextRequestFollows)
{
    link.Start();
    EXPECT_TRUE(link.IsRunning());
    ExpectRunRequest(core);
    SendPackets(core, 7, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 7; }, 2000));
    {
        std::lock_guard<std::mutex> guard(link.m_lock);
        EXPECT_EQ(link.m_front.depth, 4096);
        EXPECT_EQ(link.m_front.bitsPerSample, 32);
        EXPECT_EQ(link.m_front.triggerPos, 2048);
        EXPECT_EQ(link.m_front.capacityBytes, 16384);
        EXPECT_EQ(link.m_front.words[15 * 1024 + 5], PayloadByte(7, 15, 5));
    }
    ExpectRunRequest(core, 500);
}

TEST_F(ScriptedCoreTest, CaptureEventFdWakesAWaiterOncePerHandOverAndIsDrained)
{
    ASSERT_GE(link.CaptureEventFd(), 0);
    pollfd p{link.CaptureEventFd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0) << "readable before any capture";
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 9, 0, 16);
    p.revents = 0;
    ASSERT_EQ(::poll(&p, 1, 2000), 1) << "no wake-up for a handed-over capture";
    EXPECT_EQ(link.FrontCaptureId(), 9);
    link.SetRunEnabled(false);
    link.ConsumeCaptureEvents();
    p.revents = 0;
    EXPECT_EQ(::poll(&p, 1, 0), 0) << "still readable after it was drained";
}

TEST_F(ScriptedCoreTest, RunSwitchedOffWhileReceivingStillCompletesButSendsNothingMore)
{
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 3, 0, 8);
    link.SetRunEnabled(false);
    EXPECT_FALSE(link.IsRunEnabled());
    SendPackets(core, 3, 8, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 3; }, 2000));
    EXPECT_FALSE(core.Receive(400).has_value()) << "no request may follow with Run off";
    link.ToggleRun();
    EXPECT_TRUE(link.IsRunEnabled());
    ExpectRunRequest(core, 500);
}

TEST_F(ScriptedCoreTest, TrigNowPendingTogetherWithRunGoesFirstAndAlone)
{
    link.SetRunEnabled(true);
    link.TrigNow();
    link.Start();
    auto first = core.Receive(2000);
    ASSERT_TRUE(first.has_value());
    EXPECT_TRUE(IsRequest(*first, 0xC1));
    client = first->sender;
    EXPECT_FALSE(core.Receive(200).has_value()) << "no run request while the trigger-now capture is awaited";
    SendPackets(core, 1, 0, 16);
    ExpectRunRequest(core, 1000);
    EXPECT_EQ(link.FrontCaptureId(), 1);
}

TEST_F(ScriptedCoreTest, TrigNowChosenWhileReceivingIsSentBeforeTheNextRunRequest)
{
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 1, 0, 8);
    link.TrigNow();
    EXPECT_FALSE(core.Receive(100).has_value()) << "nothing is sent while receiving";
    SendPackets(core, 1, 8, 16);
    auto next = core.Receive(1000);
    ASSERT_TRUE(next.has_value());
    EXPECT_TRUE(IsRequest(*next, 0xC1));
    EXPECT_FALSE(core.Receive(200).has_value()) << "the trigger-now request goes alone";
    SendPackets(core, 2, 0, 16);
    ExpectRunRequest(core, 1000);
    EXPECT_EQ(link.FrontCaptureId(), 2);
}

TEST_F(ScriptedCoreTest, TrigNowWithRunOffRequestsExactlyOneCapture)
{
    link.SetRunEnabled(false);
    link.Start();
    EXPECT_FALSE(core.Receive(200).has_value());
    link.TrigNow();
    auto request = core.Receive(1000);
    ASSERT_TRUE(request.has_value());
    EXPECT_TRUE(IsRequest(*request, 0xC1));
    client = request->sender;
    SendPackets(core, 9, 0, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 9; }, 2000));
    EXPECT_FALSE(core.Receive(300).has_value());
}

TEST_F(ScriptedCoreTest, SenderOfTheLastDatagramReceivesTheNextRequest)
{
    UdpTestSocket other;
    ASSERT_TRUE(other.Bound());
    link.Start();
    ExpectRunRequest(core);
    SendPackets(other, 4, 0, 16);   // the capture comes from another port
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 4; }, 2000));
    ExpectRunRequest(other, 1000);
    EXPECT_FALSE(core.Receive(100).has_value());
}

TEST_F(ScriptedCoreTest, CaptureSmallerThanOneDatagramTimesOutAndIsRequestedAgain)
{
    link.Start();
    ExpectRunRequest(core);
    ASSERT_TRUE(core.SendTo(client, Packet(5, 0, 0, 9)));   // 512 bytes: zero packets expected
    const auto sent = Clock::now();
    ExpectRunRequest(core, 3000);
    EXPECT_GE(MsSince(sent), 900) << "the burst must wait for its receive time-out";
    EXPECT_EQ(link.FrontCaptureId(), 0);
    EXPECT_GE(link.ReceiveTimeouts(), 1u);
}

TEST_F(ScriptedCoreTest, OversizedDatagramIsIgnoredAndTheCaptureGoesOn)
{
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 6, 0, 4);
    std::vector<uint8_t> huge = Packet(6, 4);
    huge.resize(3000, 0);
    ASSERT_TRUE(core.SendTo(client, huge));
    SendPackets(core, 6, 5, 16);
    ASSERT_TRUE(WaitFor([&] { return link.Status().ignored.tooLong == 1; }, 2000));
    EXPECT_EQ(link.FrontCaptureId(), 0) << "packet 4 has not arrived whole";
    SendPackets(core, 6, 4, 5);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 6; }, 2000)) << "the capture completes with packet 4";
}

TEST_F(ScriptedCoreTest, ShortDatagramIsNotTakenForAPacket)
{
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 8, 0, 15);
    // Header of packet 15 with only 100 payload bytes: the rest of the
    // receive buffer still holds packet 14.
    std::vector<uint8_t> cut = Packet(8, 15);
    cut.resize(108);
    ASSERT_TRUE(core.SendTo(client, cut));
    ExpectRunRequest(core, 3000);
    EXPECT_EQ(link.FrontCaptureId(), 0) << "a capture must not complete on a short datagram";
    const CaptureLinkStatus status = link.Status();
    EXPECT_EQ(status.ignored.tooShort, 1u);
    EXPECT_EQ(status.capturesLost, 1u) << "incomplete when the next request went out";
    EXPECT_EQ(status.receiveTimeouts, 1u);
}

TEST_F(ScriptedCoreTest, StopWhileBlockedInAReceiveReturnsWithinAboutASecond)
{
    link.Start();
    ExpectRunRequest(core);   // the core stays silent: the thread waits in its receive
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    const auto t = Clock::now();
    link.StopAndWait();
    EXPECT_LT(MsSince(t), 1300);
    EXPECT_FALSE(link.IsRunning());
}

TEST_F(ScriptedCoreTest, DestructionWhileReceivingReturnsWithinAboutASecond)
{
    auto other = std::make_unique<CCaptureLink>();
    other->SetCore("127.0.0.1", core.Port());
    other->Start();
    ExpectRunRequest(core);
    SendPackets(core, 2, 0, 5);   // a partial capture in the back buffer
    const auto t = Clock::now();
    other.reset();
    EXPECT_LT(MsSince(t), 1300);
}

struct MalformedCase {
    const char* name;
    std::vector<uint8_t> datagram;
    std::function<uint64_t(const CaptureLinkStatus&)> counter;
};

TEST_F(ScriptedCoreTest, MalformedDatagramsAreCountedByReasonAndTheCaptureCompletes)
{
    const MalformedCase cases[] = {
        {"too short", Datagram(0xE2, 3, 1, 2, 12, 0, 100),
         [](const CaptureLinkStatus& s) { return s.ignored.tooShort; }},
        {"too long", Datagram(0xE2, 3, 1, 2, 12, 0, 4000),
         [](const CaptureLinkStatus& s) { return s.ignored.tooLong; }},
        {"64-bit samples", Datagram(0xE1, 3, 0, 3, 12, 0),
         [](const CaptureLinkStatus& s) { return s.ignored.unsupportedWidth; }},
        {"depth 2^25", Datagram(0xE1, 3, 0, 0, 25, 0),
         [](const CaptureLinkStatus& s) { return s.ignored.depthAboveLimit; }},
        {"unknown type", Datagram(0x17, 3, 1, 2, 12, 0),
         [](const CaptureLinkStatus& s) { return s.ignored.notInCapture; }},
        {"duplicate", Packet(3, 1), [](const CaptureLinkStatus& s) { return s.ignored.duplicate; }},
    };
    link.Start();
    ExpectRunRequest(core);
    SendPackets(core, 3, 0, 2);
    for (const MalformedCase& c : cases) {
        ASSERT_TRUE(core.SendTo(client, c.datagram)) << c.name;
        EXPECT_TRUE(WaitFor([&] { return c.counter(link.Status()) == 1; }, 2000)) << c.name;
    }
    EXPECT_EQ(link.Status().ignored.Total(), 6u);
    SendPackets(core, 3, 2, 16);
    ASSERT_TRUE(WaitFor([&] { return link.FrontCaptureId() == 3; }, 2000));
    EXPECT_EQ(link.Status().capturesLost, 0u);
}

TEST(CaptureLinkTest, StopBeforeStartAndTwiceIsHarmless)
{
    CCaptureLink link;
    link.StopAndWait();
    EXPECT_FALSE(link.IsRunning());
    EXPECT_EQ(link.FrontCaptureId(), 0);
    link.StopAndWait();
}

// Link against the simulated core.
class SimulatedCoreTest : public ::testing::Test {
protected:
    static coresim::CoreOptions Options()
    {
        coresim::CoreOptions o;
        o.discoveryPort = 0;
        return o;
    }

    // Starts the simulator and the link with Run on until `captures`
    // hand-overs happened or `timeoutMs` passed.
    void Run(coresim::CoreSimulator& core, uint64_t captures, int timeoutMs)
    {
        EXPECT_TRUE(core.Start()) << core.LastError();
        link.SetCore("127.0.0.1", core.CapturePort());
        link.Start();
        WaitFor([&] { return link.CompletedCaptures() >= captures; }, timeoutMs);
        link.SetRunEnabled(false);
    }

    // Requests one capture at a time (Trig Now) until `captures` hand-overs
    // happened or `timeoutMs` passed, and returns the id of every capture
    // handed over: watching the front while Run is on could miss one on a
    // busy machine.
    std::set<int32_t> TrigNowCaptures(coresim::CoreSimulator& core, uint64_t captures, int timeoutMs)
    {
        std::set<int32_t> handedOver;
        EXPECT_TRUE(core.Start()) << core.LastError();
        link.SetCore("127.0.0.1", core.CapturePort());
        link.SetRunEnabled(false);
        link.Start();
        const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (link.CompletedCaptures() < captures && Clock::now() < end) {
            const uint64_t completed = link.CompletedCaptures();
            const uint64_t timeouts = link.ReceiveTimeouts();
            link.TrigNow();
            if (!WaitFor([&] { return link.CompletedCaptures() != completed || link.ReceiveTimeouts() != timeouts; },
                         3000))
                break;
            if (link.CompletedCaptures() != completed)
                handedOver.insert(link.FrontCaptureId());
        }
        return handedOver;
    }

    void TearDown() override { link.StopAndWait(); }

    CCaptureLink link;
};

TEST_F(SimulatedCoreTest, ContinuousCapturesCarryThePatternAndReuseTheBuffers)
{
    coresim::CoreSimulator core(Options());
    Run(core, 6, 5000);
    ASSERT_GE(link.CompletedCaptures(), 6u);
    EXPECT_TRUE(FrontMatchesPattern(link));
    // None was lost on a clean loopback: every capture sent but the one
    // perhaps still on its way was handed over.
    EXPECT_EQ(link.Status().capturesLost, 0u);
    EXPECT_LE(core.CapturesSent() - link.CompletedCaptures(), 1u);
    EXPECT_EQ(link.BufferAllocations(), 2u) << "captures of one size allocate only the first two buffers";
    EXPECT_EQ(link.ReceiveTimeouts(), 0u);
    EXPECT_EQ(core.RequestsAccepted(), core.CapturesSent());
}

struct FaultCase {
    const char* name;
    std::function<void(coresim::CoreOptions&)> apply;
    bool firstCaptureHandedOver;   // faults hit the first capture only
};

class SimulatedFaultTest : public SimulatedCoreTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(SimulatedFaultTest, FaultyFirstCaptureThenCleanCaptures)
{
    coresim::CoreOptions o = Options();
    o.faultCaptures = 1;
    GetParam().apply(o);
    coresim::CoreSimulator core(o);
    const std::set<int32_t> seen = TrigNowCaptures(core, 3, 10000);
    ASSERT_GE(link.CompletedCaptures(), 3u);
    EXPECT_EQ(seen.count(1) == 1, GetParam().firstCaptureHandedOver);
    EXPECT_TRUE(seen.count(2) == 1 && seen.count(3) == 1) << "the clean captures after the fault arrive";
    EXPECT_TRUE(FrontMatchesPattern(link));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SimulatedFaultTest,
    ::testing::Values(FaultCase{"reordered",
                                [](coresim::CoreOptions& o) {
                                    o.reorderIndexes = {2, 9, 14};
                                },
                                true},
                      FaultCase{"delayed",
                                [](coresim::CoreOptions& o) {
                                    o.delayIndexes = {5};
                                    o.delayMs = 100;
                                },
                                true},
                      FaultCase{"dropped", [](coresim::CoreOptions& o) { o.dropIndexes = {6}; }, false},
                      FaultCase{"first_packet_lost", [](coresim::CoreOptions& o) { o.loseFirstPacket = true; }, false},
                      FaultCase{"short_datagram", [](coresim::CoreOptions& o) { o.shortIndexes = {10}; }, false},
                      FaultCase{"oversized_datagram", [](coresim::CoreOptions& o) { o.oversizedIndexes = {3}; }, false},
                      FaultCase{"late_packets_before_first", [](coresim::CoreOptions& o) { o.latePackets = 3; }, true},
                      FaultCase{"duplicated",
                                [](coresim::CoreOptions& o) {
                                    o.duplicateIndexes = {0, 4, 15};
                                },
                                true},
                      // A duplicate must not stand in for the lost packet.
                      FaultCase{"duplicated_and_dropped",
                                [](coresim::CoreOptions& o) {
                                    o.duplicateIndexes = {4};
                                    o.dropIndexes = {11};
                                },
                                false}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

// The status counters as the simulated core's faults drive them.
struct CounterCase {
    const char* name;
    std::function<void(coresim::CoreOptions&)> apply;
    std::function<uint64_t(const CaptureLinkStatus&)> counter;
};

class StatusCounterTest : public SimulatedCoreTest, public ::testing::WithParamInterface<CounterCase> {};

TEST_P(StatusCounterTest, FaultOfTheFirstCaptureIsCountedAndCapturesGoOn)
{
    coresim::CoreOptions o = Options();
    o.faultCaptures = 1;
    GetParam().apply(o);
    coresim::CoreSimulator core(o);
    TrigNowCaptures(core, 3, 10000);
    ASSERT_GE(link.CompletedCaptures(), 3u);
    const CaptureLinkStatus status = link.Status();
    EXPECT_GE(GetParam().counter(status), 1u);
    EXPECT_EQ(status.coreAddress, "127.0.0.1");
    EXPECT_EQ(status.corePort, core.CapturePort());
    EXPECT_GT(status.capturesPerSecond, 0.0);
    EXPECT_GE(status.secondsSinceAnswer, 0.0);
    EXPECT_LT(status.secondsSinceAnswer, 5.0);
    EXPECT_EQ(status.lastDepth, 4096);
    EXPECT_EQ(status.lastBitsPerSample, 32);
}

INSTANTIATE_TEST_SUITE_P(
    Counters, StatusCounterTest,
    ::testing::Values(CounterCase{"too_short", [](coresim::CoreOptions& o) { o.shortIndexes = {3}; },
                                  [](const CaptureLinkStatus& s) { return s.ignored.tooShort; }},
                      CounterCase{"too_long", [](coresim::CoreOptions& o) { o.oversizedIndexes = {3}; },
                                  [](const CaptureLinkStatus& s) { return s.ignored.tooLong; }},
                      CounterCase{"duplicate", [](coresim::CoreOptions& o) { o.duplicateIndexes = {3}; },
                                  [](const CaptureLinkStatus& s) { return s.ignored.duplicate; }},
                      CounterCase{"late_packets", [](coresim::CoreOptions& o) { o.latePackets = 2; },
                                  [](const CaptureLinkStatus& s) { return s.ignored.notInCapture; }},
                      CounterCase{"lost_capture", [](coresim::CoreOptions& o) { o.dropIndexes = {7}; },
                                  [](const CaptureLinkStatus& s) { return s.capturesLost; }},
                      CounterCase{"time_out", [](coresim::CoreOptions& o) { o.dropIndexes = {7}; },
                                  [](const CaptureLinkStatus& s) { return s.receiveTimeouts; }}),
    [](const ::testing::TestParamInfo<CounterCase>& p) { return std::string(p.param.name); });

struct RejectedCoreCase {
    const char* name;
    int widthExponent;
    int depthExponent;
    std::function<uint64_t(const CaptureLinkStatus&)> counter;
};

class RejectedCoreTest : public SimulatedCoreTest, public ::testing::WithParamInterface<RejectedCoreCase> {};

TEST_P(RejectedCoreTest, CapturesTheLinkCannotTakeAreCountedAsIgnored)
{
    coresim::CoreOptions o = Options();
    o.widthExponent = GetParam().widthExponent;
    o.depthExponent = GetParam().depthExponent;
    coresim::CoreSimulator core(o);
    ASSERT_TRUE(core.Start()) << core.LastError();
    link.SetCore("127.0.0.1", core.CapturePort());
    link.Start();
    ASSERT_TRUE(WaitFor([&] { return GetParam().counter(link.Status()) >= 16; }, 5000));
    const CaptureLinkStatus status = link.Status();
    EXPECT_EQ(status.capturesCompleted, 0u);
    EXPECT_EQ(status.capturesLost, 0u) << "nothing the link could take began to arrive";
    EXPECT_EQ(status.secondsSinceAnswer, -1.0);
}

// (A depth above the limit takes a 32 MiB capture from the simulated core;
// the scripted test below sends just its header.)
INSTANTIATE_TEST_SUITE_P(Shapes, RejectedCoreTest,
                         ::testing::Values(RejectedCoreCase{
                             "sixty_four_bit_samples", 3, 12,
                             [](const CaptureLinkStatus& s) { return s.ignored.unsupportedWidth; }}),
                         [](const ::testing::TestParamInfo<RejectedCoreCase>& p) { return std::string(p.param.name); });

}   // namespace

namespace {

// With no file descriptor left, the link's socket cannot be made and setting
// its options fails: each failure is reported in perror form and the thread
// carries on. Run in a child process whose descriptor limit is exhausted.
TEST(CaptureLinkErrorTest, FailedSocketOptionsAreReportedInPerrorForm)
{
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer runtime itself needs free descriptors (it probes memory
    // through a pipe), so it cannot run in the exhausted child.
    GTEST_SKIP() << "descriptor exhaustion is not possible under AddressSanitizer";
#endif
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pipeFds[1], 2);
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        const rlimit limit{3, 3};
        ::setrlimit(RLIMIT_NOFILE, &limit);
        {
            CCaptureLink link;
            link.SetCore("127.0.0.1", 9);
            link.Start();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            link.StopAndWait();
            ::_exit(link.IsRunning() ? 2 : 0);
        }
    }
    ::close(pipeFds[1]);
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(text, "Error: Bad file descriptor\nError: Bad file descriptor\n");
}

}   // namespace
