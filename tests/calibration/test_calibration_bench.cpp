// kvr-sim as a calibration bench: an input calibration against true inputs typed into a
// running simulator (the real termios path; the program's pauses on the virtual clock), and
// an output calibration typed from the simulated meter.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "calibration/CalibrationFixture.h"
#include "calibration/InputCalibration.h"
#include "calibration/OutputCalibration.h"
#include "support/Process.h"

namespace kvr {
namespace {

using test::CalibrationTest;

class CalibrationBench : public CalibrationTest {};

TEST_F(CalibrationBench, InputCalibrationOfABoardFivePercentOffEndsWithinOneCount) {
    test::SimProcess sim({KVR_SIM_EXE, "--unit", "kvr100", "--baud", "38400", "--no-pace"});
    ASSERT_FALSE(sim.Path().empty());
    doc.Port().Close();  // leaves the in-process units of the fixture
    doc.OnNewDocument();
    doc.Port().SetLineOpener(nullptr);
    doc.Port().Settings().device = sim.Path();
    doc.Port().Settings().baud = "38400";
    doc.SetDeviceType(0);  // a KVR 100: its one board read, no silent board waited for
    ASSERT_TRUE(UploadChannel(doc.Channel(0)));
    // The board's gains 5 % high, written to it through the download.
    ParameterRecord& r = doc.Channel(0).record;
    r.ApplyGainFactor(4096 * 1.05 / r.GetVoltageGain(), InputKind::Voltage);
    r.ApplyGainFactor(4096 * 1.05 / r.GetCurrentGain(), InputKind::Current);
    user.answers = {MsgAnswer::Yes};  // overwrite the calibration
    ASSERT_TRUE(DownloadChannel(doc, 0));

    sim.Command("input 1 voltage 110");
    sim.Command("input 1 current 5");
    // The simulator reads its commands in its own time: wait until the board reports them.
    double volts = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::fabs(volts - 115.5) > 0.05 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(doc.Channel(0).Sample() && doc.Channel(0).ReadValues());
        doc.Channel(0).GetValue(entity::kVoltage, Winding::Primary, volts);
    }
    InputCalibration cal(doc, 0, 0);
    ASSERT_TRUE(cal.Open());
    ASSERT_TRUE(cal.SetReferenceText(0, false, "110 V"));
    ASSERT_TRUE(cal.SetReferenceText(0, true, "5 A"));
    ASSERT_TRUE(cal.Run());
    ASSERT_EQ(cal.Save(), SaveResult::Applied);
    EXPECT_NEAR(r.GetVoltageGain(), 4096, 1);
    EXPECT_NEAR(r.GetCurrentGain(), 4096, 1);
    doc.Port().Close();
}

TEST_F(CalibrationBench, OutputCalibrationFromTheMeterFindsTheHiddenDac) {
    OutputCalibration cal(doc, 0, 4);  // outputs 1 to 5: the cards of channels 1 and 2
    ASSERT_TRUE(cal.Open());
    for (int output : {0, 4}) {
        for (int p = 2 * output; p <= 2 * output + 1; ++p) {
            ASSERT_TRUE(cal.SelectLevel(p, p % 2 == 0 ? 0 : 4));
            ASSERT_TRUE(cal.FocusPoint(p));
            std::string reading;
            ASSERT_TRUE(units->Meter(output + 1, reading)) << reading;
            // "output N: -18.1234 mA (DAC -2000)"
            const size_t from = reading.find(':') + 2;
            ASSERT_TRUE(cal.SetPointText(p, reading.substr(from, reading.find(" (") - from)));
        }
    }
    ASSERT_TRUE(cal.Ok());
    for (int output : {0, 4}) {
        double span = 0, offset = 0;
        units->TrueDac(output, span, offset);
        int16_t storedOffset = 0;
        uint16_t storedSpan = 0;
        doc.Channel(output / 4).record.GetDacCalibration(0, storedOffset, storedSpan);
        EXPECT_NEAR(storedSpan, span, 1) << output;
        EXPECT_NEAR(storedOffset, offset, 1) << output;
    }
}

}  // namespace
}  // namespace kvr
