#include "acquisition/capture_link.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "acquisition/capture_protocol.h"

namespace cp = capture_protocol;

namespace {
constexpr int kMinDiscoveryPassMs = 500;
}

CCaptureLink::CCaptureLink() : m_captureEventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CCaptureLink::~CCaptureLink()
{
    // The thread must be gone before the buffers it may still touch are freed;
    // joining makes that certain whatever state it is in.
    m_stopRequested.store(true);
    if (m_thread.joinable())
        m_thread.join();
    delete[] m_front.words;
    m_front.words = nullptr;
    if (m_captureEventFd >= 0)
        ::close(m_captureEventFd);
}

void CCaptureLink::ConsumeCaptureEvents()
{
    uint64_t count = 0;
    if (m_captureEventFd >= 0)
        (void)::read(m_captureEventFd, &count, sizeof count);
}

void CCaptureLink::SetCore(const std::string& address, int port)
{
    m_coreAddress = address;
    m_corePort = port;
}

void CCaptureLink::SetAdapterSource(AdapterSource source)
{
    m_adapterSource = std::move(source);
}

void CCaptureLink::Start()
{
    std::call_once(m_startOnce, [this] {
        // Set here rather than in the thread, so that IsRunning is true as soon
        // as Start returns and a stop requested right away is not lost.
        m_running.store(true);
        m_thread = std::thread([this] { Run(); });
    });
}

void CCaptureLink::RequestStop()
{
    m_stopRequested.store(true);
}

bool CCaptureLink::IsRunning() const
{
    return m_running.load();
}

void CCaptureLink::StopAndWait()
{
    m_stopRequested.store(true);
    while (m_running.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
    if (m_thread.joinable())
        m_thread.join();
}

void CCaptureLink::ToggleRun()
{
    // Only the UI thread writes this flag, so the read-negate-write is not raced.
    m_runEnabled.store(!m_runEnabled.load());
}

void CCaptureLink::SetRunEnabled(bool enabled)
{
    m_runEnabled.store(enabled);
}

bool CCaptureLink::IsRunEnabled() const
{
    return m_runEnabled.load();
}

void CCaptureLink::TrigNow()
{
    m_trigNowRequested.store(true);
}

int32_t CCaptureLink::FrontCaptureId() const
{
    return m_front.captureId.load(std::memory_order_acquire);
}

std::string CCaptureLink::CoreAddress() const
{
    std::lock_guard<std::mutex> guard(m_coreLock);
    return m_activeAddress;
}

int CCaptureLink::CorePort() const
{
    std::lock_guard<std::mutex> guard(m_coreLock);
    return m_activePort;
}

bool CCaptureLink::FindCore(std::string& address, int& port)
{
    CDeviceScanner scanner(m_adapterSource);
    scanner.SetCancelCheck([this] { return m_stopRequested.load(); });
    for (;;) {
        if (m_stopRequested.load())
            return false;
        const auto passStart = std::chrono::steady_clock::now();
        scanner.Scan();
        if (const DeviceRecord* core = scanner.FirstLogicAnalyzer()) {
            address = core->address;
            port = core->port;
            return true;
        }
        // A pass normally lasts about a second per adapter; one that ended at
        // once (no usable adapter) is not repeated in a busy loop.
        while (std::chrono::steady_clock::now() - passStart < std::chrono::milliseconds(kMinDiscoveryPassMs) &&
               !m_stopRequested.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
    }
}

void CCaptureLink::Run()
{
    std::string address = m_coreAddress;
    int port = m_corePort;
    if (address.empty() && !FindCore(address, port)) {
        m_running.store(false);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_coreLock);
        m_activeAddress = address;
        m_activePort = port;
    }

    const int sock = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    timeval timeout{};
    timeout.tv_sec = cp::kReceiveTimeoutMs / 1000;
    timeout.tv_usec = (cp::kReceiveTimeoutMs % 1000) * 1000;
    if (::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
        std::perror("Error");
    const int receiveBuffer = cp::kSocketReceiveBufferBytes;
    if (::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0)
        std::perror("Error");

    // One address record serves as the destination of every request and as
    // the place where each receive stores its sender: whoever sent the last
    // datagram receives the next request.
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(static_cast<uint16_t>(port));
    (void)::inet_pton(AF_INET, address.c_str(), &peer.sin_addr);

    m_state = Idle;
    for (;;) {
        if (m_state == Idle) {
            const auto* to = reinterpret_cast<const sockaddr*>(&peer);
            if (m_trigNowRequested.load()) {
                m_trigNowRequested.store(false);
                const uint8_t request[2] = {cp::kRequestTag, cp::kTrigNowRequest};
                (void)::sendto(sock, request, sizeof request, 0, to, sizeof peer);
                m_requestsSent.fetch_add(1, std::memory_order_relaxed);
                m_state = Receiving;
            } else if (m_runEnabled.load()) {
                const uint8_t request[2] = {cp::kRequestTag, cp::kRunRequest};
                for (int i = 0; i < cp::kRunRequestRepeats; ++i)
                    (void)::sendto(sock, request, sizeof request, 0, to, sizeof peer);
                m_requestsSent.fetch_add(1, std::memory_order_relaxed);
                m_state = Receiving;
            }
        } else {
            ReceiveBurst(sock, &peer);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
        if (m_stopRequested.load())
            break;
    }
    if (sock >= 0)
        ::close(sock);
    m_running.store(false);
}

void CCaptureLink::ReceiveBurst(int sock, void* peerRecord)
{
    auto* peer = static_cast<sockaddr_in*>(peerRecord);
    uint8_t buffer[cp::kReceiveBufferBytes];
    for (;;) {
        socklen_t peerLength = sizeof *peer;
        // MSG_TRUNC makes the kernel report a datagram's real length, so one
        // larger than the buffer fails the receive instead of being cut short.
        const ssize_t received =
            ::recvfrom(sock, buffer, sizeof buffer, MSG_TRUNC, reinterpret_cast<sockaddr*>(peer), &peerLength);
        if (received < 0 || static_cast<size_t>(received) > sizeof buffer) {
            m_timeouts.fetch_add(1, std::memory_order_relaxed);
            m_state = Idle;
            return;
        }
        switch (m_assembler.Accept(buffer, static_cast<size_t>(received))) {
        case DatagramOutcome::Ignored:
        case DatagramOutcome::Accepted:
            break;
        case DatagramOutcome::ForeignCapture:
            return;   // stays Receiving; the next pass reads on
        case DatagramOutcome::Complete: {
            {
                std::lock_guard<std::mutex> guard(m_lock);
                m_assembler.HandOver(m_front);
            }
            m_completed.fetch_add(1, std::memory_order_relaxed);
            if (m_captureEventFd >= 0) {
                const uint64_t one = 1;
                (void)::write(m_captureEventFd, &one, sizeof one);
            }
            m_state = Idle;
            return;
        }
        }
        // A steady stream that never completes must not keep an exiting
        // application waiting.
        if (m_stopRequested.load())
            return;
    }
}
