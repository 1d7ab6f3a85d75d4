// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Discovery of the cores on the local networks: a one-byte broadcast on every
// local adapter, one record per distinct core that answers.

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

struct DeviceRecord {
    uint32_t coreId = 0;
    std::string address;          // dotted IPv4 text of the reply's sender
    uint16_t port = 0;            // capture port named in the reply
    uint8_t status = 0;           // refreshed by every repeated reply
    std::string adapterAddress;   // adapter whose pass got the first reply; empty when unbound
};

constexpr uint32_t LOGIC_ANALYZER_CORE_ID = 0xFE010111;
constexpr int DISCOVERY_PORT = 4626;

// Returns the local adapter addresses (dotted IPv4 text) to scan.
using AdapterSource = std::function<std::vector<std::string>()>;
// Reports the pass about to run: adapter index (0-based) out of count.
using ScanProgress = std::function<void(int adapterIndex, int adapterCount)>;

// The first IPv4 address of each interface, in the system's interface order,
// loopback included.
std::vector<std::string> SystemAdapterAddresses();

class CDeviceScanner {
public:
    // An empty source means the system's adapters (SystemAdapterAddresses).
    explicit CDeviceScanner(AdapterSource source = {});

    void Scan();
    void RefreshAdapters();
    void ScanAdapter(std::string adapterAddress);
    void HandleReply(const sockaddr_in& sender, const uint8_t* data, size_t length, const std::string& adapterAddress);

    void SetProgressCallback(ScanProgress progress) { m_progress = std::move(progress); }
    // Polled between adapters and during the waits of a pass; when it answers
    // true the scan ends early (used by a capture thread that must exit).
    void SetCancelCheck(std::function<bool()> cancel) { m_cancel = std::move(cancel); }

    // First record of a logic-analyzer core in list order, or null.
    const DeviceRecord* FirstLogicAnalyzer() const;

    std::list<std::unique_ptr<DeviceRecord>> m_devices;
    std::list<std::string> m_adapterAddresses;

private:
    bool Cancelled() const { return m_cancel && m_cancel(); }
    bool PauseMs(int ms) const;   // false when cancelled during the pause

    AdapterSource m_source;
    ScanProgress m_progress;
    std::function<bool()> m_cancel;
};
