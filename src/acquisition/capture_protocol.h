// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Wire constants of the capture protocol between the client and a core, and
// the limits the client puts on what it accepts.

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
constexpr size_t kReceiveBufferBytes = 2048;                      // larger datagrams are ignored as too long

// The largest capture the link accepts: this many samples of at most 32 bits
// (64 MiB in 65536 datagrams, the most a 16-bit packet index can number).
// Headers announcing more are ignored as corrupt; the socket's receive buffer
// is sized from it.
constexpr int32_t kMaxCaptureDepth = int32_t{1} << 24;
constexpr int kMaxWidthExponent = 2;   // 8 << 2 = 32-bit samples
constexpr int64_t kMaxCaptureBytes = int64_t{kMaxCaptureDepth} * ((8 << kMaxWidthExponent) / 8);

// The socket receive buffer the link asks for: room for the largest capture,
// so that a capture sent at wire rate waits in the kernel rather than being
// dropped while the capture thread is not scheduled. Kept at a sane cap in
// case the largest depth ever grows.
constexpr int64_t kReceiveBufferCapBytes = int64_t{64} * 1024 * 1024;
constexpr int kSocketReceiveBufferRequest =
    static_cast<int>(kMaxCaptureBytes < kReceiveBufferCapBytes ? kMaxCaptureBytes : kReceiveBufferCapBytes);

constexpr int kReceiveTimeoutMs = 1000;   // a capture without progress for this long is abandoned
constexpr int kLoopPauseMs = 10;          // pause between a hand-over or time-out and the next request

}   // namespace capture_protocol
