// The setup-file decoder. What it loads must write back as a file that loads to the same
// configuration, and survive the trip through JSON byte for byte.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "document/SetupFile.h"
#include "document/SetupJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    SetupImage image;
    SetupReadInfo info;
    if (DecodeSetup(data, size, image, &info) != SetupStatus::Loaded) {
        return 0;
    }
    const std::vector<uint8_t> bytes = EncodeSetup(image);
    SetupImage again;
    if (DecodeSetup(bytes.data(), bytes.size(), again) != SetupStatus::Loaded ||
        EncodeSetup(again) != bytes) {
        std::abort();
    }
    // The JSON reader takes only records with a valid signature (a mistyped raw record is
    // refused); a file may hold others, and its JSON then says why it will not come back.
    bool valid = true;
    for (size_t b = 0; b < std::min<size_t>(image.channelCount, kSetupMaxChannels); ++b) {
        valid = valid && image.records[b].IsValid();
    }
    SetupImage fromJson;
    std::string error;
    const bool taken = SetupFromJson(SetupToJson(image), fromJson, error);
    if (valid ? !taken || EncodeSetup(fromJson) != bytes
              : taken || error.find("signature") == std::string::npos) {
        std::abort();
    }
    return 0;
}
