// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One decode: a stack of library decoders run over a packed copy of sample
// bits, from the first sample to the last, collecting every annotation.
// Failures (options the decoder rejects, an exception raised inside a
// decoder, no library) come back as a message, never as a crash.

#include <atomic>
#include <cstdint>
#include <string>

#include "decode/annotation_store.h"
#include "decode/decode_input.h"
#include "decode/decoder_stack.h"

struct DecodeJob {
    DecoderStack stack;
    DecodeInput input;
    uint64_t samplerate = 0;   // Hz; 0 when unknown (decoders that need it say so)
};

struct DecodeResult {
    bool ok = false;
    bool cancelled = false;
    std::string error;              // when not ok and not cancelled
    CAnnotationStore annotations;   // what was decoded (also before an error)
};

// Runs the decode to its end, or until `cancel` becomes true (checked between
// blocks of samples). Holds the library lock while it runs.
// `catalog` describes the job's decoders (default: every decoder).
DecodeResult RunDecode(const DecodeJob& job, const std::atomic<bool>* cancel = nullptr,
                       const CDecoderCatalog* catalog = nullptr);

// Samples fed to the library per call; a cancel request waits at most this long.
constexpr uint64_t kDecodeBlockSamples = 65536;
