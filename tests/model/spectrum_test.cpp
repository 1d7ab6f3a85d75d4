// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "model/signal.h"
#include "model/spectrum_engine.h"

namespace {

void FillConstant(CSignal& s, int32_t count, uint32_t v)
{
    s.EnsureCapacity(count);
    for (int32_t i = 0; i < count; ++i)
        s.m_samples[i] = v;
    s.m_count = count;
}

void FillRandom(CSignal& s, int32_t count, uint32_t seed, uint32_t mask = 0xFFF)
{
    std::mt19937 rng(seed);
    s.EnsureCapacity(count);
    for (int32_t i = 0; i < count; ++i)
        s.m_samples[i] = rng() & mask;
    s.m_count = count;
}

std::vector<double> Spectrum(const CSignal& s)
{
    return std::vector<double>(s.m_spectrumDb, s.m_spectrumDb + CSignal::kSpectrumBins);
}

TEST(SpectrumEngine, TablesAreTheHannWindowAndForwardTwiddles)
{
    CSpectrumEngine e;
    ASSERT_EQ(e.m_size, 4096);
    double sum = 0;
    for (int i = 0; i < 4096; ++i)
        sum += e.m_window[i];
    EXPECT_NEAR(sum, 2047.5, 1e-9);
    EXPECT_EQ(e.m_window[0], 0.0);
    EXPECT_NEAR(e.m_window[4095], 0.0, 1e-20);
    EXPECT_NEAR(e.m_window[2048], 1.0, 1e-6);
    EXPECT_EQ(e.m_cosTable[0], 1.0);
    EXPECT_NEAR(e.m_sinTable[1024], -1.0, 1e-15);   // e^(-i pi/2)
    EXPECT_NEAR(e.m_cosTable[1024], 0.0, 1e-15);
}

TEST(SpectrumEngine, TransformMatchesADirectDft)
{
    constexpr int n = 4096;
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> re(n), im(n);
    for (int i = 0; i < n; ++i) {
        re[i] = dist(rng);
        im[i] = dist(rng);
    }
    // Independent reference: O(N^2) DFT in long double with exact angle indices.
    std::vector<long double> cosT(n), sinT(n);
    for (int k = 0; k < n; ++k) {
        const long double a = -2.0L * std::numbers::pi_v<long double> * k / n;
        cosT[k] = std::cos(a);
        sinT[k] = std::sin(a);
    }
    std::vector<long double> refRe(n), refIm(n);
    for (int k = 0; k < n; ++k) {
        long double sr = 0, si = 0;
        for (int j = 0; j < n; ++j) {
            const int idx = static_cast<int>((static_cast<long long>(k) * j) % n);
            sr += re[j] * cosT[idx] - im[j] * sinT[idx];
            si += re[j] * sinT[idx] + im[j] * cosT[idx];
        }
        refRe[k] = sr;
        refIm[k] = si;
    }
    CSpectrumEngine e;
    e.Transform(re.data(), im.data());
    double worst = 0;
    for (int k = 0; k < n; ++k) {
        worst = std::max(worst, static_cast<double>(std::fabs(re[k] - refRe[k])));
        worst = std::max(worst, static_cast<double>(std::fabs(im[k] - refIm[k])));
    }
    // Magnitudes are about sqrt(N) ~ 50; a wrong permutation or twiddle gives errors of that size.
    EXPECT_LT(worst, 1e-9);
}

// The transform written exactly as the textbook loop: bit reversal, then for
// each stage j outer and p inner. The engine walks the butterflies in another
// order and two at a time; its result must be the same bit for bit.
void ReferenceTransform(const CSpectrumEngine& e, double* re, double* im)
{
    const int n = e.m_size;
    int b = 0;
    for (int i = 1; i <= n - 2; ++i) {
        int c = n / 2;
        while (c <= b) {
            b -= c;
            c /= 2;
        }
        b += c;
        if (i < b) {
            std::swap(re[i], re[b]);
            std::swap(im[i], im[b]);
        }
    }
    int h = 1, t = n;
    for (int stage = 0; stage < 12; ++stage) {
        t /= 2;
        for (int j = 0; j < h; ++j) {
            const double c = e.m_cosTable[j * t], s = e.m_sinTable[j * t];
            for (int p = j; p < n; p += 2 * h) {
                const int q = p + h;
                const double tr = re[q] * c - im[q] * s;
                const double ti = re[q] * s + im[q] * c;
                re[q] = re[p] - tr;
                im[q] = im[p] - ti;
                re[p] = re[p] + tr;
                im[p] = im[p] + ti;
            }
        }
        h *= 2;
    }
}

TEST(SpectrumEngine, TransformEqualsTheTextbookLoopBitForBit)
{
    std::mt19937_64 rng(77);
    std::uniform_real_distribution<double> dist(-2048.0, 2048.0);
    std::vector<double> re(4096), im(4096);
    for (int i = 0; i < 4096; ++i) {
        re[i] = dist(rng);
        im[i] = (i % 3 == 0) ? 0.0 : dist(rng);
    }
    std::vector<double> re2 = re, im2 = im;
    CSpectrumEngine e;
    e.Transform(re.data(), im.data());
    ReferenceTransform(e, re2.data(), im2.data());
    EXPECT_EQ(re, re2);
    EXPECT_EQ(im, im2);
}

// The tables are shared by every engine and the work arrays exist only once a
// spectrum has been computed, so a signal never shown as a spectrum stays small.
TEST(SpectrumEngine, TablesAreSharedAndWorkArraysComeWithTheFirstSpectrum)
{
    SignalList owner;
    CSignal a(&owner);
    CSignal b(&owner);
    EXPECT_EQ(a.m_fft.m_window, b.m_fft.m_window);
    EXPECT_EQ(a.m_fft.m_cosTable, b.m_fft.m_cosTable);
    EXPECT_EQ(a.m_fft.m_sinTable, b.m_fft.m_sinTable);
    EXPECT_EQ(a.m_fft.m_stageCos, b.m_fft.m_stageCos);
    EXPECT_EQ(a.m_fft.m_stageSin, b.m_fft.m_stageSin);
    for (const CSignal* s : {&a, &b}) {
        EXPECT_FALSE(s->m_fft.HasWorkArrays());
        EXPECT_EQ(s->m_fft.m_re, nullptr);
        EXPECT_EQ(s->m_fft.m_im, nullptr);
        EXPECT_EQ(s->m_spectrumCache, nullptr);
    }

    // Samples, masks and value ranges need no spectrum arrays.
    FillRandom(a, 8192, 11);
    a.UpdateMask();
    double lo = 0, hi = 0;
    a.GetValueRange(0, 8191, lo, hi);
    a.Autoscale(0, 8191);
    EXPECT_FALSE(a.m_fft.HasWorkArrays());
    EXPECT_EQ(a.m_spectrumCache, nullptr);

    a.UpdateSpectrum();
    ASSERT_TRUE(a.m_fft.HasWorkArrays());
    ASSERT_NE(a.m_fft.m_im, nullptr);
    EXPECT_NE(a.m_spectrumCache, nullptr);
    EXPECT_FALSE(b.m_fft.HasWorkArrays());   // each engine has its own scratch

    // Later computations reuse the same arrays.
    const double* re = a.m_fft.m_re;
    const double* im = a.m_fft.m_im;
    const std::vector<double> first = Spectrum(a);
    a.m_samples[10] ^= 0x5;
    a.UpdateSpectrum();
    EXPECT_EQ(a.m_fft.m_re, re);
    EXPECT_EQ(a.m_fft.m_im, im);
    EXPECT_NE(Spectrum(a), first);

    // A second engine computing the same input gets the same bits.
    b.EnsureCapacity(a.m_count);
    std::copy(a.m_samples, a.m_samples + a.m_count, b.m_samples);
    b.m_count = a.m_count;
    b.UpdateSpectrum();
    EXPECT_EQ(Spectrum(b), Spectrum(a));
}

// Engines created, used and destroyed one after another (as the rows of a
// document come and go) leave the shared tables as they were.
TEST(SpectrumEngine, SharedTablesOutliveEveryEngine)
{
    std::vector<double> input(CSpectrumEngine::kInputLength);
    std::mt19937 rng(21);
    for (double& v : input)
        v = double(int32_t(rng() & 0xFFF) - 2048);
    std::vector<double> first(CSpectrumEngine::kBins);
    const double* window = nullptr;
    {
        CSpectrumEngine e;
        window = e.m_window;
        e.AveragePower(input.data(), first.data(), 1.0);
    }
    for (int round = 0; round < 3; ++round) {
        CSpectrumEngine e;
        EXPECT_EQ(e.m_window, window);
        std::vector<double> again(CSpectrumEngine::kBins);
        e.AveragePower(input.data(), again.data(), 1.0);
        EXPECT_EQ(again, first) << round;
    }
}

TEST(Spectrum, AllZerosGiveMinusInfinityAndLeaveThePeakHold)
{
    SignalList owner;
    CSignal s(&owner);
    FillConstant(s, 8192, 0);
    s.UpdateSpectrum();
    for (int k = 0; k < 2048; ++k) {
        ASSERT_TRUE(std::isinf(s.m_spectrumDb[k]) && s.m_spectrumDb[k] < 0) << k;
        ASSERT_EQ(s.m_peakHold[k], -1e100) << k;
    }
    EXPECT_TRUE(std::isinf(s.m_specMin) && s.m_specMin < 0);
    EXPECT_TRUE(std::isinf(s.m_specMax) && s.m_specMax < 0);
    // No finite bin: the display range keeps its zeros.
    EXPECT_EQ(s.m_minDb, 0.0);
    EXPECT_EQ(s.m_maxDb, 0.0);
}

TEST(Spectrum, ConstantOneAtOneHertz)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 12;
    s.UpdateMask();
    FillConstant(s, 8192, 1);
    s.UpdateSpectrum();
    EXPECT_NEAR(s.m_spectrumDb[0], 10 * std::log10(2047.5 * 2047.5 / 4096), 1e-9);
    EXPECT_NEAR(s.m_spectrumDb[0], 30.10, 0.005);
    EXPECT_NEAR(s.m_spectrumDb[1], 27.09, 0.005);
    EXPECT_EQ(s.m_specMax, s.m_spectrumDb[0]);
    for (int k = 0; k < 2048; ++k)
        ASSERT_EQ(s.m_peakHold[k], s.m_spectrumDb[k]) << k;

    // A 12-bit Signed signal holding 0xFFF is the constant -1: the same levels.
    CSignal neg(&owner);
    neg.m_numBits = 12;
    neg.UpdateMask();
    neg.m_radix = Signed;
    FillConstant(neg, 8192, 0xFFF);
    neg.UpdateSpectrum();
    EXPECT_EQ(Spectrum(neg), Spectrum(s));
}

TEST(Spectrum, FullWidthSamplesConvertAsSignedInEveryRadix)
{
    // A 32-bit sample with the top bit set enters the transform negative even in Hex.
    SignalList owner;
    CSignal hex(&owner), one(&owner);
    hex.m_numBits = one.m_numBits = 32;
    FillConstant(hex, 8192, 0xFFFFFFFF);
    FillConstant(one, 8192, 1);
    hex.UpdateSpectrum();
    one.UpdateSpectrum();
    EXPECT_EQ(Spectrum(hex), Spectrum(one));
}

TEST(Spectrum, DoublingTheSampleFrequencyLowersEveryBinBy3dB)
{
    SignalList owner;
    CSignal a(&owner), b(&owner);
    FillRandom(a, 8192, 7);
    FillRandom(b, 8192, 7);
    b.m_sampleFreq = 2.0;
    a.UpdateSpectrum();
    b.UpdateSpectrum();
    for (int k = 0; k < 2048; ++k)
        ASSERT_NEAR(a.m_spectrumDb[k] - b.m_spectrumDb[k], 10 * std::log10(2.0), 1e-9) << k;
}

TEST(Spectrum, PeakHoldRisesUntilReset)
{
    SignalList owner;
    CSignal s(&owner);
    FillRandom(s, 8192, 1, 0xFFF);
    s.UpdateSpectrum();
    const std::vector<double> loud = Spectrum(s);
    FillRandom(s, 8192, 2, 0x3);   // much quieter
    s.UpdateSpectrum();
    for (int k = 0; k < 2048; ++k)
        ASSERT_EQ(s.m_peakHold[k], std::max(loud[k], s.m_spectrumDb[k])) << k;

    s.ResetPeakHold();
    for (int k = 0; k < 2048; ++k)
        ASSERT_EQ(s.m_peakHold[k], -1e100);
    s.UpdateSpectrum();   // same capture: the result is reused, the peak hold still follows
    for (int k = 0; k < 2048; ++k) {
        if (std::isfinite(s.m_spectrumDb[k])) {
            ASSERT_EQ(s.m_peakHold[k], s.m_spectrumDb[k]) << k;
        }
    }
}

TEST(Spectrum, FewerSamplesCountAsZerosAndOnlyTheFirst6144AreUsed)
{
    SignalList owner;
    struct Case {
        int32_t count;
    };
    for (const Case c : {Case{1}, Case{100}, Case{4097}, Case{6144}, Case{7000}}) {
        CSignal shortSig(&owner);
        FillRandom(shortSig, c.count, 99);   // array of exactly count words
        CSignal full(&owner);
        FillRandom(full, 8192, 99);
        for (int32_t i = std::min(c.count, 6144); i < 6144; ++i)
            full.m_samples[i] = 0;
        for (int32_t i = 6144; i < 8192; ++i)
            full.m_samples[i] = 0xABC;   // never used
        shortSig.UpdateSpectrum();
        full.UpdateSpectrum();
        EXPECT_EQ(Spectrum(shortSig), Spectrum(full)) << "count " << c.count;
    }
}

TEST(Spectrum, FirstSpectrumSetsAnEmptyDisplayRange)
{
    SignalList owner;
    CSignal s(&owner);
    FillRandom(s, 8192, 3);
    s.UpdateSpectrum();
    double lo = 1e300, hi = -1e300;
    for (int k = 0; k < 2048; ++k) {
        lo = std::min(lo, s.m_spectrumDb[k]);
        hi = std::max(hi, s.m_spectrumDb[k]);
    }
    EXPECT_EQ(s.m_minDb, lo);
    EXPECT_EQ(s.m_maxDb, hi);
    EXPECT_EQ(s.m_specMin, lo);
    EXPECT_EQ(s.m_specMax, hi);

    // Once set (or set by the user) the range is left alone.
    FillRandom(s, 8192, 4, 0x3);
    s.UpdateSpectrum();
    EXPECT_EQ(s.m_minDb, lo);
    EXPECT_EQ(s.m_maxDb, hi);

    CSignal user(&owner);
    user.m_minDb = -100;
    user.m_maxDb = 0;
    FillRandom(user, 8192, 3);
    user.UpdateSpectrum();
    EXPECT_EQ(user.m_minDb, -100);
    EXPECT_EQ(user.m_maxDb, 0);
}

// The repeated update reuses the last result only while its input is the same.
TEST(Spectrum, RepeatedUpdateFollowsEveryChangeOfItsInput)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 12;
    s.UpdateMask();
    FillRandom(s, 8192, 5);

    auto fresh = [&]() {   // the same input computed by a signal with no history
        CSignal ref(&owner);
        ref.m_numBits = s.m_numBits;
        ref.m_mask = s.m_mask;
        ref.m_radix = s.m_radix;
        ref.m_sampleFreq = s.m_sampleFreq;
        ref.EnsureCapacity(s.m_count);
        std::copy(s.m_samples, s.m_samples + s.m_count, ref.m_samples);
        ref.m_count = s.m_count;
        ref.UpdateSpectrum();
        return Spectrum(ref);
    };

    s.UpdateSpectrum();
    const std::vector<double> first = Spectrum(s);
    s.UpdateSpectrum();
    EXPECT_EQ(Spectrum(s), first);

    struct Step {
        const char* what;
        void (*change)(CSignal&);
        bool differs;
    };
    const Step steps[] = {
        {"sample inside the used range", [](CSignal& x) { x.m_samples[100] ^= 0x800; }, true},
        {"sample beyond the used range", [](CSignal& x) { x.m_samples[7000] ^= 0x800; }, false},
        {"sample frequency", [](CSignal& x) { x.m_sampleFreq = 3.0; }, true},
        {"radix Signed sign-extends", [](CSignal& x) { x.m_radix = Signed; }, true},
        {"width under Signed",
         [](CSignal& x) {
             x.m_numBits = 11;
             x.UpdateMask();
         },
         true},
        {"back to Hex", [](CSignal& x) { x.m_radix = Hex; }, true},
        {"width under Hex",
         [](CSignal& x) {
             x.m_numBits = 12;
             x.UpdateMask();
         },
         false},
        {"shorter count", [](CSignal& x) { x.m_count = 5000; }, true},
        {"last sample of the shorter count", [](CSignal& x) { x.m_samples[4999] ^= 0x800; }, true},
        {"new array, same words",
         [](CSignal& x) {
             std::vector<uint32_t> keep(x.m_samples, x.m_samples + x.m_count);
             const int32_t n = x.m_count;
             x.EnsureCapacity(x.m_capacity + 1);
             std::copy(keep.begin(), keep.end(), x.m_samples);
             x.m_count = n;
         },
         false},
        {"spectrum overwritten from outside", [](CSignal& x) { x.m_spectrumDb[5] = 123.0; }, false},
    };
    for (const Step& step : steps) {
        const std::vector<double> before = Spectrum(s);
        step.change(s);
        s.UpdateSpectrum();
        const std::vector<double> after = Spectrum(s);
        EXPECT_EQ(after, fresh()) << step.what;
        if (step.differs) {
            EXPECT_NE(after, before) << step.what;
        } else {
            EXPECT_EQ(after, before) << step.what;
        }
    }
}

}   // namespace
