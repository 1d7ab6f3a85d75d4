// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the last spectrum of a signal was computed from, and its result.

#include <cstdint>

#include "model/spectrum_engine.h"

struct SpectrumInputCache {
    // AveragePower uses input values 0..6143 of its 8192.
    static constexpr int32_t kUsedSamples = CSpectrumEngine::kSize + CSpectrumEngine::kSize / 2;
    static constexpr int32_t kInputLength = CSpectrumEngine::kInputLength;

    bool valid = false;
    int32_t used = 0;
    bool signExtend = false;
    int32_t numBits = 0;
    uint32_t mask = 0;
    double sampleFreq = 0.0;
    uint32_t words[kUsedSamples] = {};
    double spectrum[CSpectrumEngine::kBins] = {};
};
