#include "sim/SimUnit.h"

#include "link/TalkFrames.h"

namespace kvr::sim {

int CommandAddress(uint8_t c) {
    if (c <= 0x07 || (c >= 0x80 && c <= 0x8F) || (c >= 0xA0 && c <= 0xAF)) {
        return c & 7;
    }
    if ((c >= 0x90 && c <= 0x9F) || (c >= 0xB0 && c <= 0xBF) || (c >= 0xC0 && c <= 0xC3) ||
        (c >= 0xD0 && c <= 0xDF) || c >= 0xF0) {
        return c & 3;
    }
    if (c == talk::kAttention || c == talk::kSample || c == talk::kSampleExtended) {
        return kBroadcast;
    }
    return kNoCommand;
}

size_t TalkFrameLength(std::span<const uint8_t> bytes) {
    const uint8_t c = bytes[0];
    if (c <= 0x07) {
        return 1;  // QueryDevice
    }
    if (c >= 0x80 && c <= 0x87) {
        return 1;  // ReadParameters
    }
    if (c >= 0x88 && c <= 0x8F) {
        if (bytes.size() < 2) {
            return kNeedMore;
        }
        const uint8_t m = bytes[1];
        if (m <= 3) {
            return 7;  // loopback mode with its four test bytes
        }
        if (m == talk::kModeUser || m == talk::kModeFactory || m == talk::kModeOutputTest ||
            m == (talk::kModeOutputTest | 1)) {
            return 3;
        }
        return kNoFrame;
    }
    if ((c >= 0x90 && c <= 0x9F) || (c >= 0xB0 && c <= 0xBF) || (c >= 0xD0 && c <= 0xDF)) {
        return 1;  // relay make, break, pulse
    }
    if (c >= 0xA0 && c <= 0xA7) {
        return talk::kRecordReply;  // WriteParameters: command, record, checksum
    }
    if (c >= 0xA8 && c <= 0xAF) {
        return 3;  // RestoreFactorySettings
    }
    if (c >= 0xC0 && c <= 0xC3) {
        return 1;  // ReadValues
    }
    if (c == talk::kAttention || c == talk::kSample || c == talk::kSampleExtended) {
        return 1;
    }
    if (c >= 0xF0) {
        return 4;  // WriteDac
    }
    return kNoFrame;
}

}  // namespace kvr::sim
