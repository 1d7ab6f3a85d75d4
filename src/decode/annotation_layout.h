// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the annotations of one lane stand on screen: a box per annotation
// that is wide enough to show, and one block per dense stretch of narrower
// ones. The work is proportional to the pixels of the lane (times a binary
// search), not to the annotations in view, so a capture of 100,000
// annotations zoomed out lays out as fast as a few.

#include <cstdint>
#include <vector>

#include "decode/annotation_store.h"

// Per lane: its annotations by start sample, and the running maximum of their
// end samples (to find the first one that reaches into a window).
struct LaneIndex {
    std::vector<uint32_t> order;    // indices into the store's items
    std::vector<uint64_t> maxEnd;   // maxEnd[k] = max end of order[0..k]
};

// One index per lane of the store.
std::vector<LaneIndex> BuildLaneIndex(const CAnnotationStore& store);

// The lane's horizontal mapping: x = left + (sample - firstSample) *
// pixelsPerSample, truncated; only x in [left, right) is drawn.
struct LaneGeometry {
    int64_t firstSample = 0;
    double pixelsPerSample = 1.0;
    int left = 0;
    int right = 0;
};

struct LaneBox {
    int x0 = 0;   // first pixel
    int x1 = 0;   // one past the last pixel
    uint32_t item = 0;
};

struct LaneBlock {
    int x0 = 0;
    int x1 = 0;
};

struct LaneLayout {
    std::vector<LaneBox> boxes;
    std::vector<LaneBlock> blocks;
};

// Lays out one lane. Annotations narrower than `minBoxWidth` pixels join a
// block with their neighbours that touch them.
void LayoutLane(const CAnnotationStore& store, const LaneIndex& index, const LaneGeometry& geometry, int minBoxWidth,
                LaneLayout& out);
