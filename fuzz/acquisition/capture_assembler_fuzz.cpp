// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary datagram sequences to the capture assembler and checks that
// every capture it hands over lies inside its buffer.
//
// Input: records of one selector byte and 8 header bytes. The selector picks
// the datagram length (mostly the regular 1032 bytes, sometimes short or
// long) and the payload fill; the rest of the input, if any, is one more
// datagram taken as it stands.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "acquisition/capture_assembler.h"

namespace {

size_t LengthFor(uint8_t selector)
{
    switch (selector >> 6) {
    case 2:
        return (static_cast<size_t>(selector & 0x3F) * 1031) / 63;   // 0 .. 1031
    case 3:
        return 1033 + static_cast<size_t>(selector & 0x3F) * 16;   // 1033 .. 2041
    default:
        return 1032;
    }
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void HandOverAndRead(CCaptureAssembler& assembler, CaptureFrame& front)
{
    assembler.HandOver(front);
    Check(front.words != nullptr);
    const int64_t bytes = static_cast<int64_t>(front.bitsPerSample / 8) * front.depth;
    Check(bytes > 0 && bytes <= front.capacityBytes);
    Check(front.triggerPos >= 0);
    // Reading the whole capture, as a view does, must stay in bounds.
    unsigned sum = 0;
    for (int64_t i = 0; i < bytes; ++i)
        sum += front.words[i];
    volatile unsigned sink = sum;
    (void)sink;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CCaptureAssembler assembler;
    CaptureFrame front;
    std::vector<uint8_t> datagram;
    size_t pos = 0;
    while (size - pos >= 9) {
        const uint8_t selector = data[pos];
        datagram.assign(LengthFor(selector), selector);
        // copy_n, not memcpy: an empty datagram has no storage, and memcpy
        // must not be given a null pointer even for zero bytes.
        std::copy_n(data + pos + 1, std::min<size_t>(8, datagram.size()), datagram.begin());
        pos += 9;
        if (assembler.Accept(datagram.data(), datagram.size()) == DatagramOutcome::Complete)
            HandOverAndRead(assembler, front);
        Check(assembler.PacketsCounted() >= 0);
    }
    if (pos < size) {
        if (assembler.Accept(data + pos, size - pos) == DatagramOutcome::Complete)
            HandOverAndRead(assembler, front);
    }
    delete[] front.words;
    return 0;
}
