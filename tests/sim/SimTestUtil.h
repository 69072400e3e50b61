// Helpers for the simulator's tests: frames in, reply bytes out.
#pragma once

#include <cstdint>
#include <vector>

#include "base/Bytes.h"
#include "link/TalkFrames.h"
#include "sim/SimUnits.h"

namespace kvr::sim::test {

using Bytes = std::vector<uint8_t>;

// Feeds the bytes and gives every reply byte, in order.
inline Bytes Feed(SimUnits& units, const Bytes& in) {
    Bytes out;
    for (const Reply& r : units.Receive(in.data(), in.size())) {
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    return out;
}

inline Bytes WriteFrame(uint8_t address, const ParameterRecord& record) {
    Bytes args(record.Bytes().begin(), record.Bytes().end());
    return talk::Frame(static_cast<uint8_t>(talk::kWriteParameters | address), args);
}

inline ParameterRecord RecordOf(SimUnits& units, int address) {
    std::lock_guard<std::mutex> lock(units.Mutex());
    return units.Board(address)->record;
}

// The raw numbers of a values reply's data block.
struct RawValues {
    uint16_t counter = 0;
    uint16_t mask = 0;
    int v = 0, i = 0, p = 0, s = 0, q = 0, pf = 0, f = 0;
    int64_t ep = 0, es = 0, eq = 0;
};

inline RawValues DecodeValues(const Bytes& reply) {
    if (reply.size() < 32) {
        return {};
    }
    const uint8_t* d = reply.data() + 1;
    return {GetU16(d),      GetU16(d + 2),  GetS16(d + 4),  GetS16(d + 6),
            GetS16(d + 8),  GetS16(d + 10), GetS16(d + 12), GetS16(d + 14),
            GetS16(d + 16), GetS32(d + 18), GetS32(d + 22), GetS32(d + 26)};
}

// Samples every board and reads one board's values.
inline RawValues SampleAndRead(SimUnits& units, int address) {
    Feed(units, {talk::kSampleExtended});
    return DecodeValues(Feed(units, {static_cast<uint8_t>(talk::kReadValues | address)}));
}

}  // namespace kvr::sim::test
