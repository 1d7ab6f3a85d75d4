// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <vector>

#include "model/signal_search.h"

using namespace SignalSearch;

namespace {

// A known one-bit capture: index 0..19.
//                                   0  1  2  3  4  5  6  7  8  9 10 11 12 13 14 15 16 17 18 19
const std::vector<uint32_t> kLine = {0, 0, 1, 1, 1, 0, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 0};
// edges:                                  2r       5f    7r 8f          12r               18f

TEST(SignalSearch, EdgesForwardAndBackward)
{
    struct Case {
        int32_t from;
        Direction direction;
        int32_t found;
    };
    const Case cases[] = {
        {-1, Direction::Forward, 2},   {0, Direction::Forward, 2},         {2, Direction::Forward, 5},
        {4, Direction::Forward, 5},    {8, Direction::Forward, 12},        {12, Direction::Forward, 18},
        {18, Direction::Forward, -1},  {19, Direction::Forward, -1},       {100, Direction::Forward, -1},
        {19, Direction::Backward, 18}, {18, Direction::Backward, 12},      {12, Direction::Backward, 8},
        {6, Direction::Backward, 5},   {3, Direction::Backward, 2},        {2, Direction::Backward, -1},
        {0, Direction::Backward, -1},  {20, Direction::Backward, 18},      {1000, Direction::Backward, 18},
        {-5, Direction::Backward, -1}, {INT32_MIN, Direction::Forward, 2}, {INT32_MAX, Direction::Backward, 18},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindEdge(kLine.data(), int32_t(kLine.size()), c.from, c.direction), c.found)
            << "from " << c.from << (c.direction == Direction::Forward ? " forward" : " backward");
    }
    EXPECT_EQ(FindEdge(nullptr, 0, 0, Direction::Forward), -1);
    const uint32_t one[] = {1};
    EXPECT_EQ(FindEdge(one, 1, -1, Direction::Forward), -1);
    // Only bit 0 counts: a bus sample whose other bits change is no edge.
    const uint32_t bus[] = {0x10, 0x20, 0x21, 0x31};
    EXPECT_EQ(FindEdge(bus, 4, -1, Direction::Forward), 2);
    EXPECT_EQ(FindEdge(bus, 4, 2, Direction::Forward), -1);
}

TEST(SignalSearch, ValueWithAndWithoutMask)
{
    //                                0    1    2    3    4    5    6    7    8    9
    const std::vector<uint32_t> bus = {0x12, 0x12, 0x34, 0x12, 0x12, 0x35, 0x34, 0x34, 0x00, 0x12};
    const auto n = static_cast<int32_t>(bus.size());
    struct Case {
        int32_t from;
        Direction direction;
        uint32_t value;
        uint32_t mask;
        int32_t found;
    };
    const Case cases[] = {
        // whole value: each run of 0x12 is found at its first sample
        {-1, Direction::Forward, 0x12, 0xFF, 0},
        {0, Direction::Forward, 0x12, 0xFF, 3},
        {1, Direction::Forward, 0x12, 0xFF, 3},
        {3, Direction::Forward, 0x12, 0xFF, 9},
        {9, Direction::Forward, 0x12, 0xFF, -1},
        {10, Direction::Backward, 0x12, 0xFF, 9},
        {9, Direction::Backward, 0x12, 0xFF, 3},
        {4, Direction::Backward, 0x12, 0xFF, 3},
        {3, Direction::Backward, 0x12, 0xFF, 0},
        {0, Direction::Backward, 0x12, 0xFF, -1},
        {-1, Direction::Forward, 0x34, 0xFF, 2},
        {2, Direction::Forward, 0x34, 0xFF, 6},
        {-1, Direction::Forward, 0x77, 0xFF, -1},
        // high nibble only: 0x34 and 0x35 are one run
        {2, Direction::Forward, 0x30, 0xF0, 5},
        {5, Direction::Forward, 0x30, 0xF0, -1},
        {8, Direction::Backward, 0x30, 0xF0, 5},
        // an empty mask matches everything: one run from sample 0
        {-1, Direction::Forward, 0x99, 0x00, 0},
        {0, Direction::Forward, 0x99, 0x00, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindValue(bus.data(), n, c.from, c.direction, c.value, c.mask), c.found)
            << "from " << c.from << " value " << c.value << " mask " << c.mask;
    }
}

TEST(SignalSearch, EdgeCountsBetweenMarkers)
{
    const auto n = static_cast<int32_t>(kLine.size());
    struct Case {
        int32_t a, b;
        int32_t rising, falling;
    };
    const Case cases[] = {
        {0, 19, 3, 3}, {19, 0, 3, 3},  {2, 5, 0, 1},    {1, 5, 1, 1},  {5, 7, 1, 0},
        {7, 7, 0, 0},  {-50, 4, 1, 0}, {12, 500, 0, 1}, {8, 12, 1, 0}, {9, 17, 1, 0},
    };
    for (const Case& c : cases) {
        const EdgeCounts counts = CountEdges(kLine.data(), n, c.a, c.b);
        EXPECT_EQ(counts.rising, c.rising) << c.a << ".." << c.b;
        EXPECT_EQ(counts.falling, c.falling) << c.a << ".." << c.b;
    }
    EXPECT_EQ(CountEdges(nullptr, 0, 0, 10).rising, 0);
}

// A pulse train: 3 samples high, 7 low, period 10, starting low for 4.
std::vector<uint32_t> PulseTrain()
{
    std::vector<uint32_t> v(4, 0);
    for (int cycle = 0; cycle < 5; ++cycle) {
        v.insert(v.end(), 3, 1);
        v.insert(v.end(), 7, 0);
    }
    return v;   // rising edges at 4, 14, 24, 34, 44; falling at 7, 17, 27, 37, 47; 54 samples
}

TEST(SignalSearch, MeasurementsOnAKnownPulseTrain)
{
    const std::vector<uint32_t> train = PulseTrain();
    const auto n = static_cast<int32_t>(train.size());

    // Inside a high pulse of the second cycle.
    PulseMeasurement m = MeasureAround(train.data(), n, 15);
    ASSERT_TRUE(m.valid);
    EXPECT_TRUE(m.high);
    EXPECT_EQ(m.pulseStart, 14);
    EXPECT_EQ(m.pulseEnd, 17);
    EXPECT_EQ(m.width, 3);
    EXPECT_EQ(m.cycleStart, 14);
    EXPECT_EQ(m.cycleFall, 17);
    EXPECT_EQ(m.cycleEnd, 24);
    EXPECT_EQ(m.period, 10);
    EXPECT_EQ(m.highTime, 3);
    EXPECT_DOUBLE_EQ(m.DutyCycle(), 0.3);

    // In the low part of the same cycle: the low pulse, the same cycle.
    m = MeasureAround(train.data(), n, 20);
    EXPECT_FALSE(m.high);
    EXPECT_EQ(m.width, 7);
    EXPECT_EQ(m.pulseStart, 17);
    EXPECT_EQ(m.cycleStart, 14);
    EXPECT_EQ(m.period, 10);
    EXPECT_DOUBLE_EQ(m.DutyCycle(), 0.3);

    // Exactly on a rising edge: that edge starts the pulse and the cycle.
    m = MeasureAround(train.data(), n, 24);
    EXPECT_TRUE(m.high);
    EXPECT_EQ(m.pulseStart, 24);
    EXPECT_EQ(m.width, 3);
    EXPECT_EQ(m.cycleStart, 24);
    EXPECT_EQ(m.period, 10);

    // Before the first edge: the level's start is not in the capture.
    m = MeasureAround(train.data(), n, 1);
    EXPECT_TRUE(m.valid);
    EXPECT_FALSE(m.high);
    EXPECT_EQ(m.pulseStart, -1);
    EXPECT_EQ(m.pulseEnd, 4);
    EXPECT_EQ(m.width, -1);
    EXPECT_EQ(m.period, -1);
    EXPECT_EQ(m.DutyCycle(), -1.0);

    // The last cycle has no rising edge after it.
    m = MeasureAround(train.data(), n, 45);
    EXPECT_EQ(m.width, 3);
    EXPECT_EQ(m.cycleStart, 44);
    EXPECT_EQ(m.cycleFall, 47);
    EXPECT_EQ(m.cycleEnd, -1);
    EXPECT_EQ(m.period, -1);
    m = MeasureAround(train.data(), n, 50);
    EXPECT_EQ(m.pulseStart, 47);
    EXPECT_EQ(m.pulseEnd, -1);
    EXPECT_EQ(m.width, -1);

    EXPECT_FALSE(MeasureAround(train.data(), n, -1).valid);
    EXPECT_FALSE(MeasureAround(train.data(), n, n).valid);
}

TEST(SignalSearch, FieldValuesAsTyped)
{
    struct Case {
        const char* text;
        SignalRadix radix;
        int32_t bits;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"0x1F", Unsigned, 8, true, 0x1F},
        {"x1f", Unsigned, 8, true, 0x1F},
        {"1F", Hex, 8, true, 0x1F},
        {"1F", Unsigned, 8, false, 0},
        {"31", Unsigned, 8, true, 31},
        {"31", Hex, 8, true, 0x31},
        {"0b101", Hex, 8, true, 5},
        {"b101", Unsigned, 8, true, 5},
        {"101", Binary, 8, true, 5},
        {"102", Binary, 8, false, 0},
        {"-1", Signed, 8, true, 0xFF},
        {"-128", Signed, 8, true, 0x80},
        {"-129", Signed, 8, false, 0},
        {"255", Unsigned, 8, true, 255},
        {"256", Unsigned, 8, false, 0},
        {"0xFFFFFFFF", Hex, 32, true, 0xFFFFFFFFu},
        {"0x100000000", Hex, 32, false, 0},
        {"dead_beef", Hex, 32, true, 0xDEADBEEFu},
        {"beef", Hex, 16, true, 0xBEEF},
        {"b1", Hex, 8, true, 0xB1},
        {"0b11", Hex, 8, true, 3},
        {" 7 ", Unsigned, 4, true, 7},
        {"", Hex, 8, false, 0},
        {"0x", Hex, 8, false, 0},
        {"-", Signed, 8, false, 0},
        {"1.5", Unsigned, 8, false, 0},
        {"+3", Unsigned, 8, false, 0},
        {"g", Hex, 8, false, 0},
    };
    for (const Case& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseFieldValue(QString::fromLatin1(c.text), c.radix, c.bits, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

}   // namespace
