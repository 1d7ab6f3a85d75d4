// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary discovery replies from arbitrary senders to the scanner's
// reply handling and checks the device list stays a set of distinct cores.
//
// Input: records of [sender's last address byte][adapter choice][length][bytes].

#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "acquisition/device_scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Replies are handled without a scan: no socket is ever opened here.
    CDeviceScanner scanner([] { return std::vector<std::string>{}; });
    static const std::string adapters[] = {"", "127.0.0.1", "192.168.1.10", "10.0.0.5"};
    size_t pos = 0;
    while (size - pos >= 3) {
        sockaddr_in sender{};
        sender.sin_family = AF_INET;
        sender.sin_addr.s_addr = htonl(0xC0A80100u | data[pos]);
        const std::string& adapter = adapters[data[pos + 1] & 3];
        size_t length = data[pos + 2];
        pos += 3;
        if (length > size - pos)
            length = size - pos;
        scanner.HandleReply(sender, data + pos, length, adapter);
        pos += length;
    }
    std::set<std::tuple<uint32_t, uint16_t, std::string>> keys;
    for (const auto& record : scanner.m_devices) {
        if (!keys.insert({record->coreId, record->port, record->address}).second)
            std::abort();
    }
    return 0;
}
