// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery across network namespaces made by the test itself: a client
// namespace with two veth links (192.168.1.10/24 and 10.0.0.5/24) to two core
// namespaces, one simulated core per network. Nothing here touches the
// machine's own interfaces. Needs root and `ip netns`; skipped otherwise.

#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/capture_link.h"
#include "acquisition/device_scanner.h"
#include "core_simulator.h"
#include "udp_test_socket.h"

using Clock = std::chrono::steady_clock;

namespace {

bool Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs `work` on a thread that has entered network namespace `name`; sockets
// made there, and threads started from there, belong to that namespace.
bool InNamespace(const std::string& name, const std::function<void()>& work)
{
    bool entered = false;
    std::thread t([&] {
        const int fd = ::open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return;
        entered = ::setns(fd, CLONE_NEWNET) == 0;
        ::close(fd);
        if (entered)
            work();
    });
    t.join();
    return entered;
}

// The three namespaces, named after this process, deleted on every way out.
class NetnsLab {
public:
    NetnsLab()
    {
        const std::string id = std::to_string(::getpid());
        client = "vxc" + id;
        coreA = "vxa" + id;
        coreB = "vxb" + id;
        for (const std::string& ns : {client, coreA, coreB}) {
            if (!Shell("ip netns add " + ns))
                return;
            m_made.push_back(ns);
        }
        const std::vector<std::string> steps = {
            "ip -n " + client + " link add vxa type veth peer name eth0 netns " + coreA,
            "ip -n " + client + " link add vxb type veth peer name eth0 netns " + coreB,
            "ip -n " + client + " addr add 192.168.1.10/24 dev vxa",
            "ip -n " + client + " addr add 10.0.0.5/24 dev vxb",
            "ip -n " + client + " link set lo up",
            "ip -n " + client + " link set vxa up",
            "ip -n " + client + " link set vxb up",
            // A default route lets an unbound pass reach the first network.
            "ip -n " + client + " route add default dev vxa",
            "ip -n " + coreA + " addr add 192.168.1.50/24 dev eth0",
            "ip -n " + coreA + " link set eth0 up",
            "ip -n " + coreB + " addr add 10.0.0.20/24 dev eth0",
            "ip -n " + coreB + " link set eth0 up",
        };
        for (const std::string& step : steps) {
            if (!Shell(step)) {
                m_error = step;
                return;
            }
        }
        ready = true;
    }
    ~NetnsLab()
    {
        for (const std::string& ns : m_made)
            Shell("ip netns delete " + ns);
    }
    NetnsLab(const NetnsLab&) = delete;
    NetnsLab& operator=(const NetnsLab&) = delete;

    std::string client, coreA, coreB;
    bool ready = false;
    std::string m_error;

private:
    std::vector<std::string> m_made;
};

// A simulated core started inside a namespace.
std::unique_ptr<coresim::CoreSimulator> CoreIn(const std::string& ns, const std::string& address, int capturePort,
                                               uint32_t coreId = LOGIC_ANALYZER_CORE_ID)
{
    coresim::CoreOptions o;
    o.address = address;
    o.capturePort = capturePort;
    o.coreId = coreId;
    auto core = std::make_unique<coresim::CoreSimulator>(o);
    bool started = false;
    if (!InNamespace(ns, [&] { started = core->Start(); }) || !started)
        return nullptr;
    return core;
}

class NetnsDiscoveryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (::geteuid() != 0) {
            s_skip = "needs root to create network namespaces";
            return;
        }
        if (!Shell("ip netns list")) {
            s_skip = "`ip netns` is not available";
            return;
        }
        s_lab = new NetnsLab();
        if (!s_lab->ready)
            s_skip = "could not build the namespaces: " + s_lab->m_error;
    }
    static void TearDownTestSuite()
    {
        delete s_lab;
        s_lab = nullptr;
    }
    void SetUp() override
    {
        if (!s_skip.empty())
            GTEST_SKIP() << s_skip;
    }

    static NetnsLab& Lab() { return *s_lab; }

    static NetnsLab* s_lab;
    static std::string s_skip;
};

NetnsLab* NetnsDiscoveryTest::s_lab = nullptr;
std::string NetnsDiscoveryTest::s_skip;

TEST_F(NetnsDiscoveryTest, TwoAdaptersWithACoreOnEachGiveRecordsInAdapterOrder)
{
    // Same id and port on two hosts: still two cores.
    auto a = CoreIn(Lab().coreA, "192.168.1.50", 5000);
    auto b = CoreIn(Lab().coreB, "10.0.0.20", 5000);
    ASSERT_TRUE(a && b);
    CDeviceScanner scanner;   // the namespace's own adapters, from getifaddrs
    std::vector<std::pair<int, int>> progress;
    scanner.SetProgressCallback([&](int index, int count) { progress.emplace_back(index, count); });
    ASSERT_TRUE(InNamespace(Lab().client, [&] { scanner.Scan(); }));

    EXPECT_EQ(scanner.m_adapterAddresses, (std::list<std::string>{"127.0.0.1", "192.168.1.10", "10.0.0.5"}));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
    ASSERT_EQ(scanner.m_devices.size(), 2u);
    const DeviceRecord& first = *scanner.m_devices.front();
    const DeviceRecord& second = *scanner.m_devices.back();
    EXPECT_EQ(first.address, "192.168.1.50");
    EXPECT_EQ(first.adapterAddress, "192.168.1.10");
    EXPECT_EQ(first.port, 5000);
    EXPECT_EQ(first.coreId, LOGIC_ANALYZER_CORE_ID);
    EXPECT_EQ(second.address, "10.0.0.20");
    EXPECT_EQ(second.adapterAddress, "10.0.0.5");
    EXPECT_EQ(second.port, 5000);
    EXPECT_EQ(a->DiscoveryReplies(), 2u) << "both requests of the one pass on its network were answered";
    EXPECT_EQ(b->DiscoveryReplies(), 2u);

    // A second scan adds nothing new and keeps the order.
    ASSERT_TRUE(InNamespace(Lab().client, [&] { scanner.Scan(); }));
    EXPECT_EQ(scanner.m_devices.size(), 2u);
    EXPECT_EQ(scanner.m_devices.front()->address, "192.168.1.50");
}

TEST_F(NetnsDiscoveryTest, OneHostWithTwoPortsGivesTwoRecords)
{
    auto first = CoreIn(Lab().coreA, "192.168.1.50", 5000);
    auto second = CoreIn(Lab().coreA, "192.168.1.50", 5002);
    ASSERT_TRUE(first && second);
    CDeviceScanner scanner([] { return std::vector<std::string>{"192.168.1.10"}; });
    ASSERT_TRUE(InNamespace(Lab().client, [&] { scanner.Scan(); }));
    ASSERT_EQ(scanner.m_devices.size(), 2u);
    std::vector<uint16_t> ports;
    for (const auto& r : scanner.m_devices) {
        EXPECT_EQ(r->address, "192.168.1.50");
        ports.push_back(r->port);
    }
    std::sort(ports.begin(), ports.end());
    EXPECT_EQ(ports, (std::vector<uint16_t>{5000, 5002}));
}

TEST_F(NetnsDiscoveryTest, NoAdapterWithAnAddressRunsOneUnboundPass)
{
    auto a = CoreIn(Lab().coreA, "192.168.1.50", 5000);
    ASSERT_TRUE(a);
    CDeviceScanner scanner([] { return std::vector<std::string>{"0.0.0.0"}; });
    std::vector<std::pair<int, int>> progress;
    scanner.SetProgressCallback([&](int index, int count) { progress.emplace_back(index, count); });
    ASSERT_TRUE(InNamespace(Lab().client, [&] { scanner.Scan(); }));
    EXPECT_TRUE(scanner.m_adapterAddresses.empty());
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 1}}));
    ASSERT_EQ(scanner.m_devices.size(), 1u);
    EXPECT_EQ(scanner.m_devices.front()->address, "192.168.1.50");
    EXPECT_EQ(scanner.m_devices.front()->adapterAddress, "");
}

TEST_F(NetnsDiscoveryTest, DuplicatedUnsetAndForeignAdaptersAreScannedOnceOrNotAtAll)
{
    // None of these addresses exists in the client namespace: every pass
    // ends at its bind, so the whole scan is quick and finds nothing.
    CDeviceScanner scanner([] {
        return std::vector<std::string>{"203.0.113.1", "0.0.0.0", "203.0.113.2", "203.0.113.1", "not an address"};
    });
    std::vector<std::pair<int, int>> progress;
    scanner.SetProgressCallback([&](int index, int count) { progress.emplace_back(index, count); });
    const auto t = Clock::now();
    ASSERT_TRUE(InNamespace(Lab().client, [&] { scanner.Scan(); }));
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(500));
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 3}, {1, 3}, {2, 3}}));
    EXPECT_TRUE(scanner.m_devices.empty());
}

TEST_F(NetnsDiscoveryTest, LinkFallbackTakesTheFirstLogicAnalyzerAndCaptures)
{
    auto other = CoreIn(Lab().coreA, "192.168.1.50", 5000, 0x0BADC0DE);   // answers first, wrong kind
    auto core = CoreIn(Lab().coreB, "10.0.0.20", 5001);
    ASSERT_TRUE(other && core);
    CCaptureLink link;
    // Started from inside the client namespace, the capture thread lives there.
    ASSERT_TRUE(InNamespace(Lab().client, [&] { link.Start(); }));
    ASSERT_TRUE(WaitFor([&] { return link.CompletedCaptures() >= 3; }, 8000));
    EXPECT_EQ(link.CoreAddress(), "10.0.0.20");
    EXPECT_EQ(link.CorePort(), 5001);
    EXPECT_EQ(other->CapturesSent(), 0u);
    link.StopAndWait();
}

}   // namespace

namespace {

TEST_F(NetnsDiscoveryTest, LinkSearchingWithoutUsableAdaptersDoesNotSpin)
{
    CCaptureLink link;
    // Not an address of the client namespace: every pass ends at its bind.
    link.SetAdapterSource([] { return std::vector<std::string>{"203.0.113.1"}; });
    clock_t cpuBefore = 0;
    ASSERT_TRUE(InNamespace(Lab().client, [&] { link.Start(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));   // past the thread's start-up
    cpuBefore = ::clock();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const double cpuSeconds = static_cast<double>(::clock() - cpuBefore) / CLOCKS_PER_SEC;
    const auto t = Clock::now();
    link.StopAndWait();
    EXPECT_LT(Clock::now() - t, std::chrono::milliseconds(600));
    // A search that spins burns about a second here; a paced one almost nothing.
    EXPECT_LT(cpuSeconds, 0.3) << "the search must pause between passes that end at once";
}

}   // namespace
