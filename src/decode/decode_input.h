// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The samples a decode reads: a copy of only the bits its channels are bound
// to, packed as the library takes them (bit c of each sample unit is channel
// c), so that the decode can run on another thread while captures keep
// replacing the document's samples.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "decode/decoder_stack.h"
#include "model/signal.h"

struct DecodeInput {
    std::vector<uint8_t> data;   // sampleCount * unitSize bytes
    unsigned unitSize = 1;
    uint64_t sampleCount = 0;
    // The lowest decoder's channels: channel id and its bit within the unit.
    std::vector<std::pair<std::string, int>> channelIndex;
};

// Where a channel's bit comes from in the document: the samples of a signal
// and the bit within them.
struct BitSource {
    const CSignal* signal = nullptr;
    int bit = 0;
};

// Finds the signal and bit for a channel: a named one-bit signal (the first
// of that name), or for #N the first signal whose bit field holds bit N of
// the sample word. Returns false with a message when there is none.
bool ResolveChannel(const ChannelSource& source, const SignalList& signalList, BitSource& out, std::string& error);

// Copies the channel bits of the lowest decoder of `stack` out of the signals,
// over the samples that every bound signal has.
bool BuildDecodeInput(const DecoderStack& stack, const SignalList& signalList, DecodeInput& input, std::string& error);
