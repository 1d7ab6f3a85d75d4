// SPDX-License-Identifier: GPL-3.0-or-later
// Painting a decoder row of 100,000 annotations (UART: data, bits, start and
// stop bits over 1 million samples) into a 1920-pixel-wide image, as
// the view does at every paint: fully zoomed out (dense stretches become
// blocks), at 1 pixel per sample and zoomed in. Run on the offscreen
// platform: QT_QPA_PLATFORM=offscreen.

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "decode/document_decodes.h"
#include "document/decoder_row.h"
#include "view/decoder_rows.h"

namespace {

std::shared_ptr<const DecodeResult> UartLikeResult(int annotations)
{
    static DecoderInfo info;
    info.id = "uart";
    info.annotations = {{"rx-data", "RX data"},
                        {"rx-start", "RX start bits"},
                        {"rx-stop", "RX stop bits"},
                        {"rx-data-bits", "RX data bits"}};
    info.rows = {{"rx-data-bits", "RX bits", {3}}, {"rx-data", "RX", {0, 1, 2}}};
    auto result = std::make_shared<DecodeResult>();
    result->ok = true;
    result->annotations.SetDecoders({&info});
    const char* start[] = {"Start bit", "Start", "S"};
    const char* stop[] = {"Stop bit", "Stop", "T"};
    const char* data[] = {"5A"};
    const char* bit[] = {"1"};
    uint64_t s = 0;
    for (int n = 0; n < annotations;) {
        result->annotations.Add(0, s, s + 10, 1, start, 3);
        for (int b = 0; b < 8; ++b)
            result->annotations.Add(0, s + 10 + 10 * b, s + 20 + 10 * b, 3, bit, 1);
        result->annotations.Add(0, s + 10, s + 90, 0, data, 1);
        result->annotations.Add(0, s + 90, s + 100, 2, stop, 3);
        n += 11;
        s += 110;
    }
    return result;
}

void PaintRow(benchmark::State& state, double pixelsPerSample, int64_t first)
{
    const CDecoderRowConfig config{QStringLiteral("UART"), "uart:rx=#0", 1000000, false};
    CRowDecode row;
    const auto result = UartLikeResult(100000);
    row.ShowResult(result);
    DecoderRowPaint drawn;
    QImage image(1920, 120, QImage::Format_RGB32);
    DecoderRowGeometry g{first, pixelsPerSample, 100, 1920};
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::black);
        DrawDecoderRow(painter, config, row, 0, g, drawn);
    }
    state.counters["annotations"] = static_cast<double>(result->annotations.Size());
}

}   // namespace

BENCHMARK_CAPTURE(PaintRow, zoomed_out_1M_samples, 1820.0 / 1.0e6, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PaintRow, one_px_per_sample_middle, 1.0, 500000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PaintRow, twenty_px_per_sample, 20.0, 500000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
