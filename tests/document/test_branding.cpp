// Branding from the "Country" setting.
#include <gtest/gtest.h>

#include <fstream>

#include "document/Branding.h"
#include "document/QRLDoc.h"
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
    doc.Brand() = LoadBranding();  // no "QRL.ini": the texts take "us", the splash "za"
    EXPECT_EQ(doc.Brand().productTitle, "Corvane KVR View\nVersion 1.22");
    EXPECT_EQ(doc.Brand().systemName, "Corvane Velquist");
    EXPECT_EQ(SplashBrandingIndex(), 2);

    std::ofstream(settings.dir.File("QRL.ini")) << "[Country]\nCountry=ZA\n";
    doc.Brand() = LoadBranding();
    EXPECT_EQ(doc.Brand().systemName, "Halvery Velquist");
    EXPECT_FALSE(doc.Brand().contactText.empty());

    std::ofstream(settings.dir.File("QRL.ini")) << "[Country]\nCountry=de\n";
    doc.Brand() = LoadBranding();
    EXPECT_EQ(doc.Brand().productTitle, "");
    EXPECT_EQ(doc.Brand().streetAddress, "");
    EXPECT_EQ(SplashBrandingIndex(), 0);  // no splash picture at all
}

}  // namespace
}  // namespace kvr
