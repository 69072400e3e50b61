// The input pages' rules through their plain classes, with the scripted user.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/TransferFixture.h"
#include "document/UnitAddressing.h"
#include "measure/InputPage.h"
#include "support/ScriptedUser.h"
#include "support/TempDir.h"

namespace kvr {
namespace {

using F = InputField;
using Strings = std::vector<std::string>;

class InputPageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        doc.SetDeviceType(static_cast<int>(DeviceType::Kvr300));
    }
    ParameterRecord& Rec(int channel) { return doc.Channel(channel).record; }
    // A page of channel 0 with both inputs on transformers, so the primaries are editable.
    ChannelInputPage TransformerPage(int channel = 0) {
        ChannelInputPage page(doc, channel);
        EXPECT_TRUE(page.SetChecked(F::VoltageDirect, false));
        EXPECT_TRUE(page.SetChecked(F::CurrentDirect, false));
        return page;
    }
    std::string LastShown() const { return user.messages.empty() ? "" : user.messages.back().text; }

    test::IsolatedSettings isolated;
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
    CQRLDoc doc;
    ScopedActiveDocument active{doc};
};

TEST_F(InputPageTest, OpeningShowsTheRecordWithTheHardwareListsAndRules) {
    Rec(1).SetName("");
    Rec(1).SetInputHardware(2);
    Rec(1).SetRanges(3, 2);
    Rec(1).SetPrimary(InputKind::Current, Winding::Secondary, 5.0);
    Rec(1).SetS16(ParameterRecord::kCtPhaseCorrection, -150);
    Rec(1).SetCurrentThreshold(12.5f);
    Rec(1).SetPhase(InputKind::Voltage, 15);  // nibble 0: no selection
    ChannelInputPage page(doc, 1);
    EXPECT_EQ(page.Title(), "Channel 2");
    EXPECT_EQ(Rec(1).GetName(), "Channel 2");  // an empty name takes the title
    EXPECT_EQ(page.Field(F::VoltageRange).items, (Strings{"70 V", "120 V", "290 V", "500 V"}));
    EXPECT_EQ(page.Field(F::VtSecondary).items, page.Field(F::VoltageRange).items);
    EXPECT_EQ(page.Field(F::VoltageRange).selection, 3);
    EXPECT_EQ(page.Field(F::CurrentRange).text, "5.000 A");
    EXPECT_EQ(page.Field(F::VoltagePhase).selection, -1);
    EXPECT_EQ(page.Field(F::CurrentPhase).selection, 0);
    // Ratings with 4 digits; 110.0 V matches no entry and is typed, 5 A selects its entry;
    // coupled directly, the primaries show the secondaries and are disabled.
    EXPECT_EQ(page.Field(F::VtSecondary).text, "110.0 V");
    EXPECT_EQ(page.Field(F::VtSecondary).selection, -1);
    EXPECT_EQ(page.Field(F::CtSecondary).selection, 2);
    EXPECT_EQ(page.Field(F::VtPrimary).text, "110.0 V");
    EXPECT_EQ(page.Field(F::CtPrimary).text, "5.000 A");
    EXPECT_FALSE(page.Field(F::VtPrimary).enabled);
    EXPECT_EQ(page.Field(F::PhaseCorrection).text, "-1.50");
    EXPECT_EQ(page.Field(F::Threshold).text, "12.5");
    EXPECT_FALSE(page.Field(F::Balanced).enabled);  // phase index below 2

    ASSERT_TRUE(page.SetChecked(F::VoltageDirect, false));
    EXPECT_TRUE(page.Field(F::VtPrimary).enabled);
    Rec(0).SetPrimary(InputKind::Voltage, Winding::Primary, 33000.0);
    Rec(0).SetPrimary(InputKind::Current, Winding::Primary, 10.0);
    Rec(0).SetDirect(InputKind::Voltage, false);
    Rec(0).SetDirect(InputKind::Current, false);
    Rec(0).SetInputHardware(7);
    const ChannelInputPage other(doc, 0);
    EXPECT_EQ(other.Field(F::VtPrimary).text, "33.00 kV");
    EXPECT_EQ(other.Field(F::CtPrimary).text, "10.00 A");
    EXPECT_EQ(other.Field(F::VoltageRange).items, Strings{"illegal"});
    EXPECT_EQ(other.Field(F::VoltagePhase).items.size(), 16u);
    EXPECT_EQ(other.Field(F::CurrentPhase).items[13], "Reversed I[ab]");
    EXPECT_EQ(other.Field(F::VoltagePhase).items[13], "Reversed V[ab] ");
}

TEST_F(InputPageTest, RatingsAreStoredRoundedAndRefusedWithThePageTitleFirst) {
    struct Case {
        F field;
        const char* text;
        size_t offset;
        int stored;  // -1: refused with `message`
        const char* message;
    };
    const Case cases[] = {
        {F::VtPrimary, "6553.5 kV", ParameterRecord::kVtPrimary, 65535, ""},
        {F::VtPrimary, "11 kV", ParameterRecord::kVtPrimary, 110, ""},
        {F::VtPrimary, "11.05 kV", ParameterRecord::kVtPrimary, 111, ""},
        {F::VtPrimary, "6553.6 kV", 0, -1,
         "Channel 1 : Invalid Primary Voltage : the maximum permitted value is 6553.5kV"},
        {F::VtPrimary, "kV", 0, -1, "Channel 1 : Invalid Primary Voltage"},
        {F::VtPrimary, "11 KV", 0, -1, "Channel 1 : Invalid Primary Voltage"},
        {F::VtPrimary, "-11 kV", 0, -1, "Channel 1 : Invalid Primary Voltage"},
        {F::VtSecondary, "110", ParameterRecord::kVtSecondary, 1100, ""},
        {F::VtSecondary, "6553.6 V", 0, -1,
         "Channel 1 : Invalid Secondary Voltage : the maximum permitted value is 6553.5V"},
        {F::VtSecondary, "5 A", 0, -1, "Channel 1 : Invalid Secondary Voltage"},
        {F::CtPrimary, "65535 A", ParameterRecord::kCtPrimary, 65535, ""},
        {F::CtPrimary, "65.536 kA", 0, -1,
         "Channel 1 : Invalid Primary Current : the maximum permitted value is 65535.0A"},
        {F::CtPrimary, "", 0, -1, "Channel 1 : Invalid Primary Current"},
        {F::CtSecondary, "5 A", ParameterRecord::kCtSecondary, 5000, ""},
        {F::CtSecondary, "500mA", ParameterRecord::kCtSecondary, 500, ""},
        {F::CtSecondary, "100 A", 0, -1,
         "Channel 1 : Invalid Secondary Current : the maximum permitted value is 65.535A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        user.messages.clear();
        ChannelInputPage page = TransformerPage();
        ASSERT_TRUE(page.SetText(c.field, c.text));
        const ParameterRecord before = Rec(0);
        const bool ok = page.Apply();
        EXPECT_EQ(ok, c.stored >= 0);
        if (ok) {
            EXPECT_EQ(Rec(0).GetU16(c.offset), c.stored);
            EXPECT_TRUE(user.messages.empty());
        } else {
            EXPECT_EQ(Rec(0), before);  // nothing written
            EXPECT_EQ(page.LastMessage(), c.message);
            ASSERT_EQ(user.messages.size(), 1u);
            EXPECT_EQ(user.messages[0].text, c.message);
            EXPECT_EQ(user.messages[0].icon, MsgIcon::None);
        }
    }
}

TEST_F(InputPageTest, PhasesAreCheckedInOrderAndTheLastEntryIsRefused) {
    ChannelInputPage page = TransformerPage();
    // Two faults: the first in Apply's order (the primary voltage) is the one told.
    ASSERT_TRUE(page.SetText(F::VtPrimary, "x"));
    ASSERT_TRUE(page.Select(F::VoltagePhase, -1));
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.LastMessage(), "Channel 1 : Invalid Primary Voltage");
    ASSERT_TRUE(page.SetText(F::VtPrimary, "11 kV"));
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.LastMessage(), "Channel 1 : Invalid Volt Phase");

    // List index 15 would be stored as nibble 0 and come back as no phase at all.
    const ParameterRecord before = Rec(0);
    ASSERT_TRUE(page.Select(F::VoltagePhase, 15));
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.LastMessage(),
              "Channel 1 : Invalid Volt Phase : Reversed V[ca] cannot be stored in the unit");
    ASSERT_TRUE(page.SelectText(F::VoltagePhase, "v[BN]"));
    ASSERT_TRUE(page.SetText(F::CurrentPhase, "Reversed I[ca]"));
    EXPECT_FALSE(page.Apply());
    EXPECT_EQ(page.LastMessage(),
              "Channel 1 : Invalid Current Phase : Reversed I[ca] cannot be stored in the unit");
    EXPECT_EQ(Rec(0), before);
    EXPECT_FALSE(page.SetText(F::CurrentPhase, "I[z]"));  // a fixed list takes its entries

    ASSERT_TRUE(page.Select(F::CurrentPhase, 14));
    EXPECT_TRUE(page.Apply());
    EXPECT_EQ(Rec(0).GetPhase(InputKind::Voltage), 3);
    EXPECT_EQ(Rec(0).GetPhase(InputKind::Current), 14);
    EXPECT_EQ(ChannelInputPage(doc, 0).Field(F::CurrentPhase).text, "Reversed I[bc]");
}

TEST_F(InputPageTest, CorrectionThresholdAndNameAreExchangedWithinTheirBounds) {
    ChannelInputPage page(doc, 0);
    ASSERT_TRUE(page.SetText(F::PhaseCorrection, "-1.234"));
    ASSERT_TRUE(page.SetText(F::Threshold, "25.5"));
    ASSERT_TRUE(page.SetText(F::Name, "Feeder 16 chars!"));
    ASSERT_TRUE(page.Apply());
    EXPECT_EQ(Rec(0).GetS16(ParameterRecord::kCtPhaseCorrection), -122);
    EXPECT_EQ(Rec(0).GetU8(ParameterRecord::kCurrentThreshold), 255);
    EXPECT_EQ(Rec(0).GetName(), "Feeder 16 chars!");

    const struct {
        F field;
        const char* text;
        const char* message;
    } refusals[] = {
        {F::PhaseCorrection, "180.01",
         "Channel 1 : CT Phase Correction must be between -180.00 and 180.00 degrees"},
        {F::PhaseCorrection, "1,5", "Channel 1 : CT Phase Correction must be a number"},
        {F::Threshold, "-0.1",
         "Channel 1 : Current Threshold Percentage must be between 0.0 and 25.5 %"},
        {F::Name, "Seventeen chars!!", "Channel 1 : The name may have at most 16 characters"},
    };
    const ParameterRecord before = Rec(0);
    for (const auto& r : refusals) {
        ChannelInputPage fresh(doc, 0);
        ASSERT_TRUE(fresh.SetText(r.field, r.text));
        EXPECT_FALSE(fresh.Apply());
        EXPECT_EQ(fresh.LastMessage(), r.message);
    }
    EXPECT_EQ(Rec(0), before);
}

TEST_F(InputPageTest, OnlyTheUnitsOwnChannelsAreLiveAndOthersPassUnchecked) {
    doc.SetDeviceType(static_cast<int>(DeviceType::Kvr100));
    Rec(1).SetPhase(InputKind::Voltage, -1);  // a page that would fail its checks
    for (int channel : {1, 2}) {
        ChannelInputPage page(doc, channel);
        EXPECT_FALSE(page.IsLive());
        for (int f = 0; f < kInputFieldCount; ++f) {
            EXPECT_FALSE(page.Field(static_cast<F>(f)).enabled) << f;
        }
        EXPECT_FALSE(page.SetText(F::Name, "x"));
        const ParameterRecord before = Rec(channel);
        EXPECT_TRUE(page.Apply());
        EXPECT_EQ(Rec(channel), before);
    }
    EXPECT_TRUE(ChannelInputPage(doc, 0).IsLive());
    // A KVR 100's file holds no main board record: deriving it modifies nothing savable.
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(DeriveThreePhaseRecord(doc));
    EXPECT_FALSE(doc.IsModified());
    // A KVR 100 at address 2: only the page with that unit address is live.
    ASSERT_TRUE(ApplyKvr100Address(doc, 2));
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_EQ(ChannelInputPage(doc, channel).IsLive(), Rec(channel).GetUnitAddress() == 2);
    }
    EXPECT_EQ(ChannelInputPage(doc, 0).Title(), "Channel 3");
}

TEST_F(InputPageTest, CouplingAndBalancedRulesFollowTheControls) {
    ChannelInputPage page(doc, 0);
    EXPECT_FALSE(page.SetChecked(F::Balanced, true));  // "Not Connected": disabled
    ASSERT_TRUE(page.SelectText(F::VoltagePhase, "V[an]"));
    ASSERT_TRUE(page.SelectText(F::CurrentPhase, "I[a]"));
    ASSERT_TRUE(page.SetChecked(F::Balanced, true));
    ASSERT_TRUE(page.SelectText(F::VoltagePhase, "Independent"));
    EXPECT_FALSE(page.Field(F::Balanced).checked);
    EXPECT_FALSE(page.Field(F::Balanced).enabled);

    ASSERT_TRUE(page.Select(F::CtSecondary, 2));  // coupled: the primary follows
    EXPECT_EQ(page.Field(F::CtPrimary).text, "5.000 A");
    EXPECT_FALSE(page.SetText(F::CtPrimary, "100 A"));
    ASSERT_TRUE(page.SetChecked(F::CurrentDirect, false));
    ASSERT_TRUE(page.SetText(F::CtPrimary, "100 A"));
    ASSERT_TRUE(page.Select(F::CtSecondary, 0));
    EXPECT_EQ(page.Field(F::CtPrimary).text, "100 A");
    ASSERT_TRUE(page.SetText(F::VtSecondary, "63.5 V"));
    EXPECT_EQ(page.Field(F::VtPrimary).text, "63.5 V");
    EXPECT_TRUE(page.Modified());
}

TEST_F(InputPageTest, ApplyMarksTheDocumentModifiedOnlyWhenARecordChanged) {
    ChannelInputPage page(doc, 0);
    doc.SetModifiedFlag(false);
    ASSERT_TRUE(page.Apply());  // the primaries take the secondaries: a change
    EXPECT_TRUE(doc.IsModified());
    doc.SetModifiedFlag(false);
    ASSERT_TRUE(page.Apply());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(page.CalibrateChecks());
    EXPECT_TRUE(user.beeps.empty());
}

TEST_F(InputPageTest, LineToLineReachesEveryChannelRecordAtOnce) {
    InputSheetModel sheet(doc);
    doc.SetModifiedFlag(false);
    sheet.ThreePhase().SetLineToLine(true);
    for (int channel = 0; channel < 3; ++channel) {
        EXPECT_TRUE(Rec(channel).IsLineToLine());
        EXPECT_TRUE(sheet.Page(channel).Modified());
    }
    EXPECT_FALSE(Rec(kMainBoard).IsLineToLine());  // the main board's on Apply
    EXPECT_TRUE(doc.IsModified());
    sheet.Visit(InputSheetModel::kThreePhasePage);
    EXPECT_EQ(sheet.ApplyVisited(), -1);
    EXPECT_TRUE(Rec(kMainBoard).IsLineToLine());

    // Apply stops at the first visited page that refuses; pages not visited are not applied.
    sheet.Visit(1);
    ASSERT_TRUE(sheet.Page(1).SetText(F::Threshold, "99"));
    ASSERT_TRUE(sheet.Page(2).SetText(F::Threshold, "99"));
    EXPECT_EQ(sheet.ApplyVisited(), 1);
    ASSERT_TRUE(sheet.Page(1).SetText(F::Threshold, "9"));
    EXPECT_EQ(sheet.ApplyVisited(), -1);
}

TEST_F(InputPageTest, ThreePhaseRecordIsDerivedWhenTheChannelsAgree) {
    const auto wire = [this] {
        for (int c = 0; c < 3; ++c) {
            Rec(c).SetPhase(InputKind::Voltage, 3 + c);  // V[bn], V[cn], V[ab]
            Rec(c).SetPhase(InputKind::Current, 3 + c);
            Rec(c).SetBalanced(true);
            Rec(c).SetDirect(InputKind::Voltage, true);
            Rec(c).SetDirect(InputKind::Current, true);
            Rec(c).SetPrimary(InputKind::Voltage, Winding::Secondary, 63.5);
            Rec(c).SetPrimary(InputKind::Current, Winding::Secondary, 5.0);
        }
        Rec(kMainBoard).ResetToDefaults(kMainBoard);
    };
    wire();
    doc.SetModifiedFlag(false);
    EXPECT_TRUE(DeriveThreePhaseRecord(doc));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Rec(kMainBoard).GetU16(ParameterRecord::kVtSecondary), 635);
    EXPECT_EQ(Rec(kMainBoard).GetU16(ParameterRecord::kCtSecondary), 5000);
    EXPECT_EQ(Rec(kMainBoard).GetPhase(InputKind::Voltage), 3);
    EXPECT_FALSE(DeriveThreePhaseRecord(doc));  // nothing left to change

    // Each broken condition keeps the ratings; the flags follow all three channels.
    const std::function<void()> breaks[] = {
        [this] { Rec(2).SetPhase(InputKind::Current, 2); },  // a current on phase A
        [this] {
            Rec(1).SetPrimary(InputKind::Voltage, Winding::Secondary, 110.0);
        },                                                        // secondaries differ
        [this] { Rec(0).SetDirect(InputKind::Current, false); },  // one CT
        [this] { Rec(2).SetBalanced(false); },
    };
    for (size_t i = 0; i < std::size(breaks); ++i) {
        SCOPED_TRACE(i);
        wire();
        breaks[i]();
        DeriveThreePhaseRecord(doc);
        EXPECT_EQ(Rec(kMainBoard).GetU16(ParameterRecord::kVtSecondary), 1100);
        EXPECT_EQ(Rec(kMainBoard).GetPhase(InputKind::Voltage), 0);
        EXPECT_EQ(Rec(kMainBoard).IsDirect(InputKind::Current), i != 2);
        EXPECT_EQ(Rec(kMainBoard).IsBalanced(), i != 3);
    }
}

}  // namespace
}  // namespace kvr
