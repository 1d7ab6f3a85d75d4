// SPDX-License-Identifier: GPL-3.0-or-later
// `vexlar --decode` gives the same annotations as sigrok-cli on the same
// samples: each document is saved, and also exported as VCD with one time
// unit per sample (the VCD's time scale carries the sample rate), which
// sigrok-cli decodes with --protocol-decoder-samplenum. Both outputs are
// compared line by line, every annotation class included.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "decode/decoder_catalog.h"
#include "document/document_file.h"
#include "document/vcd_export.h"
#include "protocol_captures.h"

namespace fs = std::filesystem;

namespace {

bool HaveTool(const char* name)
{
    return std::system((std::string("command -v ") + name + " > /dev/null 2>&1").c_str()) == 0;
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "vexlar-decode-XXXXXX").string();
        m_path = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir()
    {
        if (!m_path.empty())
            fs::remove_all(m_path);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<std::string> Lines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// sigrok-cli at log level 4 prints `START-END INSTANCE: CLASS: "TEXT" "SHORTER"...`
// where INSTANCE is "uart-1"; the same annotation as vexlar prints it is
// `START-END uart: CLASS: TEXT`.
std::string FromSigrok(const std::string& line)
{
    const size_t space = line.find(' ');
    const size_t colon1 = line.find(": ", space);
    const size_t colon2 = colon1 == std::string::npos ? colon1 : line.find(": ", colon1 + 2);
    if (space == std::string::npos || colon2 == std::string::npos)
        return "unreadable: " + line;
    std::string instance = line.substr(space + 1, colon1 - space - 1);
    const size_t dash = instance.rfind('-');
    if (dash != std::string::npos)
        instance.resize(dash);
    const std::string cls = line.substr(colon1 + 2, colon2 - colon1 - 2);
    std::string rest = line.substr(colon2 + 2);
    // the first quoted text
    std::string text;
    if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find("\" \"", 1);
        text = rest.substr(1, (close == std::string::npos ? rest.size() - 1 : close) - 1);
    }
    return line.substr(0, space) + " " + instance + ": " + cls + ": " + text;
}

struct CompareCase {
    const char* name;
    std::vector<uint32_t> (*words)();
    std::vector<std::string> signalNames;
    std::string decoderLine;
    size_t minLines;   // the decode must say at least this much (about ten lines a byte)
};

std::vector<uint32_t> UartCapture()
{
    WordStream s;
    const std::string text = "Vexlar decodes UART\r\n";
    AppendUart(s, 0, std::vector<uint8_t>(text.begin(), text.end()), 8, 13);
    AppendUart(s, 1, {0x00, 0xFF}, 8, 5);   // a second line the decode ignores
    return s.words;
}

std::vector<uint32_t> SpiCapture()
{
    WordStream s;
    AppendSpi(s, {0x9F, 0x00, 0xEF, 0x40, 0x18}, 3);
    AppendSpi(s, {0x03, 0x12, 0x34}, 5);
    return s.words;
}

std::vector<uint32_t> I2cCapture()
{
    WordStream s;
    AppendI2cWrite(s, 0x50, {0x00, 0x10, 0xAB, 0xCD}, 4);
    AppendI2cWrite(s, 0x1D, {0x2A}, 6);
    return s.words;
}

class SameAsSigrok : public ::testing::TestWithParam<CompareCase> {};

TEST_P(SameAsSigrok, LineByLine)
{
    if (!HaveTool("sigrok-cli"))
        GTEST_SKIP() << "sigrok-cli is not installed";
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    const CompareCase& c = GetParam();
    constexpr double kRate = 1e6;   // VCD time unit 1 us, one unit per sample
    CVexlarDoc doc;
    FillDocument(doc, c.words(), c.signalNames, kRate);
    TempDir dir;
    SaveDocumentFile(doc, QString::fromStdString(dir / "capture.VEXLAR"));
    // sigrok-cli reads one-bit wires only: the VCD holds the named one-bit
    // signals without the 32-bit "all_bits".
    doc.EraseSignal(doc.m_signals.begin());
    ExportVcd(doc, QString::fromStdString(dir / "capture.vcd"));

    const std::string sigrok = "sigrok-cli -I vcd -i '" + (dir / "capture.vcd") + "' -P '" + c.decoderLine +
                               "' --protocol-decoder-samplenum -l 4 > '" + (dir / "sigrok.txt") + "' 2> /dev/null";
    ASSERT_EQ(std::system(sigrok.c_str()), 0) << sigrok;
    const std::string vexlar = std::string("'") + VEXLAR_EXE + "' --decode '" + c.decoderLine +
                               "' --samplerate 1000000 '" + (dir / "capture.VEXLAR") + "' > '" + (dir / "vexlar.txt") +
                               "' 2> '" + (dir / "vexlar.err") + "'";
    ASSERT_EQ(std::system(vexlar.c_str()), 0) << vexlar;

    std::vector<std::string> expected;
    for (const std::string& line : Lines(dir / "sigrok.txt"))
        expected.push_back(FromSigrok(line));
    const std::vector<std::string> got = Lines(dir / "vexlar.txt");
    ASSERT_GE(expected.size(), c.minLines) << "sigrok-cli said too little";
    for (size_t i = 0; i < std::max(expected.size(), got.size()); ++i) {
        ASSERT_LT(i, got.size()) << "vexlar stops before line " << i + 1 << ": " << expected[i];
        ASSERT_LT(i, expected.size()) << "vexlar has more lines from " << i + 1 << ": " << got[i];
        ASSERT_EQ(got[i], expected[i]) << "line " << i + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, SameAsSigrok,
    ::testing::Values(
        CompareCase{"uart", UartCapture, {"rx", "tx"}, "uart:rx=rx:baudrate=125000", 21 * 11},
        CompareCase{"spi", SpiCapture, {"clk", "mosi", "cs", "miso"}, "spi:clk=clk:mosi=mosi:miso=miso:cs=cs", 8 * 18},
        CompareCase{"i2c", I2cCapture, {"scl", "sda"}, "i2c:scl=scl:sda=sda", 70},
        CompareCase{"i2c_with_stacked_eeprom", I2cCapture, {"scl", "sda"}, "i2c:scl=scl:sda=sda,eeprom24xx", 1}),
    [](const auto& param) { return std::string(param.param.name); });

struct HeadlessCase {
    const char* name;
    const char* arguments;   // FILE stands for a saved UART document
    int status;
    const char* message;            // part of what is written to standard error
    const char* output = nullptr;   // where standard output goes; a file of the test when null
};

class HeadlessDecode : public ::testing::TestWithParam<HeadlessCase> {};

TEST_P(HeadlessDecode, BadInputsExitWithAMessage)
{
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    TempDir dir;
    CVexlarDoc doc;
    FillDocument(doc, UartCapture(), {"rx", "tx"}, 1e6);
    SaveDocumentFile(doc, QString::fromStdString(dir / "capture.VEXLAR"));
    std::string args = GetParam().arguments;
    const size_t at = args.find("FILE");
    if (at != std::string::npos)
        args.replace(at, 4, "'" + (dir / "capture.VEXLAR") + "'");
    const std::string output = GetParam().output != nullptr ? GetParam().output : dir / "out.txt";
    const std::string command =
        std::string("'") + VEXLAR_EXE + "' " + args + " > '" + output + "' 2> '" + (dir / "err.txt") + "'";
    const int rc = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(rc)) << command;
    EXPECT_EQ(WEXITSTATUS(rc), GetParam().status) << command;
    std::string err;
    for (const std::string& line : Lines(dir / "err.txt"))
        err += line + "\n";
    EXPECT_NE(err.find(GetParam().message), std::string::npos) << "stderr: " << err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, HeadlessDecode,
    ::testing::Values(HeadlessCase{"unknown_decoder", "--decode nosuch:rx=#0 FILE", 2, "unknown decoder 'nosuch'"},
                      HeadlessCase{"bad_option", "--decode uart:rx=rx:parity=maybe FILE", 2, "option 'parity'"},
                      HeadlessCase{"unknown_signal", "--decode uart:rx=nosuchsignal --samplerate 1M FILE", 2,
                                   "no signal named 'nosuchsignal'"},
                      HeadlessCase{"wide_signal", "--decode uart:rx=all_bits --samplerate 1M FILE", 2, "32 bits wide"},
                      HeadlessCase{"bad_samplerate", "--decode uart:rx=rx --samplerate fast FILE", 2, "--samplerate"},
                      HeadlessCase{"no_file", "--decode uart:rx=rx", 2, "usage"},
                      HeadlessCase{"missing_file", "--decode uart:rx=rx /nonexistent/x.VEXLAR", 1, "x.VEXLAR"},
                      HeadlessCase{"decoder_error", "--decode uart:rx=rx FILE", 1, "samplerate"},
                      HeadlessCase{"full_disk", "--decode uart:rx=rx --samplerate 1M FILE", 1, "could not write",
                                   "/dev/full"}),
    [](const auto& param) { return std::string(param.param.name); });

}   // namespace
