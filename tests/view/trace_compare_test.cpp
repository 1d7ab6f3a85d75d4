// SPDX-License-Identifier: GPL-3.0-or-later
// The fast row drawers paint exactly the picture of the straightforward
// per-sample drawing (trace_reference.h): random captures, many zoom levels
// and offsets, selected and plain rows, with and without kept summaries.

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>

#include <algorithm>
#include <random>

#include "trace_reference.h"
#include "trace_test_util.h"
#include "view/trace_draw.h"

using namespace trace_test;

namespace {

// Runs of random lengths: short runs make dense stretches, long runs make
// wide levels and boxes with text.
std::vector<uint32_t> RandomCapture(std::mt19937& rng, int count, int maxRun)
{
    std::vector<uint32_t> words(static_cast<size_t>(count));
    std::uniform_int_distribution<int> run(1, maxRun);
    uint32_t w = rng();
    for (int i = 0; i < count;) {
        const int n = run(rng);
        w ^= rng() & (rng() | rng());
        for (int k = 0; k < n && i < count; ++k)
            words[size_t(i++)] = w;
    }
    return words;
}

// A document like the view's: all_bits expanded, narrower fields as buses,
// bits, analog graphs and a spectrum.
void BuildDocument(SignalSet& set, const std::vector<uint32_t>& words, std::mt19937& rng, bool selectSome)
{
    auto field = [&](int first, int bits) {
        std::vector<uint32_t> v(words.size());
        const uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = (words[i] >> first) & mask;
        return v;
    };
    CSignal& all = set.Add(32, words);
    all.m_colorTheme = 2;
    CSignal& nibble = set.Add(4, field(4, 4));
    nibble.m_expanded = false;
    nibble.m_radix = Binary;
    set.Add(1, field(9, 1)).m_colorTheme = 0;
    CSignal& bus12 = set.Add(12, field(3, 12));
    bus12.m_expanded = true;
    bus12.m_radix = Unsigned;
    CSignal& a1 = set.Add(8, field(0, 8));
    a1.m_analog = true;
    a1.m_min = 0;
    a1.m_max = 255;
    CSignal& a2 = set.Add(8, field(8, 8));
    a2.m_analog = true;
    a2.m_radix = Signed;
    a2.m_min = -100;
    a2.m_max = 60;
    a2.m_graphHeight = 80;
    CSignal& a3 = set.Add(32, words);
    a3.m_analog = true;
    a3.m_min = int32_t(rng() % 1000) - 2000000000;   // differences wrap around
    a3.m_max = 2000000000;
    CSignal& a4 = set.Add(1, field(2, 1));
    a4.m_analog = true;
    CSignal& spectrumRow = set.Add(8, field(16, 8));
    spectrumRow.m_spectrum = true;
    spectrumRow.m_sampleFreq = 48000.0;
    spectrumRow.m_minDb = -20.0;
    spectrumRow.m_maxDb = 90.0;
    spectrumRow.UpdateSpectrum();
    if (selectSome) {
        all.m_selected = true;
        a1.m_selected = true;
        nibble.m_selected = true;
        a4.m_selected = true;
    }
}

struct Diff {
    int count = 0;
    int x = -1, y = -1;
};

Diff Compare(const QImage& a, const QImage& b)
{
    Diff d;
    for (int y = 0; y < a.height(); ++y) {
        const auto* pa = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* pb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            if (pa[x] != pb[x]) {
                if (d.count++ == 0) {
                    d.x = x;
                    d.y = y;
                }
            }
    }
    return d;
}

void ExpectSamePicture(const std::vector<CSignal*>& rows, const trace_reference::PaintSetup& setup, int width,
                       int height, const char* what)
{
    QImage reference(width, height, QImage::Format_RGB32);
    QImage fast(width, height, QImage::Format_RGB32);
    trace_reference::LeftState referenceState, fastState;
    std::vector<GdiRect> referenceRects, fastRects;
    trace_reference::PaintRows(reference, rows, setup, &trace_reference::DrawTrace, &referenceState, &referenceRects);
    trace_reference::PaintRows(fast, rows, setup, &DrawTrace, &fastState, &fastRects);
    EXPECT_EQ(fastState.textColor, referenceState.textColor) << what;
    EXPECT_EQ(fastState.align, referenceState.align) << what;
    EXPECT_EQ(fastState.pen, referenceState.pen) << what;
    EXPECT_EQ(fastState.font, referenceState.font) << what;
    const Diff d = Compare(reference, fast);
    EXPECT_EQ(d.count, 0) << what << ": step " << setup.step << " first " << setup.first << " scroll " << setup.scrollY
                          << ", first difference at (" << d.x << ", " << d.y << ")";
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(fastRects[i], referenceRects[i]) << what << " row " << i;
    if (d.count != 0) {
        reference.save(QDir::temp().filePath(QStringLiteral("trace_reference.png")));
        fast.save(QDir::temp().filePath(QStringLiteral("trace_fast.png")));
    }
}

// The spectrum cross-hair of every picture (inside the image, above the
// spectrum row: its lines and read-out box are drawn all the same).
const GdiPoint kCrossHair{600, 20};

const int kSteps[] = {20, 30, 7, 5, 4, 3, 2, 1, -1, -2, -3, -4, -5, -7, -16, -33, -100, -257};

}   // namespace

TEST(TraceCompare, FastDrawingPaintsTheReferencePicture)
{
    EnsureApp();
    std::mt19937 rng(20261209);
    for (int round = 0; round < 4; ++round) {
        const int count = round < 2 ? 4096 : 20000;
        const int maxRun = round % 2 == 0 ? 3 : 60;
        SignalSet set;
        BuildDocument(set, RandomCapture(rng, count, maxRun), rng, round % 2 == 1);
        auto rows = set.Rows();
        for (const int step : kSteps) {
            // Every kind of row comes last now and then: what the rows leave
            // in the drawing context is compared too.
            std::rotate(rows.begin(), rows.begin() + 1, rows.end());
            const int visible = step > 0 ? 1090 / step + 1 : 1090 * -step;
            std::uniform_int_distribution<int> offset(0, std::max(0, count - visible / 2));
            trace_reference::PaintSetup setup;
            setup.crossHair = kCrossHair;
            setup.step = step;
            setup.first = offset(rng);
            setup.scrollY = -int(rng() % 4) * 150;
            ExpectSamePicture(rows, setup, 1200, 900, "random capture");
            if (HasFailure())
                return;
        }
    }
}

TEST(TraceCompare, KeptSummariesPaintTheSamePicture)
{
    EnsureApp();
    std::mt19937 rng(7);
    SignalSet set;
    BuildDocument(set, RandomCapture(rng, 300000, 40), rng, false);
    const auto rows = set.Rows();
    for (const int step : {-1, -3, -64, -100, -271}) {
        trace_reference::PaintSetup setup;
        setup.crossHair = kCrossHair;
        setup.step = step;
        setup.first = int(rng() % 5000);
        // The first paint of a revision reads the samples, the next ones use
        // the summaries built from them.
        const CTraceCacheScope scope(&set, 1);
        for (int paint = 0; paint < 3; ++paint)
            ExpectSamePicture(rows, setup, 1300, 1000, "kept summaries");
        if (HasFailure())
            return;
    }
    // Samples changed under the same revision are still noticed by the
    // probes when they touch a probed position; a new revision always is.
    {
        const CTraceCacheScope scope(&set, 2);
        trace_reference::PaintSetup setup;
        setup.crossHair = kCrossHair;
        setup.step = -200;
        ExpectSamePicture(rows, setup, 1300, 1000, "revision 2, first");
        ExpectSamePicture(rows, setup, 1300, 1000, "revision 2, kept");
    }
    for (CSignal* s : rows)
        for (int i = 0; i < s->m_count; i += 3)
            s->m_samples[i] ^= 1u;
    {
        const CTraceCacheScope scope(&set, 3);
        trace_reference::PaintSetup setup;
        setup.crossHair = kCrossHair;
        setup.step = -200;
        ExpectSamePicture(rows, setup, 1300, 1000, "revision 3, first");
        ExpectSamePicture(rows, setup, 1300, 1000, "revision 3, kept");
    }
    ClearTraceCache();
}

TEST(TraceCompare, EdgeRangesMatch)
{
    EnsureApp();
    std::mt19937 rng(99);
    SignalSet set;
    BuildDocument(set, RandomCapture(rng, 500, 5), rng, true);
    const auto rows = set.Rows();
    struct Case {
        int first, step;
    };
    // A single sample, the last sample, a window past the end (no samples).
    for (const Case c : {Case{0, 20}, Case{499, 20}, Case{499, -5}, Case{450, -7}, Case{600, 3}, Case{0, -1000}}) {
        trace_reference::PaintSetup setup;
        setup.crossHair = kCrossHair;
        setup.first = c.first;
        setup.step = c.step;
        ExpectSamePicture(rows, setup, 900, 1600, "edge range");
    }
}
