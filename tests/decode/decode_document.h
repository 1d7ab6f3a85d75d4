// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decodes a document's samples on the calling thread with a decoder line, the
// way the decode tests check what the library makes of a capture.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "decode/decode_session.h"
#include "decode/decoder_catalog.h"
#include "document/vexlar_doc.h"

inline DecodeResult DecodeDocument(const CVexlarDoc& doc, const std::string& decoderLine, uint64_t rate)
{
    DecodeJob job;
    std::string error;
    EXPECT_TRUE(ParseDecoderLine(decoderLine, CDecoderCatalog::Instance(), job.stack, error)) << error;
    EXPECT_TRUE(BuildDecodeInput(job.stack, doc.m_signals, job.input, error)) << error;
    job.samplerate = rate;
    return RunDecode(job);
}
