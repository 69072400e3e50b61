#include "document/Branding.h"

#include <algorithm>
#include <cctype>

#include "base/IniFile.h"
#include "base/Settings.h"

namespace kvr {

namespace {

struct BrandingTexts {
    const char* productTitle;
    const char* systemName;
    const char* streetAddress;
    const char* postalAddress;
    const char* contactText;
};

// Index 0 leaves everything empty. The address and contact texts are the makers' own.
const BrandingTexts kBrandings[3] = {
    {"", "", "", "", ""},
    {"Corvane KVR View\nVersion 1.22", "Corvane Velquist", "14 Meridian Park, Harlow Road",
     "PO Box 2210, Harlow", "Support: +1 555 0142  support@corvane.example"},
    {"Halvery KVR View\nVersion 1.22", "Halvery Velquist", "8 Sterling Close, Midrand",
     "Private Bag X17, Midrand 1685", "Support: +27 11 555 0190  support@halvery.example"},
};

// The splash picture reads the same key with its own default.
std::string SplashCountry() {
    std::optional<std::string> text = QrlIniString(kSectionCountry, kKeyCountry);
    std::string country = text ? *text : "za";
    if (country.size() > kCountryMaxChars) {
        country.resize(kCountryMaxChars);
    }
    return country;
}

}  // namespace

int BrandingIndex(const std::string& country) {
    std::string lower = country;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.empty()) {
        return 0;  // the empty text occurs at position 0
    }
    const size_t at = std::string("--.us.za").find(lower);
    return at == std::string::npos ? 0 : static_cast<int>(at / 3);
}

int TextBrandingIndex() {
    return BrandingIndex(ReadCountry());
}

int SplashBrandingIndex() {
    return BrandingIndex(SplashCountry());
}

Branding LoadBranding() {
    const BrandingTexts& b = kBrandings[TextBrandingIndex()];
    return Branding{b.productTitle, b.systemName, b.streetAddress, b.postalAddress, b.contactText};
}

}  // namespace kvr
