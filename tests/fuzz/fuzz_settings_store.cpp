// The settings-store parser and writer. Setting one value must read back as set and
// leave every other value of the key as it read before.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Registry.h"
#include "base/Settings.h"
#include "base/Text.h"

namespace {

std::vector<kvr::StoredValue> Others(std::vector<kvr::StoredValue> values) {
    std::erase_if(values, [](const kvr::StoredValue& v) { return kvr::EqualNoCase(v.name, "Fz"); });
    return values;
}

bool Same(const std::vector<kvr::StoredValue>& a, const std::vector<kvr::StoredValue>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].text != b[i].text ||
            a[i].dword != b[i].dword || a[i].bytes != b[i].bytes) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kvr;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const char* key : {kKeyPreferences, "A", "a\\b"}) {
        const auto before = ListStoredValuesInText(text, key);
        const std::string written = SetDwordInText(text, key, "Fz", 0x12345678);
        const auto after = ListStoredValuesInText(written, key);
        bool found = false;
        for (const StoredValue& v : after) {
            found = found || (EqualNoCase(v.name, "Fz") && v.type == StoredType::Dword &&
                              v.dword == 0x12345678);
        }
        if (!found || !Same(Others(before), Others(after))) {
            std::abort();
        }
        // A second write of the same gives the same text: nothing drifts.
        if (SetDwordInText(written, key, "Fz", 0x12345678) != written) {
            std::abort();
        }
    }
    return 0;
}
