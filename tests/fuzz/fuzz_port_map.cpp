// The port map reader and its rewrite: setting or removing one number changes that
// number only.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "link/PortMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    if (size < 1) {
        return 0;
    }
    const int number = data[0] % (kMaxPortNumber + 1);  // 0 is no port: nothing may change
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const auto before = ParsePortOverrides(text);
    for (const std::string device : {"/dev/ttyFUZZ", ""}) {
        auto expected = before;
        if (number >= 1) {
            if (device.empty()) {
                expected.erase(number);
            } else {
                expected[number] = device;
            }
        }
        const std::string edited =
            number >= 1 ? EditPortOverrides(text, number, device) : std::string(text);
        if (ParsePortOverrides(edited) != expected) {
            std::abort();
        }
    }
    return 0;
}
