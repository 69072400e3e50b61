// KVR Talk frames: command bytes with the unit address folded in, checksummed frames
// and the checks on replies. Pure functions shared by the protocol object and the
// simulated units.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kvr::talk {

// The KVR Talk version this program and the simulated units speak: V1.73.
inline constexpr int kTalkMajor = 1;
inline constexpr int kTalkMinor = 73;
// A KVR 300's main board answers at this address.
inline constexpr uint8_t kMainBoardAddress = 3;

// Command byte bases.
inline constexpr uint8_t kQueryDevice = 0x00;             // | (a & 7)
inline constexpr uint8_t kReadParameters = 0x80;          // | (a & 7)
inline constexpr uint8_t kSetMode = 0x88;                 // | (a & 7), mode byte, ck
inline constexpr uint8_t kWriteParameters = 0xA0;         // | (a & 7), 115 bytes, ck
inline constexpr uint8_t kRestoreFactorySettings = 0xA8;  // | (a & 7), 0x5A, ck
inline constexpr uint8_t kRelayMake = 0x90;               // | (o & 3) << 2 | (a & 3)
inline constexpr uint8_t kRelayBreak = 0xB0;              // | (o & 3) << 2 | (a & 3)
inline constexpr uint8_t kReadValues = 0xC0;              // | (a & 3)
inline constexpr uint8_t kRelayPulse = 0xD0;              // | (o & 3) << 2 | (a & 3)
inline constexpr uint8_t kAttention = 0xE1;
inline constexpr uint8_t kSample = 0xE2;
inline constexpr uint8_t kSampleExtended = 0xE3;
inline constexpr uint8_t kWriteAck = 0xE8;  // | (a & 7), the reply to WriteParameters
inline constexpr uint8_t kWriteDac = 0xF0;  // | (o & 3) << 2 | (a & 3), lo, hi, ck

inline constexpr uint8_t kFactoryKey = 0x5A;
inline constexpr uint8_t kModeUser = 0x10;
inline constexpr uint8_t kModeFactory = 0x11;
inline constexpr uint8_t kModeOutputTest = 0x20;  // | on

inline constexpr size_t kRecordSize = 115;
inline constexpr size_t kRecordReply = kRecordSize + 2;  // echo, record, checksum
inline constexpr size_t kValuesData = 30;
inline constexpr size_t kValuesDataExtended = 42;
inline constexpr size_t kQueryReplyMax = 32;
// The data bytes of a values reply, room for the longer (extended) kind.
using ValuesData = std::array<uint8_t, kValuesDataExtended>;

inline constexpr uint8_t Addr7(unsigned a) {
    return static_cast<uint8_t>(a & 7);
}
inline constexpr uint8_t OutputCmd(uint8_t base, unsigned output, unsigned address) {
    return static_cast<uint8_t>(base | ((output & 3) << 2) | (address & 3));
}

// Appends the checksum byte that makes the frame sum to 0 modulo 256.
void AppendChecksum(std::vector<uint8_t>& frame);
// A command byte followed by its arguments and the checksum.
std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t>& args);
// True when the bytes sum to 0 modulo 256.
bool SumsToZero(const uint8_t* p, size_t n);

// Checks a reply of exactly `expected` bytes: echo of the command byte first, the whole
// frame summing to 0. `received` is what actually arrived (may be short).
bool CheckReply(uint8_t command, const uint8_t* reply, size_t received, size_t expected);

}  // namespace kvr::talk
