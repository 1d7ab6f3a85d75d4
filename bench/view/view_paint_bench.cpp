// SPDX-License-Identifier: GPL-3.0-or-later
// Paint of a whole waveform window (CVexlarView::PaintNow: names, rulers,
// every row in the window, lines and marks) for documents of separate one-bit
// signals of 1,048,576 random samples each, fully zoomed out, 1920 x 1080.
// The 32-row and the 256-row document are measured in the same run: only the
// rows in the window (about 40) are laid out and drawn, so 256 rows should
// cost about what 32 do.
//
//   static:   the same samples and range at every paint (a marker set, the
//             cross-hair moved, the window exposed)
//   scrolled: the window moves by one pixel column before every paint, so
//             every column is worked out again from the kept summaries
//   live:     every paint follows a new capture (all samples new: nothing
//             kept applies)
//
// CPU time is the whole process's (Qt's raster engine may use helper
// threads); one paint per repetition, 31 repetitions, median and minimum.
//
//   build/<dir>/bench/view/view_paint_bench

#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "../../tests/view/trace_test_util.h"
#include "document/vexlar_doc.h"
#include "view/vexlar_view.h"

namespace {

constexpr int kSamples = 1048576;

using trace_test::EnsureApp;

// One-bit signals on bits 0..31 of random sample words, in turn.
std::unique_ptr<CVexlarDoc> OneBitDocument(int rows)
{
    auto doc = std::make_unique<CVexlarDoc>();
    doc->RemoveAllSignals();
    std::mt19937 rng(20261210);
    std::vector<uint32_t> words(kSamples);
    for (uint32_t& w : words)
        w = rng();
    for (int r = 0; r < rows; ++r) {
        CSignal* s = doc->AppendNewSignal();
        s->m_name = QStringLiteral("bit%1").arg(r);
        s->m_numBits = 1;
        s->m_firstBit = r % 32;
        s->UpdateMask();
        s->EnsureCapacity(kSamples);
        for (int i = 0; i < kSamples; ++i)
            s->m_samples[i] = s->Extract(words[size_t(i)]);
        s->m_count = kSamples;
    }
    doc->BumpRevision();
    return doc;
}

enum class Mode { Static, Scrolled, Live };

void Paint(benchmark::State& state)
{
    EnsureApp();
    const int rows = static_cast<int>(state.range(0));
    const auto mode = static_cast<Mode>(state.range(1));
    static std::map<int, std::unique_ptr<CVexlarDoc>> documents;
    auto& doc = documents[rows];
    if (!doc)
        doc = OneBitDocument(rows);
    CVexlarView view(doc.get());
    view.resize(1920, 1080);
    view.ZoomToFit();
    view.PaintNow();
    view.PaintNow();
    int column = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (mode == Mode::Scrolled) {
            // One pixel column later, then back: never the range of the last paint.
            CViewport v = view.Viewport();
            v.SetFirstVisible((++column % 2) * -v.PixelStep());
            view.SetViewport(v);
        } else if (mode == Mode::Live) {
            for (CSignal* s : doc->m_signals)
                s->m_samples[column % kSamples] ^= 1u;
            ++column;
            doc->BumpRevision();
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(view.PaintNow().constBits());
    }
    state.counters["rows_drawn"] = static_cast<double>(view.Layout().Rows().size());
    state.counters["samples_per_px"] = -view.Viewport().PixelStep();
}

}   // namespace

BENCHMARK(Paint)
    ->ArgNames({"rows", "mode"})
    ->ArgsProduct({{32, 256}, {static_cast<int>(Mode::Static)}})
    ->ArgsProduct({{32, 256}, {static_cast<int>(Mode::Scrolled)}})
    ->ArgsProduct({{32, 256}, {static_cast<int>(Mode::Live)}})
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->Iterations(1)
    ->Repetitions(31)
    ->ReportAggregatesOnly(true)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });

BENCHMARK_MAIN();
