// The JSON reader of setups: any text is refused or taken, never thrown on; what it takes
// exports and reads back to the same file bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "document/SetupJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SetupImage image;
    std::string error;
    std::vector<std::string> notes;
    if (!SetupFromJson(text, image, error, &notes)) {
        if (error.empty()) {
            std::abort();  // a refusal always says why
        }
        return 0;
    }
    const std::vector<uint8_t> bytes = EncodeSetup(image);
    SetupImage back;
    if (!SetupFromJson(SetupToJson(image), back, error) || EncodeSetup(back) != bytes) {
        std::abort();
    }
    return 0;
}
