// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the protocol decoder library offers: every decoder with its channels,
// options (with defaults and allowed values), annotation classes and
// annotation rows, copied out of the library once into plain records so that
// dialogs and parsers read them without touching the library.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// An option value has the type of the option's default: text, integer or
// floating point.
using DecoderOptionValue = std::variant<std::string, int64_t, double>;

std::string OptionValueText(const DecoderOptionValue& value);

struct DecoderChannelInfo {
    std::string id;
    std::string name;
    std::string desc;
};

struct DecoderOptionInfo {
    std::string id;
    std::string desc;
    DecoderOptionValue def;
    std::vector<DecoderOptionValue> values;   // empty: any value of the type
};

struct DecoderAnnotationClass {
    std::string id;
    std::string desc;
};

struct DecoderAnnotationRow {
    std::string id;
    std::string desc;
    std::vector<int> classes;   // indices into the decoder's annotation classes
};

struct DecoderInfo {
    std::string id;
    std::string name;
    std::string longname;
    std::string desc;
    std::vector<std::string> inputs;               // "logic" for decoders of sampled signals
    std::vector<std::string> outputs;              // what a decoder stacked on this one can take
    std::vector<DecoderChannelInfo> channels;      // required
    std::vector<DecoderChannelInfo> optChannels;   // optional
    std::vector<DecoderOptionInfo> options;
    std::vector<DecoderAnnotationClass> annotations;
    std::vector<DecoderAnnotationRow> rows;

    const DecoderChannelInfo* FindChannel(const std::string& channelId) const;
    const DecoderOptionInfo* FindOption(const std::string& optionId) const;
    // True when the decoder reads sampled signals (not another decoder's output).
    bool TakesLogic() const;
    // True when this decoder can be stacked on `lower`.
    bool CanStackOn(const DecoderInfo& lower) const;
};

class CDecoderCatalog {
public:
    // The decoders of the process's library, read on first use.
    static const CDecoderCatalog& Instance();
    // Only the named decoders, loaded on their own (a headless decode starts
    // faster without the other hundred); names the library lacks are left out.
    static CDecoderCatalog Load(const std::vector<std::string>& ids);

    // A catalogue of the given decoders (for tests of code that only reads it).
    explicit CDecoderCatalog(std::vector<DecoderInfo> decoders, std::string error = {});

    const std::vector<DecoderInfo>& Decoders() const { return m_decoders; }   // sorted by id
    const DecoderInfo* Find(const std::string& id) const;
    // Why the catalogue is empty (library missing or no decoder found).
    const std::string& Error() const { return m_error; }

private:
    std::vector<DecoderInfo> m_decoders;
    std::string m_error;
};
