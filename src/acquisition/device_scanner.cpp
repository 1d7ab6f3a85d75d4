// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/device_scanner.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

constexpr uint8_t kDiscoveryRequest = 0x56;   // 'V'
constexpr uint8_t kDiscoveryReply = 0x57;     // 'W'
constexpr size_t kReplyBytesUsed = 8;
constexpr size_t kReplyBufferBytes = 1024;
constexpr int kReceiveTimeoutMs = 500;
constexpr int kRequestGapMs = 10;
constexpr int kReplyWaitMs = 500;
constexpr int kCancelPollMs = 10;

// Closes the pass's socket on every path out of it.
class SocketGuard {
public:
    explicit SocketGuard(int fd) : m_fd(fd) {}
    ~SocketGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SocketGuard(const SocketGuard&) = delete;
    SocketGuard& operator=(const SocketGuard&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}   // namespace

std::vector<std::string> SystemAdapterAddresses()
{
    std::vector<std::string> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return result;
    std::vector<std::string> seenInterfaces;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET || it->ifa_name == nullptr)
            continue;
        const std::string name = it->ifa_name;
        // Only the first IPv4 address of each interface; aliases are not scanned.
        if (std::find(seenInterfaces.begin(), seenInterfaces.end(), name) != seenInterfaces.end())
            continue;
        seenInterfaces.push_back(name);
        char text[64] = {};
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) != nullptr)
            result.emplace_back(text);
    }
    ::freeifaddrs(list);
    return result;
}

CDeviceScanner::CDeviceScanner(AdapterSource source) : m_source(std::move(source))
{
    if (!m_source)
        m_source = SystemAdapterAddresses;
}

void CDeviceScanner::Scan()
{
    RefreshAdapters();
    if (m_adapterAddresses.empty()) {
        if (m_progress)
            m_progress(0, 1);
        if (!Cancelled())
            ScanAdapter(std::string());
        return;
    }
    const int count = static_cast<int>(m_adapterAddresses.size());
    int index = 0;
    for (const std::string& adapter : m_adapterAddresses) {
        if (Cancelled())
            return;
        if (m_progress)
            m_progress(index, count);
        ScanAdapter(adapter);
        ++index;
    }
}

void CDeviceScanner::RefreshAdapters()
{
    for (const std::string& address : m_source()) {
        if (address == "0.0.0.0")
            continue;
        if (std::find(m_adapterAddresses.begin(), m_adapterAddresses.end(), address) != m_adapterAddresses.end())
            continue;
        m_adapterAddresses.push_back(address);
    }
}

bool CDeviceScanner::PauseMs(int ms) const
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (Cancelled())
            return false;
        const auto left = end - std::chrono::steady_clock::now();
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(kCancelPollMs)));
    }
    return !Cancelled();
}

void CDeviceScanner::ScanAdapter(std::string adapterAddress)
{
    SocketGuard sock(::socket(AF_INET, SOCK_DGRAM, 0));
    if (sock.get() < 0)
        return;
    const int enable = 1;
    if (::setsockopt(sock.get(), SOL_SOCKET, SO_BROADCAST, &enable, sizeof enable) != 0)
        return;
    timeval timeout{};
    timeout.tv_sec = kReceiveTimeoutMs / 1000;
    timeout.tv_usec = (kReceiveTimeoutMs % 1000) * 1000;
    (void)::setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);

    if (!adapterAddress.empty()) {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(0);
        if (::inet_pton(AF_INET, adapterAddress.c_str(), &local.sin_addr) != 1)
            return;
        if (::bind(sock.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
            return;
    }

    sockaddr_in broadcast{};
    broadcast.sin_family = AF_INET;
    broadcast.sin_port = htons(static_cast<uint16_t>(DISCOVERY_PORT));
    broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    const uint8_t request = kDiscoveryRequest;
    const auto* to = reinterpret_cast<const sockaddr*>(&broadcast);
    if (::sendto(sock.get(), &request, 1, 0, to, sizeof broadcast) != 1)
        return;
    if (!PauseMs(kRequestGapMs))
        return;
    if (::sendto(sock.get(), &request, 1, 0, to, sizeof broadcast) != 1)
        return;
    if (!PauseMs(kReplyWaitMs))
        return;

    uint8_t buffer[kReplyBufferBytes];
    while (!Cancelled()) {
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t received =
            ::recvfrom(sock.get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received < 0)
            break;
        if (sender.sin_family != AF_INET)
            continue;
        HandleReply(sender, buffer, static_cast<size_t>(received), adapterAddress);
    }
}

void CDeviceScanner::HandleReply(const sockaddr_in& sender, const uint8_t* data, size_t length,
                                 const std::string& adapterAddress)
{
    // A reply has a fixed 8-byte layout; a shorter one would be completed with
    // stale bytes of an earlier reply, so it is not a reply at all.
    if (data == nullptr || length < kReplyBytesUsed)
        return;
    if (data[0] != kDiscoveryReply)
        return;
    const uint8_t status = data[1];
    const uint32_t coreId = (static_cast<uint32_t>(data[2]) << 24) | (static_cast<uint32_t>(data[3]) << 16) |
                            (static_cast<uint32_t>(data[4]) << 8) | static_cast<uint32_t>(data[5]);
    const uint16_t port = static_cast<uint16_t>((data[6] << 8) | data[7]);
    char text[64] = {};
    if (::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text) == nullptr)
        return;
    const std::string address = text;

    for (auto& record : m_devices) {
        if (record->coreId == coreId && record->port == port && record->address == address) {
            record->status = status;
            return;
        }
    }
    auto record = std::make_unique<DeviceRecord>();
    record->coreId = coreId;
    record->address = address;
    record->port = port;
    record->status = status;
    record->adapterAddress = adapterAddress;
    m_devices.push_back(std::move(record));
}

const DeviceRecord* CDeviceScanner::FirstLogicAnalyzer() const
{
    for (const auto& record : m_devices) {
        if (record->coreId == LOGIC_ANALYZER_CORE_ID)
            return record.get();
    }
    return nullptr;
}
