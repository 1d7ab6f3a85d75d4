#pragma once
// Wire constants of the capture protocol between the client and a core.

#include <cstddef>
#include <cstdint>

namespace capture_protocol {

constexpr uint8_t kRequestTag = 0xE2;       // first byte of every request
constexpr uint8_t kRunRequest = 0xC2;       // continuous capture: sent three times
constexpr uint8_t kTrigNowRequest = 0xC1;   // forced trigger: sent once
constexpr int kRunRequestRepeats = 3;

constexpr uint8_t kFirstPacket = 0xE1;   // opens a capture, always packet index 0
constexpr uint8_t kFurtherPacket = 0xE2;

constexpr size_t kHeaderBytes = 8;
constexpr size_t kPayloadBytes = 1024;
constexpr size_t kDatagramBytes = kHeaderBytes + kPayloadBytes;   // 1032
constexpr size_t kReceiveBufferBytes = 2048;                      // larger datagrams fail the receive

// Largest header exponents we accept: 32-bit samples, 16,777,216 samples
// (64 MiB). Anything larger is treated as a corrupt datagram.
constexpr int kMaxWidthExponent = 2;
constexpr int kMaxDepthExponent = 24;

constexpr int kSocketReceiveBufferBytes = 262140;
constexpr int kReceiveTimeoutMs = 1000;
constexpr int kLoopPauseMs = 10;

}   // namespace capture_protocol
