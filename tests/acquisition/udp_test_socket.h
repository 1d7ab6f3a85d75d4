// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A loopback UDP socket for tests that play the core (or a stray sender).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class UdpTestSocket {
public:
    struct Datagram {
        std::vector<uint8_t> bytes;
        sockaddr_in sender{};
    };

    explicit UdpTestSocket(const std::string& address = "127.0.0.1", uint16_t port = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
        socklen_t length = sizeof local;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length);
        m_port = ntohs(local.sin_port);
    }
    ~UdpTestSocket() { ::close(m_fd); }
    UdpTestSocket(const UdpTestSocket&) = delete;
    UdpTestSocket& operator=(const UdpTestSocket&) = delete;

    bool Bound() const { return m_bound; }
    uint16_t Port() const { return m_port; }
    int Fd() const { return m_fd; }

    std::optional<Datagram> Receive(int timeoutMs)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        Datagram d;
        d.bytes.resize(65536);
        socklen_t length = sizeof d.sender;
        const ssize_t n =
            ::recvfrom(m_fd, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&d.sender), &length);
        if (n < 0)
            return std::nullopt;
        d.bytes.resize(static_cast<size_t>(n));
        return d;
    }

    // All datagrams that arrive until `quietMs` pass without one.
    std::vector<Datagram> ReceiveAll(int firstTimeoutMs, int quietMs)
    {
        std::vector<Datagram> all;
        auto d = Receive(firstTimeoutMs);
        while (d) {
            all.push_back(std::move(*d));
            d = Receive(quietMs);
        }
        return all;
    }

    bool SendTo(const sockaddr_in& to, const std::vector<uint8_t>& bytes)
    {
        return ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) ==
               static_cast<ssize_t>(bytes.size());
    }

    bool SendTo(const std::string& address, uint16_t port, const std::vector<uint8_t>& bytes)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        ::inet_pton(AF_INET, address.c_str(), &to.sin_addr);
        return SendTo(to, bytes);
    }

private:
    int m_fd = -1;
    bool m_bound = false;
    uint16_t m_port = 0;
};

// Polls `condition` every millisecond until it holds or `timeoutMs` passed.
template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        ::usleep(1000);
    }
    return condition();
}
