// SPDX-License-Identifier: GPL-3.0-or-later
// Kept summaries never draw old samples. The samples of a document change
// through the document's own paths (a capture handed off, a new bit field
// taken from the source, Freeze, Duplicate, a load, a document closed and
// another one opened in its place) and every paint after the change, painted
// as the view paints (a cache scope over the document and its revision),
// matches the straightforward drawing of the samples as they are now.

#include <gtest/gtest.h>

#include <QDir>
#include <QPainter>

#include <memory>
#include <new>
#include <random>

#include "acquisition/capture_frame.h"
#include "document/capture_handoff.h"
#include "document/document_file.h"
#include "document/signal_commands.h"
#include "document/vexlar_doc.h"
#include "trace_reference.h"
#include "trace_test_util.h"
#include "view/trace_draw.h"

using namespace trace_test;

namespace {

constexpr int kDepth = 60000;

// A capture of runs of random lengths. Positions in `keep` hold the word of
// `base` there, so that a few fixed positions look the same in two captures.
std::vector<uint32_t> Capture(uint32_t seed, const std::vector<uint32_t>* base = nullptr)
{
    std::mt19937 rng(seed);
    std::vector<uint32_t> words(kDepth);
    std::uniform_int_distribution<int> run(1, 40);
    uint32_t w = rng();
    for (int i = 0; i < kDepth;) {
        const int n = run(rng);
        w ^= rng() & (rng() | rng());
        for (int k = 0; k < n && i < kDepth; ++k)
            words[size_t(i++)] = w;
    }
    if (base != nullptr) {
        // Every 64th word and both ends stay those of the base capture.
        for (int i = 0; i < kDepth; i += 64)
            words[size_t(i)] = (*base)[size_t(i)];
        for (int k = 0; k < 16; ++k) {
            const size_t i = size_t(int64_t(kDepth - 1) * k / 15);
            words[i] = (*base)[i];
        }
    }
    return words;
}

void HandOff(CVexlarDoc& doc, std::vector<uint32_t> words)
{
    CaptureFrame frame;
    frame.words = reinterpret_cast<uint8_t*>(words.data());   // little-endian host
    frame.capacityBytes = kDepth * 4;
    frame.depth = kDepth;
    frame.bitsPerSample = 32;
    frame.triggerPos = 100;
    CopyCaptureIntoDocument(frame, doc);
}

// The start-up signal plus narrower fields, a bit, analog graphs.
void AddRows(CVexlarDoc& doc)
{
    auto add = [&](int firstBit, int bits) {
        CSignal* s = doc.AppendNewSignal();
        s->m_allBits = false;
        s->m_firstBit = firstBit;
        s->m_numBits = bits;
        s->UpdateMask();
        return s;
    };
    add(4, 6)->m_expanded = false;
    add(9, 1);
    CSignal* a = add(0, 8);
    a->m_analog = true;
    a->m_max = 255;
    CSignal* b = add(8, 12);
    b->m_analog = true;
    b->m_radix = Signed;
    b->m_min = -2048;
    b->m_max = 2047;
}

int Differences(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            count += a.pixel(x, y) != b.pixel(x, y) ? 1 : 0;
    return count;
}

// Paints the document three times as the view does (the first paint of a
// revision reads the samples, the later ones use the kept summaries) at a
// few zoomed-out steps and compares each paint with the reference.
void ExpectCurrentSamples(CVexlarDoc& doc, const char* what)
{
    const std::vector<CSignal*> rows(doc.m_signals.begin(), doc.m_signals.end());
    for (const int step : {-7, -50, -300}) {
        trace_reference::PaintSetup setup;
        setup.step = step;
        QImage reference(1200, 1000, QImage::Format_RGB32);
        trace_reference::PaintRows(reference, rows, setup, &trace_reference::DrawTrace);
        for (int paint = 0; paint < 3; ++paint) {
            QImage fast(1200, 1000, QImage::Format_RGB32);
            {
                const CTraceCacheScope scope(&doc, doc.Revision());
                trace_reference::PaintRows(fast, rows, setup, &DrawTrace);
            }
            const int d = Differences(reference, fast);
            EXPECT_EQ(d, 0) << what << ", step " << step << ", paint " << paint;
            if (d != 0) {
                reference.save(QDir::temp().filePath(QStringLiteral("trace_cache_reference.png")));
                fast.save(QDir::temp().filePath(QStringLiteral("trace_cache_fast.png")));
                return;
            }
        }
    }
}

}   // namespace

TEST(TraceCache, SamplesChangedThroughTheDocumentNeverDrawFromOldSummaries)
{
    EnsureApp();
    ClearTraceCache();
    const std::vector<uint32_t> first = Capture(1);
    CVexlarDoc doc;
    AddRows(doc);
    HandOff(doc, first);
    ExpectCurrentSamples(doc, "first capture");

    HandOff(doc, Capture(2, &first));
    ExpectCurrentSamples(doc, "next capture");

    // A new bit field, taken from the first signal as the properties dialog
    // does; the view then marks the document changed.
    CSignal* edited = *std::next(doc.m_signals.begin());
    edited->m_firstBit = 7;
    edited->UpdateMask();
    edited->UpdateFromSource();
    doc.SetModifiedFlag(true);
    doc.BumpRevision();
    ExpectCurrentSamples(doc, "bit field edited");

    // Frozen and duplicated signals keep their samples; the others follow
    // the next capture.
    edited->m_selected = true;
    ASSERT_EQ(DuplicateSelectedSignals(doc), 1);
    (*std::next(doc.m_signals.begin(), 3))->m_selected = true;
    FreezeSelectedSignals(doc);
    ExpectCurrentSamples(doc, "duplicated and frozen");
    HandOff(doc, Capture(3, &first));
    ExpectCurrentSamples(doc, "capture after freeze");

    // A document loaded over this one.
    CVexlarDoc other;
    AddRows(other);
    HandOff(other, Capture(4, &first));
    const std::vector<uint8_t> bytes = StoreDocumentBytes(other);
    LoadDocumentBytes(doc, bytes.data(), bytes.size());
    ExpectCurrentSamples(doc, "loaded");
    ClearTraceCache();
}

// Documents closed and others opened in their place: a new document may
// live where an old one lived, with the same revision and its signals and
// sample arrays at old addresses. Its own samples must be the ones drawn.
TEST(TraceCache, DocumentsOpenedWhereClosedOnesLivedDrawTheirOwnSamples)
{
    EnsureApp();
    ClearTraceCache();
    const std::vector<uint32_t> first = Capture(11);
    std::vector<uint8_t> files[2];
    for (int k = 0; k < 2; ++k) {
        CVexlarDoc d;
        AddRows(d);
        HandOff(d, k == 0 ? first : Capture(12, &first));
        files[k] = StoreDocumentBytes(d);
    }
    alignas(CVexlarDoc) unsigned char storage[sizeof(CVexlarDoc)];
    for (int k = 0; k < 4; ++k) {
        // Opened from a file, and made new and filled by a capture.
        auto* doc = new (storage) CVexlarDoc;
        LoadDocumentBytes(*doc, files[k % 2].data(), files[k % 2].size());
        ExpectCurrentSamples(*doc, "document opened");
        doc->~CVexlarDoc();
        doc = new (storage) CVexlarDoc;
        AddRows(*doc);
        HandOff(*doc, k % 2 == 0 ? first : Capture(12, &first));
        ExpectCurrentSamples(*doc, "new document");
        doc->~CVexlarDoc();
    }
    ClearTraceCache();
}
