// SPDX-License-Identifier: GPL-3.0-or-later
// The headless conversions through the vexlar-export executable: the same
// bytes as the in-process exports, and a non-zero exit with the error text on
// standard error for a bad input.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "document/document_file.h"
#include "document/text_export.h"
#include "document/text_output.h"
#include "document/vcd_export.h"
#include "document/vexlar_doc.h"
#include "document/vhdl_export.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path)
{
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

int Exit(const std::string& command)
{
    const int rc = std::system(command.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

class Headless : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/vexlar-headless-XXXXXX";
        m_dir = ::mkdtemp(pattern);
        CSignal* head = m_doc.m_signals.front();
        head->EnsureCapacity(50);
        for (int i = 0; i < 50; ++i)
            head->m_samples[i] = static_cast<uint32_t>(i * 0x01030507);
        head->m_count = 50;
        CSignal* bus = m_doc.AppendNewSignal();
        bus->m_name = QStringLiteral("bus");
        bus->m_numBits = 6;
        bus->m_firstBit = 2;
        bus->m_radix = Binary;
        bus->m_selected = true;
        bus->UpdateMask();
        bus->UpdateFromSource();
        CSignal* spectrumRow = m_doc.AppendNewSignal();
        spectrumRow->m_spectrum = true;
        spectrumRow->m_selected = true;
        spectrumRow->UpdateFromSource();
        spectrumRow->m_spectrumDb[0] = 1.5;   // not saved: loading computes it from the samples
        SaveDocumentFile(m_doc, QString::fromStdString(Path("in.VEXLAR")));
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string Path(const char* name) const { return (m_dir / name).string(); }
    int Convert(const std::string& args)
    {
        return Exit(std::string(VEXLAR_EXPORT_EXE) + " " + args + " > '" + Path("stdout") + "' 2> '" + Path("stderr") +
                    "'");
    }
    template <typename Fn>
    static std::string InProcess(Fn fn)
    {
        std::string text;
        CTextOutput out(text);
        fn(out);
        out.Close();
        return text;
    }

    fs::path m_dir;
    CVexlarDoc m_doc;
};

TEST_F(Headless, ConvertsToEachFormat)
{
    const std::string in = "'" + Path("in.VEXLAR") + "' ";
    ASSERT_EQ(Convert("--export csv " + in + Path("out.csv")), 0) << ReadText(Path("stderr"));
    EXPECT_EQ(ReadText(Path("out.csv")), InProcess([&](CTextOutput& o) { WriteCsv(m_doc, o); }));
    ASSERT_EQ(Convert("--export vhdl " + in + Path("out.vhd")), 0);
    EXPECT_EQ(ReadText(Path("out.vhd")), InProcess([&](CTextOutput& o) { WriteVhdlTestbench(m_doc, o); }));
    ASSERT_EQ(Convert("--export vcd " + in + Path("out.vcd")), 0);
    EXPECT_EQ(ReadText(Path("out.vcd")), InProcess([&](CTextOutput& o) { WriteVcd(m_doc, o); }));

    ASSERT_EQ(Convert("--export-selected " + in + Path("sel")), 0);
    EXPECT_FALSE(fs::exists(Path("sel-1.txt")));   // all_bits is not selected
    const CSignal& bus = **std::next(m_doc.m_signals.begin());
    EXPECT_EQ(ReadText(Path("sel-2.txt")), InProcess([&](CTextOutput& o) { WriteSignalText(bus, o); }));
    EXPECT_EQ(ReadText(Path("sel-2.txt")).substr(0, 16), "000000\r\n000001\r\n");
    // The spectrum of the stored samples, as loading computes it; it used to
    // be 2048 lines of "0", the spectrum of nothing.
    CSignal& spectrumRow = *m_doc.m_signals.back();
    spectrumRow.RefreshSpectrum(CSignal::PeakHold::Keep);
    const std::string spectrum = ReadText(Path("sel-3.txt"));
    EXPECT_EQ(spectrum, InProcess([&](CTextOutput& o) { WriteSignalText(spectrumRow, o); }));
    EXPECT_GT(spectrum.size(), 2048u * 3);
    EXPECT_NE(spectrum.substr(0, 3), "0\r\n");
}

// --export-selected writes what Export Selected writes: the one selected
// signal into OUT itself; no selected signal is an error, not a silent
// success with nothing written.
TEST_F(Headless, ExportSelectedWritesTheSelectedSignalOrSaysWhyNot)
{
    CVexlarDoc one;
    CSignal* bus = one.AppendNewSignal();
    bus->m_name = QStringLiteral("bus");
    bus->m_numBits = 4;
    bus->m_radix = Unsigned;
    bus->UpdateMask();
    bus->EnsureCapacity(3);
    for (int i = 0; i < 3; ++i)
        bus->m_samples[i] = static_cast<uint32_t>(i + 7);
    bus->m_count = 3;
    bus->m_selected = true;
    SaveDocumentFile(one, QString::fromStdString(Path("one.VEXLAR")));
    ASSERT_EQ(Convert("--export-selected '" + Path("one.VEXLAR") + "' '" + Path("bus.txt") + "'"), 0)
        << ReadText(Path("stderr"));
    EXPECT_EQ(ReadText(Path("bus.txt")), "7\r\n8\r\n9\r\n");
    EXPECT_EQ(ReadText(Path("stdout")), Path("bus.txt") + "\n");

    bus->m_selected = false;
    SaveDocumentFile(one, QString::fromStdString(Path("none.VEXLAR")));
    EXPECT_EQ(Convert("--export-selected '" + Path("none.VEXLAR") + "' '" + Path("none.txt") + "'"), 1);
    EXPECT_NE(ReadText(Path("stderr")).find("no signal is selected"), std::string::npos) << ReadText(Path("stderr"));
    EXPECT_FALSE(fs::exists(Path("none.txt")));
}

TEST_F(Headless, BadInputsFailWithTheirText)
{
    std::ofstream(Path("bad.VEXLAR"), std::ios::binary) << std::string("\x02\0\0\0\0\0\0\0", 8);
    EXPECT_EQ(Convert("--export csv '" + Path("bad.VEXLAR") + "' " + Path("o.csv")), 1);
    EXPECT_NE(ReadText(Path("stderr")).find("Unexpected file format."), std::string::npos);
    EXPECT_FALSE(fs::exists(Path("o.csv")));

    EXPECT_EQ(Convert("--export csv '" + Path("missing.VEXLAR") + "' " + Path("o.csv")), 1);
    EXPECT_NE(ReadText(Path("stderr")).find("Failed to open document."), std::string::npos);

    EXPECT_EQ(Convert("--export csv '" + Path("in.VEXLAR") + "' /nonexistent-folder/o.csv"), 1);
    EXPECT_NE(ReadText(Path("stderr")).find("Failed to create file."), std::string::npos);

    EXPECT_EQ(Convert("--export pdf '" + Path("in.VEXLAR") + "' " + Path("o.pdf")), 2);
    EXPECT_NE(ReadText(Path("stderr")).find("usage:"), std::string::npos);
    EXPECT_EQ(Convert("--export csv"), 2);
}

}   // namespace
