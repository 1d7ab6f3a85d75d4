// SPDX-License-Identifier: GPL-3.0-or-later
// Exports read back by real consumers: GHDL analyses, elaborates and runs the
// VHDL testbench; GTKWave's vcd2fst/fst2vcd and sigrok-cli read the VCD.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"
#include "vcd_reader.h"

namespace fs = std::filesystem;

namespace {

bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

int RunCommand(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/vexlar-tools-XXXXXX";
        m_path = ::mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(m_path); }
    std::string operator/(const char* name) const { return (m_path / name).string(); }
    std::string Path() const { return m_path.string(); }

private:
    fs::path m_path;
};

struct Field {
    const char* name;
    int32_t bits;
    int32_t first;
};

struct TestbenchCase {
    const char* what;
    SignalRadix radix;
    Field first;
    std::vector<Field> others;
};

uint32_t Mask(int32_t bits)
{
    return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1u;
}

// A document whose first signal holds `count` random samples of its width.
void BuildDocument(CVexlarDoc& doc, const TestbenchCase& c, int32_t count, uint32_t seed)
{
    doc.RemoveAllSignals();
    auto add = [&](const Field& f) {
        CSignal* s = doc.AppendNewSignal();
        s->m_name = QString::fromLatin1(f.name);
        s->m_numBits = f.bits;
        s->m_firstBit = f.first;
        s->m_radix = c.radix;
        s->UpdateMask();
        return s;
    };
    CSignal* first = add(c.first);
    for (const Field& f : c.others)
        add(f);
    std::mt19937 rng(seed);
    first->EnsureCapacity(count);
    for (int32_t i = 0; i < count; ++i)
        first->m_samples[i] = rng() & Mask(c.first.bits);
    first->m_samples[0] = Mask(c.first.bits);   // all ones: the sign bit in Signed
    first->m_count = count;
}

TEST(GhdlTestbench, SimulatedSignalsEqualTheCapture)
{
    if (!HaveTool("ghdl"))
        GTEST_SKIP() << "ghdl is not installed";
    const std::vector<TestbenchCase> cases = {
        {"hex, 32 bits", Hex, {"all_bits", 32, 0}, {{"data", 8, 4}, {"strobe", 1, 7}, {"top", 4, 28}}},
        {"unsigned, 32 bits", Unsigned, {"all_bits", 32, 0}, {{"low", 3, 0}, {"high bit", 1, 31}}},
        {"signed, 12 bits", Signed, {"adc", 12, 0}, {{"msb", 1, 11}, {"mid", 6, 3}, {"past", 4, 10}}},
        {"binary, 10 bits", Binary, {"word", 10, 0}, {{"signal", 2, 8}, {"b0", 1, 0}, {"caf\xe9 \\x", 3, 1}}},
        {"hex, 10 bits", Hex, {"w10", 10, 0}, {{"nib", 4, 6}}},
        {"hex, 12 bits", Hex, {"w12", 12, 0}, {{"n", 4, 4}}},
        {"one bit", Unsigned, {"line", 1, 0}, {{"same", 1, 0}, {"wider", 3, 0}, {"other", 1, 5}}},
        {"empty names", Hex, {"", 8, 0}, {{"", 4, 4}, {"unnamed", 1, 2}}},
    };
    constexpr int32_t kSamples = 40;
    int seed = 1;
    for (const TestbenchCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        CVexlarDoc doc;
        BuildDocument(doc, c, kSamples, static_cast<uint32_t>(seed++));
        ExportVhdlTestbench(doc, QString::fromStdString(dir / "tb.vhd"));
        const std::string cd = "cd '" + dir.Path() + "' && ";
        ASSERT_EQ(RunCommand(cd + "ghdl -a tb.vhd > ghdl.log 2>&1"), 0) << "analysis failed";
        ASSERT_EQ(RunCommand(cd + "ghdl -e tb >> ghdl.log 2>&1"), 0) << "elaboration failed";
        ASSERT_EQ(RunCommand(cd + "ghdl -r tb --vcd=tb.vcd --stop-time=" + std::to_string(10 * kSamples + 20) +
                             "ns >> ghdl.log 2>&1"),
                  0)
            << "run failed";

        const VcdFile vcd = ReadVcd(dir / "tb.vcd");
        ASSERT_TRUE(vcd.ok);
        ASSERT_EQ(vcd.timescale, "1 fs");
        ASSERT_EQ(vcd.vars.size(), 2 + doc.m_signals.size());   // clk, reset, then the signals
        const CSignal& first = *doc.m_signals.front();
        for (int32_t i = 0; i < kSamples; ++i) {
            const uint64_t t = (5 + 10 * uint64_t(i)) * 1000000;   // rising edge i+1, in fs
            const uint32_t word = first.m_samples[i];
            size_t var = 2;
            for (const CSignal* s : doc.m_signals) {
                const int32_t firstBits = first.m_numBits;
                // Bit k of a slice is bit first+k of the first signal, 0 where that does not exist.
                uint32_t expected = 0;
                for (int32_t k = 0; k < s->m_numBits; ++k) {
                    const int32_t src = s == &first ? k : s->m_firstBit + k;
                    if (src < firstBits && ((word >> src) & 1u))
                        expected |= 1u << k;
                }
                uint64_t got = 0;
                const std::string text = vcd.ValueAt(var, t);
                ASSERT_TRUE(BitsValue(text, got)) << vcd.vars[var].name << " at sample " << i << ": " << text;
                ASSERT_EQ(got, expected) << vcd.vars[var].name << " at sample " << i;
                ++var;
            }
        }
    }
}

// A document with buses and single bits, samples of differing counts.
void BuildVcdDocument(CVexlarDoc& doc, bool oneBitOnly, int32_t count)
{
    doc.RemoveAllSignals();
    std::mt19937 rng(5);
    const Field fields[] = {{"clk", 1, 0},   {"bus8", 8, 1},       {"strobe", 1, 10},
                            {"word", 32, 0}, {"data bus", 12, 12}, {"slow", 1, 3}};
    for (const Field& f : fields) {
        if (oneBitOnly && f.bits != 1)
            continue;
        CSignal* s = doc.AppendNewSignal();
        s->m_name = QString::fromLatin1(f.name);
        s->m_numBits = f.bits;
        s->m_firstBit = f.first;
        s->UpdateMask();
        s->EnsureCapacity(count);
        for (int32_t i = 0; i < count; ++i) {
            if (f.first == 0 && f.bits == 1)
                s->m_samples[i] = static_cast<uint32_t>(i & 1);
            else if (std::string(f.name) == "slow")
                s->m_samples[i] = static_cast<uint32_t>((i / 7) & 1);
            else
                s->m_samples[i] = (rng() >> 3) & s->m_mask;
        }
        s->m_count = count;
    }
    CSignal* spectrum = doc.AppendNewSignal();
    spectrum->m_spectrum = true;
    doc.m_signals.front()->m_sampleFreq = 1e6;   // one microsecond per sample
}

TEST(VcdConsumers, GtkwaveConvertsTheWholeFileBack)
{
    if (!HaveTool("vcd2fst") || !HaveTool("fst2vcd"))
        GTEST_SKIP() << "gtkwave's vcd2fst/fst2vcd are not installed";
    TempDir dir;
    CVexlarDoc doc;
    constexpr int32_t kCount = 500;
    BuildVcdDocument(doc, false, kCount);
    ExportVcd(doc, QString::fromStdString(dir / "doc.vcd"));
    const std::string cd = "cd '" + dir.Path() + "' && ";
    ASSERT_EQ(RunCommand(cd + "vcd2fst doc.vcd doc.fst > conv.log 2>&1"), 0);
    ASSERT_EQ(RunCommand(cd + "fst2vcd doc.fst > back.vcd 2>>conv.log"), 0);
    const VcdFile back = ReadVcd(dir / "back.vcd");
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(back.timescale, "1us");
    std::vector<const CSignal*> exported;
    for (const CSignal* s : doc.m_signals) {
        if (!s->m_spectrum)
            exported.push_back(s);
    }
    ASSERT_EQ(back.vars.size(), exported.size());
    for (size_t v = 0; v < exported.size(); ++v) {
        const CSignal& s = *exported[v];
        EXPECT_EQ(back.vars[v].width, s.m_numBits);
        for (int32_t i = 0; i < kCount; ++i) {
            uint64_t got = 0;
            const std::string text = back.ValueAt(v, static_cast<uint64_t>(i));
            ASSERT_TRUE(BitsValue(text, got)) << back.vars[v].name << " at " << i << ": " << text;
            ASSERT_EQ(got, s.m_samples[i]) << back.vars[v].name << " at " << i;
        }
    }
}

TEST(VcdConsumers, SigrokReadsOneBitDocuments)
{
    if (!HaveTool("sigrok-cli"))
        GTEST_SKIP() << "sigrok-cli is not installed";
    TempDir dir;
    CVexlarDoc doc;
    constexpr int32_t kCount = 300;
    BuildVcdDocument(doc, true, kCount);
    ExportVcd(doc, QString::fromStdString(dir / "bits.vcd"));
    const std::string cd = "cd '" + dir.Path() + "' && ";
    ASSERT_EQ(RunCommand(cd + "sigrok-cli -I vcd -i bits.vcd -O csv > bits.csv 2> sigrok.log"), 0);
    std::ifstream in(dir / "bits.csv");
    std::string line;
    std::vector<std::string> rows;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';' || line.rfind("META", 0) == 0 || line.rfind("logic", 0) == 0)
            continue;
        rows.push_back(line);
    }
    std::vector<const CSignal*> bits;
    for (const CSignal* s : doc.m_signals) {
        if (!s->m_spectrum)
            bits.push_back(s);
    }
    ASSERT_GE(rows.size(), static_cast<size_t>(kCount));
    for (int32_t i = 0; i < kCount; ++i) {
        std::string expected;
        for (size_t k = 0; k < bits.size(); ++k)
            expected += (k ? "," : "") + std::to_string(bits[k]->m_samples[i]);
        ASSERT_EQ(rows[static_cast<size_t>(i)], expected) << "sample " << i;
    }
}

}   // namespace
