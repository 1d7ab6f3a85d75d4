// SPDX-License-Identifier: GPL-3.0-or-later
// The decode specification against the library's decoders: what it accepts
// (and how it reads each value) and what it turns away, with the message.

#include <gtest/gtest.h>

#include "decode/decode_spec.h"

namespace {

bool HaveDecoders()
{
    return CDecoderCatalog::Instance().Error().empty();
}

TEST(DecoderCatalog, ListsDecodersWithChannelsOptionsAndRows)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    const CDecoderCatalog& catalog = CDecoderCatalog::Instance();
    EXPECT_GT(catalog.Decoders().size(), 50u);
    const DecoderInfo* uart = catalog.Find("uart");
    ASSERT_NE(uart, nullptr);
    EXPECT_TRUE(uart->TakesLogic());
    ASSERT_NE(uart->FindChannel("rx"), nullptr);
    EXPECT_EQ(uart->FindChannel("rx")->name, "RX");
    const DecoderOptionInfo* baud = uart->FindOption("baudrate");
    ASSERT_NE(baud, nullptr);
    EXPECT_EQ(baud->def, DecoderOptionValue(int64_t{115200}));
    const DecoderOptionInfo* parity = uart->FindOption("parity");
    ASSERT_NE(parity, nullptr);
    EXPECT_EQ(parity->def, DecoderOptionValue(std::string("none")));
    EXPECT_FALSE(parity->values.empty());
    EXPECT_FALSE(uart->rows.empty());
    const DecoderInfo* spi = catalog.Find("spi");
    ASSERT_NE(spi, nullptr);
    ASSERT_EQ(spi->channels.size(), 1u);
    EXPECT_EQ(spi->channels[0].id, "clk");
    const DecoderInfo* eeprom = catalog.Find("eeprom24xx");
    ASSERT_NE(eeprom, nullptr);
    EXPECT_FALSE(eeprom->TakesLogic());
    EXPECT_TRUE(eeprom->CanStackOn(*catalog.Find("i2c")));
    EXPECT_FALSE(eeprom->CanStackOn(*uart));
    EXPECT_EQ(catalog.Find("no-such-decoder"), nullptr);
}

struct GoodSpec {
    const char* text;
    DecodeSpec expected;
};

class SpecAccepted : public ::testing::TestWithParam<GoodSpec> {};

TEST_P(SpecAccepted, ReadsEveryPart)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    DecodeSpec spec;
    std::string error;
    ASSERT_TRUE(ParseDecodeSpec(GetParam().text, CDecoderCatalog::Instance(), spec, error)) << error;
    EXPECT_EQ(spec, GetParam().expected);
    // The formatted text reads back as the same spec.
    DecodeSpec again;
    ASSERT_TRUE(ParseDecodeSpec(FormatDecodeSpec(spec), CDecoderCatalog::Instance(), again, error)) << error;
    EXPECT_EQ(again, spec);
}

ChannelSource Bit(int n)
{
    return ChannelSource{n, {}};
}

ChannelSource Named(const char* name)
{
    return ChannelSource{-1, name};
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpecAccepted,
    ::testing::Values(
        GoodSpec{"uart:rx=#0", {{{"uart", {{"rx", Bit(0)}}, {}}}}},
        GoodSpec{
            "uart:rx=serial_in:baudrate=9600:parity=even",
            {{{"uart", {{"rx", Named("serial_in")}}, {{"baudrate", int64_t{9600}}, {"parity", std::string("even")}}}}}},
        // integers take C prefixes; a floating-point option reads a number
        GoodSpec{"uart:baudrate=0x2580:tx=#31:stop_bits=1.5",
                 {{{"uart", {{"tx", Bit(31)}}, {{"baudrate", int64_t{9600}}, {"stop_bits", 1.5}}}}}},
        // channel ids come before option ids; optional channels count
        GoodSpec{
            "spi:clk=#0:mosi=#1:cs=chip select:cpol=1",
            {{{"spi", {{"clk", Bit(0)}, {"mosi", Bit(1)}, {"cs", Named("chip select")}}, {{"cpol", int64_t{1}}}}}}},
        // a stack, the lowest decoder first
        GoodSpec{"i2c:scl=#0:sda=#1,eeprom24xx:chip=generic",
                 {{{"i2c", {{"scl", Bit(0)}, {"sda", Bit(1)}}, {}},
                   {"eeprom24xx", {}, {{"chip", std::string("generic")}}}}}}));

struct BadSpec {
    const char* text;
    const char* message;   // a part of the error text
};

class SpecRejected : public ::testing::TestWithParam<BadSpec> {};

TEST_P(SpecRejected, SaysWhatIsWrong)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    DecodeSpec spec;
    std::string error;
    EXPECT_FALSE(ParseDecodeSpec(GetParam().text, CDecoderCatalog::Instance(), spec, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << "error: " << error;
    EXPECT_TRUE(spec.stack.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpecRejected,
    ::testing::Values(BadSpec{"", "empty"}, BadSpec{"nosuchdecoder:rx=#0", "unknown decoder 'nosuchdecoder'"},
                      BadSpec{":rx=#0", "decoder name is missing"}, BadSpec{"uart", "needs at least one channel"},
                      BadSpec{"uart:rx", "'rx' is not KEY=VALUE"}, BadSpec{"uart:=5", "'=5' is not KEY=VALUE"},
                      BadSpec{"uart:rx=#32", "0 to 31"}, BadSpec{"uart:rx=#x", "not '#x'"},
                      BadSpec{"uart:rx=#", "not '#'"}, BadSpec{"uart:rx=", "channel 'rx'"},
                      BadSpec{"uart:rx=#0:baudrate=fast", "'baudrate' of decoder 'uart' needs a whole number"},
                      BadSpec{"uart:rx=#0:baudrate=99999999999999999999", "needs a whole number"},
                      BadSpec{"uart:rx=#0:stop_bits=nan", "needs a number"},
                      BadSpec{"uart:rx=#0:parity=sometimes", "must be one of none, odd, even"},
                      BadSpec{"uart:rx=#0:data_bits=10", "must be one of 5, 6, 7, 8, 9"},
                      BadSpec{"uart:rx=#0:bogus=1", "has no channel or option 'bogus'"},
                      BadSpec{"uart:rx=#0:rx=#1", "'rx' is given twice"}, BadSpec{"spi:mosi=#1", "needs channel 'clk'"},
                      BadSpec{"eeprom24xx", "decodes the output of another decoder"},
                      BadSpec{"uart:rx=#0,eeprom24xx", "cannot decode the output of 'uart'"},
                      BadSpec{"i2c:scl=#0:sda=#1,eeprom24xx:scl=#2", "has no channel or option 'scl'"},
                      BadSpec{"i2c:scl=#0:sda=#1,", "decoder name is missing"}));

}   // namespace
