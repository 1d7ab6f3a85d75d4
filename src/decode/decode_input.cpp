// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decode_input.h"

#include <algorithm>

bool ResolveChannel(const ChannelSource& source, const SignalList& signalList, BitSource& out, std::string& error)
{
    if (source.bit < 0) {
        const QString name = QString::fromStdString(source.signalName);
        for (const CSignal* s : signalList) {
            if (s->m_name != name)
                continue;
            if (s->m_numBits != 1) {
                error = "signal '" + source.signalName + "' is " + std::to_string(s->m_numBits) +
                        " bits wide; a channel needs a one-bit signal";
                return false;
            }
            out = {s, 0};
            return true;
        }
        error = "there is no signal named '" + source.signalName + "'";
        return false;
    }
    for (const CSignal* s : signalList) {
        const int first = s->m_allBits ? 0 : s->m_firstBit;
        const int width = s->m_allBits ? 32 : std::clamp(s->m_numBits, 0, 32);
        if (first >= 0 && source.bit >= first && source.bit < first + width) {
            out = {s, source.bit - first};
            return true;
        }
    }
    error = "no signal holds bit " + std::to_string(source.bit) + " of the sample word";
    return false;
}

bool BuildDecodeInput(const DecoderStack& stack, const SignalList& signalList, DecodeInput& input, std::string& error)
{
    input = DecodeInput();
    if (stack.decoders.empty()) {
        error = "no decoder";
        return false;
    }
    const auto& channels = stack.decoders.front().channels;
    std::vector<BitSource> sources;
    int64_t count = INT64_MAX;
    for (const auto& [id, source] : channels) {
        BitSource bit;
        if (!ResolveChannel(source, signalList, bit, error)) {
            error = "channel '" + id + "': " + error;
            return false;
        }
        sources.push_back(bit);
        count = std::min<int64_t>(count, std::max(0, bit.signal->m_count));
        input.channelIndex.emplace_back(id, static_cast<int>(input.channelIndex.size()));
    }
    if (sources.empty())
        count = 0;
    input.unitSize = static_cast<unsigned>(std::max<size_t>(1, (sources.size() + 7) / 8));
    input.sampleCount = static_cast<uint64_t>(count);
    input.data.assign(input.sampleCount * input.unitSize, 0);
    const unsigned unit = input.unitSize;
    for (size_t c = 0; c < sources.size(); ++c) {
        const uint32_t* samples = sources[c].signal->m_samples;
        const unsigned shift = static_cast<unsigned>(sources[c].bit);
        uint8_t* out = input.data.data() + c / 8;
        const unsigned outBit = c % 8;
        for (int64_t i = 0; i < count; ++i)
            out[static_cast<size_t>(i) * unit] |= static_cast<uint8_t>(((samples[i] >> shift) & 1u) << outBit);
    }
    return true;
}
