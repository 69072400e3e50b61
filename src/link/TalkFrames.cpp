#include "link/TalkFrames.h"

#include "base/Bytes.h"

namespace kvr::talk {

void AppendChecksum(std::vector<uint8_t>& frame) {
    frame.push_back(Checksum(frame.data(), frame.size()));
}

std::vector<uint8_t> Frame(uint8_t command, const std::vector<uint8_t>& args) {
    std::vector<uint8_t> frame;
    frame.reserve(args.size() + 2);
    frame.push_back(command);
    frame.insert(frame.end(), args.begin(), args.end());
    AppendChecksum(frame);
    return frame;
}

bool SumsToZero(const uint8_t* p, size_t n) {
    return ByteSum(p, n) == 0;
}

bool CheckReply(uint8_t command, const uint8_t* reply, size_t received, size_t expected) {
    if (expected == 0 || received < expected) {
        return false;
    }
    return reply[0] == command && SumsToZero(reply, expected);
}

}  // namespace kvr::talk
