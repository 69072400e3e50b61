#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/TransferFixture.h"
#include "measure/AnalogOutput.h"
#include "measure/OutputOverview.h"
#include "measure/RelayOutput.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

using namespace entity;
using Texts = std::vector<std::string>;

class RelayOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        doc.OnNewDocument();
        doc.SetDeviceType(1);
        for (int c = 0; c < 3; ++c) {
            doc.Channel(c).record.SetPhase(InputKind::Voltage, static_cast<int>(phase::kA) + c);
            doc.Channel(c).record.SetPhase(InputKind::Current, static_cast<int>(phase::kA) + c);
        }
    }
    RelayOutputForm Opened() {
        RelayOutputForm form(doc, 0, 2);
        form.Open();
        return form;
    }
    bool Threshold(RelayOutputForm& form, const std::string& trigger, const std::string& hyst,
                   RelayDirection d = RelayDirection::Rising) {
        user.messages.clear();
        form.SetTriggerText(trigger);
        form.SetHysteresisText(hyst);
        form.SetDirection(d);
        return form.Ok();
    }
    bool Pulse(RelayOutputForm& form, const std::string& power, const std::string& pulses) {
        user.messages.clear();
        form.SetPowerText(power);
        form.SetPulsesText(pulses);
        return form.Ok();
    }
    Texts Shown() const {
        Texts out;
        for (const auto& m : user.messages) {
            out.push_back(m.text);
        }
        return out;
    }
    uint16_t Word(bool reset) const {
        return doc.Channel(0).record.GetU16(
            (reset ? ParameterRecord::kOutputScaleMax : ParameterRecord::kOutputScaleMin) + 4);
    }
    // The stored trigger (or power) word and reset (or pulses) word.
    std::pair<int, int> Words() const { return {Word(false), Word(true)}; }

    CQRLDoc doc;
    test::ScriptedUser user;
    ScopedSeams seam{Seams{.user = &user}};
};

TEST_F(RelayOutputTest, PulseOutputs) {
    RelayOutputForm form = Opened();
    EXPECT_FALSE(form.Valid());
    EXPECT_FALSE(form.Ok());
    EXPECT_EQ(Shown(), Texts{"Select a Valid Entity First"});

    ASSERT_TRUE(form.Change(kActiveEnergyImport, 0));  // nominal 110 W at 100 pulses
    EXPECT_TRUE(form.IsPulseOutput());
    EXPECT_EQ(form.FocusField(), RelayField::Power);
    EXPECT_EQ(form.PowerText(), "110.0 W");
    EXPECT_EQ(form.PulsesText(), "100");
    EXPECT_FALSE(Pulse(form, "1 kW", "3601"));
    EXPECT_EQ(Shown(), Texts{"The pulses setting is out of range!"});
    EXPECT_EQ(form.PulsesText(), "100");  // the previous value again
    EXPECT_EQ(form.FailedField(), RelayField::Pulses);
    EXPECT_FALSE(Pulse(form, "1 kW", "0"));
    EXPECT_FALSE(Pulse(form, "0 W", "10"));
    EXPECT_EQ(Shown(), Texts{"The power setting is illegal!"});
    EXPECT_FALSE(Pulse(form, "4 kW", "10"));
    EXPECT_EQ(Shown(), Texts{"The power setting is out of range!"});

    ASSERT_TRUE(Pulse(form, "1 kW", "1000"));
    EXPECT_EQ(Words(), std::pair(10000, 1000));  // Active Power counts
    EXPECT_EQ(doc.Channel(0).record.GetLevelMax(2), 0);
    // From one energy to another the settings stay.
    ASSERT_TRUE(form.Change(kActiveEnergyExport, 0));
    EXPECT_EQ(form.PowerText(), "1.000 kW");
    EXPECT_EQ(form.PulsesText(), "1000");

    // A power shown rounded past the limit still keeps its stored counts on OK.
    SetRelayWord(doc.Channel(0).record, 2, false, 32767);
    RelayOutputForm stored = Opened();
    EXPECT_EQ(stored.PowerText(), "3.277 kW");
    ASSERT_TRUE(stored.Ok());
    EXPECT_EQ(Word(false), 32767);
}

TEST_F(RelayOutputTest, ThresholdOutputs) {
    RelayOutputForm form = Opened();
    ASSERT_TRUE(form.Change(kVoltage, 0));
    EXPECT_EQ(form.FocusField(), RelayField::Trigger);
    EXPECT_EQ(form.TriggerText(), "110.0 V");
    EXPECT_EQ(form.HysteresisText(), "5.00%");

    ASSERT_TRUE(Threshold(form, "120 V", "5%"));
    EXPECT_EQ(Words(), std::pair(1200, 1140));
    RelayOutputForm rising = Opened();
    EXPECT_EQ(rising.HysteresisText(), "5.00%");
    EXPECT_EQ(rising.Direction(), RelayDirection::Rising);
    ASSERT_TRUE(Threshold(form, "120 V", "5 %", RelayDirection::Falling));
    EXPECT_EQ(Word(true), 1260);
    EXPECT_EQ(Opened().Direction(), RelayDirection::Falling);

    // Checks in order: the first failure is the only message.
    EXPECT_FALSE(Threshold(form, "120 A", "5"));
    EXPECT_EQ(Shown(), Texts{"The trigger level is illegal!"});
    EXPECT_FALSE(Threshold(form, "120 V", "5"));
    EXPECT_EQ(Shown(), Texts{"The hysteresis setting is illegal or out of range!"});
    EXPECT_EQ(form.FailedField(), RelayField::Hysteresis);
    EXPECT_FALSE(Threshold(form, "120 V", "101%"));
    EXPECT_EQ(Shown(), Texts{"The hysteresis setting is illegal or out of range!"});
    EXPECT_FALSE(Threshold(form, "-1 V", "5%"));
    EXPECT_EQ(Shown(), Texts{"The trigger level is out of range!"});
    EXPECT_FALSE(Threshold(form, "6 kV", "100%", RelayDirection::Falling));
    EXPECT_EQ(Shown(), Texts{"The hysteresis setting is out of range!"});
    EXPECT_EQ(Words(), std::pair(1200, 1260));  // nothing written

    // A new entity gets its nominal trigger and a reset 5 % below.
    ASSERT_TRUE(form.Change(kFrequency, 0));
    ASSERT_TRUE(form.Ok());
    EXPECT_EQ(Words(), std::pair(5500, 5225));

    // Levels above 32767 counts are kept whole.
    ASSERT_TRUE(form.Change(kCycleCurrentMax, 0));
    ASSERT_TRUE(Threshold(form, "50 A", "10%"));
    EXPECT_EQ(Words(), std::pair(50000, 45000));
    EXPECT_EQ(Opened().TriggerText(), "50.00 A");
}

TEST_F(RelayOutputTest, PrimaryValuesPowerRuleAndPowerFactor) {
    ParameterRecord& r = doc.Channel(0).record;
    r.SetDirect(InputKind::Voltage, false);
    r.SetPrimary(InputKind::Voltage, Winding::Primary, 11000);  // VT 11 kV : 110 V
    RelayOutputForm form = Opened();
    ASSERT_TRUE(form.Change(kVoltage, 0));
    ASSERT_TRUE(form.SetSecondary(false));
    EXPECT_EQ(form.TriggerText(), "11.00 kV");
    ASSERT_TRUE(Threshold(form, "13.2 kV", "5%"));
    EXPECT_EQ(Word(false), 1320);

    r.SetRanges(0, 1);  // power words are stored divided by 10
    ASSERT_TRUE(form.Change(kActivePower, 0));
    ASSERT_TRUE(form.SetSecondary(true));
    EXPECT_EQ(form.TriggerText(), "110.0 W");
    ASSERT_TRUE(Threshold(form, "1 kW", "10%"));
    EXPECT_EQ(Words(), std::pair(1000, 900));
    EXPECT_EQ(Opened().TriggerText(), "1.000 kW");

    ASSERT_TRUE(form.Change(kPowerFactor, 0));
    form.SetTriggerText("0.5");
    EXPECT_NEAR(form.Phasor().GetPowerFactor(0), 0.5, 1e-12);
    ASSERT_TRUE(form.Phasor().SetAngle(0, 0.0));
    form.PhasorMoved();
    EXPECT_EQ(form.TriggerText(), "1.000 ");
}

}  // namespace
}  // namespace kvr
