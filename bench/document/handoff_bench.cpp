// SPDX-License-Identifier: GPL-3.0-or-later
// Hand-off of one 1,048,576-sample capture into 32 signals, beside a plain
// memcpy of the same number of output bytes.

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "acquisition/capture_frame.h"
#include "document/capture_handoff.h"
#include "document/vexlar_doc.h"

namespace {

constexpr int32_t kDepth = 1 << 20;
constexpr int kSignals = 32;

struct Fixture {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(size_t(kDepth) * 4);
    CaptureFrame frame;
    CVexlarDoc doc;

    Fixture()
    {
        std::mt19937 rng(1);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
        frame.captureId = 1;
        frame.words = bytes.data();
        frame.capacityBytes = static_cast<int32_t>(bytes.size());
        frame.depth = kDepth;
        frame.bitsPerSample = 32;
        frame.triggerPos = kDepth / 2;
        for (int k = 1; k < kSignals; ++k) {   // the start-up signal plus 31 fields
            CSignal* s = doc.AppendNewSignal();
            s->m_numBits = 1 + k % 12;
            s->m_firstBit = k;
            s->UpdateMask();
        }
        CopyCaptureIntoDocument(frame, doc);   // arrays grown once, as after the first capture
    }
};

void BM_HandOff32Signals(benchmark::State& state)
{
    Fixture f;
    for (auto _ : state) {
        CopyCaptureIntoDocument(f.frame, f.doc);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSignals * kDepth * 4);
}
BENCHMARK(BM_HandOff32Signals)->Unit(benchmark::kMillisecond);

void BM_MemcpySameOutputBytes(benchmark::State& state)
{
    Fixture f;
    for (auto _ : state) {
        for (CSignal* s : f.doc.m_signals)
            std::memcpy(s->m_samples, f.frame.words, size_t(kDepth) * 4);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kSignals * kDepth * 4);
}
BENCHMARK(BM_MemcpySameOutputBytes)->Unit(benchmark::kMillisecond);

}   // namespace

BENCHMARK_MAIN();
