// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/time_units.h"

using namespace TimeUnits;

namespace {

TEST(SampleRateText, GoodAndBadInputs)
{
    struct Case {
        const char* text;
        bool ok;
        double hz;
    };
    const Case cases[] = {
        {"100000000", true, 1e8},
        {"100e6", true, 1e8},
        {"1.5E3", true, 1500.0},
        {"100M", true, 1e8},
        {"100 MHz", true, 1e8},
        {"100MHz", true, 1e8},
        {" 48kHz ", true, 48000.0},
        {"48K", true, 48000.0},
        {"1.5 GHz", true, 1.5e9},
        {"2.5 hz", true, 2.5},
        {".5k", true, 500.0},
        {"+10", true, 10.0},
        {"0.01", true, 0.01},
        {"1000G", true, 1e12},
        // refused
        {"0", false, 0},
        {"0.001", false, 0},
        {"1001G", false, 0},
        {"-5", false, 0},
        {"nan", false, 0},
        {"inf", false, 0},
        {"1e400", false, 0},
        {"100 m", false, 0},   // milli is not a rate prefix
        {"100 kk", false, 0},
        {"100 Hz Hz", false, 0},
        {"MHz", false, 0},
        {"10,5", false, 0},
        {"0x10", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        double hz = -1.0;
        EXPECT_EQ(ParseSampleRate(QString::fromLatin1(c.text), hz), c.ok) << c.text;
        if (c.ok) {
            EXPECT_DOUBLE_EQ(hz, c.hz) << c.text;
        } else {
            EXPECT_EQ(hz, -1.0) << c.text << ": untouched on failure";
        }
    }
    double hz = -1.0;
    EXPECT_TRUE(ParseSampleRate(QStringLiteral("  "), hz, true));
    EXPECT_EQ(hz, 0.0);
}

TEST(TimeText, TimesInTheirUnit)
{
    struct Case {
        double seconds;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "0 s"},
        {1.0, "1 s"},
        {2.5, "2.5 s"},
        {1234.5, "1234.5 s"},
        {0.999, "999 ms"},
        {1e-3, "1 ms"},
        {1.25e-6, "1.25 us"},
        {40.96e-6, "40.96 us"},
        {10e-9, "10 ns"},
        {0.1e-9, "0.1 ns"},
        {-500e-9, "-500 ns"},
        {1.0000004e-3, "1 ms"},          // six significant digits
        {999.9999995e-9, "1 us"},        // rounding carries into the next unit
        {123.456789e-6, "123.457 us"},   // six significant digits
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatTime(c.seconds).toStdString(), c.text) << c.seconds;
    EXPECT_EQ(FormatTime(std::numeric_limits<double>::infinity()).toStdString(), "-");
}

TEST(TimeText, FixedUnitForAWholeAxis)
{
    const TimeUnit us = UnitFor(40.96e-6);
    EXPECT_STREQ(us.suffix, "us");
    EXPECT_EQ(FormatInUnit(0.0, us).toStdString(), "0 us");
    EXPECT_EQ(FormatInUnit(5e-6, us).toStdString(), "5 us");
    EXPECT_EQ(FormatInUnit(0.5e-6, us).toStdString(), "0.5 us");
    EXPECT_EQ(FormatInUnit(1000e-6, us).toStdString(), "1000 us");
    EXPECT_EQ(FormatInUnit(3 * 0.1e-6, us).toStdString(), "0.3 us");    // 0.30000000000000004
    EXPECT_EQ(FormatInUnit(-0.0000001e-6, us).toStdString(), "0 us");   // no "-0"
    EXPECT_STREQ(UnitFor(2.0).suffix, "s");
    EXPECT_STREQ(UnitFor(0.0).suffix, "s");
    EXPECT_STREQ(UnitFor(-3e-3).suffix, "ms");
    EXPECT_STREQ(UnitFor(999e-9).suffix, "ns");
}

TEST(FrequencyText, FrequenciesInTheirUnit)
{
    struct Case {
        double hz;
        const char* text;
    };
    const Case cases[] = {
        {0.5, "0.5 Hz"},        {1.0, "1 Hz"},      {999.0, "999 Hz"}, {1000.0, "1 kHz"},
        {2.5e6, "2.5 MHz"},     {100e6, "100 MHz"}, {1e9, "1 GHz"},    {1.0 / 3.0e-6, "333.333 kHz"},
        {999999.9999, "1 MHz"}, {0.0, "-"},         {-1.0, "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatFrequency(c.hz).toStdString(), c.text) << c.hz;
    EXPECT_EQ(FormatSampleRate(0.0).toStdString(), "");
    EXPECT_EQ(FormatSampleRate(48000.0).toStdString(), "48 kHz");
    // What FormatSampleRate writes reads back as the same rate.
    for (double hz : {0.01, 1.0, 48000.0, 44100.5, 100e6, 123456789.0, 1e12}) {
        double back = 0.0;
        ASSERT_TRUE(ParseSampleRate(FormatSampleRate(hz), back)) << hz;
        EXPECT_DOUBLE_EQ(back, hz);
    }
}

}   // namespace

#include "model/marker_readout.h"
#include "model/ruler_ticks.h"

namespace {

// Major tick labels of a time axis: ticks as every ruler places them, over
// the times of the samples, in one unit for the whole axis.
QStringList TimeAxisLabels(int32_t a, int32_t b, double firstSample, double lastSample, double rate, int32_t spacing)
{
    const double first = firstSample / rate;
    const double last = lastSample / rate;
    std::vector<double> values;
    std::vector<int32_t> positions;
    std::vector<int32_t> minor;
    RulerTicks::ComputeTicks(a, b, first, last, spacing, values, positions, minor, true);
    const TimeUnit unit = UnitFor(std::max(std::fabs(first), std::fabs(last)));
    QStringList labels;
    for (size_t i = 0; i < values.size(); ++i)
        labels << QStringLiteral("%1@%2").arg(FormatInUnit(values[i], unit)).arg(positions[i]);
    return labels;
}

TEST(TimeAxis, TickLabelsInTimeUnits)
{
    struct Case {
        const char* what;
        double firstSample, lastSample, rate;
        int32_t a, b, spacing;
        QStringList labels;
    };
    const Case cases[] = {
        {"4096 samples at 100 MHz",
         0,
         4096,
         100e6,
         100,
         600,
         112,
         {"10 us@222", "20 us@344", "30 us@466", "40 us@588"}},
        {"steps of 2 at 1 GHz",
         0,
         100,
         1e9,
         100,
         700,
         120,
         {"20 ns@220", "40 ns@340", "60 ns@460", "80 ns@580", "100 ns@700"}},
        {"steps of 5 ms", 0, 40, 1000, 0, 400, 100, {"10 ms@100", "20 ms@200", "30 ms@300", "40 ms@400"}},
        {"seconds", 0, 6, 1, 0, 600, 100, {"1 s@100", "2 s@200", "3 s@300", "4 s@400", "5 s@500", "6 s@600"}},
        {"half microseconds",
         0,
         25,
         10e6,
         0,
         500,
         100,
         {"0.5 us@100", "1 us@200", "1.5 us@300", "2 us@400", "2.5 us@500"}},
        // a window far into the capture: the unit of its larger end, enough
        // decimals for the step
        {"window at 1 ms, 1 GHz",
         1000000,
         1000040,
         1e9,
         0,
         400,
         100,
         {"1.00001 ms@100", "1.00002 ms@200", "1.00003 ms@300", "1.00004 ms@400"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TimeAxisLabels(c.a, c.b, c.firstSample, c.lastSample, c.rate, c.spacing), c.labels) << c.what;
}

TEST(MarkerReadout, InSamplesAndInTime)
{
    struct Case {
        int32_t m1, m2;
        double rate;
        QStringList lines;
    };
    const Case cases[] = {
        {-1, -1, 0.0, {}},
        {-1, -1, 1e6, {}},
        {100, -1, 0.0, {"M1: 100"}},
        {-1, 7, 0.0, {"M2: 7"}},
        {100, 350, 0.0, {"M1: 100", "M2: 350", "D: 250"}},
        {350, 100, 0.0, {"M1: 350", "M2: 100", "D: 250"}},
        {100, 350, 100e6, {"M1: 1 us", "M2: 3.5 us", "D: 2.5 us", "1/D: 400 kHz"}},
        {0, 3, 1843200.0, {"M1: 0 s", "M2: 1.6276 us", "D: 1.6276 us", "1/D: 614.4 kHz"}},
        {5, 5, 1e6, {"M1: 5 us", "M2: 5 us", "D: 0 s"}},
        {-1, 2000000, 1e6, {"M2: 2 s"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkerReadoutLines(c.m1, c.m2, c.rate), c.lines) << c.m1 << " " << c.m2 << " " << c.rate;
}

}   // namespace
