// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/spectrum_engine.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>
#include <numbers>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The window and twiddle tables are the same for every engine of a size:
// computed once per process and shared read-only by all engines, so that an
// engine costs a few pointers until it is used (a document may hold thousands
// of signals, most of which are never shown as a spectrum).
struct SharedTables {
    std::vector<double> window, cosTable, sinTable, stageCos, stageSin;

    explicit SharedTables(int32_t n)
        : window(size_t(n)), cosTable(size_t(n / 2)), sinTable(size_t(n / 2)), stageCos(size_t(n - 1)),
          stageSin(size_t(n - 1))
    {
        const double pi = std::numbers::pi;
        for (int32_t i = 0; i < n; ++i) {
            const double s = std::sin(pi * i / (n - 1));
            window[size_t(i)] = s * s;
        }
        for (int32_t k = 0; k < n / 2; ++k) {
            cosTable[size_t(k)] = std::cos(-2.0 * pi * k / n);
            sinTable[size_t(k)] = std::sin(-2.0 * pi * k / n);
        }
        for (int32_t h = 1, t = n / 2; h < n; h *= 2, t /= 2) {
            for (int32_t j = 0; j < h; ++j) {
                stageCos[size_t(h - 1 + j)] = cosTable[size_t(j * t)];
                stageSin[size_t(h - 1 + j)] = sinTable[size_t(j * t)];
            }
        }
    }
};

// Built on first use; the initialisation of a function-local static is
// thread-safe, and the tables are never written afterwards.
const SharedTables& Tables()
{
    static const SharedTables tables(CSpectrumEngine::kSize);
    return tables;
}

}   // namespace

CSpectrumEngine::CSpectrumEngine()
{
    const SharedTables& t = Tables();
    m_window = t.window.data();
    m_cosTable = t.cosTable.data();
    m_sinTable = t.sinTable.data();
    m_stageCos = t.stageCos.data();
    m_stageSin = t.stageSin.data();
}

CSpectrumEngine::~CSpectrumEngine()
{
    delete[] m_re;
    delete[] m_im;
}

void CSpectrumEngine::EnsureWorkArrays()
{
    if (m_re != nullptr)
        return;
    // Both or neither: a failed second allocation frees the first.
    std::unique_ptr<double[]> re(new double[size_t(m_size)]());
    std::unique_ptr<double[]> im(new double[size_t(m_size)]());
    m_re = re.release();
    m_im = im.release();
}

void CSpectrumEngine::Transform(double* re, double* im) const
{
    const int32_t n = m_size;

    // Bit-reversal permutation with a running reversed index.
    int32_t b = 0;
    for (int32_t i = 1; i <= n - 2; ++i) {
        int32_t c = n / 2;
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

    // Butterflies, stage by stage: h is half the block size, the twiddle of
    // butterfly j is table entry j*(N/(2h)). Each butterfly of a stage is
    // independent of the others, so the blocks are walked in memory order and
    // pairs of butterflies share one vector instruction; every operation is
    // the same IEEE multiply, add or subtract as the scalar loop, so the
    // result is the same bit for bit.
    const int32_t stages = static_cast<int32_t>(std::lround(std::log2(static_cast<double>(n))));
    double* __restrict r = re;
    double* __restrict m = im;
    int32_t h = 1;
    for (int32_t stage = 0; stage < stages; ++stage) {
        const double* __restrict wc = m_stageCos + (h - 1);
        const double* __restrict ws = m_stageSin + (h - 1);
        if (h == 1) {
            const double c = wc[0];
            const double s = ws[0];
            for (int32_t p = 0; p < n; p += 2) {
                const int32_t q = p + 1;
                const double tr = r[q] * c - m[q] * s;
                const double ti = r[q] * s + m[q] * c;
                r[q] = r[p] - tr;
                m[q] = m[p] - ti;
                r[p] = r[p] + tr;
                m[p] = m[p] + ti;
            }
        } else {
            for (int32_t block = 0; block < n; block += 2 * h) {
                double* __restrict rp = r + block;
                double* __restrict mp = m + block;
                double* __restrict rq = rp + h;
                double* __restrict mq = mp + h;
#if defined(__SSE2__)
                for (int32_t j = 0; j < h; j += 2) {
                    const __m128d c = _mm_loadu_pd(wc + j);
                    const __m128d s = _mm_loadu_pd(ws + j);
                    const __m128d xr = _mm_loadu_pd(rq + j);
                    const __m128d xi = _mm_loadu_pd(mq + j);
                    const __m128d tr = _mm_sub_pd(_mm_mul_pd(xr, c), _mm_mul_pd(xi, s));
                    const __m128d ti = _mm_add_pd(_mm_mul_pd(xr, s), _mm_mul_pd(xi, c));
                    const __m128d pr = _mm_loadu_pd(rp + j);
                    const __m128d pi = _mm_loadu_pd(mp + j);
                    _mm_storeu_pd(rq + j, _mm_sub_pd(pr, tr));
                    _mm_storeu_pd(mq + j, _mm_sub_pd(pi, ti));
                    _mm_storeu_pd(rp + j, _mm_add_pd(pr, tr));
                    _mm_storeu_pd(mp + j, _mm_add_pd(pi, ti));
                }
#else
                for (int32_t j = 0; j < h; ++j) {
                    const double tr = rq[j] * wc[j] - mq[j] * ws[j];
                    const double ti = rq[j] * ws[j] + mq[j] * wc[j];
                    rq[j] = rp[j] - tr;
                    mq[j] = mp[j] - ti;
                    rp[j] = rp[j] + tr;
                    mp[j] = mp[j] + ti;
                }
#endif
            }
        }
        h *= 2;
    }
}

void CSpectrumEngine::AveragePower(const double* input, double* output, double sampleFreq)
{
    EnsureWorkArrays();
    const int32_t n = m_size;
    double scale = 1.0 / (sampleFreq * 4096.0);
    for (int32_t k = 0; k < n / 2; ++k)
        output[k] = 0.0;
    int32_t offset = 0;
    int32_t segments = 0;
    while (offset + n < 2 * n) {
        for (int32_t i = 0; i < n; ++i) {
            m_re[i] = m_window[i] * input[offset + i];
            m_im[i] = 0.0;
        }
        Transform(m_re, m_im);
        for (int32_t k = 0; k < n / 2; ++k)
            output[k] += m_re[k] * m_re[k] + m_im[k] * m_im[k];
        offset += n / 2;
        segments += 1;
    }
    scale = scale / segments;
    for (int32_t k = 1; k < n / 2; ++k)
        output[k] = 2.0 * output[k];
    for (int32_t k = 0; k < n / 2; ++k)
        output[k] = 10.0 * std::log10(output[k] * scale);
}
