// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decoder_stack.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos)
            return parts;
        from = at + 1;
    }
}

bool ParseChannel(const std::string& value, ChannelSource& source)
{
    if (value.empty())
        return false;
    if (value[0] != '#') {
        source.signalName = value;
        return true;
    }
    if (value.size() < 2 || value.size() > 3)
        return false;
    int bit = 0;
    for (size_t i = 1; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9')
            return false;
        bit = bit * 10 + (value[i] - '0');
    }
    if (bit > 31)
        return false;
    source.bit = bit;
    return true;
}

bool SameValue(const DecoderOptionValue& a, const DecoderOptionValue& b)
{
    return a == b;
}

// Reads `text` as the type of the option's default.
bool ParseOption(const DecoderOptionInfo& option, const std::string& text, DecoderOptionValue& value, std::string& why)
{
    if (std::holds_alternative<std::string>(option.def)) {
        value = text;
    } else if (std::holds_alternative<int64_t>(option.def)) {
        char* end = nullptr;
        errno = 0;
        const long long v = std::strtoll(text.c_str(), &end, 0);
        if (text.empty() || end == nullptr || *end != '\0' || errno == ERANGE) {
            why = "needs a whole number";
            return false;
        }
        value = static_cast<int64_t>(v);
    } else {
        char* end = nullptr;
        errno = 0;
        const double v = std::strtod(text.c_str(), &end);
        if (text.empty() || end == nullptr || *end != '\0' || errno == ERANGE || !std::isfinite(v)) {
            why = "needs a number";
            return false;
        }
        value = v;
    }
    if (!option.values.empty() &&
        std::none_of(option.values.begin(), option.values.end(),
                     [&](const DecoderOptionValue& allowed) { return SameValue(allowed, value); })) {
        why = "must be one of";
        for (size_t i = 0; i < option.values.size(); ++i)
            why += (i ? ", " : " ") + OptionValueText(option.values[i]);
        return false;
    }
    return true;
}

bool ParsePart(const std::string& part, bool lowest, const CDecoderCatalog& catalog, DecoderSetup& setup,
               std::string& error)
{
    const std::vector<std::string> fields = Split(part, ':');
    setup.decoderId = fields[0];
    if (setup.decoderId.empty()) {
        error = "a decoder name is missing";
        return false;
    }
    const DecoderInfo* dec = catalog.Find(setup.decoderId);
    if (dec == nullptr) {
        error = "unknown decoder '" + setup.decoderId + "'";
        return false;
    }
    std::vector<std::string> seen;
    for (size_t i = 1; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        const size_t eq = field.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "'" + field + "' is not KEY=VALUE (decoder '" + dec->id + "')";
            return false;
        }
        const std::string key = field.substr(0, eq);
        const std::string value = field.substr(eq + 1);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            error = "'" + key + "' is given twice (decoder '" + dec->id + "')";
            return false;
        }
        seen.push_back(key);
        if (dec->FindChannel(key) != nullptr) {
            if (!lowest) {
                error = "decoder '" + dec->id + "' takes the output of the decoder below it, not channel '" + key + "'";
                return false;
            }
            ChannelSource source;
            if (!ParseChannel(value, source)) {
                error = "channel '" + key + "' of decoder '" + dec->id +
                        "' needs the name of a one-bit signal or #N for bit N (0 to 31), not '" + value + "'";
                return false;
            }
            setup.channels.emplace_back(key, source);
        } else if (const DecoderOptionInfo* option = dec->FindOption(key)) {
            DecoderOptionValue parsed;
            std::string why;
            if (!ParseOption(*option, value, parsed, why)) {
                error = "option '" + key + "' of decoder '" + dec->id + "' " + why + ", not '" + value + "'";
                return false;
            }
            setup.options.emplace_back(key, parsed);
        } else {
            error = "decoder '" + dec->id + "' has no channel or option '" + key + "'";
            return false;
        }
    }
    if (lowest) {
        if (!dec->TakesLogic()) {
            error = "decoder '" + dec->id + "' decodes the output of another decoder; put one under it";
            return false;
        }
        for (const DecoderChannelInfo& ch : dec->channels) {
            const bool given = std::any_of(setup.channels.begin(), setup.channels.end(),
                                           [&](const auto& c) { return c.first == ch.id; });
            if (!given) {
                error = "decoder '" + dec->id + "' needs channel '" + ch.id + "' (" + ch.name + ")";
                return false;
            }
        }
        if (setup.channels.empty()) {
            error = "decoder '" + dec->id + "' needs at least one channel";
            return false;
        }
    }
    return true;
}

}   // namespace

bool ParseDecoderLine(const std::string& text, const CDecoderCatalog& catalog, DecoderStack& stack, std::string& error)
{
    stack.decoders.clear();
    if (text.empty()) {
        error = "the decoder line is empty";
        return false;
    }
    DecoderStack parsed;
    const std::vector<std::string> parts = Split(text, ',');
    for (size_t i = 0; i < parts.size(); ++i) {
        DecoderSetup setup;
        if (!ParsePart(parts[i], i == 0, catalog, setup, error))
            return false;
        if (i > 0) {
            const DecoderInfo* lower = catalog.Find(parsed.decoders.back().decoderId);
            const DecoderInfo* upper = catalog.Find(setup.decoderId);
            if (!upper->CanStackOn(*lower)) {
                error = "decoder '" + upper->id + "' cannot decode the output of '" + lower->id + "'";
                return false;
            }
        }
        parsed.decoders.push_back(std::move(setup));
    }
    stack = std::move(parsed);
    return true;
}

std::string FormatDecoderLine(const DecoderStack& stack)
{
    std::string text;
    for (size_t i = 0; i < stack.decoders.size(); ++i) {
        const DecoderSetup& setup = stack.decoders[i];
        if (i)
            text += ',';
        text += setup.decoderId;
        for (const auto& [id, source] : setup.channels)
            text += ":" + id + "=" + (source.bit >= 0 ? "#" + std::to_string(source.bit) : source.signalName);
        for (const auto& [id, value] : setup.options)
            text += ":" + id + "=" + OptionValueText(value);
    }
    return text;
}
