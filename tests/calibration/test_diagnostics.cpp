// The diagnostics sheet and "Set All Serial numbers" against simulated boards.
#include <gtest/gtest.h>

#include <algorithm>

#include "calibration/CalibrationFixture.h"
#include "calibration/Diagnostics.h"

namespace kvr {
namespace {

using test::CalibrationTest;

class DiagnosticsTest : public CalibrationTest {};

TEST_F(DiagnosticsTest, OutputControlsFollowTheCardAndSendTheirCommands) {
    doc.Channel(1).record.SetCardType(1, 2);  // port 2: relay
    doc.Channel(1).record.SetCardType(2, 3);  // port 3: RS485
    DiagnosticsSheet sheet(doc);
    ASSERT_TRUE(sheet.Open());
    ASSERT_EQ(sheet.PageCount(), 4);
    DiagnosticsPage& main = sheet.Page(3);
    main.Open();
    EXPECT_EQ(main.Caption(), "Channel 4");
    EXPECT_FALSE(main.PortsEnabled() || main.RelayEnabled() || main.DacEnabled());

    DiagnosticsPage& page = sheet.Page(1);
    page.Open();
    EXPECT_EQ(page.FirmwareVersion(), "1.89");
    EXPECT_TRUE(page.DacEnabled());  // port 1: the analog card
    EXPECT_FALSE(page.RelayEnabled());
    ASSERT_TRUE(page.SetDac("-1"));
    EXPECT_TRUE(Wrote({0xF1, 0xFF, 0xFF, 0x11}));  // address 1, port 1, FF FF, checksum
    EXPECT_TRUE(Unit(1).outputTest && Unit(3).outputTest);
    EXPECT_FALSE(page.SetDac("twelve"));
    EXPECT_EQ(Texts(), std::vector<std::string>{kEnterIntegerText});

    ASSERT_TRUE(page.ChoosePort(1));
    EXPECT_TRUE(page.RelayEnabled());
    EXPECT_FALSE(page.SetDac("5"));
    ASSERT_TRUE(page.Relay(RelayAction::Make));
    ASSERT_TRUE(page.Relay(RelayAction::Pulse));
    EXPECT_EQ(Unit(1).relay[1], 1);
    EXPECT_EQ(Unit(1).relayPulses[1], 1);
    ASSERT_TRUE(page.ChoosePort(2));
    EXPECT_FALSE(page.RelayEnabled() || page.DacEnabled());
    EXPECT_EQ(user.messages.back().text, kPortNotSupportedText);
    EXPECT_EQ(user.messages.back().title, kPortErrorTitle);

    ASSERT_TRUE(page.SetLoopback(1, {"1", "2", "3", "250"}));
    EXPECT_EQ(Unit(1).loopbackMode, 1);
    EXPECT_EQ(Unit(1).loopbackBytes, (std::array<uint8_t, 4>{1, 2, 3, 250}));
    EXPECT_FALSE(page.SetLoopback(2, {"1", "2", "3", "256"}));
    EXPECT_EQ(user.messages.back().text, "Please enter an integer between 0 and 255.");
    ASSERT_TRUE(page.SetFactoryMode());
    EXPECT_EQ(Unit(1).mode, 0x11);
    EXPECT_NE(units->Summary().find("mode factory loopback 1 output test on relays 0100"),
              std::string::npos);

    Unit(2).outputTest = true;  // its page was never opened
    sheet.Cancel();
    EXPECT_FALSE(Unit(1).outputTest || Unit(3).outputTest);
    EXPECT_TRUE(Unit(2).outputTest);

    // Restoring the factory settings releases everything the page set on the board.
    ASSERT_TRUE(doc.Channel(0).RestoreFactorySettings(1));
    EXPECT_EQ(Unit(1).mode + Unit(1).loopbackMode + Unit(1).relay[1], 0);
    EXPECT_EQ(Unit(1).dac[0], 0);
}

TEST_F(DiagnosticsTest, Kvr100HasOnePageAndTellsNoMainBoard) {
    Start(sim::UnitKind::Kvr100);
    doc.Channel(0).record.SetCardType(0, 2);
    DiagnosticsSheet sheet(doc);
    ASSERT_TRUE(sheet.Open());
    ASSERT_EQ(sheet.PageCount(), 1);
    sheet.Page(0).Open();
    ASSERT_TRUE(sheet.Page(0).Relay(RelayAction::Break));
    EXPECT_FALSE(Wrote({0x8B, 0x21}));       // no output test for a main board
    EXPECT_TRUE(Wrote({0x88, 0x21, 0x57}));  // output test on, address 0
}

TEST_F(DiagnosticsTest, SerialNumberPlusAndDownload) {
    DiagnosticsSheet sheet(doc);
    ASSERT_TRUE(sheet.Open());
    DiagnosticsPage& page = sheet.Page(0);
    page.Open();
    EXPECT_EQ(page.Serial(), 204117);
    page.IncrementSerial();
    EXPECT_EQ(doc.Paths().suggestedFileName, "204118");
    ASSERT_TRUE(page.SetSerialText("5000"));
    EXPECT_EQ(doc.Paths().suggestedFileName, "5000");
    // The safeguarded download asks about the other serial number, twice Yes.
    user.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    ASSERT_TRUE(page.DownloadSerial("5001"));
    EXPECT_EQ(Unit(0).record.GetSerialNumber(), 5001u);
    EXPECT_EQ(doc.Paths().suggestedFileName, "5001");
}

TEST_F(DiagnosticsTest, SetAllGoesOnAfterAFailedChannel) {
    SetAllSerialNumbers all(doc);
    ASSERT_TRUE(all.Open());
    EXPECT_EQ(all.Serial(), 204120);  // the main board's
    all.Increment();
    Silence(0x81);  // board 1 does not answer its read-back
    user.answers.assign(8, MsgAnswer::Yes);
    std::vector<int> failed;
    EXPECT_FALSE(all.Download(all.SerialText(), &failed));
    EXPECT_EQ(failed, std::vector<int>{1});
    const std::vector<std::string> shown = Texts();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "Failed to download to channel 1"), 1);
    for (int a : {0, 2, 3}) {
        EXPECT_EQ(Unit(a).record.GetSerialNumber(), 204121u) << a;
    }
    EXPECT_EQ(Unit(1).record.GetSerialNumber(), 204118u);
}

}  // namespace
}  // namespace kvr
