// SPDX-License-Identifier: GPL-3.0-or-later
// The decode worker: a running decode finishes, then only the newest of the
// jobs submitted meanwhile runs; cancelling stops a long decode early; the
// destructor ends a running decode.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "decode/decode_runner.h"
#include "protocol_captures.h"

namespace {

using namespace std::chrono_literals;

bool HaveDecoders()
{
    return CDecoderCatalog::Instance().Error().empty();
}

// A UART job of `bytes` bytes; each byte takes 130 samples.
std::shared_ptr<const DecodeJob> UartJob(int bytes, uint8_t value)
{
    WordStream s;
    AppendUart(s, 0, std::vector<uint8_t>(static_cast<size_t>(bytes), value), 10, 30);
    CVexlarDoc doc;
    FillDocument(doc, s.words, {"rx"}, 1e6);
    auto job = std::make_shared<DecodeJob>();
    std::string error;
    EXPECT_TRUE(ParseDecoderLine("uart:rx=rx:baudrate=100000", CDecoderCatalog::Instance(), job->stack, error));
    EXPECT_TRUE(BuildDecodeInput(job->stack, doc.m_signals, job->input, error));
    job->samplerate = 1000000;
    return job;
}

template <typename Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds timeout = 60s)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

size_t DataCount(const DecodeResult& r)
{
    size_t n = 0;
    for (const Annotation& a : r.annotations.Items())
        n += r.annotations.ClassId(a) == "rx-data";
    return n;
}

TEST(DecodeRunner, FinishesTheRunningDecodeThenTakesOnlyTheNewestJob)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    // Each result is taken in the finish callback, before the worker looks
    // for its next job: the test does not depend on how soon it is scheduled
    // (a result not taken in time is replaced by the next, by design).
    std::mutex resultsMutex;
    std::vector<RunnerResult> results;
    CDecodeRunner* self = nullptr;
    CDecodeRunner runner([&] {
        RunnerResult r;
        if (self->TakeResult(r)) {
            std::lock_guard<std::mutex> lock(resultsMutex);
            results.push_back(r);
        }
    });
    self = &runner;
    runner.Submit(UartJob(4000, 0x11), 1);
    ASSERT_TRUE(WaitFor([&] { return runner.StartedCount() == 1; }));
    runner.Submit(UartJob(5, 0x22), 2);
    runner.Submit(UartJob(5, 0x33), 3);
    runner.Submit(UartJob(5, 0x44), 4);

    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> lock(resultsMutex);
        return !runner.Busy() && results.size() == 2;
    })) << results.size()
        << " results";
    std::lock_guard<std::mutex> lock(resultsMutex);
    EXPECT_EQ(runner.StartedCount(), 2u);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].tag, 1u);
    ASSERT_TRUE(results[0].result->ok) << results[0].result->error;
    EXPECT_EQ(DataCount(*results[0].result), 4000u);   // ran to its end
    EXPECT_EQ(results[1].tag, 4u);
    ASSERT_TRUE(results[1].result->ok);
    EXPECT_EQ(DataCount(*results[1].result), 5u);
}

TEST(DecodeRunner, CancelStopsALongDecodeEarly)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    CDecodeRunner runner;
    // 20,000 bytes: 2.6 million samples, 40 blocks.
    runner.Submit(UartJob(20000, 0x5A), 7);
    ASSERT_TRUE(WaitFor([&] { return runner.StartedCount() == 1; }));
    runner.CancelAll();
    RunnerResult r;
    ASSERT_TRUE(WaitFor([&] { return runner.TakeResult(r); }));
    EXPECT_EQ(r.tag, 7u);
    EXPECT_TRUE(r.result->cancelled);
    EXPECT_FALSE(r.result->ok);
    EXPECT_LT(DataCount(*r.result), 20000u);
    EXPECT_FALSE(runner.Busy());
}

TEST(DecodeRunner, DestructionEndsARunningDecode)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    std::atomic<int> finished{0};
    {
        CDecodeRunner runner([&] { ++finished; });
        runner.Submit(UartJob(20000, 0x5A), 1);
        ASSERT_TRUE(WaitFor([&] { return runner.StartedCount() == 1; }));
    }
    // The decode was cut short and its (cancelled) result stored once.
    EXPECT_EQ(finished.load(), 1);
}

}   // namespace
