// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A simulated logic-analyzer core: answers discovery requests and sends one
// capture per capture request, with a live test pattern and optional faults.
// No global state: several simulators can run in one process.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace coresim {

struct CoreOptions {
    std::string address = "127.0.0.1";   // local address of both sockets' traffic
    int discoveryPort = 4626;            // 0 = no discovery
    int capturePort = 0;                 // 0 = ephemeral
    uint32_t coreId = 0xFE010111;
    int widthExponent = 2;    // bits per sample = 8 << widthExponent
    int depthExponent = 12;   // samples = 1 << depthExponent
    uint8_t status = 1;       // status byte of the discovery reply

    // Faults. Datagram indexes count the datagrams of one capture from 0 (the
    // first packet). They apply to every capture unless faultCaptures limits
    // them to the first N captures.
    std::set<int> dropIndexes;        // never sent
    std::set<int> duplicateIndexes;   // sent twice in a row
    std::set<int> reorderIndexes;     // sent after the datagram that follows it
    std::set<int> delayIndexes;       // sent after a pause of delayMs
    int delayMs = 50;
    bool loseFirstPacket = false;   // the first packet is never sent
    std::set<int> shortIndexes;     // sent cut to shortLength bytes
    int shortLength = 100;
    std::set<int> oversizedIndexes;   // sent padded to oversizedLength bytes
    int oversizedLength = 4096;
    int latePackets = 0;        // further packets of the previous capture ...
    int lateBeforeIndex = 0;    // ... sent before this datagram of the new capture
    int faultCaptures = -1;     // -1: faults on every capture
    double bitsPerSecond = 0;   // pacing of the datagrams; 0 = as fast as possible
};

// The test pattern: sample word `index` of capture `captureId`.
//   bit 0        clock, toggles every sample
//   bits 1-8     8-bit bus, steps every 16 samples, offset by the capture id
//   bit 9        UART line, 8N1 at 16 samples per bit, repeating "Vexlar\r\n"
//   bit 10       strobe, high on every 256th sample
//   bits 12-23   12-bit sine, 8 periods per 4096 samples, phase moving per capture
//   bits 24-31   8-bit sample counter
uint32_t PatternWord(uint16_t captureId, uint32_t index);

class CoreSimulator {
public:
    explicit CoreSimulator(CoreOptions options);
    ~CoreSimulator();
    CoreSimulator(const CoreSimulator&) = delete;
    CoreSimulator& operator=(const CoreSimulator&) = delete;

    // Binds the sockets and starts the worker thread. False (with nothing
    // left running) when a socket cannot be set up.
    bool Start();
    // Ends the worker thread promptly, also in the middle of a capture.
    void Stop();

    int CapturePort() const { return m_capturePort; }
    int DiscoveryPort() const { return m_discoveryPort; }
    uint32_t CapturesSent() const { return m_capturesSent.load(); }
    uint32_t RequestsAccepted() const { return m_requestsAccepted.load(); }
    uint32_t RequestsIgnored() const { return m_requestsIgnored.load(); }
    uint32_t DiscoveryReplies() const { return m_discoveryReplies.load(); }
    // UDP port of the client whose request the last capture answered (0 before one).
    int LastClientPort() const { return m_lastClientPort.load(); }
    // Bits put on the wire by complete captures and the time spent sending
    // them: the pacing actually achieved.
    double CaptureBitsSent() const { return m_captureBits.load(); }
    double CaptureSendSeconds() const { return m_captureSendSeconds.load(); }
    const std::string& LastError() const { return m_error; }

private:
    void Loop();
    void AnswerDiscovery();
    void ServeRequest();
    void SendCapture(const void* client);
    bool WaitUntilOrStop(int64_t deadlineNs);

    CoreOptions m_options;
    int m_captureSocket = -1;
    int m_discoverySocket = -1;
    int m_wakeFd = -1;
    int m_interfaceIndex = 0;   // interface owning the address; 0 = any
    int m_capturePort = 0;
    int m_discoveryPort = 0;
    std::string m_error;

    std::atomic<bool> m_stop{false};
    std::atomic<uint32_t> m_capturesSent{0};
    std::atomic<uint32_t> m_requestsAccepted{0};
    std::atomic<uint32_t> m_requestsIgnored{0};
    std::atomic<uint32_t> m_discoveryReplies{0};
    std::atomic<int> m_lastClientPort{0};
    std::atomic<double> m_captureBits{0};
    std::atomic<double> m_captureSendSeconds{0};

    std::vector<uint8_t> m_captureBytes;   // the capture being sent
    std::vector<uint8_t> m_train;          // its datagrams as they leave
    uint16_t m_nextCaptureId = 1;
    int64_t m_lastAcceptNs = 0;   // arrival of the last accepted request
    int m_copiesExpected = 0;     // copies of the last run request not yet seen
    int64_t m_sendEndNs = 0;      // end of the last capture sent
    std::mutex m_startLock;
    std::thread m_thread;
};

}   // namespace coresim
