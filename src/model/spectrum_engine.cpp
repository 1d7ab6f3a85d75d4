#include "model/spectrum_engine.h"

#include <cmath>
#include <numbers>
#include <utility>

CSpectrumEngine::CSpectrumEngine()
{
    const int32_t n = m_size;
    m_window = new double[n];
    m_cosTable = new double[n / 2];
    m_sinTable = new double[n / 2];
    m_re = new double[n]();
    m_im = new double[n]();
    const double pi = std::numbers::pi;
    for (int32_t i = 0; i < n; ++i) {
        const double s = std::sin(pi * i / (n - 1));
        m_window[i] = s * s;
    }
    for (int32_t k = 0; k < n / 2; ++k) {
        m_cosTable[k] = std::cos(-2.0 * pi * k / n);
        m_sinTable[k] = std::sin(-2.0 * pi * k / n);
    }
}

CSpectrumEngine::~CSpectrumEngine()
{
    delete[] m_window;
    delete[] m_cosTable;
    delete[] m_sinTable;
    delete[] m_re;
    delete[] m_im;
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

    const int32_t stages = static_cast<int32_t>(std::lround(std::log2(static_cast<double>(n))));
    int32_t h = 1;
    int32_t t = n;
    for (int32_t stage = 0; stage < stages; ++stage) {
        t /= 2;
        for (int32_t j = 0; j < h; ++j) {
            const double c = m_cosTable[j * t];
            const double s = m_sinTable[j * t];
            for (int32_t p = j; p < n; p += 2 * h) {
                const int32_t q = p + h;
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

void CSpectrumEngine::AveragePower(const double* input, double* output, double sampleFreq)
{
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
