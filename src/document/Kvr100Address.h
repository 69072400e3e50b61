// The addresses a single KVR 100 may answer at, and how the channel objects follow it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kvr {

// A single KVR 100 answers at address 0, 1 or 2.
inline constexpr int kKvr100AddressCount = 3;
inline constexpr const char* kKvr100AddressChoices = "0, 1 or 2";

// The unit addresses of channel objects 0 to 2 for each KVR 100 address: channel object 0
// always handles the unit, and the channel that would otherwise own its address takes 0.
inline constexpr std::array<std::array<uint8_t, 3>, kKvr100AddressCount> kKvr100ChannelAddresses{
    {{0, 1, 2}, {1, 0, 2}, {2, 1, 0}}};

inline bool IsKvr100Address(int address) {
    return address >= 0 && address < kKvr100AddressCount;
}

// "0", "1" or "2" (one digit, nothing else); false leaves address as it was.
inline bool ParseKvr100Address(const std::string& text, int& address) {
    if (text.size() != 1 || !IsKvr100Address(text[0] - '0')) {
        return false;
    }
    address = text[0] - '0';
    return true;
}

}  // namespace kvr
