// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Client end of the UDP capture link to one logic-analyzer core. A worker
// thread requests captures, reads the datagrams as soon as a request is out,
// reassembles them and hands each complete capture over to the user interface
// by exchanging buffers under m_lock. Commands only set flags that the thread
// polls; Status() tells what the link is doing.

#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/capture_assembler.h"
#include "acquisition/capture_frame.h"
#include "acquisition/capture_link_status.h"
#include "acquisition/device_scanner.h"

class CCaptureLink {
public:
    enum State : int32_t { Idle = 0, Receiving = 1 };

    CCaptureLink();
    ~CCaptureLink();
    CCaptureLink(const CCaptureLink&) = delete;
    CCaptureLink& operator=(const CCaptureLink&) = delete;

    std::mutex m_lock;      // guards m_front (and the spare buffer)
    CaptureFrame m_front;   // last complete capture

    void SetCore(const std::string& address, int port);   // before Start; empty address = discover
    void SetAdapterSource(AdapterSource source);          // restricts the discovery fallback
    // Before Start: the socket receive buffer to ask for (default: room for
    // the largest capture the link accepts, capture_protocol::kSocketReceiveBufferRequest).
    void SetReceiveBufferRequest(int bytes);
    // Before Start: the allocator of sample buffers (tests simulate exhausted memory).
    void SetBufferAllocator(CCaptureAssembler::BufferAllocator allocator);
    void Start();   // starts the capture thread (once)
    void RequestStop();
    bool IsRunning() const;
    void StopAndWait();   // exit: sets the stop flag, waits in 10 ms steps until the thread left
    void ToggleRun();     // "&Run" command
    void SetRunEnabled(bool enabled);
    bool IsRunEnabled() const;
    void TrigNow();                   // "Trig &Now" command
    int32_t FrontCaptureId() const;   // atomic read of m_front.captureId
    // A non-blocking eventfd that becomes readable whenever a capture has been
    // handed over to m_front, so that the user interface can wait on it
    // instead of polling; the reader drains it with ConsumeCaptureEvents().
    // -1 when no eventfd could be made (then only FrontCaptureId tells).
    int CaptureEventFd() const { return m_captureEventFd; }
    void ConsumeCaptureEvents();

    // Copying out of the front capture without holding m_lock for the length
    // of the copy: TakeFront moves the front's sample buffer (with its depth,
    // width, trigger position and id) into `taken` under the lock and leaves
    // m_front without a buffer but with its id; ReturnFront gives it back.
    // When a newer capture was handed over in between, the returned buffer is
    // kept as the capture thread's spare instead. One taker at a time (the
    // user-interface thread).
    void TakeFront(CaptureFrame& taken);
    void ReturnFront(CaptureFrame& taken);

    // What the link is doing; any thread, any time.
    CaptureLinkStatus Status() const;

    // Counters for tests, benchmarks and diagnostics; readable from any thread.
    uint64_t CompletedCaptures() const { return m_completed.load(std::memory_order_relaxed); }
    uint64_t ReceiveTimeouts() const { return m_timeouts.load(std::memory_order_relaxed); }
    uint64_t RequestsSent() const { return m_requestsSent.load(std::memory_order_relaxed); }
    uint32_t BufferAllocations() const { return m_assembler.Allocations(); }
    // Address and port of the core in use, once the thread has one.
    std::string CoreAddress() const;
    int CorePort() const;

private:
    static constexpr int kBatch = 64;   // datagrams per receive call

    void Run();
    bool FindCore(std::string& address, int& port);
    int OpenSocket();
    void SendRequest(int sock);
    void ReceiveCapture(int sock);
    int ReceiveBatch(int sock, int flags);
    // Wakes the capture thread from a wait (stop, Run, Trig Now).
    void Wake();
    // Waits until the socket has a datagram, Wake() is called or `timeoutMs`
    // passes (-1: no limit). True when the socket is readable.
    bool WaitForDatagramOrWake(int sock, int timeoutMs);
    void DiscardQueued(int sock);
    void CountStale(const sockaddr_in& from);
    void TakeDatagram(const uint8_t* data, size_t length, bool truncated, const sockaddr_in& from);
    void CountFault(DatagramFault fault);
    void HandOverCapture(const sockaddr_in& from);
    void CheckReceiveBuffer();
    void TimedOut();
    void SetDestinationPort(uint16_t port);
    void PostNotice(const std::string& text, bool alsoToStderr);

    std::string m_coreAddress;
    int m_corePort = 0;
    AdapterSource m_adapterSource;
    int m_receiveBufferRequest;

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_runEnabled{true};
    std::atomic<bool> m_trigNowRequested{false};
    std::atomic<bool> m_stopRequested{false};

    // Capture thread only.
    int32_t m_state = Idle;
    CCaptureAssembler m_assembler;   // m_back and the packet count
    in_addr m_coreIp{};              // datagrams from any other address are ignored
    uint16_t m_ownPort = 0;          // the core's port from discovery or SetCore
    sockaddr_in m_destination{};     // where requests go
    sockaddr_in m_captureSource{};   // sender of the open capture's first packet
    bool m_answeredSinceRequest = false;
    bool m_droppedSinceRequest = false;
    bool m_bufferWarned = false;
    bool m_dropWarned = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::vector<uint8_t> m_batchBytes;
    std::vector<mmsghdr> m_batchHeaders;
    std::vector<iovec> m_batchVectors;
    std::vector<sockaddr_in> m_batchSenders;

    // Guarded by m_lock: a buffer given back while a newer capture was front.
    uint8_t* m_spareWords = nullptr;
    int32_t m_spareCapacity = 0;

    std::atomic<uint64_t> m_completed{0};
    std::atomic<uint64_t> m_timeouts{0};
    std::atomic<uint64_t> m_requestsSent{0};
    std::atomic<uint64_t> m_lost{0};
    std::atomic<uint64_t> m_dropped{0};
    std::atomic<uint32_t> m_timeoutsInARow{0};
    std::atomic<int64_t> m_lastAnswerNs{-1};   // steady clock; -1 before the first answer
    std::atomic<uint64_t> m_ignoredTooShort{0};
    std::atomic<uint64_t> m_ignoredTooLong{0};
    std::atomic<uint64_t> m_ignoredWidth{0};
    std::atomic<uint64_t> m_ignoredDepth{0};
    std::atomic<uint64_t> m_ignoredForeign{0};
    std::atomic<uint64_t> m_ignoredNotInCapture{0};
    std::atomic<uint64_t> m_ignoredDuplicate{0};
    std::atomic<int32_t> m_lastBitsPerSample{0};
    std::atomic<int32_t> m_lastDepth{0};
    std::atomic<int64_t> m_bufferGranted{0};
    std::atomic<bool> m_bufferTooSmall{false};
    std::atomic<bool> m_searching{false};
    std::atomic<int> m_searchAdapters{0};

    mutable std::mutex m_statusLock;   // guards what follows
    std::string m_activeAddress;
    int m_activePort = 0;
    std::deque<std::chrono::steady_clock::time_point> m_recentCompletions;
    std::string m_notice;
    uint64_t m_noticeCount = 0;

    int m_captureEventFd = -1;
    int m_wakeFd = -1;   // written by the controlling thread, read by the capture thread

    std::once_flag m_startOnce;
    std::thread m_thread;
};
