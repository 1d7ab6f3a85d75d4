// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "document/text_export.h"
#include "document/text_output.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"
#include "model/errors.h"

namespace {

CSignal* Add(CVexlarDoc& doc, const char* name, int32_t bits, int32_t first, SignalRadix radix)
{
    CSignal* s = doc.AppendNewSignal();
    s->m_name = QString::fromUtf8(name);
    s->m_numBits = bits;
    s->m_firstBit = first;
    s->m_radix = radix;
    s->UpdateMask();
    return s;
}

void SetSamples(CSignal& s, const std::vector<uint32_t>& v)
{
    s.EnsureCapacity(static_cast<int32_t>(v.size()));
    std::copy(v.begin(), v.end(), s.m_samples);
    s.m_count = static_cast<int32_t>(v.size());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "line without CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

template <typename Fn>
std::string Capture(Fn fn)
{
    std::string text;
    CTextOutput out(text);
    fn(out);
    out.Close();
    return text;
}

std::string Csv(const CVexlarDoc& doc)
{
    return Capture([&](CTextOutput& out) { WriteCsv(doc, out); });
}

TEST(CsvExport, TwoSignalsOfThreeSamples)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    SetSamples(*Add(doc, "a", 8, 0, Unsigned), {1, 2, 3});
    SetSamples(*Add(doc, "b", 8, 0, Unsigned), {1, 2, 3});
    EXPECT_EQ(Csv(doc), "a,b\r\n1,1\r\n2,2\r\n3,3\r\n");

    // A spectrum signal last: its column is left out, exactly as if absent.
    CSignal* spectrumRow = Add(doc, "fft", 8, 0, Unsigned);
    spectrumRow->m_spectrum = true;
    SetSamples(*spectrumRow, {9});
    EXPECT_EQ(Csv(doc), "a,b\r\n1,1\r\n2,2\r\n3,3\r\n");
}

TEST(CsvExport, StartUpSignalAndClock)
{
    CVexlarDoc doc;
    SetSamples(*doc.m_signals.front(), {0xA5F1, 0xA5F0});
    SetSamples(*Add(doc, "clk", 1, 0, Unsigned), {1, 0});
    EXPECT_EQ(Csv(doc), "all_bits,clk\r\nx0000A5F1,1\r\nx0000A5F0,0\r\n");
}

TEST(CsvExport, OnlySpectrumSignalsGiveAnEmptyFile)
{
    CVexlarDoc doc;
    doc.m_signals.front()->m_spectrum = true;
    SetSamples(*doc.m_signals.front(), {1, 2});
    EXPECT_EQ(Csv(doc), "");
    doc.RemoveAllSignals();
    EXPECT_EQ(Csv(doc), "");
}

TEST(CsvExport, ShorterEarlierSignalGivesEmptyFields)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    CSignal* frozen = Add(doc, "old", 4, 0, Hex);
    frozen->EnsureCapacity(100);   // more storage than samples: never read
    frozen->m_samples[0] = 0xA;
    frozen->m_samples[1] = 0xB;
    frozen->m_count = 1;
    SetSamples(*Add(doc, "new", 4, 0, Binary), {1, 2, 3});
    EXPECT_EQ(Csv(doc), "old,new\r\nxA,0001\r\n,0010\r\n,0011\r\n");
}

TEST(CsvExport, NamesAreWindows1252WithQuestionMarks)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    CSignal* s = Add(doc, "", 1, 0, Unsigned);
    s->m_name = QString::fromUtf16(u"\u00E9\u20AC\u4E2D");
    EXPECT_EQ(Csv(doc), "\xE9\x80?\r\n");
}

TEST(SignalTextExport, ValuesOnePerLine)
{
    CVexlarDoc doc;
    CSignal* s = Add(doc, "s", 4, 0, Signed);
    SetSamples(*s, {0x7, 0x8, 0xF});
    EXPECT_EQ(Capture([&](CTextOutput& out) { WriteSignalText(*s, out); }), "7\r\n-8\r\n-1\r\n");
}

TEST(SignalTextExport, SpectrumWritesTheLastSpectrumAsAStreamWritesDoubles)
{
    CVexlarDoc doc;
    CSignal* s = Add(doc, "s", 12, 0, Unsigned);
    s->m_spectrum = true;
    // Never computed: 2048 zeros.
    std::vector<std::string> lines = Lines(Capture([&](CTextOutput& out) { WriteSignalText(*s, out); }));
    ASSERT_EQ(lines.size(), 2048u);
    EXPECT_EQ(lines[0], "0");
    EXPECT_EQ(lines[2047], "0");

    s->m_spectrumDb[0] = -87.12341234;
    s->m_spectrumDb[1] = -120.0;
    s->m_spectrumDb[2] = 3.5e-05;
    s->m_spectrumDb[3] = 123456789.0;
    s->m_spectrumDb[4] = -std::numeric_limits<double>::infinity();
    s->m_peakHold[0] = 55.0;   // the peak hold is not what is written
    lines = Lines(Capture([&](CTextOutput& out) { WriteSignalText(*s, out); }));
    ASSERT_EQ(lines.size(), 2048u);
    EXPECT_EQ(lines[0], "-87.1234");
    EXPECT_EQ(lines[1], "-120");
    EXPECT_EQ(lines[2], "3.5e-05");
    EXPECT_EQ(lines[3], "1.23457e+08");
    std::ostringstream inf;
    inf << -std::numeric_limits<double>::infinity();
    EXPECT_EQ(lines[4], inf.str());
}

std::string Vhdl(const CVexlarDoc& doc)
{
    return Capture([&](CTextOutput& out) { WriteVhdlTestbench(doc, out); });
}

TEST(VhdlExport, TheWholeFileForTheStartUpSignalAndOneField)
{
    CVexlarDoc doc;
    SetSamples(*doc.m_signals.front(), {0xA5F7, 0xFFFFFFFF});
    Add(doc, "data", 8, 4, Hex);
    const std::string expected =
        "\r\n\r\nlibrary ieee;\r\nuse ieee.std_logic_1164.all;\r\nuse ieee.numeric_std.aLL;\r\n\r\n\r\n"
        "entity TB is\r\nend entity;\r\n\r\narchitecture SIM of TB is\r\n"
        "    signal Clk : std_logic := '0';\r\n    signal Reset : std_logic := '1';\r\n\r\n"
        "    signal all_bits : std_logic_vector(31 downto 0);\r\n"
        "    signal data : std_logic_vector(7 downto 0);\r\n\r\n"
        "begin\r\n    Clk <= not Clk after 5 ns;\r\n    Reset <= '0' after 50 ns;\r\n\r\n"
        "    data <= all_bits(11 downto 4);\r\n\r\n"
        "    SProc : process is\r\n    begin\r\n\r\n"
        "        wait until Clk='1';    all_bits <= x\"0000A5F7\";\r\n"
        "        wait until Clk='1';    all_bits <= x\"FFFFFFFF\";\r\n"
        "        wait;\r\n\r\n    end process;\r\n\r\nend architecture;\r\n";
    EXPECT_EQ(Vhdl(doc), expected);
}

TEST(VhdlExport, SampleLiteralsAreValidForEveryRadixAndWidth)
{
    struct Case {
        const char* what;
        SignalRadix radix;
        int32_t bits;
        uint32_t value;
        const char* line;
    };
    const Case cases[] = {
        {"hex, multiple of 4", Hex, 8, 0xA5, "x\"A5\";"},
        {"hex, other width", Hex, 6, 0x2A, "\"101010\";"},
        {"hex, value wider than the field", Hex, 8, 0x1A5, "\"10100101\";"},
        {"binary", Binary, 4, 0x5, "\"0101\";"},
        {"unsigned", Unsigned, 8, 200, "\"11001000\"; -- 200"},
        {"unsigned, full width", Unsigned, 32, 0xFFFFFFFF, "\"11111111111111111111111111111111\"; -- 4294967295"},
        {"signed", Signed, 4, 0xF, "\"1111\"; -- -1"},
        {"one bit", Unsigned, 1, 1, "'1';"},
        {"one bit, hex", Hex, 1, 0, "'0';"},
    };
    for (const Case& c : cases) {
        CVexlarDoc doc;
        doc.RemoveAllSignals();
        SetSamples(*Add(doc, "f", c.bits, 0, c.radix), {c.value});
        const auto lines = Lines(Vhdl(doc));
        const std::string want = std::string("        wait until Clk='1';    f <= ") + c.line;
        EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << c.what << "\n" << Vhdl(doc);
    }
}

TEST(VhdlExport, DeclarationsAndSlices)
{
    CVexlarDoc doc;
    Add(doc, "strobe", 1, 7, Hex);
    Add(doc, "beyond", 4, 30, Hex);
    Add(doc, "out_bit", 1, 40, Hex);
    const auto lines = Lines(Vhdl(doc));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("    signal strobe : std_logic;"));
    EXPECT_TRUE(has("    strobe <= all_bits(7);"));
    // Bits the first signal does not have read as '0'.
    EXPECT_TRUE(has("    beyond <= ('0', '0', all_bits(31), all_bits(30));"));
    EXPECT_TRUE(has("    out_bit <= '0';"));
}

TEST(VhdlExport, OneBitFirstSignal)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    SetSamples(*Add(doc, "clk", 1, 0, Hex), {0, 1});
    Add(doc, "copy", 1, 0, Hex);
    Add(doc, "wide", 2, 0, Hex);
    const auto lines = Lines(Vhdl(doc));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("    signal \\clk\\ : std_logic;"));   // clk is the testbench's own clock
    EXPECT_TRUE(has("    copy <= \\clk\\;"));
    EXPECT_TRUE(has("    wide <= ('0', \\clk\\);"));
    EXPECT_TRUE(has("        wait until Clk='1';    \\clk\\ <= '1';"));
}

TEST(VhdlExport, NamesBecomeExtendedIdentifiersWhenNeeded)
{
    struct Case {
        const char* name;
        const char* id;
    };
    const Case cases[] = {
        {"data", "data"},
        {"Data_2", "Data_2"},
        {"a_b_c", "a_b_c"},
        {"2data", "\\2data\\"},
        {"_x", "\\_x\\"},
        {"x_", "\\x_\\"},
        {"a__b", "\\a__b\\"},
        {"data bus", "\\data bus\\"},
        {"signal", "\\signal\\"},
        {"END", "\\END\\"},
        {"reset", "\\reset\\"},
        {"back\\slash", "\\back\\\\slash\\"},
        {"", "\\unnamed\\"},   // an extended identifier cannot be empty: \\ would not analyse
        {"tab\there", "\\tab?here\\"},
        {"del\x7Fhere", "\\del?here\\"},            // DEL is no graphic character
        {"nbsp\xC2\xA0here", "\\nbsp\xA0here\\"},   // the first graphic character above DEL
        {"caf\xC3\xA9", "\\caf\xE9\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VhdlIdentifier(QString::fromUtf8(c.name)), c.id) << c.name;
}

TEST(VhdlExport, RepeatedNamesStayDistinct)
{
    CVexlarDoc doc;
    Add(doc, "data", 4, 0, Hex);
    Add(doc, "DATA", 4, 4, Hex);
    Add(doc, "data", 4, 8, Hex);
    Add(doc, "data", 4, 12, Hex);
    const auto lines = Lines(Vhdl(doc));
    auto has = [&](const std::string& l) { return std::find(lines.begin(), lines.end(), l) != lines.end(); };
    EXPECT_TRUE(has("    signal data : std_logic_vector(3 downto 0);"));
    EXPECT_TRUE(has("    signal \\DATA\\ : std_logic_vector(3 downto 0);"));
    EXPECT_TRUE(has("    signal \\data\\ : std_logic_vector(3 downto 0);"));
    EXPECT_TRUE(has("    signal \\data_2\\ : std_logic_vector(3 downto 0);"));
}

TEST(VhdlExport, EmptyListWritesTheHeadAndFails)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    std::string text;
    CTextOutput out(text);
    try {
        WriteVhdlTestbench(doc, out);
        FAIL() << "no error";
    } catch (const CInvalidArgumentException& e) {
        EXPECT_STREQ(e.what(), "Encountered an improper argument.");
    }
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 19u);   // through the empty line after Reset
    EXPECT_EQ(lines[17], "    Reset <= '0' after 50 ns;");
    EXPECT_EQ(lines[18], "");
}

TEST(VhdlExport, NoSamplesGivesAnEmptyProcess)
{
    CVexlarDoc doc;
    const auto lines = Lines(Vhdl(doc));
    ASSERT_GE(lines.size(), 7u);
    const std::vector<std::string> tail(lines.end() - 7, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"    begin", "", "        wait;", "", "    end process;", "",
                                              "end architecture;"}));
}

std::string Vcd(const CVexlarDoc& doc)
{
    return Capture([&](CTextOutput& out) { WriteVcd(doc, out); });
}

TEST(VcdExport, TimeStepFromTheSampleFrequency)
{
    struct Case {
        double hz;
        const char* scale;
        uint64_t units;
    };
    const Case cases[] = {
        {1.0, "1 s", 1},
        {1000.0, "1 ms", 1},
        {1e6, "1 us", 1},
        {100e6, "1 ns", 10},
        {48000.0, "1 ns", 20833},
        {3.0, "1 us", 333333},
        {0.5, "1 s", 2},
        {1e15, "1 fs", 1},
        {0.0, "1 s", 1},
        {-5.0, "1 s", 1},
        {std::numeric_limits<double>::quiet_NaN(), "1 s", 1},
    };
    for (const Case& c : cases) {
        std::string scale;
        uint64_t units = 0;
        VcdTimeStep(c.hz, scale, units);
        EXPECT_EQ(scale, c.scale) << c.hz;
        EXPECT_EQ(units, c.units) << c.hz;
    }
}

TEST(VcdExport, TimeOfTheLastSampleFitsForEveryFrequency)
{
    // Time stamps are sample index times the step, for up to INT32_MAX
    // samples: a step from a tiny frequency must not make them wrap around.
    for (double hz : {1e-3, 1e-9, 1e-12, 1e-300, std::numeric_limits<double>::denorm_min()}) {
        std::string scale;
        uint64_t units = 0;
        VcdTimeStep(hz, scale, units);
        EXPECT_EQ(scale, "1 s") << hz;
        EXPECT_GE(units, 1u) << hz;
        EXPECT_LE(units, std::numeric_limits<uint64_t>::max() / std::numeric_limits<int32_t>::max()) << hz;
    }
}

TEST(VcdExport, IdentifierCodesAreUniqueAndPrintable)
{
    std::set<std::string> codes;
    for (uint64_t i = 0; i < 20000; ++i) {
        const std::string code = VcdIdentifierCode(i);
        for (char c : code)
            ASSERT_TRUE(c >= 33 && c <= 126);
        ASSERT_TRUE(codes.insert(code).second) << i;
    }
}

// Reference names are letters, digits and '_', never starting with a digit,
// and distinct.
TEST(VcdExport, ReferenceNames)
{
    struct Case {
        const char* name;
        const char* reference;
    };
    const Case cases[] = {
        {"data", "data"},   {"9lives", "_9lives"}, {"0", "_0"},        {"_x9", "_x9"},
        {"a b-c", "a_b_c"}, {"", "signal"},        {"data", "data_2"}, {"9lives", "_9lives_2"},
    };
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    for (const Case& c : cases)
        Add(doc, c.name, 1, 0, Hex);
    const auto lines = Lines(Vcd(doc));
    std::vector<std::string> references;
    for (const std::string& line : lines) {
        if (line.rfind("$var wire 1 ", 0) != 0)
            continue;
        std::istringstream words(line);
        std::string var, wire, width, code, reference;
        words >> var >> wire >> width >> code >> reference;
        references.push_back(reference);
    }
    ASSERT_EQ(references.size(), std::size(cases));
    for (size_t i = 0; i < references.size(); ++i)
        EXPECT_EQ(references[i], cases[i].reference) << cases[i].name;
}

TEST(VcdExport, OnlyChangesAreWritten)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    SetSamples(*Add(doc, "clk", 1, 0, Hex), {0, 1, 1, 0});
    SetSamples(*Add(doc, "bus x", 3, 0, Hex), {5, 5, 2});
    CSignal* spectrumRow = Add(doc, "fft", 8, 0, Hex);
    spectrumRow->m_spectrum = true;
    doc.m_signals.front()->m_sampleFreq = 1e6;
    const std::string expected = "$version Vexlar $end\r\n$timescale 1 us $end\r\n$scope module vexlar $end\r\n"
                                 "$var wire 1 ! clk $end\r\n$var wire 3 \" bus_x [2:0] $end\r\n$upscope $end\r\n"
                                 "$enddefinitions $end\r\n#0\r\n$dumpvars\r\n0!\r\nb101 \"\r\n$end\r\n"
                                 "#1\r\n1!\r\n#2\r\nb010 \"\r\n#3\r\n0!\r\nbx \"\r\n#4\r\n";
    EXPECT_EQ(Vcd(doc), expected);
}

}   // namespace

namespace {

TEST(VhdlExport, ClockPeriodFollowsTheSampleRate)
{
    struct Case {
        double rate;
        const char* clock;
        const char* reset;
    };
    const Case cases[] = {
        {0.0, "5 ns", "50 ns"},   // no rate: the 10 ns clock as always
        {100e6, "5 ns", "50 ns"}, {1e6, "500 ns", "5 us"},  {1843200.0, "271267361 fs", "2712673611 fs"},
        {1.0, "500 ms", "5 sec"}, {1e12, "500 fs", "5 ps"},
    };
    for (const Case& c : cases) {
        CVexlarDoc doc;
        doc.m_sampleRate = c.rate;
        const std::string text = Vhdl(doc);
        EXPECT_NE(text.find(std::string("    Clk <= not Clk after ") + c.clock + ";\r\n"), std::string::npos)
            << c.rate << "\n"
            << text;
        EXPECT_NE(text.find(std::string("    Reset <= '0' after ") + c.reset + ";\r\n"), std::string::npos) << c.rate;
    }
    EXPECT_EQ(VhdlTimeLiteral(0.0), "1 fs");
    EXPECT_EQ(VhdlTimeLiteral(1e-12), "1 ps");
    EXPECT_EQ(VhdlTimeLiteral(2.5e-9), "2500 ps");
}

TEST(VcdExport, TimescaleAndStampsFollowTheSampleRate)
{
    CVexlarDoc doc;
    doc.RemoveAllSignals();
    CSignal* clk = Add(doc, "clk", 1, 0, Hex);
    SetSamples(*clk, {0, 1, 0});
    clk->m_sampleFreq = 1e6;   // a spectrum setting: the document's rate wins
    doc.m_sampleRate = 100e6;
    const std::string expected = "$version Vexlar $end\r\n$timescale 1 ns $end\r\n$scope module vexlar $end\r\n"
                                 "$var wire 1 ! clk $end\r\n$upscope $end\r\n$enddefinitions $end\r\n"
                                 "#0\r\n$dumpvars\r\n0!\r\n$end\r\n#10\r\n1!\r\n#20\r\n0!\r\n#30\r\n";
    EXPECT_EQ(Vcd(doc), expected);
    doc.m_sampleRate = 0.0;   // without a rate: the first signal's frequency, as before
    EXPECT_NE(Vcd(doc).find("$timescale 1 us $end\r\n"), std::string::npos);
}

}   // namespace
