// SPDX-License-Identifier: GPL-3.0-or-later
// Fields of 1 to 4096 bits: every export writes the whole field and a valid
// file (GHDL analyses and runs the testbench of a 2000-bit field); a field
// outside that range, possible only in a file, stops every export with a
// message before a file is touched.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "document/export_fields.h"
#include "document/text_export.h"
#include "document/text_output.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"
#include "vcd_reader.h"

namespace fs = std::filesystem;

namespace {

const uint32_t kWords[] = {0xFFFFFFFFu, 0x12345678u, 0u};

// The bits of a sample of a `width`-bit field, most significant first: bits
// from 32 upward are 0.
std::string Bits(uint32_t value, int32_t width)
{
    std::string bits;
    for (int32_t k = width - 1; k >= 0; --k)
        bits.push_back(k < 32 && ((value >> k) & 1u) ? '1' : '0');
    return bits;
}

// A document whose first signal is a `width`-bit field of the three words.
void Build(CVexlarDoc& doc, int32_t width, SignalRadix radix)
{
    doc.RemoveAllSignals();
    CSignal* s = doc.AppendNewSignal();
    s->m_name = QStringLiteral("wide");
    s->m_numBits = width;
    s->m_radix = radix;
    s->UpdateMask();
    s->EnsureCapacity(3);
    for (int i = 0; i < 3; ++i)
        s->m_samples[i] = kWords[i] & s->m_mask;
    s->m_count = 3;
}

template <typename Fn>
std::string Text(Fn fn)
{
    std::string text;
    CTextOutput out(text);
    fn(out);
    out.Close();
    return text;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool Has(const std::vector<std::string>& lines, const std::string& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

int RunCommand(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

struct TempDir {
    fs::path path;
    TempDir()
    {
        char pattern[] = "/tmp/vexlar-wide-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const char* name) const { return (path / name).string(); }
};

std::string WithoutLeadingZeros(const std::string& bits)
{
    const size_t first = bits.find_first_not_of('0');
    return first == std::string::npos ? "0" : bits.substr(first);
}

}   // namespace

TEST(WideFields, EveryExportWritesTheWholeField)
{
    for (const int32_t width : {1, 32, 33, 2000, 4096}) {
        SCOPED_TRACE("width " + std::to_string(width));
        CVexlarDoc doc;
        Build(doc, width, Binary);
        const CSignal& s = *doc.m_signals.front();

        // The value text, the table and the one-signal text: every bit.
        const auto csv = Lines(Text([&](CTextOutput& o) { WriteCsv(doc, o); }));
        const auto text = Lines(Text([&](CTextOutput& o) { WriteSignalText(s, o); }));
        ASSERT_EQ(csv.size(), 4u);
        ASSERT_EQ(text.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const std::string bits = Bits(kWords[i], width);
            EXPECT_EQ(s.FormatValue(s.m_samples[i]).toStdString(), bits);
            EXPECT_EQ(csv[size_t(i) + 1], bits);
            EXPECT_EQ(text[size_t(i)], bits);
        }

        // VCD: the declared width and values of exactly that many bits.
        const auto vcd = Lines(Text([&](CTextOutput& o) { WriteVcd(doc, o); }));
        if (width == 1) {
            EXPECT_TRUE(Has(vcd, "$var wire 1 ! wide $end"));
            EXPECT_TRUE(Has(vcd, "1!"));
        } else {
            EXPECT_TRUE(
                Has(vcd, "$var wire " + std::to_string(width) + " ! wide [" + std::to_string(width - 1) + ":0] $end"));
            for (int i = 0; i < 3; ++i)
                EXPECT_TRUE(Has(vcd, "b" + Bits(kWords[i], width) + " !")) << "sample " << i;
        }

        // VHDL, in every radix: the declaration and literals of the full width.
        for (const SignalRadix radix : {Binary, Hex, Unsigned, Signed}) {
            Build(doc, width, radix);
            const auto vhdl = Lines(Text([&](CTextOutput& o) { WriteVhdlTestbench(doc, o); }));
            const std::string assign = "        wait until Clk='1';    wide <= ";
            if (width == 1) {
                EXPECT_TRUE(Has(vhdl, "    signal wide : std_logic;"));
                EXPECT_TRUE(Has(vhdl, assign + "'1';"));
                continue;
            }
            EXPECT_TRUE(Has(vhdl, "    signal wide : std_logic_vector(" + std::to_string(width - 1) + " downto 0);"));
            const std::string bits = Bits(kWords[1], width);
            const bool found = Has(vhdl, assign + "\"" + bits + "\";") ||
                               Has(vhdl, assign + "\"" + bits + "\"; -- " + std::to_string(kWords[1])) ||
                               (width == 32 && Has(vhdl, assign + "x\"12345678\";"));
            EXPECT_TRUE(found) << "radix " << radix;
        }
    }
}

TEST(WideFields, GhdlAnalysesAndRunsA2000BitTestbench)
{
    if (RunCommand("command -v ghdl >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "ghdl is not installed";
    TempDir dir;
    CVexlarDoc doc;
    Build(doc, 2000, Binary);
    CSignal* low = doc.AppendNewSignal();   // a slice inside the 32 bits of the word
    low->m_name = QStringLiteral("low");
    low->m_numBits = 8;
    low->m_firstBit = 4;
    low->UpdateMask();
    CSignal* high = doc.AppendNewSignal();   // a wide slice that reaches past the field
    high->m_name = QStringLiteral("high");
    high->m_numBits = 40;
    high->m_firstBit = 1990;
    high->UpdateMask();
    ExportVhdlTestbench(doc, QString::fromStdString(dir / "tb.vhd"));
    const std::string cd = "cd '" + dir.path.string() + "' && ";
    ASSERT_EQ(RunCommand(cd + "ghdl -a tb.vhd > ghdl.log 2>&1"), 0) << "analysis failed";
    ASSERT_EQ(RunCommand(cd + "ghdl -e tb >> ghdl.log 2>&1"), 0) << "elaboration failed";
    ASSERT_EQ(RunCommand(cd + "ghdl -r tb --vcd=tb.vcd --stop-time=60ns >> ghdl.log 2>&1"), 0) << "run failed";

    const VcdFile vcd = ReadVcd(dir / "tb.vcd");
    ASSERT_TRUE(vcd.ok);
    ASSERT_EQ(vcd.vars.size(), 5u);   // clk, reset, wide, low, high
    EXPECT_EQ(vcd.vars[2].width, 2000);
    EXPECT_EQ(vcd.vars[4].width, 40);
    for (int i = 0; i < 3; ++i) {
        const uint64_t t = (5 + 10 * uint64_t(i)) * 1000000;   // rising edge i+1, in fs
        EXPECT_EQ(WithoutLeadingZeros(vcd.ValueAt(2, t)), WithoutLeadingZeros(Bits(kWords[i], 2000))) << i;
        EXPECT_EQ(WithoutLeadingZeros(vcd.ValueAt(3, t)), WithoutLeadingZeros(Bits((kWords[i] >> 4) & 0xFF, 8))) << i;
        // Bits 1990..1999 of the field are 0 and bits 2000 up do not exist: all '0'.
        EXPECT_EQ(WithoutLeadingZeros(vcd.ValueAt(4, t)), "0") << i;
    }
}

TEST(WideFields, AFieldOutsideTheRangeStopsEveryExportBeforeTheFileIsTouched)
{
    TempDir dir;
    const std::string path = dir / "out";
    for (const int32_t width : {0, -5, 4097, 100000}) {
        SCOPED_TRACE("width " + std::to_string(width));
        CVexlarDoc doc;
        Build(doc, width, Binary);
        const QString qpath = QString::fromStdString(path);
        std::ofstream(path) << "kept";   // an earlier export of the user's
        auto expectRefused = [&](const std::function<void()>& exportIt) {
            try {
                exportIt();
                ADD_FAILURE() << "exported a field of " << width << " bits";
            } catch (const CExportFieldError& e) {
                EXPECT_NE(std::string(e.what()).find("\"wide\""), std::string::npos) << e.what();
                EXPECT_NE(std::string(e.what()).find("1 to 4096"), std::string::npos) << e.what();
            }
            std::ifstream in(path);
            std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            EXPECT_EQ(content, "kept");
        };
        expectRefused([&] { ExportCsv(doc, qpath); });
        expectRefused([&] { ExportVcd(doc, qpath); });
        expectRefused([&] { ExportVhdlTestbench(doc, qpath); });
        expectRefused([&] { ExportSignalText(*doc.m_signals.front(), qpath); });
    }
    // A spectrum signal's field is not exported by the table and the VCD.
    CVexlarDoc doc;
    Build(doc, 5000, Binary);
    doc.m_signals.front()->m_spectrum = true;
    EXPECT_NO_THROW(Text([&](CTextOutput& o) { WriteCsv(doc, o); }));
    EXPECT_NO_THROW(Text([&](CTextOutput& o) { WriteVcd(doc, o); }));
    EXPECT_THROW(Text([&](CTextOutput& o) { WriteVhdlTestbench(doc, o); }), CExportFieldError);
}
