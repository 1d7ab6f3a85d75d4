// SPDX-License-Identifier: GPL-3.0-or-later
#include "core_simulator.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace coresim {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr size_t kPayloadBytes = 1024;
constexpr size_t kDatagramBytes = kHeaderBytes + kPayloadBytes;
// The client sends its run request three times back to back. Requests that
// arrive while a capture is being sent, or within this window after the
// request that started the last capture, are the same request repeated and
// get no capture of their own. The client's next genuine request comes at
// least 10 ms after it has received a whole capture, well outside the window.
constexpr int64_t kDuplicateWindowNs = 5'000'000;
// The two further copies of a run request are expected after the one that was
// answered and are ignored when they come within this time, however late the
// kernel delivers them: on a busy machine a copy sent in the same call as the
// first can arrive after the whole capture has left.
constexpr int64_t kCopyWindowNs = 200'000'000;
constexpr int kRunRequestCopies = 3;
constexpr int kUartSamplesPerBit = 16;
constexpr char kUartText[] = "Vexlar\r\n";

int64_t RealtimeNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

int64_t MonotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

uint32_t UartLevel(uint32_t index)
{
    constexpr uint32_t bitsPerFrame = 12;   // start, 8 data, stop, 2 idle
    const uint32_t textLength = sizeof kUartText - 1;
    const uint32_t frameSamples = bitsPerFrame * kUartSamplesPerBit;
    const uint32_t frame = index / frameSamples;
    const uint32_t bit = (index % frameSamples) / kUartSamplesPerBit;
    const auto ch = static_cast<uint8_t>(kUartText[frame % textLength]);
    if (bit == 0)
        return 0;   // start bit
    if (bit <= 8)
        return (ch >> (bit - 1)) & 1u;   // data, least significant bit first
    return 1;                            // stop bit and idle
}

void PutHeader(uint8_t* d, uint8_t type, uint16_t id, uint16_t index, int widthExp, int depthExp)
{
    d[0] = type;
    d[1] = 0;
    d[2] = static_cast<uint8_t>(id >> 8);
    d[3] = static_cast<uint8_t>(id);
    d[4] = static_cast<uint8_t>(index >> 8);
    d[5] = static_cast<uint8_t>(index);
    d[6] = static_cast<uint8_t>(widthExp);
    d[7] = static_cast<uint8_t>(depthExp);
}

// Byte `byte` of a sample word, least significant first. Samples wider than
// the 32-bit pattern are zero above it (a shift of 32 or more would be undefined).
uint8_t SampleByte(uint32_t word, int byte)
{
    return byte < 4 ? static_cast<uint8_t>(word >> (8 * byte)) : 0;
}

// Payload bytes of packet `index` of capture `id`: samples of width
// `sampleBytes`, least significant byte first, zero beyond the capture.
void PutPayload(uint8_t* payload, uint16_t id, int index, int sampleBytes, int64_t captureBytes)
{
    const int64_t base = static_cast<int64_t>(index) * static_cast<int64_t>(kPayloadBytes);
    for (size_t k = 0; k < kPayloadBytes; ++k) {
        const int64_t offset = base + static_cast<int64_t>(k);
        if (offset >= captureBytes) {
            payload[k] = 0;
            continue;
        }
        const auto sample = static_cast<uint32_t>(offset / sampleBytes);
        const int byte = static_cast<int>(offset % sampleBytes);
        payload[k] = SampleByte(PatternWord(id, sample), byte);
    }
}

// Receives one datagram without blocking, with its sender; `onControl` sees
// each piece of ancillary data (arrival interface, kernel time stamp).
template <typename OnControl>
ssize_t ReceiveDatagram(int fd, uint8_t* buffer, size_t size, sockaddr_in& sender, OnControl onControl)
{
    alignas(cmsghdr) char control[256];
    iovec iov{buffer, size};
    msghdr msg{};
    msg.msg_name = &sender;
    msg.msg_namelen = sizeof sender;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(fd, &msg, MSG_DONTWAIT);
    if (received >= 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c))
            onControl(*c);
    }
    return received;
}

int InterfaceIndexOf(const std::string& address)
{
    in_addr wanted{};
    if (::inet_pton(AF_INET, address.c_str(), &wanted) != 1 || wanted.s_addr == htonl(INADDR_ANY))
        return 0;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return 0;
    int index = 0;
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        if (in->sin_addr.s_addr == wanted.s_addr) {
            index = static_cast<int>(::if_nametoindex(it->ifa_name));
            break;
        }
    }
    ::freeifaddrs(list);
    return index;
}

}   // namespace

namespace {

uint32_t SineSample(uint16_t captureId, uint32_t index)
{
    constexpr double kTwoPi = 6.283185307179586;
    const double phase = kTwoPi * (static_cast<double>(index % 4096) * 8.0 / 4096.0) + 0.1 * captureId;
    return static_cast<uint32_t>(std::lround(2048.0 + 2000.0 * std::sin(phase))) & 0xFFFu;
}

uint32_t PatternWordWithSine(uint16_t captureId, uint32_t index, uint32_t sine)
{
    const uint32_t clock = index & 1u;
    const uint32_t bus = ((index >> 4) + captureId) & 0xFFu;
    const uint32_t uart = UartLevel(index);
    const uint32_t strobe = (index & 0xFFu) == 0 ? 1u : 0u;
    const uint32_t counter = index & 0xFFu;
    return clock | (bus << 1) | (uart << 9) | (strobe << 10) | (sine << 12) | (counter << 24);
}

// The whole capture's bytes, generated before sending so that a paced
// capture is paced by the wire and not by the pattern generator.
bool FillCapture(std::vector<uint8_t>& out, uint16_t captureId, int sampleBytes, int64_t captureBytes,
                 size_t paddedBytes, const std::atomic<bool>& stop)
{
    out.assign(paddedBytes, 0);
    uint32_t sine[4096];
    for (uint32_t i = 0; i < 4096; ++i)
        sine[i] = SineSample(captureId, i);
    const auto samples = static_cast<uint32_t>(captureBytes / sampleBytes);
    uint8_t* p = out.data();
    for (uint32_t i = 0; i < samples; ++i) {
        if ((i & 0xFFFFu) == 0 && stop.load())
            return false;   // a deep capture must not hold up Stop
        const uint32_t word = PatternWordWithSine(captureId, i, sine[i % 4096]);
        for (int b = 0; b < sampleBytes; ++b)
            *p++ = SampleByte(word, b);
    }
    return true;
}

}   // namespace

uint32_t PatternWord(uint16_t captureId, uint32_t index)
{
    return PatternWordWithSine(captureId, index, SineSample(captureId, index));
}

CoreSimulator::CoreSimulator(CoreOptions options) : m_options(std::move(options))
{}

CoreSimulator::~CoreSimulator()
{
    Stop();
}

bool CoreSimulator::Start()
{
    std::lock_guard<std::mutex> guard(m_startLock);
    if (m_thread.joinable())
        return true;
    auto fail = [this](const char* what) {
        m_error = std::string(what) + ": " + std::strerror(errno);
        for (int* fd : {&m_captureSocket, &m_discoverySocket, &m_wakeFd}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
        return false;
    };
    if (m_options.widthExponent < 0 || m_options.widthExponent > 7 || m_options.depthExponent < 0 ||
        m_options.depthExponent > 30) {
        errno = EINVAL;
        return fail("exponents");
    }
    // Datagrams are numbered with a 16-bit packet index: 65536 of them (64 MiB)
    // is the largest capture that can be sent at all.
    const int64_t captureBytes = (int64_t{1} << m_options.widthExponent) << m_options.depthExponent;
    if (captureBytes > int64_t{65536} * static_cast<int64_t>(kPayloadBytes)) {
        errno = EINVAL;
        return fail("capture larger than 65536 datagrams");
    }

    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::inet_pton(AF_INET, m_options.address.c_str(), &local.sin_addr) != 1) {
        errno = EINVAL;
        return fail("address");
    }
    const int enable = 1;

    m_captureSocket = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (m_captureSocket < 0)
        return fail("capture socket");
    ::setsockopt(m_captureSocket, SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);
    ::setsockopt(m_captureSocket, SOL_SOCKET, SO_TIMESTAMPNS, &enable, sizeof enable);
    const int sendBuffer = 4 * 1024 * 1024;
    ::setsockopt(m_captureSocket, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
    local.sin_port = htons(static_cast<uint16_t>(m_options.capturePort));
    if (::bind(m_captureSocket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return fail("bind capture port");
    sockaddr_in bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(m_captureSocket, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    m_capturePort = ntohs(bound.sin_port);

    if (m_options.discoveryPort > 0) {
        // Broadcasts are delivered only to sockets bound to the wildcard
        // address; replies to requests from other interfaces than the one
        // owning our address are suppressed below, so the simulator answers
        // only on its own network.
        m_discoverySocket = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (m_discoverySocket < 0)
            return fail("discovery socket");
        ::setsockopt(m_discoverySocket, SOL_SOCKET, SO_REUSEADDR, &enable, sizeof enable);
        ::setsockopt(m_discoverySocket, IPPROTO_IP, IP_PKTINFO, &enable, sizeof enable);
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = htons(static_cast<uint16_t>(m_options.discoveryPort));
        if (::bind(m_discoverySocket, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0)
            return fail("bind discovery port");
        m_discoveryPort = m_options.discoveryPort;
        m_interfaceIndex = InterfaceIndexOf(m_options.address);
    }

    m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (m_wakeFd < 0)
        return fail("eventfd");
    m_stop.store(false);
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void CoreSimulator::Stop()
{
    std::lock_guard<std::mutex> guard(m_startLock);
    m_stop.store(true);
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_wakeFd, &one, sizeof one);
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int* fd : {&m_captureSocket, &m_discoverySocket, &m_wakeFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

void CoreSimulator::Loop()
{
    while (!m_stop.load()) {
        pollfd fds[3] = {{m_wakeFd, POLLIN, 0}, {m_captureSocket, POLLIN, 0}, {m_discoverySocket, POLLIN, 0}};
        const nfds_t count = m_discoverySocket >= 0 ? 3 : 2;
        if (::poll(fds, count, 500) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;
        if (fds[2].revents & POLLIN)
            AnswerDiscovery();
        if (fds[1].revents & POLLIN)
            ServeRequest();
    }
}

void CoreSimulator::AnswerDiscovery()
{
    uint8_t buffer[1024];
    sockaddr_in sender{};
    int arrivedOn = 0;
    const ssize_t received = ReceiveDatagram(m_discoverySocket, buffer, sizeof buffer, sender, [&](const cmsghdr& c) {
        if (c.cmsg_level == IPPROTO_IP && c.cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(&c), sizeof info);
            arrivedOn = info.ipi_ifindex;
        }
    });
    if (received < 1 || buffer[0] != 'V')
        return;
    if (m_interfaceIndex != 0 && arrivedOn != m_interfaceIndex)
        return;   // a request from another network than ours
    const uint32_t id = m_options.coreId;
    const auto port = static_cast<uint16_t>(m_capturePort);
    const uint8_t reply[8] = {'W',
                              m_options.status,
                              static_cast<uint8_t>(id >> 24),
                              static_cast<uint8_t>(id >> 16),
                              static_cast<uint8_t>(id >> 8),
                              static_cast<uint8_t>(id),
                              static_cast<uint8_t>(port >> 8),
                              static_cast<uint8_t>(port)};
    // Sent from the capture socket, so the reply's sender is our address.
    if (::sendto(m_captureSocket, reply, sizeof reply, 0, reinterpret_cast<const sockaddr*>(&sender), sizeof sender) ==
        static_cast<ssize_t>(sizeof reply))
        m_discoveryReplies.fetch_add(1);
}

void CoreSimulator::ServeRequest()
{
    uint8_t buffer[64];
    sockaddr_in client{};
    int64_t arrivalNs = RealtimeNs();
    const ssize_t received = ReceiveDatagram(m_captureSocket, buffer, sizeof buffer, client, [&](const cmsghdr& c) {
        if (c.cmsg_level == SOL_SOCKET && c.cmsg_type == SCM_TIMESTAMPNS) {
            timespec ts{};
            std::memcpy(&ts, CMSG_DATA(&c), sizeof ts);
            arrivalNs = static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
        }
    });
    if (received != 2 || buffer[0] != 0xE2 || (buffer[1] != 0xC2 && buffer[1] != 0xC1))
        return;
    const bool copy = buffer[1] == 0xC2 && m_copiesExpected > 0 && arrivalNs - m_lastAcceptNs < kCopyWindowNs;
    if (copy)
        --m_copiesExpected;
    if (copy || arrivalNs < m_sendEndNs || arrivalNs - m_lastAcceptNs < kDuplicateWindowNs) {
        m_requestsIgnored.fetch_add(1);
        return;
    }
    m_lastAcceptNs = arrivalNs;
    m_copiesExpected = buffer[1] == 0xC2 ? kRunRequestCopies - 1 : 0;
    m_requestsAccepted.fetch_add(1);
    m_lastClientPort.store(ntohs(client.sin_port));
    SendCapture(&client);
    m_sendEndNs = RealtimeNs();
}

bool CoreSimulator::WaitUntilOrStop(int64_t deadlineNs)
{
    for (;;) {
        if (m_stop.load())
            return false;
        const int64_t left = deadlineNs - MonotonicNs();
        if (left <= 0)
            return true;
        if (left > 2'000'000) {
            pollfd wake{m_wakeFd, POLLIN, 0};
            ::poll(&wake, 1, static_cast<int>(left / 1'000'000) - 1);
        } else {
            sched_yield();   // short gaps of a paced train: stay precise
        }
    }
}

void CoreSimulator::SendCapture(const void* clientAddress)
{
    const auto* client = static_cast<const sockaddr_in*>(clientAddress);
    const CoreOptions& o = m_options;
    const uint16_t id = m_nextCaptureId;
    m_nextCaptureId = static_cast<uint16_t>(m_nextCaptureId + 1);
    if (m_nextCaptureId == 0)
        m_nextCaptureId = 1;   // 0 means "no capture yet" to the client
    const uint16_t previousId = static_cast<uint16_t>(id == 1 ? 0xFFFF : id - 1);

    const int sampleBytes = (8 << o.widthExponent) / 8;
    const int64_t captureBytes = static_cast<int64_t>(sampleBytes) << o.depthExponent;
    const int packets = static_cast<int>(std::max<int64_t>(1, (captureBytes + 1023) / 1024));
    const bool faulty = o.faultCaptures < 0 || m_capturesSent.load() < static_cast<uint32_t>(o.faultCaptures);

    // The order in which datagrams leave; a negative entry -n is late packet n
    // of the previous capture.
    std::vector<int> order;
    order.reserve(static_cast<size_t>(packets) + 8);
    for (int k = 0; k < packets; ++k) {
        if (faulty && k == o.lateBeforeIndex) {
            for (int late = 1; late <= o.latePackets; ++late)
                order.push_back(-late);
        }
        if (faulty && ((k == 0 && o.loseFirstPacket) || o.dropIndexes.count(k) != 0))
            continue;
        order.push_back(k);
        if (faulty && o.duplicateIndexes.count(k) != 0)
            order.push_back(k);
    }
    if (faulty && !o.reorderIndexes.empty()) {
        for (size_t i = 0; i + 1 < order.size(); ++i) {
            if (order[i] >= 0 && o.reorderIndexes.count(order[i]) != 0) {
                std::swap(order[i], order[i + 1]);
                ++i;
            }
        }
    }

    if (!FillCapture(m_captureBytes, id, sampleBytes, captureBytes, static_cast<size_t>(packets) * kPayloadBytes,
                     m_stop))
        return;
    // Lay the whole train out first, faults included, so that sending is
    // nothing but the wire: a paced capture keeps its rate.
    struct Slot {
        size_t offset;
        size_t length;
        bool delayed;
    };
    std::vector<Slot> slots;
    slots.reserve(order.size());
    size_t trainBytes = 0;
    for (int entry : order) {
        const int index = entry < 0 ? -entry : entry;
        size_t length = kDatagramBytes;
        bool delayed = false;
        if (faulty && entry >= 0) {
            if (o.shortIndexes.count(index) != 0)
                length = static_cast<size_t>(std::clamp(o.shortLength, 0, static_cast<int>(kDatagramBytes)));
            else if (o.oversizedIndexes.count(index) != 0)
                length = std::max(kDatagramBytes, static_cast<size_t>(o.oversizedLength));
            delayed = o.delayIndexes.count(index) != 0;
        }
        slots.push_back({trainBytes, length, delayed});
        trainBytes += std::max(length, kDatagramBytes);
    }
    m_train.assign(trainBytes, 0);
    for (size_t n = 0; n < order.size(); ++n) {
        const bool late = order[n] < 0;
        const int index = late ? -order[n] : order[n];
        const uint16_t packetId = late ? previousId : id;
        uint8_t* d = m_train.data() + slots[n].offset;
        PutHeader(d, index == 0 ? 0xE1 : 0xE2, packetId, static_cast<uint16_t>(index), o.widthExponent,
                  o.depthExponent);
        if (late)
            PutPayload(d + kHeaderBytes, packetId, index, sampleBytes, captureBytes);
        else
            std::memcpy(d + kHeaderBytes, m_captureBytes.data() + static_cast<size_t>(index) * kPayloadBytes,
                        kPayloadBytes);
    }

    const double nsPerBit = o.bitsPerSecond > 0 ? 1e9 / o.bitsPerSecond : 0.0;
    const int64_t startNs = MonotonicNs();
    int64_t shiftNs = 0;   // pauses of delayed datagrams
    double bitsSent = 0;
    constexpr size_t kBatch = 64;
    mmsghdr messages[kBatch];
    iovec vectors[kBatch];
    size_t n = 0;
    while (n < slots.size()) {
        if (m_stop.load())
            return;
        if (slots[n].delayed) {
            const int64_t pause = static_cast<int64_t>(o.delayMs) * 1'000'000;
            shiftNs += pause;
            if (!WaitUntilOrStop(MonotonicNs() + pause))
                return;
        }
        if (nsPerBit > 0 && !WaitUntilOrStop(startNs + shiftNs + static_cast<int64_t>(bitsSent * nsPerBit)))
            return;
        // Send this datagram together with every following one that is
        // already due (a paced sender that fell behind catches up in one call).
        const int64_t now = MonotonicNs();
        size_t count = 0;
        double bits = bitsSent;
        while (n + count < slots.size() && count < kBatch) {
            const Slot& slot = slots[n + count];
            if (count > 0 &&
                (slot.delayed || (nsPerBit > 0 && startNs + shiftNs + static_cast<int64_t>(bits * nsPerBit) > now)))
                break;
            vectors[count].iov_base = m_train.data() + slot.offset;
            vectors[count].iov_len = slot.length;
            messages[count] = {};
            messages[count].msg_hdr.msg_name = const_cast<sockaddr_in*>(client);
            messages[count].msg_hdr.msg_namelen = sizeof *client;
            messages[count].msg_hdr.msg_iov = &vectors[count];
            messages[count].msg_hdr.msg_iovlen = 1;
            bits += static_cast<double>(slot.length) * 8.0;
            ++count;
        }
        // A datagram the system refuses is lost, as on a real wire.
        const int sent = ::sendmmsg(m_captureSocket, messages, static_cast<unsigned>(count), 0);
        (void)sent;
        bitsSent = bits;
        n += count;
    }
    // Only this thread writes the two totals.
    m_captureBits.store(m_captureBits.load() + bitsSent);
    m_captureSendSeconds.store(m_captureSendSeconds.load() + static_cast<double>(MonotonicNs() - startNs) * 1e-9);
    m_capturesSent.fetch_add(1);
}

}   // namespace coresim
