// Branding from the "Country" setting.
#include <gtest/gtest.h>

#include "document/Branding.h"

namespace kvr {
namespace {

TEST(Branding, IndexFollowsTheCountryText) {
    EXPECT_EQ(BrandingIndex("us"), 1);
    EXPECT_EQ(BrandingIndex("ZA"), 2);  // compared in lower case
    EXPECT_EQ(BrandingIndex("de"), 0);
    EXPECT_EQ(BrandingIndex(""), 0);
}

}  // namespace
}  // namespace kvr
