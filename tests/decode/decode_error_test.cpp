// SPDX-License-Identifier: GPL-3.0-or-later
// Decoder failures come back as messages: an exception raised inside a
// decoder (a fixture decoder of this folder, found through the library's
// SIGROKDECODE_DIR), a decoder that cannot work without a sample rate, and
// decodes that follow a failed one still work.

#include <gtest/gtest.h>

#include <cstdlib>

#include "decode/decode_session.h"
#include "decode_document.h"
#include "protocol_captures.h"

namespace {

// Before the library starts (on first use), add the fixture decoders.
const bool kFixturePath = [] {
    setenv("SIGROKDECODE_DIR", VEXLAR_TEST_DECODERS_DIR, 1);
    return true;
}();

DecodeResult Decode(const std::string& decoderLine, uint64_t rate, const std::vector<uint32_t>& words)
{
    CVexlarDoc doc;
    FillDocument(doc, words, {"d"}, 1e6);
    return DecodeDocument(doc, decoderLine, rate);
}

std::vector<uint32_t> Toggles(int count, int every)
{
    WordStream s;
    for (int i = 0; i < count; ++i) {
        s.Set(0, i % 2 == 1);
        s.Hold(every);
    }
    return s.words;
}

TEST(DecodeErrors, AnExceptionInADecoderIsAMessage)
{
    ASSERT_TRUE(kFixturePath);
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    ASSERT_NE(CDecoderCatalog::Instance().Find("vexlar_test_raise"), nullptr) << "fixture decoder not found";
    const DecodeResult result = Decode("vexlar_test_raise:d=d:fail_after=3", 0, Toggles(200000, 5));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.cancelled);
    EXPECT_NE(result.error.find("fixture failure after 3 edges"), std::string::npos) << result.error;
    // What was decoded before the exception is kept.
    ASSERT_EQ(result.annotations.Size(), 3u);
    EXPECT_EQ(result.annotations.Text(result.annotations.Items()[2]), "edge 3");
}

TEST(DecodeErrors, ADecoderThatNeedsTheSampleRateSaysSo)
{
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    const DecodeResult result = Decode("uart:rx=d:baudrate=100000", 0, Toggles(100, 10));
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("samplerate"), std::string::npos) << result.error;
}

TEST(DecodeErrors, AnOptionTheDecoderCannotUseIsAMessage)
{
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    const DecodeResult result = Decode("uart:rx=d:baudrate=0", 1000000, Toggles(100, 10));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

TEST(DecodeErrors, DecodesAfterAFailureWork)
{
    if (!CDecoderCatalog::Instance().Error().empty())
        GTEST_SKIP() << CDecoderCatalog::Instance().Error();
    ASSERT_FALSE(Decode("vexlar_test_raise:d=d:fail_after=1", 0, Toggles(10, 5)).ok);
    WordStream s;
    AppendUart(s, 0, {0x55}, 10, 20);
    const DecodeResult result = Decode("uart:rx=d:baudrate=100000", 1000000, s.words);
    ASSERT_TRUE(result.ok) << result.error;
    bool found = false;
    for (const Annotation& a : result.annotations.Items())
        found = found || (result.annotations.ClassId(a) == "rx-data" && result.annotations.Text(a) == "55");
    EXPECT_TRUE(found);
}

}   // namespace
