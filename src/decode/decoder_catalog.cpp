// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decoder_catalog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <libsigrokdecode/libsigrokdecode.h>

#include "decode/srd_runtime.h"

namespace {

std::string Str(const char* s)
{
    return s ? std::string(s) : std::string();
}

bool ToOptionValue(GVariant* v, DecoderOptionValue& out)
{
    if (v == nullptr)
        return false;
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_STRING)) {
        out = Str(g_variant_get_string(v, nullptr));
        return true;
    }
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_INT64)) {
        out = static_cast<int64_t>(g_variant_get_int64(v));
        return true;
    }
    if (g_variant_is_of_type(v, G_VARIANT_TYPE_DOUBLE)) {
        out = g_variant_get_double(v);
        return true;
    }
    return false;
}

std::vector<DecoderChannelInfo> Channels(const GSList* list)
{
    std::vector<DecoderChannelInfo> out;
    for (const GSList* l = list; l; l = l->next) {
        const auto* ch = static_cast<const srd_channel*>(l->data);
        out.push_back({Str(ch->id), Str(ch->name), Str(ch->desc)});
    }
    return out;
}

std::vector<std::string> Strings(const GSList* list)
{
    std::vector<std::string> out;
    for (const GSList* l = list; l; l = l->next)
        out.push_back(Str(static_cast<const char*>(l->data)));
    return out;
}

DecoderInfo Describe(const srd_decoder& dec)
{
    DecoderInfo info;
    info.id = Str(dec.id);
    info.name = Str(dec.name);
    info.longname = Str(dec.longname);
    info.desc = Str(dec.desc);
    info.inputs = Strings(dec.inputs);
    info.outputs = Strings(dec.outputs);
    info.channels = Channels(dec.channels);
    info.optChannels = Channels(dec.opt_channels);
    for (const GSList* l = dec.options; l; l = l->next) {
        const auto* o = static_cast<const srd_decoder_option*>(l->data);
        DecoderOptionInfo opt;
        opt.id = Str(o->id);
        opt.desc = Str(o->desc);
        if (!ToOptionValue(o->def, opt.def))
            continue;   // a type the command line cannot express either
        for (const GSList* v = o->values; v; v = v->next) {
            DecoderOptionValue value;
            if (ToOptionValue(static_cast<GVariant*>(v->data), value))
                opt.values.push_back(value);
        }
        info.options.push_back(std::move(opt));
    }
    for (const GSList* l = dec.annotations; l; l = l->next) {
        char** pair = static_cast<char**>(l->data);
        info.annotations.push_back({Str(pair[0]), Str(pair[1])});
    }
    for (const GSList* l = dec.annotation_rows; l; l = l->next) {
        const auto* r = static_cast<const srd_decoder_annotation_row*>(l->data);
        DecoderAnnotationRow row{Str(r->id), Str(r->desc), {}};
        for (const GSList* c = r->ann_classes; c; c = c->next)
            row.classes.push_back(GPOINTER_TO_INT(c->data));
        info.rows.push_back(std::move(row));
    }
    return info;
}

CDecoderCatalog ReadLibrary()
{
    const std::string& error = SrdStartError();
    if (!error.empty())
        return CDecoderCatalog({}, error);
    std::vector<DecoderInfo> decoders;
    auto lock = SrdLock();
    for (const GSList* l = srd_decoder_list(); l; l = l->next)
        decoders.push_back(Describe(*static_cast<const srd_decoder*>(l->data)));
    return CDecoderCatalog(std::move(decoders));
}

}   // namespace

CDecoderCatalog CDecoderCatalog::Load(const std::vector<std::string>& ids)
{
    const std::string& error = SrdInitError();
    if (!error.empty())
        return CDecoderCatalog({}, error);
    std::vector<DecoderInfo> decoders;
    auto lock = SrdLock();
    for (const std::string& id : ids) {
        if (srd_decoder_get_by_id(id.c_str()) == nullptr && srd_decoder_load(id.c_str()) != SRD_OK)
            continue;
        const srd_decoder* dec = srd_decoder_get_by_id(id.c_str());
        if (dec != nullptr &&
            std::none_of(decoders.begin(), decoders.end(), [&](const DecoderInfo& d) { return d.id == id; }))
            decoders.push_back(Describe(*dec));
    }
    // Names the library lacks are not in it: the parser reports them.
    return CDecoderCatalog(std::move(decoders));
}

std::string OptionValueText(const DecoderOptionValue& value)
{
    if (const auto* s = std::get_if<std::string>(&value))
        return *s;
    if (const auto* i = std::get_if<int64_t>(&value))
        return std::to_string(*i);
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", std::get<double>(value));
    // The shortest text that reads back as the same number.
    for (int precision = 1; precision <= 17; ++precision) {
        char shorter[64];
        std::snprintf(shorter, sizeof shorter, "%.*g", precision, std::get<double>(value));
        if (std::strtod(shorter, nullptr) == std::get<double>(value))
            return shorter;
    }
    return text;
}

const DecoderChannelInfo* DecoderInfo::FindChannel(const std::string& channelId) const
{
    for (const auto* list : {&channels, &optChannels}) {
        for (const DecoderChannelInfo& ch : *list) {
            if (ch.id == channelId)
                return &ch;
        }
    }
    return nullptr;
}

const DecoderOptionInfo* DecoderInfo::FindOption(const std::string& optionId) const
{
    for (const DecoderOptionInfo& o : options) {
        if (o.id == optionId)
            return &o;
    }
    return nullptr;
}

bool DecoderInfo::TakesLogic() const
{
    return std::find(inputs.begin(), inputs.end(), "logic") != inputs.end();
}

bool DecoderInfo::CanStackOn(const DecoderInfo& lower) const
{
    for (const std::string& in : inputs) {
        if (in != "logic" && std::find(lower.outputs.begin(), lower.outputs.end(), in) != lower.outputs.end())
            return true;
    }
    return false;
}

const CDecoderCatalog& CDecoderCatalog::Instance()
{
    static const CDecoderCatalog catalog = ReadLibrary();
    return catalog;
}

CDecoderCatalog::CDecoderCatalog(std::vector<DecoderInfo> decoders, std::string error)
    : m_decoders(std::move(decoders)), m_error(std::move(error))
{
    std::sort(m_decoders.begin(), m_decoders.end(),
              [](const DecoderInfo& a, const DecoderInfo& b) { return a.id < b.id; });
    if (m_decoders.empty() && m_error.empty())
        m_error = "No protocol decoders were found.";
}

const DecoderInfo* CDecoderCatalog::Find(const std::string& id) const
{
    auto it = std::lower_bound(m_decoders.begin(), m_decoders.end(), id,
                               [](const DecoderInfo& d, const std::string& key) { return d.id < key; });
    return it != m_decoders.end() && it->id == id ? &*it : nullptr;
}
