#pragma once
// Client end of the UDP capture link to one logic-analyzer core. A worker
// thread requests captures, reassembles them and hands each complete one over
// to the user interface by exchanging buffers under m_lock. Commands only set
// flags that the thread polls.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "acquisition/capture_assembler.h"
#include "acquisition/capture_frame.h"
#include "acquisition/device_scanner.h"

class CCaptureLink {
public:
    enum State : int32_t { Idle = 0, Receiving = 1 };

    CCaptureLink();
    ~CCaptureLink();
    CCaptureLink(const CCaptureLink&) = delete;
    CCaptureLink& operator=(const CCaptureLink&) = delete;

    std::mutex m_lock;      // guards m_front
    CaptureFrame m_front;   // last complete capture

    void SetCore(const std::string& address, int port);   // before Start; empty address = discover
    void SetAdapterSource(AdapterSource source);          // restricts the discovery fallback
    void Start();                                         // starts the capture thread (once)
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

    // Counters for tests, benchmarks and diagnostics; readable from any thread.
    uint64_t CompletedCaptures() const { return m_completed.load(std::memory_order_relaxed); }
    uint64_t ReceiveTimeouts() const { return m_timeouts.load(std::memory_order_relaxed); }
    uint64_t RequestsSent() const { return m_requestsSent.load(std::memory_order_relaxed); }
    uint32_t BufferAllocations() const { return m_assembler.Allocations(); }
    // Address and port of the core in use, once the thread has one.
    std::string CoreAddress() const;
    int CorePort() const;

private:
    void Run();
    bool FindCore(std::string& address, int& port);
    void ReceiveBurst(int sock, void* peer);

    std::string m_coreAddress;
    int m_corePort = 0;
    AdapterSource m_adapterSource;

    std::atomic<bool> m_running{false};
    std::atomic<bool> m_runEnabled{true};
    std::atomic<bool> m_trigNowRequested{false};
    std::atomic<bool> m_stopRequested{false};
    int32_t m_state = Idle;          // capture thread only
    CCaptureAssembler m_assembler;   // m_back and the packet count; capture thread only

    std::atomic<uint64_t> m_completed{0};
    std::atomic<uint64_t> m_timeouts{0};
    std::atomic<uint64_t> m_requestsSent{0};

    mutable std::mutex m_coreLock;   // guards m_activeAddress / m_activePort
    std::string m_activeAddress;
    int m_activePort = 0;

    int m_captureEventFd = -1;

    std::once_flag m_startOnce;
    std::thread m_thread;
};
