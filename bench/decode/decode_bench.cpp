// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding speed against sigrok-cli, side by side in one run: a UART capture
// of 1,048,576 samples (10 samples per bit, bytes back to back), saved as a
// document and exported as VCD with one time unit per sample. Each case runs
// the whole program once per repetition (wall time), so start-up, reading
// and writing the annotations count on both sides:
//   vexlar --decode uart:rx=rx:baudrate=100000 --samplerate 1000000 FILE.VEXLAR
//   sigrok-cli -I vcd -i FILE.vcd -P uart:rx=rx:baudrate=100000 --protocol-decoder-samplenum
// and, for reference, the decode alone inside this process.
// Run with --benchmark_repetitions=5 for the medians.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "decode/decode_session.h"
#include "document/document_file.h"
#include "document/vcd_export.h"
#include "protocol_captures.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kSamples = 1048576;
const char* const kDecoderLine = "uart:rx=rx:baudrate=100000";

std::vector<uint32_t> UartWords()
{
    WordStream s;
    std::vector<uint8_t> bytes;
    for (int i = 0; bytes.size() * 100 + 200 < static_cast<size_t>(kSamples); ++i)
        bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
    AppendUart(s, 0, bytes, 10, 0);
    s.Set(0, true);
    s.Hold(kSamples - static_cast<int>(s.words.size()));
    return s.words;
}

struct Files {
    std::string dir;
    std::string vexlarFile;
    std::string vcdFile;
    CVexlarDoc doc;

    Files()
    {
        std::string pattern = (fs::temp_directory_path() / "vexlar-decode-bench-XXXXXX").string();
        dir = mkdtemp(pattern.data()) ? pattern : std::string("/tmp");
        vexlarFile = dir + "/uart.VEXLAR";
        vcdFile = dir + "/uart.vcd";
        FillDocument(doc, UartWords(), {"rx"}, 1e6);
        SaveDocumentFile(doc, QString::fromStdString(vexlarFile));
        CVexlarDoc bitsOnly;
        FillDocument(bitsOnly, UartWords(), {"rx"}, 1e6);
        bitsOnly.EraseSignal(bitsOnly.m_signals.begin());   // one-bit wires only for sigrok-cli
        ExportVcd(bitsOnly, QString::fromStdString(vcdFile));
    }
    ~Files() { fs::remove_all(dir); }
};

Files& TheFiles()
{
    static Files files;
    return files;
}

void RunProgram(benchmark::State& state, const std::string& command)
{
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        const int rc = std::system(command.c_str());
        const auto t1 = std::chrono::steady_clock::now();
        if (rc != 0) {
            state.SkipWithError(("failed: " + command).c_str());
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}

void SigrokCli(benchmark::State& state)
{
    RunProgram(state, "sigrok-cli -I vcd -i '" + TheFiles().vcdFile + "' -P " + kDecoderLine +
                          " --protocol-decoder-samplenum > /dev/null 2>&1");
}

void VexlarDecode(benchmark::State& state)
{
    RunProgram(state, std::string("'") + VEXLAR_EXE + "' --decode " + kDecoderLine + " --samplerate 1000000 '" +
                          TheFiles().vexlarFile + "' > /dev/null");
}

void DecodeInProcess(benchmark::State& state)
{
    DecodeJob job;
    std::string error;
    if (!ParseDecoderLine(kDecoderLine, CDecoderCatalog::Instance(), job.stack, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    size_t annotations = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        BuildDecodeInput(job.stack, TheFiles().doc.m_signals, job.input, error);
        job.samplerate = 1000000;
        const DecodeResult result = RunDecode(job);
        const auto t1 = std::chrono::steady_clock::now();
        if (!result.ok) {
            state.SkipWithError(result.error.c_str());
            return;
        }
        annotations = result.annotations.Size();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["annotations"] = static_cast<double>(annotations);
}

}   // namespace

BENCHMARK(SigrokCli)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(VexlarDecode)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeInProcess)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
