// SPDX-License-Identifier: GPL-3.0-or-later
// Paint time of the rows pass of the view (every row's trace into a
// 1920 x 1080 image) for the default document (all_bits expanded: 33 rows)
// plus four analog rows and one spectrum row, with random samples: the row
// drawers beside the straightforward per-sample drawing, in the same run.
//
//   trace_bench --benchmark_filter=Fast    only the row drawers
//   trace_bench --benchmark_filter=Ref     only the per-sample drawing
//
// Arguments: sample count, step (> 0 pixels per sample, < 0 samples per
// pixel, 0 = fully zoomed out), first visible sample (-1 = middle of the
// capture), vertical scroll, whether the samples change at every paint
// (a live capture: kept summaries and the saved spectrum never apply), and whether every row is
// selected (2-pixel pens).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <map>
#include <memory>
#include <random>

#include "../../tests/view/trace_reference.h"
#include "../../tests/view/trace_test_util.h"
#include "view/trace_draw.h"

namespace {

using trace_test::EnsureApp;

struct Document {
    SignalList list;
    std::vector<std::unique_ptr<CSignal>> owned;
    std::vector<CSignal*> rows;

    CSignal& Add(int firstBit, int numBits, const std::vector<uint32_t>& words)
    {
        owned.push_back(std::make_unique<CSignal>(&list));
        CSignal& s = *owned.back();
        list.push_back(&s);
        rows.push_back(&s);
        s.m_firstBit = firstBit;
        s.m_numBits = numBits;
        s.UpdateMask();
        s.EnsureCapacity(static_cast<int32_t>(words.size()));
        for (size_t i = 0; i < words.size(); ++i)
            s.m_samples[i] = s.Extract(words[i]);
        s.m_count = static_cast<int32_t>(words.size());
        return s;
    }
};

// all_bits (32 bits, expanded, theme 2) as the document starts, four 8-bit
// analog rows and a 12-bit spectrum row.
Document& DocumentOf(int count)
{
    static std::map<int, std::unique_ptr<Document>> documents;
    auto& slot = documents[count];
    if (!slot) {
        slot = std::make_unique<Document>();
        std::mt19937 rng(12345);
        std::vector<uint32_t> words(static_cast<size_t>(count));
        for (auto& w : words)
            w = rng();
        CSignal& all = slot->Add(0, 32, words);
        all.m_name = QStringLiteral("all_bits");
        all.m_colorTheme = 2;
        for (int k = 0; k < 4; ++k) {
            CSignal& a = slot->Add(8 * k, 8, words);
            a.m_analog = true;
            a.m_min = 0;
            a.m_max = 255;
        }
        CSignal& spectrum = slot->Add(0, 12, words);
        spectrum.m_spectrum = true;
        spectrum.m_minDb = 0.0;
        spectrum.m_maxDb = 80.0;
        spectrum.RefreshSpectrum();
    }
    return *slot;
}

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

void Paint(benchmark::State& state, trace_reference::TraceFunction draw)
{
    EnsureApp();
    const int count = static_cast<int>(state.range(0));
    Document& doc = DocumentOf(count);
    const int traceWidth = kWidth - 110;
    trace_reference::PaintSetup setup;
    setup.step = static_cast<int>(state.range(1));
    if (setup.step == 0)
        setup.step = -((count + traceWidth - 1) / traceWidth);   // fully zoomed out
    setup.first = state.range(2) < 0 ? count / 2 : static_cast<int>(state.range(2));
    setup.scrollY = static_cast<int>(state.range(3));
    const bool live = state.range(4) != 0;
    for (CSignal* s : doc.rows)
        s->m_selected = state.range(5) != 0;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    // Every repetition is one paint, so the aggregates are over single
    // paints (the median paint time). Two untimed paints before it: the
    // view has painted this revision before (unless it is live).
    static uint64_t revision = 1;
    // A live capture brings new samples: one word early in every row changes
    // and the revision moves, so no kept summary applies. The spectrum of
    // the new samples is the hand-off's work, not the paint's: it is
    // computed outside the timed paint.
    auto nextCapture = [&] {
        for (CSignal* s : doc.rows) {
            s->m_samples[100] ^= 1u;
            s->RefreshSpectrum();
        }
        ++revision;
    };
    for (int warm = 0; warm < 2; ++warm) {
        if (live)
            nextCapture();
        const CTraceCacheScope scope(&doc, revision);
        trace_reference::PaintRows(image, doc.rows, setup, draw);
    }
    for (auto _ : state) {
        // The view paints inside the cache scope of its document's revision;
        // a live capture moves the revision at every paint.
        if (live) {
            state.PauseTiming();
            nextCapture();
            state.ResumeTiming();
        }
        const CTraceCacheScope scope(&doc, revision);
        trace_reference::PaintRows(image, doc.rows, setup, draw);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["step"] = setup.step;
}

void Fast(benchmark::State& state)
{
    Paint(state, &DrawTrace);
}
void Ref(benchmark::State& state)
{
    Paint(state, &trace_reference::DrawTrace);
}

void Configurations(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"samples", "step", "first", "scroll", "live", "selected"});
    b->Args({4096, 20, 0, 0, 1, 0});   // live capture at the default zoom
    b->Args({4096, 20, 0, 0, 0, 0});
    b->Args({4096, 1, 0, 0, 0, 0});
    b->Args({4096, -1, 0, 0, 0, 0});
    b->Args({4096, 0, 0, 0, 0, 0});
    b->Args({4096, 1, 0, -400, 0, 0});   // analog and spectrum rows on screen
    b->Args({1048576, 0, 0, 0, 0, 0});
    b->Args({1048576, 0, 0, 0, 1, 0});   // a new capture at every paint
    b->Args({1048576, 1, -1, 0, 0, 0});
    b->Args({1048576, -1, -1, 0, 0, 0});
    b->Args({1048576, 1, 1046000, 0, 0, 0});
    b->Args({1048576, -16, -1, 0, 0, 0});
    b->Args({1048576, -16, -1, 0, 1, 0});
    b->Args({4096, 20, 0, 0, 0, 1});   // every row selected
    b->Args({4096, 1, 0, 0, 0, 1});
    b->Args({1048576, 0, 0, 0, 0, 1});
    b->Unit(benchmark::kMillisecond);
    b->Iterations(1);
    b->Repetitions(31);
    b->ReportAggregatesOnly(true);
    b->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

}   // namespace

BENCHMARK(Fast)->Apply(Configurations);
BENCHMARK(Ref)->Apply(Configurations);
