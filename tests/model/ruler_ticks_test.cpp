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
