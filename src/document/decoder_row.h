// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A protocol decoder row of a document: what to decode (its decoder
// line, "uart:rx=#9:baudrate=62500") and how the row is shown.
// Plain settings only: the decoding itself lives above the document.

#include <cstdint>
#include <string>

#include <QString>

struct CDecoderRowConfig {
    QString name;              // shown in the name column
    std::string decoderLine;   // DECODER:KEY=VALUE[:KEY=VALUE...][,DECODER...]
    uint64_t samplerate = 0;   // Hz; 0: the document's
    bool selected = false;

    bool operator==(const CDecoderRowConfig&) const = default;
};
