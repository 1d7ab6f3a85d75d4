// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One row of the waveform view: a named bit field of the captured 32-bit sample
// word with its last extracted samples, display settings and spectrum state.
// A plain heap record owned by the document's list; never copied by value
// (Duplicate copies field by field).

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

#include <QString>

#include "model/geometry.h"
#include "model/spectrum_engine.h"

enum SignalRadix : int32_t { Unsigned = 0, Signed = 1, Hex = 2, Binary = 3 };

class CSignal;
class CArchive;
using SignalList = std::list<CSignal*>;   // stable positions; the document owns the signals

struct SpectrumInputCache;   // see UpdateSpectrum

class CSignal {
public:
    static constexpr int32_t kSpectrumBins = 2048;
    static constexpr double kPeakHoldFloor = -1e100;
    // Widest field whose value text FormatValue writes whole: a binary text has
    // one character per bit of m_numBits (bits from 32 upward read as 0). The
    // exports refuse wider fields; the text of one is cut here, so that a
    // width from a file never allocates without bound.
    static constexpr int32_t kMaxBinaryDigits = 4096;

    explicit CSignal(SignalList* owner);
    ~CSignal();
    CSignal(const CSignal&) = delete;
    CSignal& operator=(const CSignal&) = delete;

    // Fields of the record, in their order, with their defaults.
    uint32_t* m_samples = nullptr;   // owned, m_capacity words
    int32_t m_capacity = 0;
    int32_t m_count = 0;
    QString m_name = QStringLiteral("Signalx");
    SignalList* m_owner = nullptr;   // not owned
    int32_t m_numBits = 1;
    int32_t m_firstBit = 0;
    bool m_allBits = false;
    uint32_t m_mask = 0xFFFFFFFFu;   // stays until the first UpdateMask
    bool m_freeze = false;
    bool m_expanded = true;
    bool m_selected = false;
    int32_t m_bitGap = 2;
    int32_t m_bitHeight = 16;
    int32_t m_busHeight = 26;
    int32_t m_colorTheme = 1;
    bool m_analog = false;
    int32_t m_min = 0;
    int32_t m_max = 1024;
    int32_t m_graphHeight = 100;
    bool m_spectrum = false;
    CSpectrumEngine m_fft;
    double m_sampleFreq = 1.0;
    double m_minDb = 0.0;
    double m_maxDb = 0.0;
    double m_specMin = 0.0;
    double m_specMax = 1.0;
    double m_peakHold[kSpectrumBins];   // -1e100 each
    double m_spectrumDb[kSpectrumBins] = {};
    SignalRadix m_radix = Hex;

    // m_mask = the m_numBits low bits (0 or less: 0; 32 or more: all bits).
    void UpdateMask();
    // Height of the row in pixels: 1 bit 16; analog/spectrum m_graphHeight;
    // expanded bus numBits*(bitHeight+bitGap)+busHeight; else busHeight.
    int32_t GetRowHeight() const;
    // Lowest and highest sample over [first, last] clamped to the samples;
    // 0 and 0 for a window of fewer than two samples. Signed radix sign-extends.
    void GetValueRange(int first, int last, double& lo, double& hi) const;
    // m_min/m_max from GetValueRange with a 5% margin (1.0 when the range is 0).
    void Autoscale(int first, int last);
    // Re-extracts this signal's samples from the first signal of m_owner (in
    // place when that is this signal). Throws CInvalidArgumentException and
    // changes nothing when there is no first signal.
    void UpdateFromSource();
    // Recomputes m_spectrumDb from the first 6144 samples (zeros beyond
    // m_count), raises m_peakHold, sets m_specMin/m_specMax, and gives a signal
    // whose m_minDb and m_maxDb are both 0 the range of its finite bins.
    // KeepPeakHold computes the spectrum and its range and leaves m_peakHold
    // as it is (a loaded signal keeps the hold its file stored).
    enum class PeakHold { Raise, Keep };
    void UpdateSpectrum(PeakHold peakHold = PeakHold::Raise);
    // UpdateSpectrum for a spectrum signal with samples, nothing for any
    // other: what follows every change of the samples or of the spectrum
    // settings (a capture, a load, an edit), so the drawing only shows it.
    void RefreshSpectrum(PeakHold peakHold = PeakHold::Raise);
    void ResetPeakHold();
    // The value text of one sample in m_radix (see value_format.cpp).
    void FormatValue(QString& text, uint32_t value) const;
    QString FormatValue(uint32_t value) const;
    // The same text as 8-bit ASCII into `out` (room for kMaxValueChars);
    // returns its length, or -1 for an unknown radix (FormatValue then leaves
    // the text as it was).
    static constexpr int32_t kMaxValueChars = kMaxBinaryDigits + 16;
    int32_t FormatValueAscii(char* out, uint32_t value) const;
    // `width` binary digits of value into `out`, most significant first, bits
    // from 32 upward as 0; the width is clamped to 0..kMaxBinaryDigits and the
    // number of digits written is returned.
    static int32_t WriteBinaryDigits(char* out, uint32_t value, int32_t width);
    // Grow-only sample array: a larger n frees the old array and allocates
    // exactly n words (zero-filled; old contents are not kept).
    void EnsureCapacity(int32_t n);
    // The extraction rule of the hand-off and UpdateFromSource.
    uint32_t Extract(uint32_t word) const { return (word >> (m_firstBit & 31)) & m_mask; }
    // The sample as the analog graph and the spectrum see it: sign-extended
    // when m_radix is Signed.
    uint32_t SignExtend(uint32_t value) const
    {
        // The sign bit is bit numBits-1 modulo 32, in unsigned arithmetic so
        // that no width (even INT_MIN) overflows.
        if (m_radix == Signed && ((value >> ((static_cast<uint32_t>(m_numBits) - 1u) & 31u)) & 1u) != 0)
            return value | ~m_mask;
        return value;
    }
    // Stores or loads the record (file format of the document).
    void Serialize(CArchive& ar);

    // Input of the last spectrum computation, so that an unchanged capture is
    // not transformed again (allocated on the first UpdateSpectrum).
    std::unique_ptr<SpectrumInputCache> m_spectrumCache;
};
