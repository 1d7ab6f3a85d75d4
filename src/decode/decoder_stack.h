// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text that names a decode: DECODER:KEY=VALUE[:KEY=VALUE...], and for a
// stack of decoders several such parts separated by commas, the lowest first
// ("i2c:scl=#0:sda=#1,eeprom24xx"). A KEY is looked up among the decoder's
// channel ids first and then its option ids. A channel's VALUE is the name of
// a one-bit signal of the document or #N for bit N of the 32-bit sample word;
// an option's VALUE is read as the type of its default (text, integer with C
// prefixes, floating point) and must be one of its allowed values when the
// decoder lists them. Only the lowest decoder of a stack takes channels.

#include <string>
#include <utility>
#include <vector>

#include "decode/decoder_catalog.h"

struct ChannelSource {
    int bit = -1;             // #N: bit N of the sample word (0..31); -1 when a signal is named
    std::string signalName;   // the name of a one-bit signal (UTF-8)

    bool operator==(const ChannelSource&) const = default;
};

struct DecoderSetup {
    std::string decoderId;
    std::vector<std::pair<std::string, ChannelSource>> channels;       // in the order given
    std::vector<std::pair<std::string, DecoderOptionValue>> options;   // in the order given

    bool operator==(const DecoderSetup&) const = default;
};

struct DecoderStack {
    std::vector<DecoderSetup> decoders;   // lowest first; empty when nothing was parsed

    bool operator==(const DecoderStack&) const = default;
};

// Parses `text` against the decoders of `catalog`. On failure returns false
// and sets `error` to a message naming the part that is wrong; `stack` is then
// left empty.
bool ParseDecoderLine(const std::string& text, const CDecoderCatalog& catalog, DecoderStack& stack, std::string& error);

// The decoder line of a stack, which ParseDecoderLine reads back as the same stack.
std::string FormatDecoderLine(const DecoderStack& stack);
