// SPDX-License-Identifier: GPL-3.0-or-later
// UpdateSpectrum of one signal per call, beside FFTW doing the same two
// 4096-point complex transforms with the same conversion, windowing, power
// sum and logarithms; and the cost of a repeated update on an unchanged capture.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "model/signal.h"

#if VEXLAR_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

constexpr int kN = 4096;

void FillRandom12(CSignal& s)
{
    std::mt19937 rng(2024);
    s.m_numBits = 12;
    s.UpdateMask();
    s.EnsureCapacity(8192);
    for (int i = 0; i < 8192; ++i)
        s.m_samples[i] = rng() & 0xFFF;
    s.m_count = 8192;
}

void BM_UpdateSpectrum(benchmark::State& state)
{
    SignalList owner;
    CSignal s(&owner);
    FillRandom12(s);
    for (auto _ : state) {
        s.m_samples[0] ^= 1;   // a new capture every call: always recomputed
        s.UpdateSpectrum();
        benchmark::DoNotOptimize(s.m_spectrumDb[1]);
    }
}
BENCHMARK(BM_UpdateSpectrum)->Unit(benchmark::kMicrosecond);

void BM_UpdateSpectrumUnchanged(benchmark::State& state)
{
    SignalList owner;
    CSignal s(&owner);
    FillRandom12(s);
    s.UpdateSpectrum();
    for (auto _ : state) {
        s.UpdateSpectrum();
        benchmark::DoNotOptimize(s.m_spectrumDb[1]);
    }
}
BENCHMARK(BM_UpdateSpectrumUnchanged)->Unit(benchmark::kMicrosecond);

#if VEXLAR_HAVE_FFTW
// The same computation with FFTW's transform.
struct FftwSpectrum {
    fftw_complex* io;
    fftw_plan plan;
    std::vector<double> window;
    std::vector<double> input;

    FftwSpectrum() : window(kN), input(2 * kN)
    {
        io = fftw_alloc_complex(kN);
        plan = fftw_plan_dft_1d(kN, io, io, FFTW_FORWARD, FFTW_MEASURE);
        for (int i = 0; i < kN; ++i) {
            const double v = std::sin(M_PI * i / (kN - 1));
            window[i] = v * v;
        }
    }
    ~FftwSpectrum()
    {
        fftw_destroy_plan(plan);
        fftw_free(io);
    }

    void Compute(const CSignal& s, double* out)
    {
        const int used = std::clamp(s.m_count, 0, kN + kN / 2);
        for (int i = 0; i < used; ++i)
            input[i] = static_cast<double>(static_cast<int32_t>(s.SignExtend(s.m_samples[i])));
        std::fill(input.begin() + used, input.end(), 0.0);
        std::fill(out, out + kN / 2, 0.0);
        for (int offset = 0; offset + kN < 2 * kN; offset += kN / 2) {
            for (int i = 0; i < kN; ++i) {
                io[i][0] = window[i] * input[offset + i];
                io[i][1] = 0.0;
            }
            fftw_execute(plan);
            for (int k = 0; k < kN / 2; ++k)
                out[k] += io[k][0] * io[k][0] + io[k][1] * io[k][1];
        }
        const double scale = 1.0 / (s.m_sampleFreq * 4096.0) / 2.0;
        for (int k = 1; k < kN / 2; ++k)
            out[k] *= 2.0;
        for (int k = 0; k < kN / 2; ++k)
            out[k] = 10.0 * std::log10(out[k] * scale);
    }
};

void BM_FftwSameWork(benchmark::State& state)
{
    SignalList owner;
    CSignal s(&owner);
    FillRandom12(s);
    FftwSpectrum fftw;
    std::vector<double> out(kN / 2);

    // Agreement with UpdateSpectrum on the same random 12-bit input, bin by bin.
    s.UpdateSpectrum();
    fftw.Compute(s, out.data());
    double worst = 0;
    for (int k = 0; k < kN / 2; ++k)
        worst = std::max(worst, std::fabs(out[k] - s.m_spectrumDb[k]));
    state.counters["max_dB_difference"] = worst;
    if (!(worst <= 1e-6))
        state.SkipWithError("FFTW and UpdateSpectrum disagree by more than 1e-6 dB");

    for (auto _ : state) {
        s.m_samples[0] ^= 1;
        fftw.Compute(s, out.data());
        benchmark::DoNotOptimize(out[1]);
    }
}
BENCHMARK(BM_FftwSameWork)->Unit(benchmark::kMicrosecond);
#endif

}   // namespace

BENCHMARK_MAIN();
