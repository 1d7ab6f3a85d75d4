// SPDX-License-Identifier: GPL-3.0-or-later
// Column stepping, the per-column view of the samples and the summaries kept
// between paints.

#include <QPainter>
#include <QPaintDevice>
#include <QTransform>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <memory>

#include "model/signal.h"
#include "view/trace_draw.h"
#include "view/trace_internal.h"

namespace trace_detail {

Stepping ScreenStepping(int x0, int step)
{
    Stepping st;
    st.x0 = x0;
    if (step >= 0) {
        st.dx = step;
        st.n = 1;
    } else {
        st.dx = 1;
        st.n = -static_cast<int64_t>(step);
    }
    return st;
}

Stepping PrintStepping(QPainter& painter, int x0, double scale, int first, int last)
{
    constexpr double kMaxUnitsPerSample = 1.0e6;
    Stepping st;
    st.x0 = x0;
    if (scale >= 1.0) {
        st.dx = static_cast<int>(std::min(scale, kMaxUnitsPerSample));
        st.n = 1;
    } else if (scale <= -1.0) {
        st.dx = 1;
        st.n = static_cast<int64_t>(std::min(-scale, 4.0e9));
    } else if (scale > 0.0) {
        st.dx = 1;
        st.n = static_cast<int64_t>(std::ceil(1.0 / scale));
    } else {
        // No usable scale (the span is wider than the page): fit the span to
        // the width of the page as the painter maps it.
        double pageWidth = 0.0;
        if (const QPaintDevice* device = painter.device()) {
            bool invertible = false;
            const QTransform inverse = painter.combinedTransform().inverted(&invertible);
            if (invertible)
                pageWidth = inverse.mapRect(QRectF(0, 0, device->width(), device->height())).width();
        }
        if (!(pageWidth >= 1.0))
            pageWidth = 1900.0;   // an A4 page's printable width
        // The trace starts at x0: the room right of it takes the whole span.
        const double room = std::max(1.0, pageWidth - x0);
        const double count = std::max(1.0, static_cast<double>(last) - static_cast<double>(first) + 1.0);
        st.dx = 1;
        st.n = std::max<int64_t>(1, static_cast<int64_t>(std::ceil(count / room)));
    }
    return st;
}

int VisibleWidth(const Stepping& st, int first, int last)
{
    const int64_t count = static_cast<int64_t>(last) - first + 1;
    const int64_t w = st.n == 1 ? count * st.dx : count / st.n;
    return static_cast<int>(std::clamp<int64_t>(w, INT_MIN / 2, INT_MAX / 2));
}

namespace {

constexpr int64_t kFarAway = 1 << 29;   // positions beyond are far outside any target

int32_t ColumnX(const Stepping& st, int64_t column)
{
    return static_cast<int32_t>(std::clamp<int64_t>(st.x0 + column * st.dx, -kFarAway, kFarAway));
}

}   // namespace

void BuildDigitalColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                         std::vector<DigitalColumn>& out)
{
    out.clear();
    if (last < first || signal.m_samples == nullptr)
        return;
    // Columns of many samples each: a repaint of the same samples over the
    // same range (a marker set, the cross-hair moved, a window exposed)
    // takes the columns of the paint before.
    if (st.n > 1 && KeptColumns(signal, first, last, st, need, out))
        return;
    const uint32_t* s = signal.m_samples;
    if (st.n == 1) {
        out.resize(size_t(int64_t(last) - first + 1));
        DigitalColumn* c = out.data();
        c[0] = {ColumnX(st, 0), 0u, s[first], s[first]};
        for (int64_t i = int64_t(first) + 1; i <= last; ++i) {
            const int64_t k = i - first;
            c[k] = {ColumnX(st, k), s[i] ^ s[i - 1], s[i - 1], s[i]};
        }
        return;
    }
    const int64_t columns = (int64_t(last) - first) / st.n + 1;
    out.resize(size_t(columns));
    const CSampleSummary* summary = SummaryFor(signal, true, false);
    for (int64_t k = 0; k < columns; ++k) {
        const int64_t start = first + k * st.n;
        // The partial blocks at the column edges are read from the samples:
        // ask for them well ahead (columns lie far apart when zoomed out).
        if (k + 8 < columns)
            __builtin_prefetch(s + start + 8 * st.n - 1);
        const int32_t end = static_cast<int32_t>(std::min<int64_t>(start + st.n - 1, last));
        const int32_t from = static_cast<int32_t>(std::max<int64_t>(start, int64_t(first) + 1));
        const uint32_t change = summary ? summary->ChangeMask(from, end, need) : ScanChangeMask(s, from, end, need);
        out[size_t(k)] = {ColumnX(st, k), change, k == 0 ? s[first] : s[start - 1], s[end]};
    }
    KeepColumns(signal, first, last, st, need, out);
}

ChangeNeed DigitalChangeNeed(const CSignal& signal)
{
    if (signal.m_numBits == 1)
        return ChangeNeed{1u};
    if (!signal.m_expanded || signal.m_numBits <= 0)
        return ChangeNeed{0u};
    return ChangeNeed{signal.m_numBits >= 32 ? 0xFFFFFFFFu : (1u << signal.m_numBits) - 1u};
}

SampleValueRule ValueRuleOf(const CSignal& signal)
{
    SampleValueRule rule;
    rule.signExtend = signal.m_radix == Signed;
    if (rule.signExtend) {
        // Bit (width - 1) modulo 32, in unsigned arithmetic so that no width
        // read from a file (even INT_MIN) overflows.
        rule.signBit = 1u << ((static_cast<uint32_t>(signal.m_numBits) - 1u) & 31u);
        rule.extendBits = ~signal.m_mask;
    }
    return rule;
}

bool BandVisible(QPainter& painter, int top, int bottom)
{
    const QPaintDevice* device = painter.device();
    if (device == nullptr || !painter.worldTransform().isIdentity() || !painter.deviceTransform().isIdentity())
        return true;
    constexpr int kMargin = 8;   // wide pens and text reach a little outside
    QRect area(0, 0, device->width(), device->height());
    if (painter.hasClipping())
        area &= painter.clipBoundingRect().toAlignedRect();
    return bottom + kMargin > area.top() && top - kMargin <= area.bottom();
}

// ---- summaries kept between paints -------------------------------------

namespace {

constexpr int kProbes = 16;
constexpr size_t kMaxEntries = 64;

// Which columns of a signal's samples were kept.
struct ColumnsKey {
    int first = 0;
    int last = -1;
    int x0 = 0;
    int dx = 0;
    int64_t n = 0;
    uint32_t need = 0;
    friend bool operator==(const ColumnsKey&, const ColumnsKey&) = default;
};

struct CacheEntry {
    const CSignal* signal = nullptr;
    const void* document = nullptr;
    uint64_t revision = 0;
    const uint32_t* samples = nullptr;
    int32_t count = 0;
    SampleValueRule rule;
    std::array<uint32_t, kProbes> probes{};
    bool built = false;   // seen once: the summary is built on the next paint
    CSampleSummary summary;
    uint64_t lastUse = 0;
    bool hasColumns = false;
    ColumnsKey columnsKey;
    std::vector<DigitalColumn> columns;
};

struct CacheState {
    bool active = false;
    const void* document = nullptr;
    uint64_t revision = 0;
    uint64_t clock = 0;
    std::vector<std::unique_ptr<CacheEntry>> entries;
};

CacheState& Cache()
{
    thread_local CacheState state;
    return state;
}

std::array<uint32_t, kProbes> Probe(const uint32_t* s, int32_t count)
{
    std::array<uint32_t, kProbes> p{};
    if (count <= 0)
        return p;
    for (int k = 0; k < kProbes; ++k)
        p[size_t(k)] = s[int64_t(count - 1) * k / (kProbes - 1)];
    return p;
}

CacheEntry* EntryOf(const CSignal& signal)
{
    for (auto& e : Cache().entries)
        if (e->signal == &signal)
            return e.get();
    return nullptr;
}

// True when the entry describes the signal's samples as they are now.
bool Describes(const CacheEntry* entry, const CSignal& signal, const SampleValueRule& rule)
{
    const CacheState& cache = Cache();
    return entry != nullptr && entry->document == cache.document && entry->revision == cache.revision &&
           entry->samples == signal.m_samples && entry->count == signal.m_count && entry->rule == rule &&
           entry->probes == Probe(signal.m_samples, signal.m_count);
}

ColumnsKey KeyOf(int first, int last, const Stepping& st, ChangeNeed need)
{
    return ColumnsKey{first, last, st.x0, st.dx, st.n, need.bits};
}

}   // namespace

bool KeptColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                 std::vector<DigitalColumn>& out)
{
    if (!Cache().active || signal.m_samples == nullptr || signal.m_count <= 0)
        return false;
    const CacheEntry* entry = EntryOf(signal);
    if (entry == nullptr || !entry->hasColumns || !(entry->columnsKey == KeyOf(first, last, st, need)) ||
        !Describes(entry, signal, ValueRuleOf(signal)))
        return false;
    out = entry->columns;
    return true;
}

void KeepColumns(const CSignal& signal, int first, int last, const Stepping& st, ChangeNeed need,
                 const std::vector<DigitalColumn>& cols)
{
    if (!Cache().active || signal.m_samples == nullptr || signal.m_count <= 0)
        return;
    // The entry that SummaryFor made or confirmed for these samples.
    CacheEntry* entry = EntryOf(signal);
    if (!Describes(entry, signal, ValueRuleOf(signal)))
        return;
    entry->columns = cols;
    entry->columnsKey = KeyOf(first, last, st, need);
    entry->hasColumns = true;
}

const CSampleSummary* SummaryFor(const CSignal& signal, bool changes, bool ranges)
{
    CacheState& cache = Cache();
    if (!cache.active || signal.m_samples == nullptr || signal.m_count <= 0)
        return nullptr;
    const SampleValueRule rule = ValueRuleOf(signal);
    CacheEntry* entry = EntryOf(signal);
    const bool same = Describes(entry, signal, rule);
    if (entry == nullptr) {
        if (cache.entries.size() >= kMaxEntries) {
            auto oldest = std::min_element(cache.entries.begin(), cache.entries.end(),
                                           [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
            cache.entries.erase(oldest);
        }
        cache.entries.push_back(std::make_unique<CacheEntry>());
        entry = cache.entries.back().get();
    }
    entry->lastUse = ++cache.clock;
    if (!same) {
        // First sight of these samples: remember them and read the samples
        // directly this time. Samples that change at every paint (a live
        // capture) never pay for a summary.
        entry->signal = &signal;
        entry->document = cache.document;
        entry->revision = cache.revision;
        entry->samples = signal.m_samples;
        entry->count = signal.m_count;
        entry->rule = rule;
        entry->probes = Probe(signal.m_samples, signal.m_count);
        entry->built = false;
        entry->summary = CSampleSummary();
        entry->hasColumns = false;
        entry->columns.clear();
        return nullptr;
    }
    const bool missing =
        !entry->built || (changes && !entry->summary.HasChanges()) || (ranges && !entry->summary.HasRanges());
    if (missing) {
        entry->summary.Build(signal.m_samples, signal.m_count, changes || (entry->built && entry->summary.HasChanges()),
                             ranges || (entry->built && entry->summary.HasRanges()), rule);
        entry->built = true;
    }
    return &entry->summary;
}

}   // namespace trace_detail

CTraceCacheScope::CTraceCacheScope(const void* document, uint64_t revision)
{
    auto& cache = trace_detail::Cache();
    m_previousDocument = cache.document;
    m_previousRevision = cache.revision;
    m_previousActive = cache.active;
    cache.active = true;
    cache.document = document;
    cache.revision = revision;
}

CTraceCacheScope::~CTraceCacheScope()
{
    auto& cache = trace_detail::Cache();
    cache.active = m_previousActive;
    cache.document = m_previousDocument;
    cache.revision = m_previousRevision;
}

void ClearTraceCache()
{
    trace_detail::Cache().entries.clear();
}
