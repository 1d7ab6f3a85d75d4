// SPDX-License-Identifier: GPL-3.0-or-later
// Saving and opening a document of 32 signals of 1,048,576 samples (134 MB),
// beside a plain write and read of the same bytes. Saving is durable (write
// to a temporary file, fsync, rename), so the plain write is fsynced too; the
// open reads from the page cache, right after the save.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "document/document_file.h"
#include "document/vexlar_doc.h"

namespace {

constexpr int32_t kSamples = 1 << 20;
constexpr int kSignals = 32;

std::string Folder()
{
    static std::string folder = [] {
        char pattern[] = "/tmp/vexlar-file-bench-XXXXXX";
        return std::string(::mkdtemp(pattern));
    }();
    return folder;
}

CVexlarDoc& Document()
{
    static CVexlarDoc* doc = [] {
        auto* d = new CVexlarDoc;
        std::mt19937 rng(3);
        for (int k = 0; k < kSignals; ++k) {
            CSignal* s = k == 0 ? d->m_signals.front() : d->AppendNewSignal();
            s->EnsureCapacity(kSamples);
            for (int32_t i = 0; i < kSamples; ++i)
                s->m_samples[i] = rng();
            s->m_count = kSamples;
        }
        return d;
    }();
    return *doc;
}

int64_t FileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    std::fseek(f, 0, SEEK_END);
    const long size = std::ftell(f);
    std::fclose(f);
    return size;
}

void BM_SaveDocument(benchmark::State& state)
{
    CVexlarDoc& doc = Document();
    const std::string path = Folder() + "/doc.VEXLAR";
    for (auto _ : state)
        SaveDocumentFile(doc, QString::fromStdString(path));
    state.SetBytesProcessed(int64_t(state.iterations()) * FileSize(path));
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainWriteSameBytes(benchmark::State& state)
{
    const std::vector<uint8_t> bytes = StoreDocumentBytes(Document());
    const std::string path = Folder() + "/plain.bin";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::fsync(fd);
        ::close(fd);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
}
BENCHMARK(BM_PlainWriteSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_OpenDocument(benchmark::State& state)
{
    const std::string path = Folder() + "/doc.VEXLAR";
    SaveDocumentFile(Document(), QString::fromStdString(path));
    CVexlarDoc doc;
    for (auto _ : state)
        OpenDocumentFile(doc, QString::fromStdString(path));
    state.SetBytesProcessed(int64_t(state.iterations()) * FileSize(path));
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainReadSameBytes(benchmark::State& state)
{
    const std::string path = Folder() + "/doc.VEXLAR";
    SaveDocumentFile(Document(), QString::fromStdString(path));
    const int64_t size = FileSize(path);
    for (auto _ : state) {
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        const int fd = ::open(path.c_str(), O_RDONLY);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::close(fd);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_PlainReadSameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}   // namespace

BENCHMARK_MAIN();
