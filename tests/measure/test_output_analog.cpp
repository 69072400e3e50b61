#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "base/Seams.h"
#include "measure/AnalogOutput.h"
#include "measure/OutputOverview.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

using namespace entity;
using Texts = std::vector<std::string>;

class AnalogOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        doc.SetDeviceType(1);  // KVR 300
        for (int c = 0; c < 3; ++c) {
            ParameterRecord& r = doc.Channel(c).record;
            r.SetPhase(InputKind::Voltage, static_cast<int>(phase::kA) + c);
            r.SetPhase(InputKind::Current, static_cast<int>(phase::kA) + c);
        }
    }
    // Output port 1 of channel 0, opened on the given entity with range "20mA".
    AnalogOutputForm Opened(MeasuredEntity e, int source = 0) {
        ParameterRecord& r = doc.Channel(0).record;
        r.SetOutputEntity(1, e);
        r.SetOutputSource(1, source);
        r.SetOutputRange(1, true, 6);
        AnalogOutputForm form(doc, 0, 1);
        form.Open();
        return form;
    }
    // Types the four fields and presses OK.
    bool Ok(AnalogOutputForm& form, const std::string& min, const std::string& max,
            const std::string& outMin = "0 mA", const std::string& outMax = "20 mA") {
        user.messages.clear();
        form.SetMinText(min);
        form.SetMaxText(max);
        form.SetOutMinText(outMin);
        form.SetOutMaxText(outMax);
        return form.Ok();
    }
    Texts Shown() const {
        Texts out;
        for (const auto& m : user.messages) {
            out.push_back(m.title + ": " + m.text);
        }
        return out;
    }
    const ParameterRecord& Record() const { return doc.Channel(0).record; }
    // Output 1's stored minimum and maximum output level.
    std::pair<int, int> Levels() const {
        return {Record().GetLevelMin(1), Record().GetLevelMax(1)};
    }

    CQRLDoc doc;
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
};

TEST_F(AnalogOutputTest, LimitsAndOutputsAreStoredInCounts) {
    AnalogOutputForm form = Opened(kVoltage);
    ASSERT_TRUE(form.Valid());
    EXPECT_EQ(form.EntityLabel(), "Voltage : Not Available / Phase A ");
    // A fresh record's maximum 32767 and output 32767 show as 3277 V and full scale.
    EXPECT_EQ(form.MaxText(), "3.277 kV");
    EXPECT_EQ(form.OutMaxText(), "20 mA");
    EXPECT_EQ(form.ScaleLabels().front(), "20.0 mA");
    // OK without an edit keeps each word exactly, though 3.277 kV would read as 32770.
    ASSERT_TRUE(form.Ok());
    EXPECT_EQ(Record().GetScaleMax(1), 32767);
    EXPECT_EQ(Record().GetLevelMax(1), 1462);

    ASSERT_TRUE(Ok(form, "0 V", "120 V", "4 mA", "20 mA"));
    EXPECT_TRUE(user.messages.empty());
    EXPECT_EQ(Record().GetS16(ParameterRecord::kOutputScaleMin + 2), 0);
    EXPECT_EQ(Record().GetS16(ParameterRecord::kOutputScaleMax + 2), 1200);
    EXPECT_EQ(Levels(), std::pair(292, 1462));  // 4/20 x 1462 = 292.4
    EXPECT_EQ(Record().GetU8(ParameterRecord::kOutputEntity + 1),
              0x80 | 0x60 | EntityCode(kVoltage));

    // 20.1 mA is full scale without a word; 21 mA is refused.
    ASSERT_TRUE(Ok(form, "0 V", "120 V", "0 mA", "20.1 mA"));
    EXPECT_EQ(Record().GetLevelMax(1), 1462);
    EXPECT_FALSE(Ok(form, "0 V", "120 V", "0 mA", "21 mA"));
    EXPECT_EQ(Shown(), Texts{"Overflow Error: Maximum output value out of range. The output "
                             "value must be between -0.020000 and 0.020000"});
    EXPECT_FALSE(Ok(form, "0 V", "120 V", "-21 mA", "20 mA"));
    EXPECT_EQ(Shown(), Texts{"Overflow Error: Minimum output value out of range. The output "
                             "value must be between -0.020000 and 0.020000"});
    EXPECT_EQ(form.FailedField(), AnalogField::OutputMin);

    // Reopened, the form shows what was stored.
    AnalogOutputForm again(doc, 0, 1);
    again.Open();
    EXPECT_EQ(again.MinText(), "0.000 V");
    EXPECT_EQ(again.MaxText(), "120.0 V");
    EXPECT_EQ(again.RangeCode(), 14);
}

TEST_F(AnalogOutputTest, RefusalsComeInOrderWithTheirTexts) {
    AnalogOutputForm form = Opened(kVoltage);
    EXPECT_FALSE(Ok(form, "0 V", "3276.8 V"));
    EXPECT_EQ(Shown(), (Texts{"Overflow Error: Value out of range. The secondary value must be "
                              "between 3276 and -3276",
                              "Input Error: Invalid Maximum value!"}));
    EXPECT_FALSE(Ok(form, "5 W", "3276.8 V"));  // a failed parse: one message only
    EXPECT_EQ(Shown(), Texts{"Input Error: Invalid Minimum value!"});
    EXPECT_FALSE(Ok(form, "100 V", "10 V"));
    EXPECT_EQ(Shown(), Texts{"Input Error: The minimum and maximum values are reversed!"});
    // VT secondary 110 V: at least 1.1 V (11 counts) apart.
    EXPECT_FALSE(Ok(form, "100 V", "101 V"));
    EXPECT_EQ(Shown(), Texts{"Input Error: The maximum and minimum values are too close!\n"
                             "The difference should be at least 1.100 V"});
    EXPECT_TRUE(Ok(form, "100 V", "101.1 V"));
    EXPECT_FALSE(Ok(form, "0 V", "120 V", "10 mA", "10.0 mA"));
    EXPECT_EQ(Shown(), Texts{"Input Error: Output Values must differ"});

    ASSERT_TRUE(form.Change(kCurrent, 0));
    EXPECT_FALSE(Ok(form, "0 A", "33 A"));
    EXPECT_EQ(Shown().front(),
              "Overflow Error: Value out of range. The secondary value must be "
              "between 32 and -32");
    ASSERT_TRUE(form.Change(kFrequency, 0));
    EXPECT_FALSE(Ok(form, "0 Hz", "400 Hz"));
    EXPECT_EQ(Shown().front(),
              "Overflow Error: Value out of range. The secondary value must be "
              "between 327 and -327");
}

TEST_F(AnalogOutputTest, RangesAndTheReservedRange) {
    EXPECT_STREQ(OutputRangeCodeName(1), "Reserved");
    EXPECT_STREQ(OutputRangeCodeName(11), "7.5mA");
    EXPECT_DOUBLE_EQ(OutputFullScale(0), 0.5);
    EXPECT_DOUBLE_EQ(OutputFullScale(3), 3.75);
    EXPECT_DOUBLE_EQ(OutputFullScale(8), 0.001);
    EXPECT_EQ(OutputFullScale(13), 0.0);
    EXPECT_EQ(OutputScaleLabels(13), Texts{"unit setup error!"});
    EXPECT_EQ(OutputScaleLabels(3).size(), 7u);
    EXPECT_EQ(OutputScaleLabels(3)[2], "1 V   ");

    AnalogOutputForm form = Opened(kVoltage);
    ASSERT_TRUE(form.SelectRange(4));  // "5.0V": the outputs are read in volts now
    EXPECT_EQ(form.OutMaxText(), "5.0 V");
    ASSERT_TRUE(Ok(form, "0 V", "120 V", "-5 V", "2.5 V"));
    EXPECT_EQ(Levels(), std::pair(-1462, 731));
    bool current = true;
    int range = 0;
    Record().GetOutputRange(1, current, range);
    EXPECT_FALSE(current);
    EXPECT_EQ(range, 4);
    // A reserved range has no full scale and can never be stored.
    ASSERT_TRUE(form.SelectRange(5));
    EXPECT_FALSE(Ok(form, "0 V", "120 V", "0 V", "1 V"));
    EXPECT_EQ(Shown(), Texts{"Overflow Error: Maximum output value out of range. The output "
                             "value must be between -0.000000 and 0.000000"});
    EXPECT_FALSE(Ok(form, "0 V", "120 V", "0 V", "0 V"));
    EXPECT_EQ(Shown(), Texts{"Input Error: Output Values must differ"});
}

TEST_F(AnalogOutputTest, PrimaryValuesPowerRuleAndChangeDefaults) {
    ParameterRecord& r = doc.Channel(0).record;
    r.SetDirect(InputKind::Voltage, false);
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);  // VT 11 kV : 110 V
    AnalogOutputForm form = Opened(kVoltage);
    form.SetSecondary(false);
    EXPECT_EQ(form.MaxText(), "327.7 kV");
    ASSERT_TRUE(Ok(form, "0 V", "11 kV"));
    EXPECT_EQ(Record().GetScaleMax(1), 1100);

    // Frequency starts at 45 Hz and its nominal 55 Hz; Voltage at 0 V and 110 V.
    ASSERT_TRUE(form.Change(kFrequency, 0));
    EXPECT_EQ(std::pair(form.MinWord(), form.MaxWord()), std::pair(4500, 5500));
    EXPECT_EQ(form.MinText(), "45.00 Hz");
    ASSERT_TRUE(form.Change(kVoltage, 0));
    EXPECT_EQ(std::pair(form.MinWord(), form.MaxWord()), std::pair(0, 1100));
    EXPECT_EQ(form.OutMinText(), "0.0 A");
    EXPECT_EQ(form.OutMaxText(), "20 mA");
    // The chooser's own refusal: an energy is not offered here.
    EXPECT_FALSE(form.Change(kActiveEnergyImport, 0));
    EXPECT_EQ(Shown(), Texts{"KVR View: No Entity"});
    EXPECT_EQ(form.Entity(), kVoltage);

    r.SetRanges(0, 2);
    ASSERT_TRUE(form.Change(kActivePower, 0));
    form.SetSecondary(true);
    ASSERT_TRUE(Ok(form, "0 W", "500 W"));
    EXPECT_EQ(Record().GetS16(ParameterRecord::kOutputScaleMax + 2), 500);
    EXPECT_EQ(Record().GetScaleMax(1), 5000);

    // An invalid entity leaves OK without effect.
    AnalogOutputForm none = Opened(kNone);
    EXPECT_EQ(none.EntityLabel(), "Press 'Change' to select the measured entity.");
    EXPECT_EQ(none.RangeCode(), 14);
    EXPECT_FALSE(none.Ok());
    EXPECT_EQ(none.FailedField(), AnalogField::Entity);
}

TEST_F(AnalogOutputTest, PowerFactorSidesFollowThePhasorsBothWays) {
    const double deg = std::numbers::pi / 180.0;
    AnalogOutputForm form = Opened(kPowerFactor);
    ASSERT_TRUE(form.IsPowerFactor());
    // Minimum lagging (below the axis), maximum leading.
    form.MovePhasor(0, -60 * deg);
    form.MovePhasor(1, 30 * deg);
    EXPECT_EQ(form.MinText(), "0.5000 ");
    EXPECT_EQ(form.MaxText(), "0.8660 ");
    form.SetOutMinText("0 mA");
    form.SetOutMaxText("20 mA");
    ASSERT_TRUE(form.Ok());
    EXPECT_EQ(Record().GetScaleMin(1), 16385);  // 0.5 -> 16384, bit 0 set: lagging
    EXPECT_EQ(Record().GetScaleMax(1), 28376);  // 0.8660 -> 28376, bit 0 clear: leading

    // Reopened, each phasor is back on the side it was stored with.
    AnalogOutputForm again(doc, 0, 1);
    again.Open();
    EXPECT_EQ(again.SideValue(0), -1.0);
    EXPECT_NEAR(again.Phasors().GetAngle(0), -60 * deg, 1e-3);
    EXPECT_NEAR(again.Phasors().GetAngle(1), 30 * deg, 1e-3);
    // Typing keeps the side; with "PF locked" the other phasor mirrors it.
    again.SetPfLocked(true);
    again.FocusLimit(0);
    again.SetMinText("0.7071");
    EXPECT_NEAR(again.Phasors().GetAngle(0), -45 * deg, 1e-4);
    EXPECT_NEAR(again.Phasors().GetAngle(1), 45 * deg, 1e-4);
    EXPECT_EQ(again.MaxText(), "0.7071 ");
    again.MovePhasor(1, -90 * deg);
    EXPECT_NEAR(again.Phasors().GetAngle(0), 90 * deg, 1e-12);
    EXPECT_EQ(again.SideValue(0), 1.0);
    EXPECT_EQ(again.SideValue(1), -1.0);
}

TEST(OutputOverview, RowsFollowTheUnitAndPicksAreWrittenAtOnce) {
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
    CQRLDoc doc;
    doc.OnNewDocument();
    doc.SetDeviceType(0);  // KVR 100: outputs 1 to 4 only
    OutputOverview overview(doc);
    overview.Fill();
    EXPECT_TRUE(overview.RowAt(3).enabled);
    EXPECT_FALSE(overview.RowAt(4).enabled);
    EXPECT_FALSE(overview.Select(4, 2));

    doc.SetDeviceType(1);
    ParameterRecord& r = doc.Channel(2).record;
    r.SetU8(ParameterRecord::kOutputCard + 3, 0x8F);  // RS485, Plus, bits 2 and 3 set
    r.SetU8(ParameterRecord::kOutputCard + 2, 0x0D);  // Analog with bits 2 and 3 set
    overview.Fill();
    EXPECT_EQ(overview.RowAt(11).selection, -1);
    EXPECT_FALSE(overview.RowAt(11).configureEnabled);
    EXPECT_EQ(overview.RowAt(10).selection, 2);
    EXPECT_TRUE(overview.RowAt(10).configureEnabled);
    EXPECT_EQ(r.GetU8(ParameterRecord::kOutputCard + 3), 0x8F);  // opening changes nothing
    EXPECT_EQ(r.GetU8(ParameterRecord::kOutputCard + 2), 0x0D);

    ASSERT_TRUE(overview.Select(5, 5));  // Output 6: "Relay Output (Plus)"
    EXPECT_EQ(doc.Channel(1).record.GetCardType(1), 2);
    EXPECT_TRUE(doc.Channel(1).record.IsPlusCard(1));
    EXPECT_EQ(overview.Configure(5), OutputForm::Relay);
    EXPECT_EQ(overview.Configure(10), OutputForm::Analog);
    ASSERT_TRUE(overview.Select(5, 1));
    EXPECT_FALSE(overview.RowAt(5).configureEnabled);
    EXPECT_EQ(overview.Configure(5), OutputForm::None);
    EXPECT_EQ(overview.Configure(11), OutputForm::None);
    EXPECT_EQ(user.beeps, (std::vector<std::pair<unsigned, unsigned>>{{2000, 100}, {2000, 100}}));
    EXPECT_STREQ(CardTypeEntry(3), "Analog Output (Plus)");
    EXPECT_EQ(OutputCaption(11), "Output 12");
}

}  // namespace
}  // namespace kvr
