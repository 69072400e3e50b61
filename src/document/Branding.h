// The company branding chosen by "Country" in "QRL.ini".
#pragma once

#include <string>

#include "document/QRLDoc.h"

namespace kvr {

// The branding index of a country text: the position of its first occurrence (lower
// case) in "--.us.za" divided by 3; 0 when it does not occur. "us" gives 1, "za" 2.
int BrandingIndex(const std::string& country);
// The index of the texts (key default "us") and of the splash picture (default "za").
int TextBrandingIndex();
int SplashBrandingIndex();
// Fills the document's five branding strings from the country setting.
void LoadBranding(CQRLDoc& doc);

}  // namespace kvr
