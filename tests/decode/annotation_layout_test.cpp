// SPDX-License-Identifier: GPL-3.0-or-later
// Layout of annotation lanes: every annotation in view is shown by its own
// box or inside a dense block, boxes are wide enough for their text, and
// zoomed out the layout has at most about one element per pixel.

#include <gtest/gtest.h>

#include <random>

#include "decode/annotation_layout.h"

namespace {

DecoderInfo TwoRowDecoder()
{
    DecoderInfo info;
    info.id = "test";
    info.annotations = {{"a", "A"}, {"b", "B"}};
    info.rows = {{"ra", "Row A", {0}}, {"rb", "Row B", {1}}};
    return info;
}

// Back-to-back annotations of random lengths on lane 0 (class 0), and a few
// on lane 1.
CAnnotationStore RandomStore(int count, uint32_t seed, uint64_t maxLength)
{
    static const DecoderInfo info = TwoRowDecoder();
    CAnnotationStore store;
    store.SetDecoders({&info});
    std::mt19937 rng(seed);
    std::uniform_int_distribution<uint64_t> length(1, maxLength);
    std::uniform_int_distribution<int> gap(0, 3);
    uint64_t s = 0;
    const char* texts[] = {"long text", "lt", "l"};
    for (int i = 0; i < count; ++i) {
        const uint64_t e = s + length(rng);
        store.Add(0, s, e, 0, texts, 3);
        if (i % 100 == 0)
            store.Add(0, s, s + 5 * maxLength, 1, texts, 1);
        s = e + static_cast<uint64_t>(gap(rng));
    }
    return store;
}

struct LayoutCase {
    double pixelsPerSample;
    int64_t firstSample;
};

class LaneLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LaneLayoutTest, EveryAnnotationInViewIsShown)
{
    const CAnnotationStore store = RandomStore(20000, 7, 40);
    const std::vector<LaneIndex> lanes = BuildLaneIndex(store);
    ASSERT_EQ(lanes.size(), 2u);
    const LaneGeometry g{GetParam().firstSample, GetParam().pixelsPerSample, 100, 1100};
    constexpr int kMinBox = 4;
    for (size_t lane = 0; lane < lanes.size(); ++lane) {
        LaneLayout layout;
        LayoutLane(store, lanes[lane], g, kMinBox, layout);
        std::vector<bool> boxed(store.Size(), false);
        for (const LaneBox& b : layout.boxes) {
            EXPECT_GE(b.x1 - b.x0, kMinBox);
            boxed[b.item] = true;
        }
        // Nothing overlaps: at most one element per pixel, plus boxes of
        // annotations that overlap each other.
        EXPECT_LE(layout.blocks.size(), 1000u);
        for (const LaneBlock& b : layout.blocks) {
            EXPECT_GE(b.x0, g.left);
            EXPECT_LE(b.x1, g.right);
            EXPECT_LT(b.x0, b.x1);
        }
        for (uint32_t i = 0; i < store.Size(); ++i) {
            const Annotation& a = store.Items()[i];
            if (a.lane != lane)
                continue;
            const double fx0 = g.left + (static_cast<double>(a.start) - g.firstSample) * g.pixelsPerSample;
            const double fx1 = g.left + (static_cast<double>(a.end) - g.firstSample) * g.pixelsPerSample;
            const int x0 = static_cast<int>(std::floor(fx0));
            const int x1 = std::max(static_cast<int>(std::floor(fx1)), x0 + 1);
            if (x1 <= g.left || x0 >= g.right)
                continue;   // out of view
            if (boxed[i])
                continue;
            // Not boxed: narrow, or wide but starting inside a dense run
            // (among more neighbours than the layout reads one by one); the
            // block covers where it starts.
            const int px = std::max(x0, g.left);
            const bool covered = std::any_of(layout.blocks.begin(), layout.blocks.end(),
                                             [&](const LaneBlock& b) { return b.x0 <= px && px < b.x1; });
            ASSERT_TRUE(covered) << "annotation " << a.start << "-" << a.end << " at x " << px << " not shown";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Zooms, LaneLayoutTest,
                         ::testing::Values(LayoutCase{20.0, 0}, LayoutCase{20.0, 123456}, LayoutCase{1.0, 5000},
                                           LayoutCase{0.25, 0}, LayoutCase{0.05, 1000},
                                           LayoutCase{1000.0 / 440000.0, 0}, LayoutCase{0.001, 0}));

TEST(LaneLayout, ZoomedInEveryAnnotationIsABox)
{
    const CAnnotationStore store = RandomStore(50, 3, 40);
    const std::vector<LaneIndex> lanes = BuildLaneIndex(store);
    LaneLayout layout;
    LayoutLane(store, lanes[0], LaneGeometry{0, 10.0, 0, 1000000}, 4, layout);
    size_t onLane0 = 0;
    for (const Annotation& a : store.Items())
        onLane0 += a.lane == 0;
    EXPECT_EQ(layout.boxes.size(), onLane0);
    EXPECT_TRUE(layout.blocks.empty());
}

TEST(LaneLayout, ZoomedOutAHundredThousandAnnotationsGiveFewElements)
{
    const CAnnotationStore store = RandomStore(100000, 11, 20);
    const std::vector<LaneIndex> lanes = BuildLaneIndex(store);
    LaneLayout layout;
    // about 1.3 million samples on 1000 pixels
    LayoutLane(store, lanes[0], LaneGeometry{0, 1000.0 / 1.3e6, 0, 1000}, 4, layout);
    EXPECT_LE(layout.boxes.size() + layout.blocks.size(), 1000u);
    ASSERT_FALSE(layout.blocks.empty());
}

}   // namespace
