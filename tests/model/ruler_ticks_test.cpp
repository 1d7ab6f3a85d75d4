// SPDX-License-Identifier: GPL-3.0-or-later
// Tick placement and label text of the axis ruler.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "model/ruler_ticks.h"

namespace {

struct Ticks {
    std::vector<double> values;
    std::vector<int32_t> majors;
    std::vector<int32_t> minors;
};

Ticks Compute(int32_t a, int32_t b, double first, double last, int32_t spacing)
{
    Ticks t;
    RulerTicks::ComputeTicks(a, b, first, last, spacing, t.values, t.majors, t.minors);
    return t;
}

std::vector<int32_t> Every(int32_t from, int32_t step, int count)
{
    std::vector<int32_t> v;
    for (int i = 0; i < count; ++i)
        v.push_back(from + i * step);
    return v;
}

}   // namespace

TEST(RulerTicks, TenUnitsOverFiveHundredPixelsHasNoMinorTicksAndNoTickAtZero)
{
    const Ticks t = Compute(100, 600, 0, 100, 80);
    EXPECT_EQ(t.values, (std::vector<double>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
    EXPECT_EQ(t.majors, Every(150, 50, 10));
    EXPECT_TRUE(t.minors.empty());
}

TEST(RulerTicks, WholeCaptureOfFourThousandSamples)
{
    const Ticks t = Compute(100, 600, 0, 4096, 112);
    EXPECT_EQ(t.values, (std::vector<double>{1000, 2000, 3000, 4000}));
    EXPECT_EQ(t.majors, (std::vector<int32_t>{222, 344, 466, 588}));
    ASSERT_EQ(t.minors.size(), 41u);
    EXPECT_EQ(t.minors.front(), 112);
    EXPECT_EQ(t.minors[9], 222);   // 1000 units: minor and major coincide
    EXPECT_EQ(t.minors.back(), 600);
}

TEST(RulerTicks, VerticalScaleRunsReversed)
{
    const Ticks t = Compute(300, 100, 0, 1024, 112);
    EXPECT_EQ(t.values, (std::vector<double>{1000}));
    EXPECT_EQ(t.majors, (std::vector<int32_t>{104}));
    EXPECT_EQ(t.minors, (std::vector<int32_t>{280, 260, 241, 221, 202, 182, 163, 143, 124, 104}));
}

TEST(RulerTicks, NegativeStartLabelsEveryUnit)
{
    const Ticks t = Compute(100, 700, -3, 7, 80);
    EXPECT_EQ(t.values, (std::vector<double>{-2, -1, 0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(t.majors, Every(160, 60, 10));
    std::vector<QString> labels;
    for (double v : t.values)
        labels.push_back(RulerTicks::FormatLabel(v, false));
    EXPECT_EQ(labels.front(), QStringLiteral("-2"));
    EXPECT_EQ(labels[2], QStringLiteral("0"));
    EXPECT_EQ(labels.back(), QStringLiteral("7"));
}

// Every branch of the tick choice (r = step / power of ten) on both sides of
// its edges, the clamp of the interval count to -8..8, ranges that do not
// start on a multiple of the tick step, the 6-pixel minimum of minor ticks,
// and which ends of a range may carry a minor tick, forward and reversed.
TEST(RulerTicks, TickChoiceTable)
{
    struct Case {
        const char* what;
        int32_t a, b;
        double first, last;
        int32_t spacing;
        std::vector<double> values;
        std::vector<int32_t> majors;
        std::vector<int32_t> minors;
    };
    // clang-format off
    const Case cases[] = {
        {"r 1.7: majors of 1", 0, 200, 0, 6.8, 50,
         {1, 2, 3, 4, 5, 6}, {29, 58, 88, 117, 147, 176}, {}},
        {"r exactly 1.75: majors of 2", 0, 200, 0, 7, 50,
         {2, 4, 6}, {57, 114, 171}, {}},
        {"r 2: minors of 0.1 under majors of 2", 0, 120, 0, 2, 100,
         {2}, {120}, Every(6, 6, 20)},
        {"r 3.7: majors of 2", 0, 200, 0, 14.8, 50,
         {2, 4, 6, 8, 10, 12, 14}, {27, 54, 81, 108, 135, 162, 189}, {}},
        {"r exactly 3.75: majors of 5, minors of 1", 0, 200, 0, 15, 50,
         {5, 10, 15}, {66, 133, 200}, {13, 26, 40, 53, 66, 80, 93, 106, 120, 133, 146, 160, 173, 186, 200}},
        {"r 6.9: majors of 5", 0, 100, 0, 27.6, 25,
         {5, 10, 15, 20, 25}, {18, 36, 54, 72, 90}, {}},
        {"r exactly 7: majors of 10", 0, 100, 0, 28, 25,
         {10, 20}, {35, 71}, {}},
        {"r 8: the one major lies beyond the range, minors of 1", 0, 60, 0, 8, 50,
         {}, {}, {7, 15, 22, 30, 37, 45, 52, 60}},
        {"r 9.9: majors of 10", 0, 200, 0, 39.6, 50,
         {10, 20, 30}, {50, 101, 151}, {}},
        {"step exactly 10: the next power of ten", 0, 200, 0, 40, 50,
         {10, 20, 30, 40}, {50, 100, 150, 200}, {}},
        {"fractions: majors of 0.2", 0, 200, 0, 1, 50,
         {0.2, 0.4, 0.6, 0.8, 1.0}, {40, 80, 120, 160, 200}, {}},
        {"millions", 0, 200, 0, 4e6, 50,
         {1e6, 2e6, 3e6, 4e6}, {50, 100, 150, 200}, {}},
        {"10 intervals clamp to 8", 0, 100, 0, 14, 10,
         {2, 4, 6, 8, 10, 12, 14}, {14, 28, 42, 57, 71, 85, 100}, {}},
        {"reversed: -10 intervals clamp to -8", 100, 0, 0, 14, 10,
         {2, 4, 6, 8, 10, 12, 14}, {85, 71, 57, 42, 28, 14, 0}, {}},
        {"first not on a major multiple", 0, 200, 3, 47, 40,
         {10, 20, 30, 40}, {31, 77, 122, 168}, {}},
        {"negative first not on a major multiple", 0, 200, -13, 31, 40,
         {-10, 0, 10, 20, 30}, {13, 59, 104, 150, 195}, {}},
        {"first not on a minor multiple", 0, 300, 2.5, 22.5, 100,
         {5, 10, 15, 20}, {37, 112, 187, 262}, Every(7, 15, 20)},
        {"negative first not on a minor multiple", 0, 300, -12.5, 7.5, 100,
         {-10, -5, 0, 5}, {37, 112, 187, 262}, Every(7, 15, 20)},
        {"minors 6 pixels apart are drawn", 0, 60, 0, 10, 30,
         {5, 10}, {30, 60}, Every(6, 6, 10)},
        {"minors 5 pixels apart are not", 0, 59, 0, 10, 29,
         {5, 10}, {29, 59}, {}},
        {"forward: minors on both ends", 0, 200, 0.99, 10.99, 100,
         {5, 10}, {80, 180}, Every(0, 20, 11)},
        {"reversed: no minor on the far end", 300, 100, 0, 10, 100,
         {5, 10}, {200, 100}, Every(280, -20, 9)},
        {"reversed: a minor on the near end ends the minors", 0, -200, 0.99, 10.99, 100,
         {5, 10}, {-80, -180}, {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const Ticks t = Compute(c.a, c.b, c.first, c.last, c.spacing);
        ASSERT_EQ(t.values.size(), c.values.size()) << c.what;
        for (size_t i = 0; i < c.values.size(); ++i)
            EXPECT_DOUBLE_EQ(t.values[i], c.values[i]) << c.what << ", major " << i;
        EXPECT_EQ(t.majors, c.majors) << c.what;
        EXPECT_EQ(t.minors, c.minors) << c.what;
    }
}

TEST(RulerTicks, NothingWhenTooNarrowOrEmptyRange)
{
    struct Case {
        int32_t a, b;
        double first, last;
        int32_t spacing;
    };
    const Case cases[] = {
        {100, 150, 0, 100, 80},   // narrower than the spacing
        {100, 600, 5, 5, 80},     // equal end values
        {300, 100, 7, 7, 20},     // equal end values, vertical
        {100, 100, 0, 100, 0},    // no pixels at all (spacing 0 counts as 1)
    };
    for (const Case& c : cases) {
        const Ticks t = Compute(c.a, c.b, c.first, c.last, c.spacing);
        EXPECT_TRUE(t.values.empty() && t.majors.empty() && t.minors.empty())
            << c.a << ".." << c.b << " " << c.first << ".." << c.last;
    }
}

TEST(RulerTicks, ZeroSpacingCountsAsOne)
{
    // 700 pixels at spacing 1 clamp to 8 intervals: step 12.5 gives majors of 10.
    const Ticks t = Compute(0, 700, 0, 100, 0);
    EXPECT_EQ(t.values.front(), 10);
    EXPECT_EQ(t.values.back(), 100);
    EXPECT_EQ(t.majors.back(), 700);
}

TEST(RulerTicks, NonFiniteOrHugeRangesEndWithoutHanging)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(Compute(100, 600, 0, inf, 80).values.empty());
    EXPECT_TRUE(Compute(100, 600, -1e100, 0, 80).values.size() <= 20);
    // A range so far from zero that one step no longer changes the value.
    const Ticks t = Compute(100, 600, 1e300, 1e300 * (1 + 1e-15), 80);
    EXPECT_LE(t.values.size(), 1000001u);
}

TEST(RulerTicks, FormatLabelTable)
{
    struct Case {
        double value;
        bool absLabels;
        const char* text;
    };
    const Case cases[] = {
        {1000.0, false, "1000"}, {2.5, false, "2.5"},  {-3.0, false, "-3"},     {0.04, false, "0"},
        {-0.04, false, "-0"},    {-2.0, true, "2"},    {-2.5, true, "2.5"},     {0.0, false, "0"},
        {4096.0, false, "4096"}, {0.25, false, "0.2"}, {1e6, false, "1000000"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RulerTicks::FormatLabel(c.value, c.absLabels), QString::fromLatin1(c.text)) << c.value;
    }
}
