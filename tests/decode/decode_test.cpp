// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes of UART, SPI and I2C traffic of known bytes through the library's
// decoders, and the failures a decode can meet.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "decode/decode_session.h"
#include "decode_document.h"
#include "protocol_captures.h"

namespace {

struct Seen {
    uint64_t start;
    uint64_t end;
    std::string cls;
    std::string text;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s)
{
    return os << s.start << "-" << s.end << " " << s.cls << ": " << s.text;
}

// The annotations of the given classes, in the order the decoder gave them.
std::vector<Seen> OfClasses(const CAnnotationStore& store, const std::vector<std::string>& classes)
{
    std::vector<Seen> out;
    for (const Annotation& a : store.Items()) {
        if (std::find(classes.begin(), classes.end(), store.ClassId(a)) != classes.end())
            out.push_back({a.start, a.end, store.ClassId(a), std::string(store.Text(a))});
    }
    return out;
}

std::string Dump(const CAnnotationStore& store)
{
    std::ostringstream os;
    for (const Annotation& a : store.Items())
        os << a.start << "-" << a.end << " " << store.DecoderId(a) << ": " << store.ClassId(a) << ": " << store.Text(a)
           << "\n";
    return os.str();
}

struct ProtocolCase {
    const char* name;
    std::vector<uint32_t> (*words)();
    std::vector<std::string> signalNames;
    std::string decoderLine;
    uint64_t rate;
    std::vector<std::string> classes;
    std::vector<Seen> expected;
};

std::vector<uint32_t> UartWords()
{
    WordStream s;
    AppendUart(s, 0, {0x48, 0x69, 0x21}, 10, 30);   // "Hi!" at 10 samples per bit
    return s.words;
}

std::vector<uint32_t> SpiWords()
{
    WordStream s;
    AppendSpi(s, {0xA5, 0x3C}, 4);
    return s.words;
}

std::vector<uint32_t> I2cWords()
{
    WordStream s;
    AppendI2cWrite(s, 0x50, {0x3C, 0x00}, 5);
    return s.words;
}

class ProtocolDecode : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(ProtocolDecode, KnownBytesGiveTheirAnnotations)
{
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    const ProtocolCase& c = GetParam();
    CVexlarDoc doc;
    FillDocument(doc, c.words(), c.signalNames, static_cast<double>(c.rate));
    const DecodeResult result = DecodeDocument(doc, c.decoderLine, c.rate);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(OfClasses(result.annotations, c.classes), c.expected) << Dump(result.annotations);
}

// Start bits begin 30 samples in and every frame takes 100 samples plus 30 of
// idle: a byte's data bits run from its start bit + 10 to + 90.
INSTANTIATE_TEST_SUITE_P(
    Table, ProtocolDecode,
    ::testing::Values(
        ProtocolCase{"uart_by_signal_name",
                     UartWords,
                     {"rx"},
                     "uart:rx=rx:baudrate=100000",
                     1000000,
                     {"rx-data"},
                     {{40, 120, "rx-data", "48"}, {170, 250, "rx-data", "69"}, {300, 380, "rx-data", "21"}}},
        ProtocolCase{"uart_by_bit_number_ascii",
                     UartWords,
                     {},
                     "uart:rx=#0:baudrate=100000:format=ascii",
                     1000000,
                     {"rx-data"},
                     {{40, 120, "rx-data", "H"}, {170, 250, "rx-data", "i"}, {300, 380, "rx-data", "!"}}},
        ProtocolCase{"spi_mode0",
                     SpiWords,
                     {"clk", "mosi", "cs", "miso"},
                     "spi:clk=clk:mosi=mosi:miso=miso:cs=cs",
                     1000000,
                     {"mosi-data", "miso-data"},
                     {{28, 92, "miso-data", "5A"},
                      {28, 92, "mosi-data", "A5"},
                      {100, 164, "miso-data", "C3"},
                      {100, 164, "mosi-data", "3C"}}},
        ProtocolCase{"i2c_write",
                     I2cWords,
                     {"scl", "sda"},
                     "i2c:scl=scl:sda=sda",
                     1000000,
                     {"start", "address-write", "data-write", "ack", "stop"},
                     {{20, 20, "start", "Start"},
                      {180, 200, "address-write", "Write"},
                      {40, 180, "address-write", "Address write: 50"},
                      {200, 220, "ack", "ACK"},
                      {220, 380, "data-write", "Data write: 3C"},
                      {380, 400, "ack", "ACK"},
                      {400, 560, "data-write", "Data write: 00"},
                      {560, 580, "ack", "ACK"},
                      {590, 590, "stop", "Stop"}}}),
    [](const auto& param) { return std::string(param.param.name); });

}   // namespace
