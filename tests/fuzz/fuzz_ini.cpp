// The INI reader of "QRL.ini": any text, any section and key asked for.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* section : {kSectionKvrView, "Country", ""}) {
        for (const char* key : {kKeyDownloadDelay, "Country", "Monitor Read Interval", ""}) {
            const auto value = FindIniValue(text, section, key);
            if (value && (value->find('\n') != std::string::npos)) {
                std::abort();  // a value is one line
            }
        }
    }
    return 0;
}
