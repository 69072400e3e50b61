// Branding from the "Country" setting.
#include <gtest/gtest.h>

#include <fstream>

#include "document/Branding.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

TEST(Branding, IndexFollowsTheCountryText) {
    EXPECT_EQ(BrandingIndex("us"), 1);
    EXPECT_EQ(BrandingIndex("ZA"), 2);  // compared in lower case
    EXPECT_EQ(BrandingIndex("de"), 0);
    EXPECT_EQ(BrandingIndex(""), 0);
}

TEST(Branding, DocumentTextsAndTheSplashDefault) {
    test::IsolatedSettings settings;
    CQRLDoc doc;
    LoadBranding(doc);  // no "QRL.ini": the texts take "us", the splash "za"
    EXPECT_EQ(doc.productTitle, "Corvane KVR View\nVersion 1.22");
    EXPECT_EQ(doc.systemName, "Corvane Velquist");
    EXPECT_EQ(SplashBrandingIndex(), 2);

    std::ofstream(settings.dir.File("QRL.ini")) << "[Country]\nCountry=ZA\n";
    LoadBranding(doc);
    EXPECT_EQ(doc.systemName, "Halvery Velquist");
    EXPECT_FALSE(doc.contactText.empty());

    std::ofstream(settings.dir.File("QRL.ini")) << "[Country]\nCountry=de\n";
    LoadBranding(doc);
    EXPECT_EQ(doc.productTitle, "");
    EXPECT_EQ(doc.streetAddress, "");
    EXPECT_EQ(SplashBrandingIndex(), 0);  // no splash picture at all
}

}  // namespace
}  // namespace kvr
