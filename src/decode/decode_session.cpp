// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/decode_session.h"

#include <memory>

#include <libsigrokdecode/libsigrokdecode.h>

#include "decode/srd_runtime.h"

namespace {

struct CallbackContext {
    std::vector<srd_decoder_inst*> instances;   // stack order
    CAnnotationStore* store = nullptr;
};

void OnAnnotation(srd_proto_data* pdata, void* cbData)
{
    auto* ctx = static_cast<CallbackContext*>(cbData);
    if (pdata == nullptr || pdata->pdo == nullptr || pdata->data == nullptr)
        return;
    int decoder = -1;
    for (size_t i = 0; i < ctx->instances.size(); ++i) {
        if (ctx->instances[i] == pdata->pdo->di)
            decoder = static_cast<int>(i);
    }
    const auto* pda = static_cast<const srd_proto_data_annotation*>(pdata->data);
    int count = 0;
    while (pda->ann_text != nullptr && pda->ann_text[count] != nullptr)
        ++count;
    ctx->store->Add(decoder, pdata->start_sample, pdata->end_sample, pda->ann_class, pda->ann_text, count);
}

struct HashDeleter {
    void operator()(GHashTable* h) const { g_hash_table_destroy(h); }
};
using HashPtr = std::unique_ptr<GHashTable, HashDeleter>;

HashPtr NewVariantHash()
{
    return HashPtr(
        g_hash_table_new_full(g_str_hash, g_str_equal, g_free, reinterpret_cast<GDestroyNotify>(g_variant_unref)));
}

GVariant* ToVariant(const DecoderOptionValue& value)
{
    if (const auto* s = std::get_if<std::string>(&value))
        return g_variant_new_string(s->c_str());
    if (const auto* i = std::get_if<int64_t>(&value))
        return g_variant_new_int64(*i);
    return g_variant_new_double(std::get<double>(value));
}

class SessionGuard {
public:
    ~SessionGuard() { Destroy(); }
    void Destroy()
    {
        if (m_session != nullptr)
            srd_session_destroy(m_session);
        m_session = nullptr;
    }
    srd_session* m_session = nullptr;
};

// A failure's message: what failed, and the library's own words when it
// logged any (its decoder threads log an exception while they end, so these
// are read after the session, and with it every thread, is gone).
std::string Failure(const std::string& what, const CSrdErrorCapture& capture, int rc)
{
    std::string text = what;
    const std::string details = capture.Text();
    if (!details.empty())
        text += ": " + details;
    else if (rc != SRD_OK)
        text += std::string(": ") + srd_strerror(rc);
    return text;
}

struct PendingFailure {
    std::string what;
    int rc = SRD_OK;
};

DecodeResult& FinishFailed(DecodeResult& result, SessionGuard& guard, const PendingFailure& failure,
                           const CSrdErrorCapture& capture)
{
    guard.Destroy();
    result.error = Failure(failure.what, capture, failure.rc);
    return result;
}

}   // namespace

DecodeResult RunDecode(const DecodeJob& job, const std::atomic<bool>* cancel, const CDecoderCatalog* decoders)
{
    DecodeResult result;
    const std::string& startError = SrdInitError();
    if (!startError.empty()) {
        result.error = startError;
        return result;
    }
    if (job.stack.decoders.empty()) {
        result.error = "no decoder";
        return result;
    }
    const CDecoderCatalog& catalog = decoders ? *decoders : CDecoderCatalog::Instance();
    std::vector<const DecoderInfo*> infos;
    for (const DecoderSetup& setup : job.stack.decoders) {
        const DecoderInfo* info = catalog.Find(setup.decoderId);
        if (info == nullptr) {
            result.error = "unknown decoder '" + setup.decoderId + "'";
            return result;
        }
        infos.push_back(info);
    }
    result.annotations.SetDecoders(infos);

    auto lock = SrdLock();
    CSrdErrorCapture capture;
    CallbackContext ctx;
    ctx.store = &result.annotations;
    // Every return below destroys the session first, so no decoder thread
    // outlives the context its callback writes into.
    SessionGuard guard;
    PendingFailure failure;
    int rc = srd_session_new(&guard.m_session);
    if (rc != SRD_OK) {
        failure = {"The decode session could not be created", rc};
        return FinishFailed(result, guard, failure, capture);
    }
    for (size_t d = 0; d < job.stack.decoders.size(); ++d) {
        const DecoderSetup& setup = job.stack.decoders[d];
        HashPtr options = NewVariantHash();
        for (const auto& [id, value] : setup.options)
            g_hash_table_insert(options.get(), g_strdup(id.c_str()), g_variant_ref_sink(ToVariant(value)));
        srd_decoder_inst* di = srd_inst_new(guard.m_session, setup.decoderId.c_str(), options.get());
        if (di == nullptr) {
            failure = {"Decoder '" + setup.decoderId + "' rejected its options", SRD_ERR_ARG};
            return FinishFailed(result, guard, failure, capture);
        }
        if (d == 0) {
            HashPtr channels = NewVariantHash();
            for (const auto& [id, index] : job.input.channelIndex)
                g_hash_table_insert(channels.get(), g_strdup(id.c_str()),
                                    g_variant_ref_sink(g_variant_new_int32(index)));
            rc = srd_inst_channel_set_all(di, channels.get());
            if (rc != SRD_OK) {
                failure = {"Decoder '" + setup.decoderId + "' rejected its channels", rc};
                return FinishFailed(result, guard, failure, capture);
            }
        } else {
            rc = srd_inst_stack(guard.m_session, ctx.instances.back(), di);
            if (rc != SRD_OK) {
                failure = {"Decoder '" + setup.decoderId + "' cannot be stacked", rc};
                return FinishFailed(result, guard, failure, capture);
            }
        }
        ctx.instances.push_back(di);
    }
    srd_pd_output_callback_add(guard.m_session, SRD_OUTPUT_ANN, OnAnnotation, &ctx);
    if (job.samplerate > 0) {
        rc = srd_session_metadata_set(guard.m_session, SRD_CONF_SAMPLERATE, g_variant_new_uint64(job.samplerate));
        if (rc != SRD_OK) {
            failure = {"The sample rate was not accepted", rc};
            return FinishFailed(result, guard, failure, capture);
        }
    }
    rc = srd_session_start(guard.m_session);
    if (rc != SRD_OK) {
        failure = {"The decode could not start", rc};
        return FinishFailed(result, guard, failure, capture);
    }
    const uint64_t unit = job.input.unitSize;
    const uint64_t total = job.input.sampleCount;
    if (job.input.data.size() < total * unit) {
        guard.Destroy();
        result.error = "the sample copy is shorter than its sample count";
        return result;
    }
    for (uint64_t start = 0; start < total; start += kDecodeBlockSamples) {
        if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
            guard.Destroy();
            result.cancelled = true;
            return result;
        }
        const uint64_t end = std::min(total, start + kDecodeBlockSamples);
        rc = srd_session_send(guard.m_session, start, end, job.input.data.data() + start * unit, (end - start) * unit,
                              unit);
        if (rc != SRD_OK) {
            failure = {"Decoder error", rc};
            return FinishFailed(result, guard, failure, capture);
        }
    }
    // The library reports some decoder exceptions only through its log.
    guard.Destroy();
    const std::string late = capture.Text();
    if (!late.empty()) {
        result.error = "Decoder error: " + late;
        return result;
    }
    result.ok = true;
    return result;
}
