// The company branding chosen by "Country" in "QRL.ini".
#pragma once

#include <string>

namespace kvr {

// The maker's texts the program shows (title bar, About box).
struct Branding {
    std::string productTitle;
    std::string systemName;
    std::string streetAddress;
    std::string postalAddress;
    std::string contactText;
};

// The branding index of a country text: the position of its first occurrence (lower
// case) in "--.us.za" divided by 3; 0 when it does not occur. "us" gives 1, "za" 2.
int BrandingIndex(const std::string& country);
// The index of the texts (key default "us") and of the splash picture (default "za").
int TextBrandingIndex();
int SplashBrandingIndex();
// The five branding texts of the country setting.
Branding LoadBranding();

}  // namespace kvr
