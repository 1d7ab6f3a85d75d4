// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds capture datagrams byte by byte for the tests.

#include <cstdint>
#include <vector>

namespace testing_datagrams {

inline std::vector<uint8_t> Datagram(uint8_t type, uint16_t id, uint16_t index, uint8_t widthExp, uint8_t depthExp,
                                     uint8_t fill, size_t length = 1032)
{
    std::vector<uint8_t> d(length, fill);
    const uint8_t header[8] = {type,
                               0,
                               static_cast<uint8_t>(id >> 8),
                               static_cast<uint8_t>(id),
                               static_cast<uint8_t>(index >> 8),
                               static_cast<uint8_t>(index),
                               widthExp,
                               depthExp};
    for (size_t i = 0; i < 8 && i < length; ++i)
        d[i] = header[i];
    return d;
}

// Payload byte of packet `index` at offset `k`, distinct per capture and packet.
inline uint8_t PayloadByte(uint16_t id, uint16_t index, size_t k)
{
    return static_cast<uint8_t>(id * 31 + index * 7 + k);
}

inline std::vector<uint8_t> Packet(uint16_t id, uint16_t index, uint8_t widthExp = 2, uint8_t depthExp = 12)
{
    auto d = Datagram(index == 0 ? 0xE1 : 0xE2, id, index, widthExp, depthExp, 0);
    for (size_t k = 0; k < 1024; ++k)
        d[8 + k] = PayloadByte(id, index, k);
    return d;
}

}   // namespace testing_datagrams
