// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <list>
#include <vector>

#include "model/errors.h"
#include "model/signal.h"

namespace {

void SetSamples(CSignal& s, const std::vector<uint32_t>& values)
{
    s.EnsureCapacity(static_cast<int32_t>(values.size()));
    for (size_t i = 0; i < values.size(); ++i)
        s.m_samples[i] = values[i];
    s.m_count = static_cast<int32_t>(values.size());
}

TEST(SignalRecord, DefaultsAreTheRecordsDefaults)
{
    SignalList owner;
    CSignal s(&owner);
    EXPECT_EQ(s.m_samples, nullptr);
    EXPECT_EQ(s.m_capacity, 0);
    EXPECT_EQ(s.m_count, 0);
    EXPECT_EQ(s.m_name, QStringLiteral("Signalx"));
    EXPECT_EQ(s.m_owner, &owner);
    EXPECT_EQ(s.m_numBits, 1);
    EXPECT_EQ(s.m_firstBit, 0);
    EXPECT_FALSE(s.m_allBits);
    EXPECT_EQ(s.m_mask, 0xFFFFFFFFu);   // not the mask of one bit until UpdateMask
    EXPECT_FALSE(s.m_freeze);
    EXPECT_TRUE(s.m_expanded);
    EXPECT_FALSE(s.m_selected);
    EXPECT_EQ(s.m_bitGap, 2);
    EXPECT_EQ(s.m_bitHeight, 16);
    EXPECT_EQ(s.m_busHeight, 26);
    EXPECT_EQ(s.m_colorTheme, 1);
    EXPECT_FALSE(s.m_analog);
    EXPECT_EQ(s.m_min, 0);
    EXPECT_EQ(s.m_max, 1024);
    EXPECT_EQ(s.m_graphHeight, 100);
    EXPECT_FALSE(s.m_spectrum);
    EXPECT_EQ(s.m_fft.m_size, 4096);
    EXPECT_EQ(s.m_sampleFreq, 1.0);
    EXPECT_EQ(s.m_minDb, 0.0);
    EXPECT_EQ(s.m_maxDb, 0.0);
    EXPECT_EQ(s.m_specMin, 0.0);
    EXPECT_EQ(s.m_specMax, 1.0);
    for (int k = 0; k < CSignal::kSpectrumBins; ++k) {
        ASSERT_EQ(s.m_peakHold[k], -1e100) << k;
        ASSERT_EQ(s.m_spectrumDb[k], 0.0) << k;
    }
    EXPECT_EQ(s.m_radix, Hex);
    EXPECT_EQ(s.GetRowHeight(), 16);
}

TEST(SignalRecord, MaskRule)
{
    struct Case {
        int32_t bits;
        uint32_t mask;
    };
    const Case cases[] = {{8, 0xFFu},          {1, 1u}, {31, 0x7FFFFFFFu}, {32, 0xFFFFFFFFu}, {33, 0xFFFFFFFFu},
                          {1000, 0xFFFFFFFFu}, {0, 0u}, {-5, 0u}};
    SignalList owner;
    CSignal s(&owner);
    for (const Case& c : cases) {
        s.m_numBits = c.bits;
        s.UpdateMask();
        EXPECT_EQ(s.m_mask, c.mask) << "bits " << c.bits;
    }
}

TEST(SignalRecord, RowHeights)
{
    struct Case {
        const char* what;
        int32_t bits;
        bool expanded;
        bool analog;
        bool spectrum;
        int32_t height;
    };
    const Case cases[] = {
        {"1 bit digital", 1, true, false, false, 16},
        {"1 bit analog", 1, true, true, false, 16},
        {"1 bit spectrum", 1, false, false, true, 16},
        {"4-bit bus", 4, false, false, false, 26},
        {"4-bit bus expanded", 4, true, false, false, 4 * 18 + 26},
        {"32-bit bus expanded", 32, true, false, false, 602},
        {"4-bit analog", 4, true, true, false, 100},
        {"4-bit spectrum", 4, true, false, true, 100},
        {"both style flags", 4, true, true, true, 100},
        {"absurd width saturates", 2000000000, true, false, false, 2147483647},
    };
    SignalList owner;
    for (const Case& c : cases) {
        CSignal s(&owner);
        s.m_numBits = c.bits;
        s.m_expanded = c.expanded;
        s.m_analog = c.analog;
        s.m_spectrum = c.spectrum;
        EXPECT_EQ(s.GetRowHeight(), c.height) << c.what;
    }
}

TEST(SignalRecord, GetValueRange)
{
    struct Case {
        const char* what;
        SignalRadix radix;
        int first;
        int last;
        double lo;
        double hi;
    };
    const Case cases[] = {
        {"signed 4-bit", Signed, 0, 2, -8.0, 7.0},
        {"unsigned 4-bit", Unsigned, 0, 2, 7.0, 15.0},
        {"hex reads unsigned", Hex, 0, 2, 7.0, 15.0},
        {"single sample window", Unsigned, 1, 1, 0.0, 0.0},
        {"window past the end is clamped", Signed, -10, 1000, -8.0, 7.0},
        {"window of the last two", Unsigned, 1, 99, 8.0, 15.0},
        {"empty window", Unsigned, 2, 0, 0.0, 0.0},
    };
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 4;
    s.UpdateMask();
    SetSamples(s, {0x7, 0x8, 0xF});
    for (const Case& c : cases) {
        s.m_radix = c.radix;
        double lo = -1, hi = -1;
        s.GetValueRange(c.first, c.last, lo, hi);
        EXPECT_EQ(lo, c.lo) << c.what;
        EXPECT_EQ(hi, c.hi) << c.what;
    }
}

// The lowest or highest sample standing first or last in the window.
TEST(SignalRecord, GetValueRangeExtremesAtTheEnds)
{
    struct Case {
        const char* what;
        SignalRadix radix;
        std::vector<uint32_t> samples;
        double lo;
        double hi;
    };
    const Case cases[] = {
        {"signed minimum last", Signed, {0x1, 0x2, 0x8}, -8.0, 2.0},
        {"signed maximum last", Signed, {0xE, 0xF, 0x7}, -2.0, 7.0},
        {"signed minimum first", Signed, {0x8, 0x2, 0x1}, -8.0, 2.0},
        {"signed maximum first", Signed, {0x7, 0xF, 0xE}, -2.0, 7.0},
        {"unsigned minimum last", Unsigned, {0x9, 0x5, 0x1}, 1.0, 9.0},
        {"unsigned maximum last", Unsigned, {0x1, 0x5, 0x9}, 1.0, 9.0},
    };
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 4;
    s.UpdateMask();
    for (const Case& c : cases) {
        s.m_radix = c.radix;
        SetSamples(s, c.samples);
        double lo = -1, hi = -1;
        s.GetValueRange(0, 2, lo, hi);
        EXPECT_EQ(lo, c.lo) << c.what;
        EXPECT_EQ(hi, c.hi) << c.what;
    }
}

TEST(SignalRecord, GetValueRangeFullWidth)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 32;
    s.UpdateMask();
    SetSamples(s, {0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu});
    double lo, hi;
    s.m_radix = Unsigned;
    s.GetValueRange(0, 2, lo, hi);
    EXPECT_EQ(lo, 2147483647.0);
    EXPECT_EQ(hi, 4294967295.0);
    s.m_radix = Signed;
    s.GetValueRange(0, 2, lo, hi);
    EXPECT_EQ(lo, -2147483648.0);
    EXPECT_EQ(hi, 2147483647.0);
}

TEST(SignalRecord, Autoscale)
{
    SignalList owner;
    CSignal s(&owner);
    s.m_numBits = 12;
    s.UpdateMask();
    SetSamples(s, std::vector<uint32_t>(50, 100));
    s.Autoscale(0, 49);
    EXPECT_EQ(s.m_min, 98);
    EXPECT_EQ(s.m_max, 101);

    SetSamples(s, {0, 1000});
    s.Autoscale(0, 1);   // margin 50: -50.5 -> -50, 1050.5 -> 1050
    EXPECT_EQ(s.m_min, -50);
    EXPECT_EQ(s.m_max, 1050);

    // A full-width unsigned range does not fit m_max: it saturates instead of
    // overflowing the conversion.
    s.m_numBits = 32;
    s.UpdateMask();
    s.m_radix = Unsigned;
    SetSamples(s, {0, 0xFFFFFFFFu});
    s.Autoscale(0, 1);
    EXPECT_EQ(s.m_max, 2147483647);
    EXPECT_EQ(s.m_min, -214748365);
}

TEST(SignalRecord, UpdateFromSourceExtractsFromTheFirstSignal)
{
    SignalList list;
    CSignal first(&list);
    CSignal second(&list);
    list.push_back(&first);
    list.push_back(&second);
    first.m_numBits = 32;
    first.UpdateMask();
    SetSamples(first, {0xFED, 0x1234, 0xFFFFFFFF});
    second.m_numBits = 8;
    second.m_firstBit = 4;
    second.UpdateMask();
    second.UpdateFromSource();
    ASSERT_EQ(second.m_count, 3);
    EXPECT_EQ(second.m_samples[0], 0xFEu);
    EXPECT_EQ(second.m_samples[1], 0x23u);
    EXPECT_EQ(second.m_samples[2], 0xFFu);

    // A first bit of 32 or more shifts by its value modulo 32, as the hand-off does.
    second.m_firstBit = 36;
    second.UpdateFromSource();
    EXPECT_EQ(second.m_samples[0], 0xFEu);

    // Fewer source samples reuse the array.
    uint32_t* array = second.m_samples;
    first.m_count = 2;
    second.UpdateFromSource();
    EXPECT_EQ(second.m_count, 2);
    EXPECT_EQ(second.m_samples, array);
}

TEST(SignalRecord, UpdateFromSourceInPlaceOnTheFirstSignal)
{
    SignalList list;
    CSignal first(&list);
    list.push_back(&first);
    SetSamples(first, {0x78, 0x12});
    first.m_numBits = 4;
    first.m_firstBit = 4;
    first.UpdateMask();
    first.UpdateFromSource();
    EXPECT_EQ(first.m_count, 2);
    EXPECT_EQ(first.m_samples[0], 0x7u);
    EXPECT_EQ(first.m_samples[1], 0x1u);
}

TEST(SignalRecord, AllBitsForcesTheWholeWord)
{
    SignalList list;
    CSignal first(&list);
    CSignal second(&list);
    list.push_back(&first);
    list.push_back(&second);
    SetSamples(first, {0xCAFEBABE});
    second.m_allBits = true;
    second.m_numBits = 4;
    second.m_firstBit = 8;
    second.UpdateMask();   // 0xF, computed from the dialog's width
    second.UpdateFromSource();
    EXPECT_EQ(second.m_numBits, 32);
    EXPECT_EQ(second.m_firstBit, 0);
    EXPECT_EQ(second.m_mask, 0xFu);   // the mask is not recomputed here
    EXPECT_EQ(second.m_samples[0], 0xEu);
}

TEST(SignalRecord, UpdateFromSourceOnAnEmptyListThrowsAndChangesNothing)
{
    SignalList empty;
    CSignal s(&empty);
    SetSamples(s, {1, 2, 3});
    s.m_allBits = true;
    s.m_numBits = 4;
    uint32_t* array = s.m_samples;
    try {
        s.UpdateFromSource();
        FAIL() << "no exception";
    } catch (const CInvalidArgumentException& e) {
        EXPECT_STREQ(e.what(), "Encountered an improper argument.");
    }
    EXPECT_EQ(s.m_samples, array);
    EXPECT_EQ(s.m_count, 3);
    EXPECT_EQ(s.m_samples[2], 3u);
    EXPECT_EQ(s.m_numBits, 4);
}

TEST(SignalRecord, SampleArrayOnlyGrows)
{
    SignalList owner;
    CSignal s(&owner);
    s.EnsureCapacity(100);
    EXPECT_EQ(s.m_capacity, 100);
    uint32_t* array = s.m_samples;
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(array[i], 0u);   // new storage never shows stale memory
    s.EnsureCapacity(50);
    EXPECT_EQ(s.m_samples, array);
    EXPECT_EQ(s.m_capacity, 100);
    s.EnsureCapacity(101);
    EXPECT_EQ(s.m_capacity, 101);
}

}   // namespace
