// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "model/measurement_text.h"

using namespace SignalSearch;

namespace {

// 3 samples high, 7 low, period 10, starting low for 4 samples.
std::vector<uint32_t> PulseTrain()
{
    std::vector<uint32_t> v(4, 0);
    for (int cycle = 0; cycle < 5; ++cycle) {
        v.insert(v.end(), 3, 1);
        v.insert(v.end(), 7, 0);
    }
    return v;
}

TEST(MeasurementText, PulseAndCycleInSamplesAndInTime)
{
    const std::vector<uint32_t> train = PulseTrain();
    const auto n = static_cast<int32_t>(train.size());
    struct Case {
        int32_t sample;
        double rate;
        QStringList lines;
    };
    const Case cases[] = {
        {15, 0.0, {"High pulse: 3 samples", "Period: 10 samples", "Frequency: 0.1 per sample", "Duty cycle: 30%"}},
        {20, 2e6, {"Low pulse: 3.5 us", "Period: 5 us", "Frequency: 200 kHz", "Duty cycle: 30%"}},
        {1, 1e6, {}},                      // before the first edge: nothing whole
        {45, 1e6, {"High pulse: 3 us"}},   // the last cycle has no end
        {-1, 1e6, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MeasurementLines(MeasureAround(train.data(), n, c.sample), c.rate), c.lines) << c.sample;

    // A one-sample pulse in a cycle of three.
    const uint32_t third[] = {0, 1, 0, 0, 1, 0, 0, 1};
    EXPECT_EQ(MeasurementLines(MeasureAround(third, 8, 4), 0.0),
              (QStringList{"High pulse: 1 sample", "Period: 3 samples", "Frequency: 0.333333 per sample",
                           "Duty cycle: 33.3%"}));
}

TEST(MeasurementText, EdgeCountsOfTheSelectedOneBitRows)
{
    SignalList list;
    auto clkSignal = std::make_unique<CSignal>(&list);
    auto busSignal = std::make_unique<CSignal>(&list);
    auto idleSignal = std::make_unique<CSignal>(&list);
    CSignal& clk = *clkSignal;
    CSignal& bus = *busSignal;
    CSignal& idle = *idleSignal;
    const std::vector<uint32_t> train = PulseTrain();
    for (CSignal* s : {&clk, &bus, &idle}) {
        s->EnsureCapacity(static_cast<int32_t>(train.size()));
        std::copy(train.begin(), train.end(), s->m_samples);
        s->m_count = static_cast<int32_t>(train.size());
        list.push_back(s);
    }
    clk.m_name = QStringLiteral("clk");
    clk.m_selected = true;
    bus.m_name = QStringLiteral("bus");
    bus.m_numBits = 8;
    bus.m_selected = true;                  // not one bit: no line
    idle.m_name = QStringLiteral("idle");   // not selected: no line

    EXPECT_EQ(EdgeCountLines(list, 0, 30), (QStringList{"clk: 3 rising, 3 falling"}));
    EXPECT_EQ(EdgeCountLines(list, 30, 5), (QStringList{"clk: 2 rising, 3 falling"}));
    EXPECT_EQ(EdgeCountLines(list, 5, 15), (QStringList{"clk: 1 rising, 1 falling"}));
    EXPECT_TRUE(EdgeCountLines(list, -1, 15).isEmpty());
    idle.m_selected = true;
    EXPECT_EQ(EdgeCountLines(list, 0, 53, 1), (QStringList{"clk: 5 rising, 5 falling", "..."}));
    list.clear();
}

}   // namespace
