// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder lines against the library's decoders: what it accepts
// (and how it reads each value) and what it turns away, with the message.

#include <gtest/gtest.h>

#include "decode/decoder_stack.h"

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

struct GoodLine {
    const char* text;
    DecoderStack expected;
};

class DecoderLineAccepted : public ::testing::TestWithParam<GoodLine> {};

TEST_P(DecoderLineAccepted, ReadsEveryPart)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    DecoderStack stack;
    std::string error;
    ASSERT_TRUE(ParseDecoderLine(GetParam().text, CDecoderCatalog::Instance(), stack, error)) << error;
    EXPECT_EQ(stack, GetParam().expected);
    // The formatted text reads back as the same stack.
    DecoderStack again;
    ASSERT_TRUE(ParseDecoderLine(FormatDecoderLine(stack), CDecoderCatalog::Instance(), again, error)) << error;
    EXPECT_EQ(again, stack);
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
    Table, DecoderLineAccepted,
    ::testing::Values(
        GoodLine{"uart:rx=#0", {{{"uart", {{"rx", Bit(0)}}, {}}}}},
        GoodLine{
            "uart:rx=serial_in:baudrate=9600:parity=even",
            {{{"uart", {{"rx", Named("serial_in")}}, {{"baudrate", int64_t{9600}}, {"parity", std::string("even")}}}}}},
        // integers take C prefixes; a floating-point option reads a number
        GoodLine{"uart:baudrate=0x2580:tx=#31:stop_bits=1.5",
                 {{{"uart", {{"tx", Bit(31)}}, {{"baudrate", int64_t{9600}}, {"stop_bits", 1.5}}}}}},
        // channel ids come before option ids; optional channels count
        GoodLine{
            "spi:clk=#0:mosi=#1:cs=chip select:cpol=1",
            {{{"spi", {{"clk", Bit(0)}, {"mosi", Bit(1)}, {"cs", Named("chip select")}}, {{"cpol", int64_t{1}}}}}}},
        // a stack, the lowest decoder first
        GoodLine{"i2c:scl=#0:sda=#1,eeprom24xx:chip=generic",
                 {{{"i2c", {{"scl", Bit(0)}, {"sda", Bit(1)}}, {}},
                   {"eeprom24xx", {}, {{"chip", std::string("generic")}}}}}}));

struct BadLine {
    const char* text;
    const char* message;   // a part of the error text
};

class DecoderLineRejected : public ::testing::TestWithParam<BadLine> {};

TEST_P(DecoderLineRejected, SaysWhatIsWrong)
{
    if (!HaveDecoders())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    DecoderStack stack;
    std::string error;
    EXPECT_FALSE(ParseDecoderLine(GetParam().text, CDecoderCatalog::Instance(), stack, error));
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << "error: " << error;
    EXPECT_TRUE(stack.decoders.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecoderLineRejected,
    ::testing::Values(BadLine{"", "empty"}, BadLine{"nosuchdecoder:rx=#0", "unknown decoder 'nosuchdecoder'"},
                      BadLine{":rx=#0", "decoder name is missing"}, BadLine{"uart", "needs at least one channel"},
                      BadLine{"uart:rx", "'rx' is not KEY=VALUE"}, BadLine{"uart:=5", "'=5' is not KEY=VALUE"},
                      BadLine{"uart:rx=#32", "0 to 31"}, BadLine{"uart:rx=#x", "not '#x'"},
                      BadLine{"uart:rx=#", "not '#'"}, BadLine{"uart:rx=", "channel 'rx'"},
                      BadLine{"uart:rx=#0:baudrate=fast", "'baudrate' of decoder 'uart' needs a whole number"},
                      BadLine{"uart:rx=#0:baudrate=99999999999999999999", "needs a whole number"},
                      BadLine{"uart:rx=#0:stop_bits=nan", "needs a number"},
                      BadLine{"uart:rx=#0:parity=sometimes", "must be one of none, odd, even"},
                      BadLine{"uart:rx=#0:data_bits=10", "must be one of 5, 6, 7, 8, 9"},
                      BadLine{"uart:rx=#0:bogus=1", "has no channel or option 'bogus'"},
                      BadLine{"uart:rx=#0:rx=#1", "'rx' is given twice"}, BadLine{"spi:mosi=#1", "needs channel 'clk'"},
                      BadLine{"eeprom24xx", "decodes the output of another decoder"},
                      BadLine{"uart:rx=#0,eeprom24xx", "cannot decode the output of 'uart'"},
                      BadLine{"i2c:scl=#0:sda=#1,eeprom24xx:scl=#2", "has no channel or option 'scl'"},
                      BadLine{"i2c:scl=#0:sda=#1,", "decoder name is missing"}));

}   // namespace
