// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery without the network: reply handling and the adapter list.

#include "acquisition/device_scanner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

sockaddr_in From(const char* address)
{
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_port = htons(4626);
    inet_pton(AF_INET, address, &s.sin_addr);
    return s;
}

std::vector<uint8_t> Reply(uint8_t status, uint32_t coreId, uint16_t port)
{
    return {0x57,
            status,
            static_cast<uint8_t>(coreId >> 24),
            static_cast<uint8_t>(coreId >> 16),
            static_cast<uint8_t>(coreId >> 8),
            static_cast<uint8_t>(coreId),
            static_cast<uint8_t>(port >> 8),
            static_cast<uint8_t>(port)};
}

class ReplyTest : public ::testing::Test {
protected:
    ReplyTest() : scanner([] { return std::vector<std::string>{}; }) {}

    void Handle(const char* sender, const std::vector<uint8_t>& data, const std::string& adapter = "192.168.1.10")
    {
        scanner.HandleReply(From(sender), data.data(), data.size(), adapter);
    }
    std::vector<const DeviceRecord*> Records() const
    {
        std::vector<const DeviceRecord*> out;
        for (const auto& r : scanner.m_devices)
            out.push_back(r.get());
        return out;
    }

    CDeviceScanner scanner;
};

TEST_F(ReplyTest, ReplyBytesGiveTheRecord)
{
    Handle("192.168.1.50", {0x57, 0x01, 0xFE, 0x01, 0x01, 0x11, 0x13, 0x88});
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->status, 1);
    EXPECT_EQ(records[0]->coreId, LOGIC_ANALYZER_CORE_ID);
    EXPECT_EQ(records[0]->port, 5000);
    EXPECT_EQ(records[0]->address, "192.168.1.50");
    EXPECT_EQ(records[0]->adapterAddress, "192.168.1.10");
    EXPECT_EQ(scanner.FirstLogicAnalyzer(), records[0]);
}

TEST_F(ReplyTest, RepeatedReplyRefreshesStatusAndKeepsTheFirstAdapter)
{
    Handle("192.168.1.50", Reply(1, LOGIC_ANALYZER_CORE_ID, 5000), "192.168.1.10");
    Handle("192.168.1.50", Reply(7, LOGIC_ANALYZER_CORE_ID, 5000), "10.0.0.5");
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->status, 7);
    EXPECT_EQ(records[0]->adapterAddress, "192.168.1.10");
}

TEST_F(ReplyTest, IdPortAndAddressTogetherIdentifyACore)
{
    Handle("192.168.1.50", Reply(1, LOGIC_ANALYZER_CORE_ID, 5000));
    Handle("192.168.1.51", Reply(1, LOGIC_ANALYZER_CORE_ID, 5000));   // same id and port, other host
    Handle("192.168.1.50", Reply(1, LOGIC_ANALYZER_CORE_ID, 5001));   // same host, other port
    Handle("192.168.1.50", Reply(1, 0x12345678, 5000));               // same host and port, other kind
    const auto records = Records();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[1]->address, "192.168.1.51");
    EXPECT_EQ(records[2]->port, 5001);
    EXPECT_EQ(records[3]->coreId, 0x12345678u);
}

TEST_F(ReplyTest, FirstLogicAnalyzerSkipsOtherKindsOfCore)
{
    Handle("192.168.1.60", Reply(1, 0x12345678, 6000));
    EXPECT_EQ(scanner.FirstLogicAnalyzer(), nullptr);
    Handle("192.168.1.61", Reply(1, LOGIC_ANALYZER_CORE_ID, 6001));
    ASSERT_NE(scanner.FirstLogicAnalyzer(), nullptr);
    EXPECT_EQ(scanner.FirstLogicAnalyzer()->address, "192.168.1.61");
    EXPECT_EQ(scanner.m_devices.size(), 2u) << "every reply is kept, whatever the core id";
}

TEST_F(ReplyTest, DatagramsThatAreNotRepliesAreIgnored)
{
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"not starting with W", {0x58, 0x01, 0xFE, 0x01, 0x01, 0x11, 0x13, 0x88}},
        {"our own request coming back", {0x56}},
        {"a request padded to reply length", {0x56, 0x01, 0xFE, 0x01, 0x01, 0x11, 0x13, 0x88}},
        {"empty", {}},
        {"W alone", {0x57}},
        {"seven bytes", {0x57, 0x01, 0xFE, 0x01, 0x01, 0x11, 0x13}},
    };
    for (const auto& [what, bytes] : cases)
        Handle("192.168.1.50", bytes);
    scanner.HandleReply(From("192.168.1.50"), nullptr, 8, "");
    EXPECT_TRUE(scanner.m_devices.empty());

    // A longer reply uses its first 8 bytes.
    std::vector<uint8_t> longer = Reply(2, LOGIC_ANALYZER_CORE_ID, 4000);
    longer.resize(1024, 0xAA);
    Handle("192.168.1.50", longer);
    ASSERT_EQ(scanner.m_devices.size(), 1u);
    EXPECT_EQ(scanner.m_devices.front()->port, 4000);
}

TEST(AdapterListTest, DuplicatesAndUnsetAddressesAreSkippedAndTheListNeverShrinks)
{
    std::vector<std::string> reported = {"192.168.1.10", "0.0.0.0", "10.0.0.5", "192.168.1.10"};
    CDeviceScanner scanner([&] { return reported; });
    scanner.RefreshAdapters();
    EXPECT_EQ(scanner.m_adapterAddresses, (std::list<std::string>{"192.168.1.10", "10.0.0.5"}));

    reported = {"172.16.0.1", "10.0.0.5"};   // one adapter gone, one new
    scanner.RefreshAdapters();
    EXPECT_EQ(scanner.m_adapterAddresses, (std::list<std::string>{"192.168.1.10", "10.0.0.5", "172.16.0.1"}));

    reported = {};
    scanner.RefreshAdapters();
    EXPECT_EQ(scanner.m_adapterAddresses.size(), 3u);
}

TEST(AdapterListTest, SystemAdaptersIncludeLoopbackOnceEach)
{
    const std::vector<std::string> adapters = SystemAdapterAddresses();
    EXPECT_NE(std::find(adapters.begin(), adapters.end(), "127.0.0.1"), adapters.end());
    for (const std::string& a : adapters) {
        in_addr parsed{};
        EXPECT_EQ(inet_pton(AF_INET, a.c_str(), &parsed), 1) << a;
    }
}

}   // namespace
