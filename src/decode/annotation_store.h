// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The annotations of one decode, kept compactly: 24 bytes per annotation
// (start and end sample, class, lane, and an offset into one text pool that
// holds each annotation's texts, longest first, as the decoder gave them).
// A lane is one annotation row of one decoder of the stack; every annotation
// class belongs to exactly one lane.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "decode/decoder_catalog.h"

struct Annotation {
    uint64_t start = 0;
    uint64_t end = 0;
    uint32_t text = 0;   // offset of the texts in the pool
    uint16_t cls = 0;    // annotation class of the lane's decoder
    uint16_t lane = 0;   // index into Lanes()
};

struct AnnotationLane {
    int decoder = 0;         // position in the decoder stack
    std::string decoderId;   // "uart"
    std::string id;          // row id, or the class id for a class of its own
    std::string desc;        // "RX data"
};

class CAnnotationStore {
public:
    // Sets up the lanes of a stack of decoders (lowest first): the decoder's
    // annotation rows, then one lane per class that no row lists.
    void SetDecoders(const std::vector<const DecoderInfo*>& stack);

    // Appends an annotation of the stack's decoder `decoder`. `texts` is the
    // decoder's list of texts (longest first), `count` of them.
    void Add(int decoder, uint64_t start, uint64_t end, int cls, const char* const* texts, int count);

    void Clear();

    const std::vector<AnnotationLane>& Lanes() const { return m_lanes; }
    const std::vector<Annotation>& Items() const { return m_items; }   // in the order the decoders gave them
    size_t Size() const { return m_items.size(); }

    // The annotation's texts: TextCount of them, 0 being the longest.
    int TextCount(const Annotation& a) const;
    std::string_view Text(const Annotation& a, int index = 0) const;
    // The class id ("rx-data") and the decoder id of an annotation.
    const std::string& ClassId(const Annotation& a) const;
    const std::string& DecoderId(const Annotation& a) const;

    // Bytes held (for the memory figures).
    size_t MemoryBytes() const;

private:
    struct DecoderClasses {
        std::string id;
        std::vector<std::string> classIds;
        std::vector<uint16_t> laneOfClass;
    };
    std::vector<DecoderClasses> m_decoders;
    std::vector<AnnotationLane> m_lanes;
    std::vector<Annotation> m_items;
    // Per annotation: one byte with the number of texts, then each text ended by a NUL.
    std::string m_pool;
};
