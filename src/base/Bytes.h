// Little-endian numbers on the wire and in files. Every multi-byte number goes through
// these helpers; structs are never cast onto byte buffers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kvr {

inline uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline int16_t GetS16(const uint8_t* p) {
    return static_cast<int16_t>(GetU16(p));
}
inline uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t GetS32(const uint8_t* p) {
    return static_cast<int32_t>(GetU32(p));
}
inline void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutS16(uint8_t* p, int16_t v) {
    PutU16(p, static_cast<uint16_t>(v));
}
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
    }
}
inline void PutS32(uint8_t* p, int32_t v) {
    PutU32(p, static_cast<uint32_t>(v));
}

// Sum of the bytes modulo 256.
inline uint8_t ByteSum(const uint8_t* p, size_t n) {
    unsigned sum = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += p[i];
    }
    return static_cast<uint8_t>(sum & 0xFF);
}

// The checksum byte that makes the n bytes plus itself sum to 0 modulo 256.
inline uint8_t Checksum(const uint8_t* p, size_t n) {
    return static_cast<uint8_t>((256 - ByteSum(p, n)) & 0xFF);
}

}  // namespace kvr
