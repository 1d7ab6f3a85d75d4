// SPDX-License-Identifier: GPL-3.0-or-later
#include "acquisition/capture_link.h"

#include <arpa/inet.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "acquisition/capture_protocol.h"

namespace cp = capture_protocol;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kMinDiscoveryPassMs = 500;
// Bounds each blocking receive; the thread waits for datagrams in poll(), which
// a stop, Run or Trig Now interrupts through the wake descriptor, so an idle
// link does not wake at all between its requests.
constexpr int kReceiveSliceMs = 100;
// After this many time-outs in a row the requests go back to the core's own
// port, whichever port delivered the last capture.
constexpr uint32_t kTimeoutsBeforeOwnPort = 3;
constexpr auto kRateWindow = std::chrono::seconds(2);
// Datagrams queued before a request cannot answer it; discarding them is
// bounded in time so that a sender that never stops cannot hold the link.
constexpr auto kFlushLimit = std::chrono::milliseconds(200);

int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

bool SameSender(const sockaddr_in& a, const sockaddr_in& b)
{
    return a.sin_addr.s_addr == b.sin_addr.s_addr && a.sin_port == b.sin_port;
}

}   // namespace

CCaptureLink::CCaptureLink()
    : m_receiveBufferRequest(cp::kSocketReceiveBufferRequest),
      m_captureEventFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), m_wakeFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{}

CCaptureLink::~CCaptureLink()
{
    // The thread must be gone before the buffers it may still touch are freed;
    // joining makes that certain whatever state it is in.
    RequestStop();
    if (m_thread.joinable())
        m_thread.join();
    delete[] m_front.words;
    m_front.words = nullptr;
    delete[] m_spareWords;
    if (m_captureEventFd >= 0)
        ::close(m_captureEventFd);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void CCaptureLink::Wake()
{
    if (m_wakeFd >= 0)
        (void)::eventfd_write(m_wakeFd, 1);
}

bool CCaptureLink::WaitForDatagramOrWake(int sock, int timeoutMs)
{
    // Without a wake descriptor the wait is sliced, so a stop is still seen.
    if (m_wakeFd < 0 && (timeoutMs < 0 || timeoutMs > kReceiveSliceMs))
        timeoutMs = kReceiveSliceMs;
    pollfd fds[2] = {{sock, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, m_wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
        eventfd_t count = 0;
        (void)::eventfd_read(m_wakeFd, &count);
    }
    return ready > 0 && (fds[0].revents & (POLLIN | POLLERR)) != 0;
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

void CCaptureLink::SetReceiveBufferRequest(int bytes)
{
    m_receiveBufferRequest = bytes;
}

void CCaptureLink::SetBufferAllocator(CCaptureAssembler::BufferAllocator allocator)
{
    m_assembler.SetAllocator(allocator);
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
    Wake();
}

bool CCaptureLink::IsRunning() const
{
    return m_running.load();
}

void CCaptureLink::StopAndWait()
{
    RequestStop();
    while (m_running.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
    if (m_thread.joinable())
        m_thread.join();
}

void CCaptureLink::ToggleRun()
{
    // Only the UI thread writes this flag, so the read-negate-write is not raced.
    m_runEnabled.store(!m_runEnabled.load());
    Wake();
}

void CCaptureLink::SetRunEnabled(bool enabled)
{
    m_runEnabled.store(enabled);
    Wake();
}

bool CCaptureLink::IsRunEnabled() const
{
    return m_runEnabled.load();
}

void CCaptureLink::TrigNow()
{
    m_trigNowRequested.store(true);
    Wake();
}

int32_t CCaptureLink::FrontCaptureId() const
{
    return m_front.captureId.load(std::memory_order_acquire);
}

void CCaptureLink::TakeFront(CaptureFrame& taken)
{
    std::lock_guard<std::mutex> guard(m_lock);
    taken.captureId.store(m_front.captureId.load(std::memory_order_relaxed), std::memory_order_relaxed);
    taken.triggerPos = m_front.triggerPos;
    taken.depth = m_front.depth;
    taken.bitsPerSample = m_front.bitsPerSample;
    taken.words = m_front.words;
    taken.capacityBytes = m_front.capacityBytes;
    m_front.words = nullptr;
    m_front.capacityBytes = 0;
}

void CCaptureLink::ReturnFront(CaptureFrame& taken)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_front.words == nullptr && m_front.captureId.load(std::memory_order_relaxed) == taken.captureId.load()) {
        m_front.words = taken.words;
        m_front.capacityBytes = taken.capacityBytes;
    } else if (m_spareWords == nullptr) {
        m_spareWords = taken.words;
        m_spareCapacity = taken.capacityBytes;
    } else {
        delete[] taken.words;
    }
    taken.words = nullptr;
    taken.capacityBytes = 0;
}

std::string CCaptureLink::CoreAddress() const
{
    std::lock_guard<std::mutex> guard(m_statusLock);
    return m_activeAddress;
}

int CCaptureLink::CorePort() const
{
    std::lock_guard<std::mutex> guard(m_statusLock);
    return m_activePort;
}

CaptureLinkStatus CCaptureLink::Status() const
{
    CaptureLinkStatus s;
    const auto now = Clock::now();
    {
        std::lock_guard<std::mutex> guard(m_statusLock);
        s.coreAddress = m_activeAddress;
        s.corePort = m_activePort;
        s.notice = m_notice;
        s.noticeCount = m_noticeCount;
        size_t recent = 0;
        for (const auto& t : m_recentCompletions)
            recent += now - t <= kRateWindow ? 1 : 0;
        s.capturesPerSecond = static_cast<double>(recent) / std::chrono::duration<double>(kRateWindow).count();
    }
    s.searching = m_searching.load();
    s.searchAdapters = m_searchAdapters.load();
    s.capturesCompleted = m_completed.load();
    s.capturesLost = m_lost.load();
    s.capturesDropped = m_dropped.load();
    s.requestsSent = m_requestsSent.load();
    s.receiveTimeouts = m_timeouts.load();
    s.timeoutsInARow = m_timeoutsInARow.load();
    const int64_t lastAnswer = m_lastAnswerNs.load();
    s.secondsSinceAnswer = lastAnswer < 0 ? -1.0 : static_cast<double>(NowNs() - lastAnswer) * 1e-9;
    s.ignored.tooShort = m_ignoredTooShort.load();
    s.ignored.tooLong = m_ignoredTooLong.load();
    s.ignored.unsupportedWidth = m_ignoredWidth.load();
    s.ignored.depthAboveLimit = m_ignoredDepth.load();
    s.ignored.foreignSender = m_ignoredForeign.load();
    s.ignored.notInCapture = m_ignoredNotInCapture.load();
    s.ignored.duplicate = m_ignoredDuplicate.load();
    s.lastBitsPerSample = m_lastBitsPerSample.load();
    s.lastDepth = m_lastDepth.load();
    s.receiveBufferRequested = m_bufferGranted.load() > 0 ? m_receiveBufferRequest : 0;
    s.receiveBufferGranted = m_bufferGranted.load();
    s.receiveBufferTooSmall = m_bufferTooSmall.load();
    return s;
}

void CCaptureLink::PostNotice(const std::string& text, bool alsoToStderr)
{
    {
        std::lock_guard<std::mutex> guard(m_statusLock);
        m_notice = text;
        ++m_noticeCount;
    }
    if (alsoToStderr)
        std::fprintf(stderr, "vexlar: %s\n", text.c_str());
}

bool CCaptureLink::FindCore(std::string& address, int& port)
{
    CDeviceScanner scanner(m_adapterSource);
    scanner.SetCancelCheck([this] { return m_stopRequested.load(); });
    scanner.SetProgressCallback([this](int, int adapterCount) { m_searchAdapters.store(adapterCount); });
    m_searching.store(true);
    for (;;) {
        if (m_stopRequested.load())
            return false;
        const auto passStart = Clock::now();
        scanner.Scan();
        if (const DeviceRecord* core = scanner.FirstLogicAnalyzer()) {
            address = core->address;
            port = core->port;
            return true;
        }
        // A pass normally lasts about a second per adapter; one that ended at
        // once (no usable adapter) is not repeated in a busy loop.
        while (Clock::now() - passStart < std::chrono::milliseconds(kMinDiscoveryPassMs) && !m_stopRequested.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
    }
}

int CCaptureLink::OpenSocket()
{
    const int sock = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    // The receive time-out only bounds each wait for datagrams, so that a stop
    // request is seen promptly; the capture's own one-second time-out is kept
    // by the receive loop.
    timeval slice{};
    slice.tv_sec = kReceiveSliceMs / 1000;
    slice.tv_usec = (kReceiveSliceMs % 1000) * 1000;
    if (::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &slice, sizeof slice) != 0)
        std::perror("Error");
    // Room for a whole capture sent at wire rate. A process allowed to (with
    // CAP_NET_ADMIN) forces the size past net.core.rmem_max; others get at
    // most that limit.
    const int request = m_receiveBufferRequest;
    if (::setsockopt(sock, SOL_SOCKET, SO_RCVBUFFORCE, &request, sizeof request) != 0 &&
        ::setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &request, sizeof request) != 0)
        std::perror("Error");
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(sock, SOL_SOCKET, SO_RCVBUF, &granted, &length) == 0)
        m_bufferGranted.store(granted);
    return sock;
}

void CCaptureLink::Run()
{
    pthread_setname_np(pthread_self(), "capture-link");
    std::string address = m_coreAddress;
    int port = m_corePort;
    if (address.empty() && !FindCore(address, port)) {
        m_searching.store(false);
        m_running.store(false);
        return;
    }
    m_searching.store(false);
    {
        std::lock_guard<std::mutex> guard(m_statusLock);
        m_activeAddress = address;
        m_activePort = port;
    }

    const int sock = OpenSocket();
    (void)::inet_pton(AF_INET, address.c_str(), &m_coreIp);
    m_ownPort = static_cast<uint16_t>(port);
    m_destination = {};
    m_destination.sin_family = AF_INET;
    m_destination.sin_addr = m_coreIp;
    m_destination.sin_port = htons(m_ownPort);

    m_batchBytes.assign(static_cast<size_t>(kBatch) * cp::kReceiveBufferBytes, 0);
    m_batchHeaders.assign(kBatch, mmsghdr{});
    m_batchVectors.assign(kBatch, iovec{});
    m_batchSenders.assign(kBatch, sockaddr_in{});

    m_state = Idle;
    for (;;) {
        if (m_state == Idle) {
            SendRequest(sock);
            if (m_state == Idle) {
                // Neither Run nor Trig Now: nothing to do until one of them
                // (or a stop) wakes the thread.
                if (m_stopRequested.load())
                    break;
                (void)WaitForDatagramOrWake(-1, -1);
                continue;
            }
        }
        // Reading starts as soon as the request is out: a core with a deep
        // buffer sends the whole capture back to back at wire rate.
        if (m_state == Receiving)
            ReceiveCapture(sock);
        if (m_stopRequested.load())
            break;
        // The next request follows 10 ms after a hand-over or a time-out.
        std::this_thread::sleep_for(std::chrono::milliseconds(cp::kLoopPauseMs));
        if (m_stopRequested.load())
            break;
    }
    if (sock >= 0)
        ::close(sock);
    m_running.store(false);
}

void CCaptureLink::SendRequest(int sock)
{
    const bool trigNow = m_trigNowRequested.load();
    if (!trigNow && !m_runEnabled.load())
        return;
    // A capture that had begun to arrive and is still incomplete is lost now
    // (unless it was dropped for lack of memory, which is counted as such).
    if (m_answeredSinceRequest && !m_droppedSinceRequest)
        m_lost.fetch_add(1, std::memory_order_relaxed);
    m_answeredSinceRequest = false;
    m_droppedSinceRequest = false;
    m_assembler.Abandon();
    DiscardQueued(sock);

    const auto* to = reinterpret_cast<const sockaddr*>(&m_destination);
    if (trigNow) {
        m_trigNowRequested.store(false);
        const uint8_t request[2] = {cp::kRequestTag, cp::kTrigNowRequest};
        (void)::sendto(sock, request, sizeof request, 0, to, sizeof m_destination);
    } else {
        // The three copies leave in one call, back to back: a core that takes
        // copies arriving close together for one request must not see them
        // spread out by the scheduler and answer twice.
        uint8_t request[2] = {cp::kRequestTag, cp::kRunRequest};
        iovec vector{request, sizeof request};
        mmsghdr copies[cp::kRunRequestRepeats];
        for (mmsghdr& copy : copies) {
            copy = mmsghdr{};
            copy.msg_hdr.msg_name = &m_destination;
            copy.msg_hdr.msg_namelen = sizeof m_destination;
            copy.msg_hdr.msg_iov = &vector;
            copy.msg_hdr.msg_iovlen = 1;
        }
        (void)::sendmmsg(sock, copies, cp::kRunRequestRepeats, 0);
    }
    m_requestsSent.fetch_add(1, std::memory_order_relaxed);
    m_state = Receiving;
    m_deadline = Clock::now() + std::chrono::milliseconds(cp::kReceiveTimeoutMs);
}

int CCaptureLink::ReceiveBatch(int sock, int flags)
{
    for (int i = 0; i < kBatch; ++i) {
        m_batchVectors[i].iov_base = m_batchBytes.data() + static_cast<size_t>(i) * cp::kReceiveBufferBytes;
        m_batchVectors[i].iov_len = cp::kReceiveBufferBytes;
        mmsghdr& h = m_batchHeaders[i];
        h = mmsghdr{};
        h.msg_hdr.msg_name = &m_batchSenders[i];
        h.msg_hdr.msg_namelen = sizeof(sockaddr_in);
        h.msg_hdr.msg_iov = &m_batchVectors[i];
        h.msg_hdr.msg_iovlen = 1;
    }
    return ::recvmmsg(sock, m_batchHeaders.data(), kBatch, flags, nullptr);
}

void CCaptureLink::CountStale(const sockaddr_in& from)
{
    if (from.sin_family != AF_INET || from.sin_addr.s_addr != m_coreIp.s_addr)
        m_ignoredForeign.fetch_add(1, std::memory_order_relaxed);
    else
        m_ignoredNotInCapture.fetch_add(1, std::memory_order_relaxed);
}

void CCaptureLink::DiscardQueued(int sock)
{
    // Late packets of an abandoned capture, duplicates, or a flood that
    // filled the buffer: none of it answers the request about to go out.
    const auto end = Clock::now() + kFlushLimit;
    for (;;) {
        const int received = ReceiveBatch(sock, MSG_DONTWAIT);
        for (int i = 0; i < received; ++i)
            CountStale(m_batchSenders[i]);
        if (received < kBatch || Clock::now() >= end || m_stopRequested.load())
            return;
    }
}

void CCaptureLink::ReceiveCapture(int sock)
{
    while (m_state == Receiving) {
        if (m_stopRequested.load())
            return;
        if (Clock::now() >= m_deadline) {
            TimedOut();
            return;
        }
        // Sleeps until a datagram, a wake-up or the capture's deadline; then
        // takes every datagram already queued, up to a batch, without waiting.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(m_deadline - Clock::now()).count();
        if (!WaitForDatagramOrWake(sock, static_cast<int>(std::max<int64_t>(left, 0))))
            continue;
        const int received = ReceiveBatch(sock, MSG_WAITFORONE);
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
                continue;
            // Any other failure (no socket at all, for one) ends the capture
            // like a time-out rather than spinning.
            TimedOut();
            return;
        }
        for (int i = 0; i < received; ++i) {
            const mmsghdr& h = m_batchHeaders[i];
            // After a hand-over the rest of the batch answers no request.
            if (m_state != Receiving) {
                CountStale(m_batchSenders[i]);
                continue;
            }
            TakeDatagram(static_cast<const uint8_t*>(m_batchVectors[i].iov_base), h.msg_len,
                         (h.msg_hdr.msg_flags & MSG_TRUNC) != 0, m_batchSenders[i]);
        }
    }
}

void CCaptureLink::TimedOut()
{
    m_timeouts.fetch_add(1, std::memory_order_relaxed);
    const uint32_t inARow = m_timeoutsInARow.fetch_add(1, std::memory_order_relaxed) + 1;
    // A port that delivered a capture once but has gone quiet no longer gets
    // the requests: back to the port the core was found at.
    if (inARow >= kTimeoutsBeforeOwnPort)
        SetDestinationPort(m_ownPort);
    m_state = Idle;
}

void CCaptureLink::SetDestinationPort(uint16_t port)
{
    if (ntohs(m_destination.sin_port) == port)
        return;
    m_destination.sin_port = htons(port);
    std::lock_guard<std::mutex> guard(m_statusLock);
    m_activePort = port;
}

void CCaptureLink::TakeDatagram(const uint8_t* data, size_t length, bool truncated, const sockaddr_in& from)
{
    // Only the core's address may feed a capture; anybody else could
    // otherwise fill it with junk or take the requests over.
    if (from.sin_family != AF_INET || from.sin_addr.s_addr != m_coreIp.s_addr) {
        m_ignoredForeign.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    if (truncated || length > cp::kReceiveBufferBytes) {
        m_ignoredTooLong.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    // A capture belongs to the sender of its first packet: another socket of
    // the core's host adds nothing to it, and while the capture comes from
    // the port the request went to, another port cannot restart it either.
    const bool firstPacket = length > 0 && data[0] == cp::kFirstPacket;
    if (m_assembler.CaptureOpen() && !SameSender(from, m_captureSource)) {
        const bool openFromDestination = m_captureSource.sin_port == m_destination.sin_port;
        if (!firstPacket || openFromDestination || m_assembler.CaptureComplete()) {
            m_ignoredNotInCapture.fetch_add(1, std::memory_order_relaxed);
            return;
        }
    }

    const DatagramOutcome outcome = m_assembler.Accept(data, length);
    switch (outcome) {
    case DatagramOutcome::Ignored:
        CountFault(m_assembler.LastFault());
        return;
    case DatagramOutcome::ForeignCapture:
        m_ignoredNotInCapture.fetch_add(1, std::memory_order_relaxed);
        m_answeredSinceRequest = true;
        m_lastAnswerNs.store(NowNs(), std::memory_order_relaxed);
        return;
    case DatagramOutcome::Accepted:
    case DatagramOutcome::Complete:
        break;
    }
    m_answeredSinceRequest = true;
    m_lastAnswerNs.store(NowNs(), std::memory_order_relaxed);
    m_deadline = Clock::now() + std::chrono::milliseconds(cp::kReceiveTimeoutMs);
    if (firstPacket) {
        m_captureSource = from;
        m_lastBitsPerSample.store(m_assembler.Back().bitsPerSample, std::memory_order_relaxed);
        m_lastDepth.store(m_assembler.Back().depth, std::memory_order_relaxed);
        CheckReceiveBuffer();
    }
    if (outcome == DatagramOutcome::Complete)
        HandOverCapture(from);
}

void CCaptureLink::CountFault(DatagramFault fault)
{
    switch (fault) {
    case DatagramFault::TooShort:
        m_ignoredTooShort.fetch_add(1, std::memory_order_relaxed);
        break;
    case DatagramFault::UnsupportedWidth:
        m_ignoredWidth.fetch_add(1, std::memory_order_relaxed);
        break;
    case DatagramFault::DepthAboveLimit:
        m_ignoredDepth.fetch_add(1, std::memory_order_relaxed);
        break;
    case DatagramFault::UnknownType:
    case DatagramFault::NotInCapture:
        m_ignoredNotInCapture.fetch_add(1, std::memory_order_relaxed);
        break;
    case DatagramFault::Duplicate:
        m_ignoredDuplicate.fetch_add(1, std::memory_order_relaxed);
        m_answeredSinceRequest = true;
        break;
    case DatagramFault::OutOfMemory: {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        m_droppedSinceRequest = true;
        char text[160];
        std::snprintf(text, sizeof text, "Capture of %d samples dropped: not enough memory for its %lld-byte buffer.",
                      m_assembler.Back().depth, static_cast<long long>(m_assembler.CaptureBytes()));
        PostNotice(text, !m_dropWarned);
        m_dropWarned = true;
        break;
    }
    case DatagramFault::None:
        break;
    }
}

void CCaptureLink::CheckReceiveBuffer()
{
    const int64_t granted = m_bufferGranted.load();
    const int64_t captureBytes = m_assembler.CaptureBytes();
    if (m_bufferWarned || granted <= 0 || captureBytes <= granted)
        return;
    m_bufferWarned = true;
    m_bufferTooSmall.store(true);
    char text[256];
    std::snprintf(text, sizeof text,
                  "The socket receive buffer (%lld bytes) is smaller than a capture (%lld bytes): captures may be "
                  "lost. Fix: sysctl -w net.core.rmem_max=%d",
                  static_cast<long long>(granted), static_cast<long long>(captureBytes),
                  cp::kSocketReceiveBufferRequest);
    PostNotice(text, true);
}

void CCaptureLink::HandOverCapture(const sockaddr_in& from)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        // While the user interface copies out of the front buffer it has
        // taken it; the spare it gave back earlier takes its place.
        if (m_front.words == nullptr && m_spareWords != nullptr) {
            m_front.words = m_spareWords;
            m_front.capacityBytes = m_spareCapacity;
            m_spareWords = nullptr;
            m_spareCapacity = 0;
        }
        m_assembler.HandOver(m_front);
    }
    m_completed.fetch_add(1, std::memory_order_relaxed);
    m_timeoutsInARow.store(0, std::memory_order_relaxed);
    m_answeredSinceRequest = false;
    {
        const auto now = Clock::now();
        std::lock_guard<std::mutex> guard(m_statusLock);
        m_recentCompletions.push_back(now);
        while (!m_recentCompletions.empty() && now - m_recentCompletions.front() > kRateWindow)
            m_recentCompletions.pop_front();
    }
    if (m_captureEventFd >= 0) {
        const uint64_t one = 1;
        (void)::write(m_captureEventFd, &one, sizeof one);
    }
    // The port that delivered a whole capture gets the next request.
    SetDestinationPort(ntohs(from.sin_port));
    m_state = Idle;
}
