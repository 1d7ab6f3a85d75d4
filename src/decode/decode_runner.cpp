// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decode_runner.h"

CDecodeRunner::CDecodeRunner(std::function<void()> onFinished) : m_onFinished(std::move(onFinished))
{}

CDecodeRunner::~CDecodeRunner()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
        m_pending.reset();
        m_cancel = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void CDecodeRunner::Submit(std::shared_ptr<const DecodeJob> job, uint64_t tag)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = std::move(job);
        m_pendingTag = tag;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { Loop(); });
    }
    m_wake.notify_all();
}

void CDecodeRunner::CancelAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending.reset();
    if (m_running)
        m_cancel = true;
}

bool CDecodeRunner::TakeResult(RunnerResult& out)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_haveResult)
        return false;
    out = std::move(m_result);
    m_result = RunnerResult();
    m_haveResult = false;
    return true;
}

bool CDecodeRunner::Busy() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running || m_pending != nullptr;
}

uint64_t CDecodeRunner::StartedCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_started;
}

void CDecodeRunner::Loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || m_pending != nullptr; });
        if (m_stop)
            return;
        std::shared_ptr<const DecodeJob> job = std::move(m_pending);
        const uint64_t tag = m_pendingTag;
        m_running = true;
        m_cancel = false;
        ++m_started;
        lock.unlock();

        auto result = std::make_shared<DecodeResult>(RunDecode(*job, &m_cancel));
        job.reset();

        lock.lock();
        m_running = false;
        m_result = RunnerResult{tag, std::move(result)};
        m_haveResult = true;
        if (m_onFinished) {
            lock.unlock();
            m_onFinished();
            lock.lock();
        }
    }
}
