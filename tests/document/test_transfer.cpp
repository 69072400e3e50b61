// Upload, download and the measuring-unit query against simulated units on an in-process
// line; every wait (the Attention pause, the download delay, line timeouts) passes on the
// virtual clock. A tap under the port records each write and can switch a fault on for a
// chosen command, so a single board can be made to fail.
#include <gtest/gtest.h>

#include <algorithm>

#include "base/Seams.h"
#include "base/Settings.h"
#include "document/Identify.h"
#include "document/TransferFixture.h"
#include "link/PortSetup.h"

namespace kvr {
namespace {

using test::kDelayMs;
using test::Sent;
using test::TransferTest;

// --- pane texts --------------------------------------------------------------------------

TEST(TransferPaneText, MasksOfBothPanes) {
    // 1 is a KVR 100, 15 a KVR 300, 8 the main board alone, other low masks the channels and
    // "3Ph", and a mask beyond the four boards its number.
    const std::pair<unsigned, const char*> cases[] = {{1, " KVR 100"},     {2, " Ch 2"},
                                                      {3, " Ch 1,2"},      {8, " 3Ph"},
                                                      {13, " Ch 1,3,3Ph"}, {15, " KVR 300"}};
    for (const auto& [mask, text] : cases) {
        EXPECT_EQ(TransferPaneText(false, mask), std::string("Uploaded") + text) << mask;
        EXPECT_EQ(TransferPaneText(true, mask), std::string("Downloaded") + text) << mask;
    }
    EXPECT_EQ(TransferPaneText(false, 0), "NO UPLOAD COMPLETE");
    EXPECT_EQ(TransferPaneText(true, 0), "NO DOWNLOAD COMPLETE");
    EXPECT_EQ(TransferPaneText(false, 200), "Up res 200");
    EXPECT_EQ(TransferPaneText(true, 16), "Dwn res 16");
    EXPECT_EQ(TransferPaneText(false, 1, true), "Uploaded Ch 1");  // board 0 of a KVR 300
    EXPECT_EQ(TransferPaneText(true, 15, true), "Downloaded KVR 300");
}

// --- upload ------------------------------------------------------------------------------

TEST_F(TransferTest, Kvr100AloneStopsAtTheFirstSilentBoardInEitherMode) {
    Start(sim::UnitKind::Kvr100, 150);
    doc.Paths().setupFilePath = "old.kvr";
    doc.Paths().displaySetupPath = "old.dsp";
    doc.Channel(0).SetDeviceCode(1);
    EXPECT_TRUE(UploadCommand(doc));
    EXPECT_EQ(doc.GetChannels(), 1);
    EXPECT_EQ(doc.LastUploadMask(), 1);
    EXPECT_TRUE(doc.ConfigurationPresent());
    EXPECT_TRUE(doc.Paths().setupFilePath.empty());
    EXPECT_TRUE(doc.Paths().displaySetupPath.empty());
    EXPECT_EQ(doc.Channel(0).record, UnitRecord(0));
    EXPECT_FALSE(doc.Channel(0).Extended());                      // firmware 1.50
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Not Available");  // left at its defaults
    EXPECT_FALSE(Sends(0x82));                                    // stopped at board 1
    EXPECT_EQ(Shown(), Texts{Info("Uploaded from KVR 100")});
    ASSERT_GE(user.paneHistory.size(), 2u);
    EXPECT_EQ(user.paneHistory.front().second, "NO UPLOAD COMPLETE");  // set first
    EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 100");
    EXPECT_EQ(user.busyDepth, 0);

    // A KVR 100 has one board whatever the mode.
    doc.SetStopAtFirstFailure(false);
    Forget();
    EXPECT_TRUE(RunUploadCommand(doc).complete);
    EXPECT_EQ(doc.GetChannels(), 1);
    EXPECT_EQ(Shown(), Texts{Info("Uploaded from KVR 100")});
}

TEST_F(TransferTest, ContinueModeCountsEveryBoardButCallsOnlyAWholeUnitComplete) {
    // What is counted and said for each board is the fault matrix's test.
    doc.SetStopAtFirstFailure(false);
    SilenceCommand(0x82);  // channel 3 (address 2) does not answer
    EXPECT_FALSE(RunUploadCommand(doc).complete);
    EXPECT_EQ(doc.LastUploadMask(), 11);
    EXPECT_TRUE(doc.Channel(3).Extended());
    EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded Ch 1,2,3Ph");
}

TEST_F(TransferTest, NoBoardAnsweringIsNoConfigurationInEitherMode) {
    Uploaded();
    EXPECT_TRUE(doc.ConfigurationPresent());
    units->GetFaults().silent = true;
    for (bool stop : {true, false}) {
        user.messages.clear();
        doc.SetStopAtFirstFailure(stop);
        EXPECT_FALSE(UploadCommand(doc)) << stop;
        EXPECT_EQ(doc.GetChannels(), 0);
        EXPECT_FALSE(doc.ConfigurationPresent());
        EXPECT_EQ(doc.LastUploadMask(), 0);
        EXPECT_EQ(Shown(), Texts{Msg("0 Channel(s) Uploaded")});
        EXPECT_EQ(user.panes[StatusPane::Upload], "NO UPLOAD COMPLETE");
    }
}

TEST_F(TransferTest, SavedMonitorsAreLoadedOnlyIntoADocumentWithout) {
    MonitorBytes entities{}, channels{};
    entities[0] = 1;
    entities[1] = 2;
    channels[1] = 3;
    ASSERT_TRUE(WriteMonitorList(2, entities, channels));
    ASSERT_TRUE(UploadCommand(doc));
    EXPECT_EQ(doc.Monitors().count, 2);
    EXPECT_EQ(doc.Monitors().channels[1], 3);

    doc.Monitors().count = 1;
    doc.Monitors().entities[0] = 7;
    ASSERT_TRUE(UploadAll(doc));
    EXPECT_EQ(doc.Monitors().count, 1);
    EXPECT_EQ(doc.Monitors().entities[0], 7);
}

// --- download ----------------------------------------------------------------------------

TEST_F(TransferTest, SameUnitUnchangedCalibrationAsksNothingAndRereadsTheMainBoard) {
    Uploaded();
    doc.Channel(1).record.SetName("Feeder 7");
    doc.Channel(1).record.SetSignature(0);  // whatever the document holds, 7502 is written
    doc.Channel(3).record.SetName("Main");
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_TRUE(r.locked);
    EXPECT_EQ(r.count, 4);
    EXPECT_EQ(r.mask, 15u);
    EXPECT_TRUE(r.complete);
    // Boards 0 and 2 already held their records: read back, not written again.
    EXPECT_EQ(r.alreadyEqual, 2);
    EXPECT_EQ(RecordWrites(), 2u);
    EXPECT_FALSE(Sends(0xA0, 117));
    EXPECT_FALSE(Sends(0xA2, 117));
    for (int a = 0; a < 4; ++a) {
        EXPECT_EQ(UnitRecord(a), doc.Channel(a).record) << a;
        EXPECT_EQ(UnitRecord(a).GetSignature(), 7502) << a;
    }
    EXPECT_EQ(UnitRecord(1).GetName(), "Feeder 7");
    EXPECT_EQ(Shown(), Texts{Info("Downloaded to KVR 300")});  // no question
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded KVR 300");
    EXPECT_EQ(user.paneHistory.front().second, "NO DOWNLOAD COMPLETE");
    EXPECT_EQ(user.lamp, std::vector<bool>{true});
    EXPECT_TRUE(user.passwordPrompts.empty());

    // The main board is read again last, a download delay after its acknowledge (which
    // itself came a delay after the frame).
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().command, 0x83);
    auto lastFrame =
        std::find_if(sent.rbegin(), sent.rend(), [](const Sent& s) { return s.command == 0xA3; });
    ASSERT_NE(lastFrame, sent.rend());
    EXPECT_EQ(lastFrame->size, 117u);
    EXPECT_GE(sent.back().atMs - lastFrame->atMs, 2 * kDelayMs);

    for (const char* progress :
         {"Reading back the attached device channel 2 configuration", "Checking the configuration",
          "Writing the new configuration to the attached device.",
          "Writing the configuration to the attached channel 3"}) {
        EXPECT_NE(std::find(user.busyTexts.begin(), user.busyTexts.end(), progress),
                  user.busyTexts.end())
            << progress;
    }
    EXPECT_EQ(user.busyDepth, 0);
}

TEST_F(TransferTest, BoardsAlreadyEqualAreNotWrittenUnlessEveryBoardIsAsked) {
    Uploaded();
    DownloadOutcome r = DownloadCommand(doc);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.alreadyEqual, 4);
    ASSERT_EQ(sent.size(), 4u);  // the four read-backs: no Attention, record or re-read
    EXPECT_EQ(RecordWrites(), 0u);
    EXPECT_EQ(Shown(), Texts{Info("Downloaded to KVR 300")});  // as for a full download
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded KVR 300");

    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        ASSERT_TRUE(WriteWriteEveryBoard(stored));
        sent.clear();
        r = DownloadCommand(doc, stored ? BoardWrites::SkipEqual : BoardWrites::Every);
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(r.alreadyEqual, 0);
        EXPECT_EQ(RecordWrites(), 4u);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back().command, 0x83);  // and the main board read again
    }
}

TEST_F(TransferTest, PortThatWillNotOpenIsExplainedOnceAndLosesNothing) {
    Uploaded();
    doc.Port().Close();
    auto sim = doc.Port().Settings().device;
    doc.Port().SetLineOpener([this](const std::string& device, const LineSettings& settings,
                                    std::string& error) -> std::unique_ptr<ISerialLine> {
        if (device != "/dev/ttyUSB3") {
            error = "no such device: " + device;
            return nullptr;
        }
        auto inner = sim::SimLineOpener(*units)(device, settings, error);
        return std::make_unique<test::TapLine>(std::move(inner), sent, hook);
    });
    const ParameterRecord before = doc.Channel(1).record;
    const std::string failure = "Failed to open Communications Port\nno such device: " + sim;
    EXPECT_FALSE(UploadCommand(doc));
    EXPECT_EQ(Shown(), Texts{Msg(failure)});  // no form here, and no "0 Channel(s) Uploaded"
    EXPECT_EQ(doc.GetChannels(), 4);          // the configuration is still there
    EXPECT_EQ(doc.Channel(1).record, before);
    EXPECT_EQ(user.panes[StatusPane::Upload], "NO UPLOAD COMPLETE");
    user.messages.clear();
    const DownloadOutcome d = DownloadCommand(doc);
    EXPECT_FALSE(d.portOpened);
    EXPECT_EQ(Shown(), Texts{Msg(failure)});
    EXPECT_EQ(user.lamp, std::vector<bool>{false});
    EXPECT_TRUE(sent.empty());

    // Where there is a settings form, the explanation comes before it; Cancel ends there,
    // and settings that open the port let the upload run.
    std::vector<size_t> messagesAtForm;
    std::string choice;
    ScopedSeams editor(Seams{.portSettingsEditor = [&](PortSettings& settings) {
        messagesAtForm.push_back(user.messages.size());
        settings.device = choice;
        return !choice.empty();
    }});
    user.messages.clear();
    EXPECT_FALSE(UploadCommand(doc));
    EXPECT_EQ(messagesAtForm, std::vector<size_t>{1});
    EXPECT_EQ(Shown(), Texts{Msg(failure)});

    choice = "/dev/ttyUSB3";
    user.messages.clear();
    EXPECT_TRUE(UploadCommand(doc));
    EXPECT_EQ(Shown(), (Texts{Msg(failure), Info("Uploaded from KVR 300")}));

    // First run: no port chosen, so the form comes first and the message only if it is
    // cancelled.
    doc.Port().Close();
    doc.Port().Settings() = PortSettings{};
    choice.clear();
    messagesAtForm.clear();
    user.messages.clear();
    EXPECT_FALSE(UploadCommand(doc));
    EXPECT_EQ(messagesAtForm, std::vector<size_t>{0});
    EXPECT_EQ(Shown(), Texts{Msg("Failed to open Communications Port\nno serial port chosen "
                                 "(port number 0)")});
}

TEST_F(TransferTest, DifferentUnitAsksFirstThenAboutTheSerialNumber) {
    struct Case {
        MsgAnswer differentUnit;
        MsgAnswer serial;
        bool written;
        bool unitSerialKept;
    };
    for (const Case c : {Case{MsgAnswer::Yes, MsgAnswer::No, true, true},
                         Case{MsgAnswer::Yes, MsgAnswer::Yes, true, false},
                         Case{MsgAnswer::No, MsgAnswer::No, false, true}}) {
        SCOPED_TRACE(static_cast<int>(c.differentUnit) * 10 + static_cast<int>(c.serial));
        Start(sim::UnitKind::Kvr100);
        Uploaded();
        const uint32_t ours = doc.Channel(0).record.GetSerialNumber();
        EditUnit(0, [](ParameterRecord& r) { r.SetSerialNumber(990001); });
        doc.Channel(0).record.SetName("Replacement");
        const ParameterRecord before = doc.Channel(0).record;
        user.messages.clear();
        user.answers = {c.differentUnit, c.serial};
        const DownloadOutcome r = DownloadCommand(doc);
        EXPECT_EQ(r.complete, c.written);
        const std::string differentUnit = Msg(kDifferentUnitText, "Download warning - Channel 0",
                                              MsgIcon::Error, MsgButtons::YesNo);
        if (c.written) {
            EXPECT_EQ(Shown(), (Texts{differentUnit,
                                      Msg(kOverwriteSerialText, "Warning - Channel 0",
                                          MsgIcon::Error, MsgButtons::YesNo),
                                      Info("Downloaded to KVR 100")}));
            EXPECT_EQ(UnitRecord(0).GetName(), "Replacement");
            EXPECT_EQ(UnitRecord(0).GetSerialNumber(), c.unitSerialKept ? 990001u : ours);
            EXPECT_EQ(doc.Channel(0).record.GetSerialNumber(), UnitRecord(0).GetSerialNumber());
        } else {
            // No serial question; the summary says why the board was not written.
            EXPECT_EQ(Shown(),
                      (Texts{differentUnit,
                             Msg("0 Channel(s) Downloaded\nboard 0 (channel 1, address "
                                 "0) not written: a different unit is attached (serial "
                                 "number 990001, the configuration's " +
                                 std::to_string(ours) + ") and writing to it was refused")}));
            EXPECT_EQ(RecordWrites(), 0u);
            EXPECT_EQ(doc.Channel(0).record, before);  // the document keeps the configuration
            EXPECT_EQ(UnitRecord(0).GetSerialNumber(), 990001u);
        }
    }
}

TEST_F(TransferTest, ChangedCalibrationIsAskedOnceAndNoKeepsTheUnits) {
    for (MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        SCOPED_TRACE(static_cast<int>(answer));
        Start(sim::UnitKind::Kvr100);
        Uploaded();
        const ParameterRecord unitBefore = UnitRecord(0);
        ParameterRecord& ours = doc.Channel(0).record;
        if (answer == MsgAnswer::Yes) {
            ours.ApplyGainFactor(1.01, InputKind::Voltage);  // gains
            ours.SetDacCalibration(2, -12, 3000);  // and the DAC block: still one question
        } else {
            ours.SetCtPhaseCorrection(1.5f);  // the end of the block alone
        }
        ours.SetName("Calibrated");
        const ParameterRecord edited = ours;
        user.answers = {answer};
        const DownloadOutcome r = DownloadCommand(doc);
        EXPECT_TRUE(r.complete);
        EXPECT_EQ(Shown(), (Texts{Msg(kOverwriteCalibrationText, "Warning - Channel 0",
                                      MsgIcon::Error, MsgButtons::YesNo),
                                  Info("Downloaded to KVR 100")}));
        const ParameterRecord unit = UnitRecord(0);
        EXPECT_EQ(unit.GetName(), "Calibrated");
        if (answer == MsgAnswer::Yes) {
            EXPECT_EQ(unit, edited);
        } else {
            EXPECT_EQ(unit.GetCtPhaseCorrection(), unitBefore.GetCtPhaseCorrection());
            ParameterRecord expected = edited;
            expected.SetCtPhaseCorrection(unitBefore.GetCtPhaseCorrection());
            EXPECT_EQ(unit, expected);
            EXPECT_EQ(doc.Channel(0).record, unit);  // the document took the unit's calibration
        }
    }
}

TEST_F(TransferTest, PreferencesAnswerTheQuestionsSilently) {
    Start(sim::UnitKind::Kvr100);
    Uploaded();
    doc.Preferences().enabled = true;
    doc.Preferences().noDialogAfterDownload = false;
    EditUnit(0, [](ParameterRecord& r) { r.SetSerialNumber(990001); });
    doc.Channel(0).record.ApplyGainFactor(1.02, InputKind::Current);
    const ParameterRecord ours = doc.Channel(0).record;

    doc.Preferences().downloadToDifferentUnit[0] = false;
    DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(RecordWrites(), 0u);
    ASSERT_EQ(user.messages.size(), 1u);  // skipped without a question
    EXPECT_NE(user.messages[0].text.find("the download preferences do not allow writing to it"),
              std::string::npos);

    user.messages.clear();
    doc.Preferences().downloadToDifferentUnit[0] = true;
    doc.Preferences().overwriteSerialNumber[0] = false;
    doc.Preferences().overwriteCalibration[0] = true;
    r = DownloadCommand(doc);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(Shown(), Texts{Info("Downloaded to KVR 100")});
    EXPECT_EQ(UnitRecord(0).GetSerialNumber(), 990001u);
    EXPECT_EQ(UnitRecord(0).GetCurrentGain(), ours.GetCurrentGain());

    // Overwriting the serial number, keeping the calibration.
    const ParameterRecord unitNow = UnitRecord(0);
    doc.Channel(0).record.SetSerialNumber(4242);
    doc.Channel(0).record.ApplyGainFactor(1.05, InputKind::Current);
    doc.Preferences().overwriteSerialNumber[0] = true;
    doc.Preferences().overwriteCalibration[0] = false;
    ASSERT_TRUE(DownloadCommand(doc).complete);
    EXPECT_EQ(UnitRecord(0).GetSerialNumber(), 4242u);
    EXPECT_EQ(UnitRecord(0).GetCurrentGain(), unitNow.GetCurrentGain());
}

TEST_F(TransferTest, SummaryIsSuppressedOnlyWithPreferencesAndNoDialogBothSet) {
    Start(sim::UnitKind::Kvr100);
    struct Case {
        bool enabled, noDialog, shown;
    };
    for (const Case c :
         {Case{true, true, false}, Case{true, false, true}, Case{false, true, true}}) {
        SCOPED_TRACE(c.enabled * 10 + c.noDialog);
        doc.Preferences().enabled = c.enabled;
        doc.Preferences().noDialogAfterUpload = c.noDialog;
        doc.Preferences().noDialogAfterDownload = c.noDialog;
        Forget();
        user.panes.clear();
        ASSERT_TRUE(UploadAll(doc));
        EXPECT_EQ(user.messages.size(), c.shown ? 1u : 0u);
        EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 100");
        Forget();
        ASSERT_TRUE(DownloadCommand(doc).complete);
        EXPECT_EQ(user.messages.size(), c.shown ? 1u : 0u);
        EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded KVR 100");
        EXPECT_FALSE(Sends(0x83));  // no main board to read again
    }
}

// A lost acknowledge settled by the read-back, and a board it proves unwritten when the
// download stops there, are the fault matrix's tests; here the download goes on past it.
TEST_F(TransferTest, UnansweredWriteIsSettledByOneReadBackAndTheRestAreWritten) {
    Uploaded();
    for (int b = 1; b < 4; ++b) {
        doc.Channel(b).record.SetName("Edited " + std::to_string(b));
    }
    const ParameterRecord unitBefore = UnitRecord(1);
    hook = [this](const uint8_t* data, size_t n) {
        units->GetFaults().silent = n == 117 && data[0] == 0xA1;
    };
    doc.SetStopAtFirstFailure(false);
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.mask, 13u);
    const std::string failure =
        "board 1 (channel 2, address 1) not written: no valid acknowledge came after the "
        "write, and the unit holds a record other than the one sent";
    EXPECT_EQ(r.failures, std::vector<std::string>{failure});
    EXPECT_EQ(UnitRecord(1), unitBefore);
    EXPECT_EQ(UnitRecord(3).GetName(), "Edited 3");
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Edited 1");  // the document keeps it
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().command, 0xA3);  // the main board written, not read again
    // Never "Downloaded to KVR 300" for a partial download.
    EXPECT_EQ(Shown(), Texts{Msg("3 Channel(s) Downloaded\n" + failure)});
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded Ch 1,3,3Ph");
}

TEST_F(TransferTest, Kvr300ConfigurationToAKvr100IsAFailure) {
    Uploaded();
    Start(sim::UnitKind::Kvr100);
    doc.Preferences().enabled = true;  // board 0 is written without a question
    doc.Preferences().noDialogAfterDownload = false;
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.mask, 1u);
    EXPECT_EQ(r.text, "1 Channel(s) Downloaded");
    EXPECT_EQ(r.failures,
              std::vector<std::string>{"board 1 (channel 2, address 1) not written: no valid "
                                       "record came back when it was read before writing"});
    ASSERT_FALSE(user.messages.empty());
    EXPECT_EQ(user.messages.back().icon, MsgIcon::Error);
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded Ch 1");
}

TEST_F(TransferTest, UnitFallingSilentMidDownloadLosesNothing) {
    Uploaded();
    for (int i = 0; i < 4; ++i) {
        doc.Channel(i).record.SetName("Edit " + std::to_string(i));
    }
    std::vector<ParameterRecord> before;
    for (int i = 0; i < 4; ++i) {
        before.push_back(doc.Channel(i).record);
    }
    hook = [this](const uint8_t* data, size_t) {
        if (data[0] == 0x82) {
            units->GetFaults().silent = true;  // and stays silent
        }
    };
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(r.mask, 3u);
    EXPECT_EQ(doc.Channel(2).record, before[2]);
    EXPECT_EQ(doc.Channel(3).record, before[3]);
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Edit 1");
    EXPECT_FALSE(Sends(0x83));
    EXPECT_EQ(Shown(),
              (Texts{Msg("Failed to read back the parameter record!", "Download error - Channel 2"),
                     Msg("2 Channel(s) Downloaded\nboard 2 (channel 3, address 2) not written: "
                         "no valid record came back when it was read before writing")}));
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded Ch 1,2");
    EXPECT_EQ(user.lamp, std::vector<bool>{true});
    EXPECT_TRUE(doc.ConfigurationPresent());
}

TEST_F(TransferTest, PasswordIsAskedOnceForFourBoardsAndCancelFailsTheBoard) {
    SetRunPassword("");
    Uploaded();
    user.passwordAnswers = {{true, "wrong", ""}, {true, "secret", ""}};
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_TRUE(r.complete);
    ASSERT_EQ(user.passwordPrompts.size(), 2u);  // the wrong entry asked again
    EXPECT_EQ(user.passwordPrompts[0], PasswordPrompt::Entry);

    SetRunPassword("");
    Forget();
    const DownloadOutcome cancelled = DownloadCommand(doc);  // no answers: Cancel
    EXPECT_EQ(cancelled.count, 0);
    EXPECT_EQ(user.passwordPrompts.size(), 1u);
    EXPECT_TRUE(sent.empty());  // not even the read-back

    doc.SetStopAtFirstFailure(false);
    Forget();
    const DownloadOutcome none = DownloadCommand(doc);
    EXPECT_EQ(none.mask, 0u);
    EXPECT_EQ(user.passwordPrompts.size(), 4u);  // each board asks again
    // Every board tried and none written: nothing is counted.
    EXPECT_EQ(none.count, 0);
    ASSERT_EQ(none.failures.size(), 4u);
    EXPECT_EQ(none.failures[3],
              "board 3 (main board, address 3) not written: the configuration password was not "
              "given");
    EXPECT_EQ(user.lamp, std::vector<bool>{false});
}

TEST_F(TransferTest, CancelledQuestionAbandonsTheDownload) {
    Uploaded();
    doc.SetStopAtFirstFailure(false);
    EditUnit(1, [](ParameterRecord& r) { r.SetSerialNumber(990002); });
    user.answers = {MsgAnswer::Yes, MsgAnswer::Cancel};  // the serial question of board 1
    const ParameterRecord before = doc.Channel(1).record;
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_TRUE(r.abandoned);
    EXPECT_EQ(r.mask, 1u);
    EXPECT_FALSE(Sends(0xA1, 117));
    EXPECT_FALSE(Sends(0x82));  // no further board
    EXPECT_EQ(doc.Channel(1).record, before);
}

// --- measuring-unit query ----------------------------------------------------------------

TEST_F(TransferTest, QueryProbesTheMainBoardBeforeChannelZero) {
    doc.Channel(3).record.SetName("Mine");
    ASSERT_EQ(QueryMeasuringUnit(doc), DeviceType::Kvr300);
    EXPECT_EQ(doc.GetChannels(), 4);
    EXPECT_EQ(doc.Channel(3).record.GetName(), "Mine");  // probed into a scratch record
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].command, 0x83);
    EXPECT_EQ(Shown(), Texts{Info("A KVR 300 was detected", "Query Device")});

    Start(sim::UnitKind::Kvr100);
    Forget();
    ASSERT_EQ(QueryMeasuringUnit(doc), DeviceType::Kvr100);
    EXPECT_EQ(doc.GetChannels(), 1);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].command, 0x83);
    EXPECT_EQ(sent[1].command, 0x80);
    EXPECT_EQ(Shown(), Texts{Info("A KVR 100 was detected", "Query Device")});

    units->GetFaults().silent = true;
    doc.SetDeviceType(1);
    user.messages.clear();
    EXPECT_FALSE(QueryMeasuringUnit(doc).has_value());
    EXPECT_EQ(doc.GetChannels(), 4);  // unchanged
    EXPECT_TRUE(user.messages.empty());

    sent.clear();
    EXPECT_FALSE(ProbeChannel(doc, 4));
    EXPECT_FALSE(ProbeChannel(doc, -1));
    EXPECT_FALSE(DownloadChannel(doc, 4));
    EXPECT_TRUE(sent.empty());
}

}  // namespace
}  // namespace kvr
