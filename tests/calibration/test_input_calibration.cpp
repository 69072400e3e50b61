// The input calibration against simulated boards with true inputs set, on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Settings.h"
#include "calibration/CalibrationFixture.h"
#include "calibration/InputCalibration.h"
#include "link/TalkFrames.h"

namespace kvr {
namespace {

using test::CalibrationTest;

class InputCalibrationTest : public CalibrationTest {
  protected:
    // The true inputs of channels 0 to 2.
    void Bench(double volts, double amps) {
        for (int a = 0; a < 3; ++a) {
            Unit(a).trueVolts = volts;
            Unit(a).trueAmps = amps;
        }
    }
    // The same references typed for every channel of the form.
    void References(InputCalibration& cal, const std::string& v, const std::string& i) {
        for (int c = cal.First(); c <= cal.Last(); ++c) {
            ASSERT_TRUE(cal.SetReferenceText(c, false, v));
            ASSERT_TRUE(cal.SetReferenceText(c, true, i));
        }
    }
    const ParameterRecord& Record(int c) { return doc.Channel(c).record; }
};

TEST_F(InputCalibrationTest, OpensOnNominalThenOnTheStoredReferences) {
    doc.Channel(1).record.SetPrimary(InputKind::Voltage, Winding::Secondary, 63.5);
    {
        InputCalibration cal(doc, 0, 2);
        ASSERT_TRUE(cal.Open());
        EXPECT_EQ(cal.Preset(false), static_cast<int>(InputPreset::Nominal));
        EXPECT_EQ(cal.ReferenceText(0, false), "110.0 V");
        EXPECT_EQ(cal.ReferenceText(1, false), "63.50 V");
        EXPECT_EQ(cal.ReferenceText(2, true), "5.000 A");
        ASSERT_TRUE(cal.SelectPreset(true, static_cast<int>(InputPreset::Minus20)));
        EXPECT_EQ(cal.ReferenceText(1, true), "4.000 A");
        EXPECT_FALSE(cal.ApplyPresetText(false, "11 banana"));
        ASSERT_TRUE(cal.ApplyPresetText(false, "0.1 kV"));
        EXPECT_EQ(cal.ReferenceText(2, false), "100.0 V");
        Bench(100, 4);
        ASSERT_TRUE(cal.Run());
    }
    CalibrationPrefs prefs;
    ASSERT_TRUE(ReadCalibrationPrefs(prefs));
    EXPECT_EQ(prefs[0] + prefs[1], "100.0 V4.000 A");

    // Channel 2 alone: only its fields are live, and both lists open on "Previous".
    InputCalibration one(doc, 1, 1);
    ASSERT_TRUE(one.Open());
    EXPECT_EQ(one.Preset(true), static_cast<int>(InputPreset::Previous));
    EXPECT_FALSE(one.SetReferenceText(0, false, "1 V"));
    EXPECT_EQ(one.ReferenceText(1, true), "4.000 A");

    int first = -1, last = -1;
    InputCalibration::AllInputsRange(doc, first, last);
    EXPECT_EQ(last, 2);
    Start(sim::UnitKind::Kvr100);
    InputCalibration::AllInputsRange(doc, first, last);
    EXPECT_EQ(first + last, 0);  // a KVR 100: channel 1 alone
}

TEST_F(InputCalibrationTest, ReferenceOverAverageIsAppliedAndThirtyPercentIsNotAsked) {
    Bench(100, 3.5);
    InputCalibration cal(doc, 0, 2);
    ASSERT_TRUE(cal.Open());
    References(cal, "110 V", "5 A");  // +10 %, and exactly 30 % for the current
    const uint64_t before = clock.SleptMs();
    ASSERT_TRUE(cal.Run());
    EXPECT_EQ(cal.Progress(), 30);
    EXPECT_EQ(cal.Note(), kInputCalDoneNote);
    EXPECT_EQ(std::count(user.busyTexts.begin(), user.busyTexts.end(), kSamplingBusyText), 1);
    EXPECT_EQ(user.busyDepth, 0);
    // The Attention pause and 29 pauses of 500 to 1500 ms.
    const uint64_t slept = clock.SleptMs() - before;
    EXPECT_GE(slept, 1000u + 29 * 500);
    EXPECT_LE(slept, 1000u + 29 * 1500 + 2000);  // and the line's own reply times
    EXPECT_DOUBLE_EQ(cal.Average(2, false), 100.0);

    EXPECT_EQ(cal.Save(), SaveResult::Applied);
    EXPECT_TRUE(user.messages.empty());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Record(c).GetVoltageGain(), 4506);  // 4096 x 1.1
        EXPECT_EQ(Record(c).GetCurrentGain(), 5851);  // 4096 x 5 / 3.5
        EXPECT_EQ(Record(c).GetPowerGain(), 6437);    // 1.1 x 1.42857 x 4096
    }
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(InputCalibrationTest, DeviationAboveThirtyPercentNeedsAYes) {
    Bench(69, 5);
    InputCalibration cal(doc, 1, 1);
    ASSERT_TRUE(cal.Open());
    References(cal, "100 V", "5 A");
    ASSERT_TRUE(cal.Run());
    user.answers = {MsgAnswer::No};
    EXPECT_EQ(cal.Save(), SaveResult::Declined);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_EQ(Texts()[0],
              "The voltage for channel 2 changed by 31.0%, which may result in an incorrect "
              "calibration result.\r\nDo you wish to continue applying the calibration?");
    EXPECT_EQ(Record(1).GetVoltageGain(), 4096);
    user.answers = {MsgAnswer::Yes};
    EXPECT_EQ(cal.Save(), SaveResult::Applied);
    EXPECT_EQ(Record(1).GetVoltageGain(), 5936);  // 4096 x 100 / 69
    EXPECT_EQ(Record(0).GetVoltageGain(), 4096);  // outside the range
}

TEST_F(InputCalibrationTest, AFailedSampleStopsAtOnceAndACancelBetweenSteps) {
    Bench(100, 5);
    FailWrite(talk::kSampleExtended, 5);
    InputCalibration cal(doc, 0, 2);
    ASSERT_TRUE(cal.Open());
    ASSERT_TRUE(cal.Begin());
    int steps = 0;
    while (cal.Step() != 0) {
        ++steps;
    }
    EXPECT_EQ(steps, 4);
    EXPECT_EQ(cal.State(), SamplingState::Failed);
    EXPECT_EQ(cal.Progress(), 4);
    EXPECT_EQ(Texts(), std::vector<std::string>{kSampleFailedText});
    ASSERT_EQ(user.beeps.size(), 1u);
    EXPECT_EQ(user.beeps[0], std::make_pair(1000u, 1000u));
    EXPECT_EQ(cal.Note(), kCalibrationCommsFailedText);
    EXPECT_EQ(cal.Save(), SaveResult::NotReady);
    EXPECT_EQ(user.busyDepth, 0);

    // A run cancelled after three samples sends nothing more and keeps "&Save" off.
    hook = nullptr;
    ASSERT_TRUE(cal.Begin());
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(cal.Step(), 0u);
    }
    cal.Cancel();
    written.clear();
    EXPECT_EQ(cal.Step(), 0u);
    EXPECT_EQ(cal.State(), SamplingState::Cancelled);
    EXPECT_TRUE(written.empty());
    EXPECT_FALSE(cal.SaveEnabled());
    EXPECT_EQ(user.busyDepth, 0);
}

TEST_F(InputCalibrationTest, AZeroReferenceOrAverageIsRefusedWithNothingApplied) {
    Bench(0, 5);  // the voltage inputs are not connected
    InputCalibration cal(doc, 0, 0);
    ASSERT_TRUE(cal.Open());
    ASSERT_TRUE(cal.Run());
    EXPECT_EQ(cal.Save(), SaveResult::Refused);
    ASSERT_EQ(Texts().size(), 1u);
    EXPECT_NE(Texts()[0].find("Channel 1 measured no voltage"), std::string::npos);
    References(cal, "110 V", "0 A");
    Bench(110, 5);
    ASSERT_TRUE(cal.Run());
    EXPECT_EQ(cal.Save(), SaveResult::Refused);
    EXPECT_NE(Texts().back().find("The reference current of channel 1 is not above zero"),
              std::string::npos);
    EXPECT_EQ(Record(0).GetVoltageGain(), 4096);
    EXPECT_EQ(Record(0).GetCurrentGain(), 4096);
}

}  // namespace
}  // namespace kvr
