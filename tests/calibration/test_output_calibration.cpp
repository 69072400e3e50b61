// Output calibration, "Output Calibrate 2" and the pretest against simulated boards.
#include <gtest/gtest.h>

#include "calibration/CalibrationFixture.h"
#include "calibration/OutputCalibration.h"
#include "calibration/OutputPretest.h"

namespace kvr {
namespace {

using test::CalibrationTest;

TEST(OutputCalibrationRules, LinesLevelsAndScrolling) {
    int16_t offset = 99;
    uint16_t span = 0;
    ASSERT_TRUE(CalculateDacCalibration(-1.0, -2000, 1.0, 2000, offset, span));  // perfect
    EXPECT_EQ(span, 2000);
    EXPECT_EQ(offset, 0);
    ASSERT_TRUE(CalculateDacCalibration(-0.9, -2000, 0.9, 2000, offset, span));  // 10 % low
    EXPECT_EQ(span, 2222);
    ASSERT_TRUE(CalculateDacCalibration(0.05, 0, 1.05, 2000, offset, span));
    EXPECT_EQ(offset, -99);  // -100 + 0.5, truncated toward zero
    EXPECT_FALSE(CalculateDacCalibration(-0.75, -2000, 0.75, 2000, offset, span));  // 2666.7
    EXPECT_FALSE(CalculateDacCalibration(0.5, -2000, 0.5, 2000, offset, span));
    EXPECT_FALSE(CalculateDacCalibration(0.0, 0, 0.0 / 0.0, 2000, offset, span));

    EXPECT_EQ(OutputLevelIndex(500), 3);  // "+Mid"
    EXPECT_EQ(OutputLevelIndex(429), 3);
    EXPECT_EQ(OutputLevelIndex(428), 2);  // "Zero"
    EXPECT_EQ(OutputLevelIndex(-1000), 0);
    EXPECT_EQ(OutputLevelIndex(1000), 4);

    EXPECT_EQ(ScrollDacValue(2045, ScrollAction::PageRight), 2047);
    EXPECT_EQ(ScrollDacValue(-2048, ScrollAction::LineLeft), -2048);
    EXPECT_EQ(ScrollDacValue(7, ScrollAction::Thumb, 5000), 2047);
    EXPECT_EQ(ScrollDacValue(7, ScrollAction::PageLeft), -3);
}

class OutputCalibrationTest : public CalibrationTest {
  protected:
    // Output 1 of channel 1 (its 20 mA card) on the lower and upper point.
    bool Measured(OutputCalibration& cal, const std::string& low, const std::string& high) {
        return cal.SetPointText(0, low) && cal.SetPointText(1, high);
    }
    // The stored DAC span and offset of a card slot.
    std::pair<int, int> Dac(int channel, int slot) {
        int16_t offset = 0;
        uint16_t span = 0;
        doc.Channel(channel).record.GetDacCalibration(slot, offset, span);
        return {span, offset};
    }
};

TEST_F(OutputCalibrationTest, TypedMeterReadingsGiveSpanAndOffset) {
    OutputCalibration cal(doc);
    ASSERT_TRUE(cal.Open());
    EXPECT_EQ(cal.Note(), kOutputCalOpenNote);
    EXPECT_TRUE(cal.PointEnabled(0));
    EXPECT_FALSE(cal.PointEnabled(2));  // no card in slot 2
    EXPECT_EQ(cal.PointLevel(0), 2);    // level min 0: "Zero"
    EXPECT_EQ(cal.PointText(1), "20.00 mA");
    ASSERT_TRUE(cal.SelectLevel(0, 0));
    EXPECT_EQ(cal.PointText(0), "-20.00 mA");

    ASSERT_TRUE(cal.FocusPoint(1));
    EXPECT_EQ(Unit(0).dac[0], 2000);
    EXPECT_TRUE(Unit(0).outputTest);
    EXPECT_TRUE(Unit(3).outputTest);

    ASSERT_TRUE(Measured(cal, "-15", "15 mA"));  // 25 % low: refused, the form stays
    EXPECT_FALSE(cal.Ok());
    EXPECT_EQ(Texts(), std::vector<std::string>{kCalculationFailedText});
    EXPECT_EQ(cal.Note(), kCalculationFailedNote);
    EXPECT_FALSE(cal.Closed());

    ASSERT_TRUE(Measured(cal, "-18", "18 mA"));  // 10 % low, a bare number in mA
    ASSERT_TRUE(cal.Ok());
    EXPECT_EQ(Dac(0, 0), std::pair(2222, 0));
    for (int a = 0; a < 4; ++a) {
        EXPECT_FALSE(Unit(a).outputTest) << a;
    }
    EXPECT_FALSE(cal.FocusPoint(1));  // closed: nothing more is sent
}

TEST_F(OutputCalibrationTest, Calibrate2ScrollsToTheTargetsAndStores) {
    OutputCalibrate2 cal(doc, 4, 4);  // output 5: channel 2's first slot
    ASSERT_TRUE(cal.Open());
    EXPECT_FALSE(cal.PointEnabled(0));
    ASSERT_TRUE(cal.SelectTarget(8, 0));
    EXPECT_EQ(cal.TargetText(8), "-20.00 mA");
    ASSERT_TRUE(cal.Scroll(8, ScrollAction::PageLeft));
    EXPECT_EQ(Unit(1).dac[0], static_cast<uint16_t>(-2010));
    ASSERT_TRUE(cal.Scroll(9, ScrollAction::Thumb, 2045));
    ASSERT_TRUE(cal.Scroll(9, ScrollAction::PageRight));
    EXPECT_EQ(cal.PointValue(9), 2047);
    EXPECT_EQ(Unit(1).dac[0], 2047);
    EXPECT_FALSE(cal.FocusPoint(24));
    EXPECT_EQ(user.beeps.size(), 1u);

    ASSERT_TRUE(cal.Ok());
    // Span (2047 + 2010) / 2; offset 2047 - 2028.5 = 18.5, + 0.5.
    EXPECT_EQ(Dac(1, 0), std::pair(2029, 19));
}

TEST_F(OutputCalibrationTest, PretestReplacesImplausibleCalibrationsBeforeDriving) {
    doc.Channel(1).record.SetDacCalibration(0, 10, 2000);  // plausible: kept
    OutputPretest pretest(doc);
    ASSERT_TRUE(pretest.Open());
    // The record default 15797 / 16 is replaced by the nominal span.
    EXPECT_EQ(Dac(0, 0), (std::pair<int, int>(kNominalDacSpan, 0)));
    EXPECT_EQ(Dac(1, 0), std::pair(2000, 10));
    EXPECT_FALSE(pretest.RowEnabled(1));
    EXPECT_EQ(pretest.FieldText(0, 0), "-20.00 mA");

    ASSERT_TRUE(pretest.SetFieldText(0, 2, "10"));  // mA
    ASSERT_TRUE(pretest.FocusField(0, 2));
    EXPECT_TRUE(Unit(0).outputTest);  // from the opening, not only from the first tick
    EXPECT_EQ(Unit(0).dac[0], 951);   // 0.01 x 1903 / 0.02, truncated
    ASSERT_TRUE(pretest.FocusField(4, 0));
    EXPECT_EQ(Unit(1).dac[0], static_cast<uint16_t>(-2000));
    pretest.Tick();
    EXPECT_TRUE(Unit(2).outputTest);
    pretest.Cancel();
    EXPECT_FALSE(Unit(0).outputTest);
}

}  // namespace
}  // namespace kvr
