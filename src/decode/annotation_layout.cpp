// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/annotation_layout.h"

#include <algorithm>
#include <cmath>

std::vector<LaneIndex> BuildLaneIndex(const CAnnotationStore& store)
{
    std::vector<LaneIndex> lanes(store.Lanes().size());
    const std::vector<Annotation>& items = store.Items();
    for (uint32_t i = 0; i < items.size(); ++i) {
        if (items[i].lane < lanes.size())
            lanes[items[i].lane].order.push_back(i);
    }
    for (LaneIndex& lane : lanes) {
        std::stable_sort(lane.order.begin(), lane.order.end(),
                         [&](uint32_t a, uint32_t b) { return items[a].start < items[b].start; });
        lane.maxEnd.resize(lane.order.size());
        uint64_t maxEnd = 0;
        for (size_t k = 0; k < lane.order.size(); ++k) {
            maxEnd = std::max(maxEnd, items[lane.order[k]].end);
            lane.maxEnd[k] = maxEnd;
        }
    }
    return lanes;
}

namespace {

struct Mapping {
    const LaneGeometry& g;

    // x of a sample, clamped to a range that cannot overflow an int.
    int X(uint64_t sample) const
    {
        const double x =
            g.left + (static_cast<double>(sample) - static_cast<double>(g.firstSample)) * g.pixelsPerSample;
        return static_cast<int>(std::clamp(std::floor(x), -1e9, 1e9));
    }
    // The first sample whose x is at least `x`.
    uint64_t SampleAt(int x) const
    {
        const double s = static_cast<double>(g.firstSample) + (x - g.left) / g.pixelsPerSample;
        return s <= 0.0 ? 0 : static_cast<uint64_t>(std::ceil(s - 1e-9));
    }
};

}   // namespace

void LayoutLane(const CAnnotationStore& store, const LaneIndex& index, const LaneGeometry& geometry, int minBoxWidth,
                LaneLayout& out)
{
    out.boxes.clear();
    out.blocks.clear();
    if (index.order.empty() || geometry.right <= geometry.left || !(geometry.pixelsPerSample > 0.0))
        return;
    const std::vector<Annotation>& items = store.Items();
    const Mapping map{geometry};
    const uint64_t firstSample = static_cast<uint64_t>(std::max<int64_t>(0, geometry.firstSample));
    const uint64_t lastSample = map.SampleAt(geometry.right);   // past the right edge

    // First annotation that reaches into the window.
    size_t k = static_cast<size_t>(std::upper_bound(index.maxEnd.begin(), index.maxEnd.end(), firstSample) -
                                   index.maxEnd.begin());
    if (k > 0 && index.maxEnd[k - 1] == firstSample)
        --k;   // zero-length annotations at the left edge
    auto startOf = [&](size_t at) { return items[index.order[at]].start; };
    // First position at or after `from` whose annotation starts at `sample` or later.
    auto firstStartingAt = [&](size_t from, uint64_t sample) {
        size_t lo = from;
        size_t hi = index.order.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (startOf(mid) < sample)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };

    const size_t n = index.order.size();
    while (k < n) {
        const Annotation& a = items[index.order[k]];
        if (a.start >= lastSample)
            break;
        const int x0 = map.X(a.start);
        const int x1 = std::max(map.X(a.end), x0 + 1);
        if (x1 <= geometry.left) {
            ++k;   // ends left of the window (it overlapped a longer one)
            continue;
        }
        if (x1 - x0 >= minBoxWidth) {
            out.boxes.push_back({x0, x1, index.order[k]});
            ++k;
            continue;
        }
        // A dense stretch: swallow, pixel by pixel, every annotation that
        // starts inside the block, while the next one is narrow and touches it.
        int bx0 = x0;
        int bx1 = x1;
        size_t next = k + 1;
        for (;;) {
            const size_t j = firstStartingAt(next, map.SampleAt(bx1));
            // The ends of the annotations swallowed (a few are read; a long run
            // is represented by its last start).
            bool wideFollows = false;
            if (j - next <= 8) {
                for (size_t m = next; m < j; ++m) {
                    const int m0 = map.X(startOf(m));
                    const int m1 = std::max(map.X(items[index.order[m]].end), m0 + 1);
                    if (m1 - m0 >= minBoxWidth) {
                        // A wide one gets its own box: the block ends where it starts.
                        bx1 = std::max(bx1, m0);
                        next = m;
                        wideFollows = true;
                        break;
                    }
                    bx1 = std::max(bx1, m1);
                }
                if (wideFollows)
                    break;
            } else if (j > next) {
                bx1 = std::max(bx1, map.X(startOf(j - 1)) + 1);
            }
            next = j;
            if (next >= n || bx1 >= geometry.right)
                break;
            const Annotation& b = items[index.order[next]];
            const int y0 = map.X(b.start);
            const int y1 = std::max(map.X(b.end), y0 + 1);
            if (y0 > bx1 || y1 - y0 >= minBoxWidth)
                break;   // a gap, or a box of its own
            bx1 = std::max(bx1, y1);
            ++next;
        }
        out.blocks.push_back({std::max(bx0, geometry.left), std::min(bx1, geometry.right)});
        k = next;
    }
}
