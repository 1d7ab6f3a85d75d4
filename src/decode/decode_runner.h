// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs decodes on a worker thread of its own. A decode runs to its end; a job
// submitted meanwhile waits, and a newer one replaces it, so after a long
// decode the newest capture is decoded next and those in between are
// skipped. Results are taken by polling (the view's timer does), and the
// destructor cancels the running decode and waits for the thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "decode/decode_session.h"

struct RunnerResult {
    uint64_t tag = 0;   // the tag the job was submitted with
    std::shared_ptr<const DecodeResult> result;
};

class CDecodeRunner {
public:
    // `onFinished`, when given, is called on the worker thread after each
    // result is stored (to wake a waiting thread; it must not block).
    explicit CDecodeRunner(std::function<void()> onFinished = {});
    ~CDecodeRunner();
    CDecodeRunner(const CDecodeRunner&) = delete;
    CDecodeRunner& operator=(const CDecodeRunner&) = delete;

    // Queues a decode; a queued job that has not started is replaced.
    void Submit(std::shared_ptr<const DecodeJob> job, uint64_t tag);
    // Cancels the running decode (its result comes back marked cancelled) and
    // drops the queued one: for settings that changed or a row that goes.
    void CancelAll();

    // The newest result not taken yet (older untaken ones are dropped).
    bool TakeResult(RunnerResult& out);
    // A decode runs or waits.
    bool Busy() const;
    // Decodes started so far (tests wait on it).
    uint64_t StartedCount() const;

private:
    void Loop();

    std::function<void()> m_onFinished;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const DecodeJob> m_pending;
    uint64_t m_pendingTag = 0;
    bool m_running = false;
    bool m_stop = false;
    uint64_t m_started = 0;
    bool m_haveResult = false;
    RunnerResult m_result;
    std::atomic<bool> m_cancel{false};
    std::thread m_thread;   // started with the first job
};
