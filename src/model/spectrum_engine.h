// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// FFT engine of the spectrum display: a Hann window, twiddle tables and the
// work arrays of a 4096-point radix-2 transform. The window and the twiddles
// depend on the size only: they are computed once per process and shared,
// read-only, by every engine. The work arrays are allocated by the first
// AveragePower, so a signal that is never shown as a spectrum carries none.
// Not reentrant: AveragePower uses m_re and m_im as scratch, which is why
// every signal has its own engine.

#include <cstdint>

class CSpectrumEngine {
public:
    static constexpr int32_t kSize = 4096;               // N
    static constexpr int32_t kBins = kSize / 2;          // output bins of AveragePower
    static constexpr int32_t kInputLength = 2 * kSize;   // values AveragePower expects

    CSpectrumEngine();   // N = 4096
    ~CSpectrumEngine();
    CSpectrumEngine(const CSpectrumEngine&) = delete;
    CSpectrumEngine& operator=(const CSpectrumEngine&) = delete;

    // In-place forward FFT (twiddles e^(-2*pi*i*k/N)) of N complex values held
    // in two arrays of N doubles; decimation in time, no scaling.
    void Transform(double* re, double* im) const;

    // Welch average of the Hann-windowed segments at offsets 0 and N/2 of
    // `input` (at least 2N values; values 0..6143 are used) into `output`
    // (N/2 values, dB): bin 0 = 10 log10(P0 / (fs*N)), bin k>0 = 10 log10(2 Pk / (fs*N)).
    void AveragePower(const double* input, double* output, double sampleFreq);

    // True once AveragePower has allocated m_re and m_im.
    bool HasWorkArrays() const { return m_re != nullptr; }

    // Fields in declaration order. The tables point into the shared tables
    // of size N (never freed, never written); m_re and m_im are owned.
    const double* m_window = nullptr;     // N: sin(pi*i/(N-1))^2
    const double* m_cosTable = nullptr;   // N/2: cos(-2*pi*k/N)
    const double* m_sinTable = nullptr;   // N/2: sin(-2*pi*k/N)
    double* m_re = nullptr;               // N: real work array, null until first use
    double* m_im = nullptr;               // N: imaginary work array, null until first use
    int32_t m_size = kSize;

    // The same twiddles laid out stage by stage (N - 1 entries: for the stage
    // of half-size h, entries h-1 .. 2h-2 hold table index j*(N/(2h)), j < h),
    // so the butterflies of a stage read them in order. Values are copies, so
    // the transform's result is the same as with the tables above. Shared too.
    const double* m_stageCos = nullptr;
    const double* m_stageSin = nullptr;

private:
    // Allocates m_re and m_im (zero-filled) when they do not exist yet.
    void EnsureWorkArrays();
};
