// Upload, download and the measuring-unit query against simulated units on an in-process
// line; every wait (the Attention pause, the download delay, line timeouts) passes on the
// virtual clock. A tap under the port records each write and can switch a fault on for a
// chosen command, so a single board can be made to fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

#include "document/Identify.h"
#include "document/Password.h"
#include "document/Registry.h"
#include "document/Settings.h"
#include "document/Transfer.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

constexpr unsigned kDelayMs = 250;  // a download delay distinct from every other wait

struct Sent {
    uint8_t command;
    size_t size;
    uint64_t atMs;
};

// Records every write and lets a hook switch simulator faults before the bytes arrive.
class TapLine final : public ISerialLine {
  public:
    using Hook = std::function<void(const uint8_t* data, size_t n)>;
    TapLine(std::unique_ptr<ISerialLine> inner, std::vector<Sent>& log, Hook& hook)
        : inner_(std::move(inner)), log_(log), hook_(hook) {}
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        return inner_->Read(buffer, n, intervalMs, totalMs);
    }
    long Write(const uint8_t* data, size_t n, unsigned totalMs) override {
        if (n > 0) {
            log_.push_back({data[0], n, GetClock().NowMs()});
            if (hook_) {
                hook_(data, n);
            }
        }
        return inner_->Write(data, n, totalMs);
    }
    bool Purge() override { return inner_->Purge(); }
    bool SetDtr(bool on) override { return inner_->SetDtr(on); }
    bool HungUp() const override { return inner_->HungUp(); }

  private:
    std::unique_ptr<ISerialLine> inner_;
    std::vector<Sent>& log_;
    Hook& hook_;
};

class TransferTest : public test::SimDocumentTest {
  protected:
    void SetUp() override {
        std::ofstream(isolated.dir.File("QRL.ini"))
            << "[KVR View]\nKVR Download Delay=" << kDelayMs << "\n";
        ASSERT_EQ(
            CRegistry::WriteString(RegRoot::CurrentUser, kKeyConfiguration, kValPassword, "secret"),
            kRegOk);
        SetRunPassword("secret");  // authorised unless a test says otherwise
        doc.OnNewDocument();       // channel objects at addresses 0 to 3, as at start-up
        Start(sim::UnitKind::Kvr300);
    }
    void TearDown() override { SetRunPassword(""); }

    void Start(sim::UnitKind kind, uint8_t firmware = 189) {
        sim::SimOptions options;
        options.kind = kind;
        options.firmware = firmware;
        StartUnits(options);
        doc.Port().SetLineOpener([this](const std::string& device, const LineSettings& settings,
                                        std::string& error) -> std::unique_ptr<ISerialLine> {
            auto inner = sim::SimLineOpener(*units)(device, settings, error);
            return std::make_unique<TapLine>(std::move(inner), sent, hook);
        });
    }
    ParameterRecord UnitRecord(int address) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        return units->Board(address)->record;
    }
    void EditUnit(int address, const std::function<void(ParameterRecord&)>& edit) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        edit(units->Board(address)->record);
    }
    // Upload, then forget what the upload showed and sent.
    void Uploaded() {
        ASSERT_TRUE(UploadCommand(doc));
        user.messages.clear();
        user.paneHistory.clear();
        user.lamp.clear();
        user.busyTexts.clear();
        sent.clear();
    }
    // Fails every exchange that starts with the given command byte.
    void SilenceCommand(uint8_t command) {
        hook = [this, command](const uint8_t* data, size_t) {
            units->GetFaults().silent = data[0] == command;
        };
    }
    bool Sends(uint8_t command, size_t size = 1) const {
        return std::any_of(sent.begin(), sent.end(),
                           [&](const Sent& s) { return s.command == command && s.size == size; });
    }
    size_t RecordWrites() const {
        return static_cast<size_t>(std::count_if(
            sent.begin(), sent.end(), [](const Sent& s) { return (s.command & 0xF8) == 0xA0; }));
    }
    // Every message shown, each as "text | title | icon | buttons".
    std::vector<std::string> Shown() const {
        std::vector<std::string> out;
        for (const auto& m : user.messages) {
            out.push_back(Msg(m.text, m.title, m.icon, m.buttons));
        }
        return out;
    }
    static std::string Msg(const std::string& text, const std::string& title = "KVR View",
                           MsgIcon icon = MsgIcon::Error, MsgButtons buttons = MsgButtons::Ok) {
        return text + " | " + title + " | " + std::to_string(static_cast<int>(icon)) + " | " +
               std::to_string(static_cast<int>(buttons));
    }
    static std::string Info(const std::string& text, const std::string& title = "KVR View") {
        return Msg(text, title, MsgIcon::Information);
    }
    using Texts = std::vector<std::string>;

    std::vector<Sent> sent;
    TapLine::Hook hook;
};

// --- pane texts --------------------------------------------------------------------------

TEST(TransferPaneText, EveryMaskOfBothPanes) {
    // The low four bits, written out from the rule: 1 is a KVR 100, 15 a KVR 300, 8 the
    // main board alone, anything else the channel numbers and "3Ph".
    const char* const kLow[16] = {nullptr,     " KVR 100",    " Ch 2",       " Ch 1,2",
                                  " Ch 3",     " Ch 1,3",     " Ch 2,3",     " Ch 1,2,3",
                                  " 3Ph",      " Ch 1,3Ph",   " Ch 2,3Ph",   " Ch 1,2,3Ph",
                                  " Ch 3,3Ph", " Ch 1,3,3Ph", " Ch 2,3,3Ph", " KVR 300"};
    for (unsigned mask = 0; mask < 256; ++mask) {
        std::string up, down;
        if (mask >= 16) {
            char text[32];
            std::snprintf(text, sizeof text, "Up res %u", mask);
            up = text;
            std::snprintf(text, sizeof text, "Dwn res %u", mask);
            down = text;
        } else if (mask == 0) {
            up = "NO UPLOAD COMPLETE";
            down = "NO DOWNLOAD COMPLETE";
        } else {
            up = std::string("Uploaded") + kLow[mask];
            down = std::string("Downloaded") + kLow[mask];
        }
        EXPECT_EQ(TransferPaneText(false, mask), up) << mask;
        EXPECT_EQ(TransferPaneText(true, mask), down) << mask;
    }
}

// --- upload ------------------------------------------------------------------------------

TEST_F(TransferTest, Kvr100AloneStopsAtTheFirstSilentBoard) {
    Start(sim::UnitKind::Kvr100, 150);
    doc.setupFilePath = "old.kvr";
    doc.displaySetupPath = "old.dsp";
    doc.Channel(0).SetDeviceCode(1);
    EXPECT_TRUE(UploadCommand(doc));
    EXPECT_EQ(doc.GetChannels(), 1);
    EXPECT_EQ(doc.lastUploadMask, 1);
    EXPECT_TRUE(doc.configurationPresent);
    EXPECT_TRUE(doc.setupFilePath.empty());
    EXPECT_TRUE(doc.displaySetupPath.empty());
    EXPECT_EQ(doc.Channel(0).record, UnitRecord(0));
    EXPECT_FALSE(doc.Channel(0).Extended());                      // firmware 1.50
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Not Available");  // left at its defaults
    EXPECT_FALSE(Sends(0x82));                                    // stopped at board 1
    EXPECT_EQ(Shown(), Texts{Info("Uploaded from KVR 100")});
    ASSERT_GE(user.paneHistory.size(), 2u);
    EXPECT_EQ(user.paneHistory.front().second, "NO UPLOAD COMPLETE");  // set first
    EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 100");
    EXPECT_EQ(user.busyDepth, 0);
}

TEST_F(TransferTest, ContinueModeCountsEveryBoardAndTheMaskTellsWhichAnswered) {
    doc.stopAtFirstFailure = false;
    SilenceCommand(0x82);  // channel 3 (address 2) does not answer
    EXPECT_TRUE(UploadCommand(doc));
    EXPECT_EQ(doc.GetChannels(), 4);
    EXPECT_EQ(doc.lastUploadMask, 11);
    EXPECT_EQ(doc.Channel(3).record, UnitRecord(3));
    EXPECT_NE(doc.Channel(2).record, UnitRecord(2));
    EXPECT_TRUE(doc.Channel(3).Extended());
    EXPECT_EQ(Shown(), Texts{Info("Uploaded from KVR 300")});
    EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded Ch 1,2,3Ph");
}

TEST_F(TransferTest, NoBoardAnsweringIsNoConfigurationInEitherMode) {
    Uploaded();
    EXPECT_TRUE(doc.configurationPresent);
    units->GetFaults().silent = true;
    for (bool stop : {true, false}) {
        user.messages.clear();
        doc.stopAtFirstFailure = stop;
        EXPECT_FALSE(UploadCommand(doc)) << stop;
        EXPECT_EQ(doc.GetChannels(), 0);
        EXPECT_FALSE(doc.configurationPresent);
        EXPECT_EQ(doc.lastUploadMask, 0);
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
    EXPECT_EQ(doc.monitorCount, 2);
    EXPECT_EQ(doc.monitorChannels[1], 3);

    doc.monitorCount = 1;
    doc.monitorEntities[0] = 7;
    ASSERT_TRUE(UploadAll(doc));
    EXPECT_EQ(doc.monitorCount, 1);
    EXPECT_EQ(doc.monitorEntities[0], 7);
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
            // No serial question.
            EXPECT_EQ(Shown(), (Texts{differentUnit, Msg("0 Channel(s) Downloaded")}));
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
            ours.ApplyGainFactor(1.01, false);     // gains
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
    doc.preferencesEnabled = true;
    doc.noDialogAfterDownload = false;
    EditUnit(0, [](ParameterRecord& r) { r.SetSerialNumber(990001); });
    doc.Channel(0).record.ApplyGainFactor(1.02, true);
    const ParameterRecord ours = doc.Channel(0).record;

    doc.downloadToDifferentUnit[0] = false;
    DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.count, 0);
    EXPECT_EQ(RecordWrites(), 0u);
    EXPECT_EQ(Shown(), Texts{Msg("0 Channel(s) Downloaded")});  // skipped without a question

    user.messages.clear();
    doc.downloadToDifferentUnit[0] = true;
    doc.overwriteSerialNumber[0] = false;
    doc.overwriteCalibration[0] = true;
    r = DownloadCommand(doc);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(Shown(), Texts{Info("Downloaded to KVR 100")});
    EXPECT_EQ(UnitRecord(0).GetSerialNumber(), 990001u);
    EXPECT_EQ(UnitRecord(0).GetCurrentGain(), ours.GetCurrentGain());

    // Overwriting the serial number, keeping the calibration.
    const ParameterRecord unitNow = UnitRecord(0);
    doc.Channel(0).record.SetSerialNumber(4242);
    doc.Channel(0).record.ApplyGainFactor(1.05, true);
    doc.overwriteSerialNumber[0] = true;
    doc.overwriteCalibration[0] = false;
    ASSERT_TRUE(DownloadCommand(doc).complete);
    EXPECT_EQ(UnitRecord(0).GetSerialNumber(), 4242u);
    EXPECT_EQ(UnitRecord(0).GetCurrentGain(), unitNow.GetCurrentGain());
}

TEST_F(TransferTest, SummaryIsSuppressedOnlyWithPreferencesAndNoDialogBothSet) {
    Start(sim::UnitKind::Kvr100);
    struct Case {
        bool enabled, noDialog, shown;
    };
    for (const Case c : {Case{true, true, false}, Case{true, false, true}, Case{false, true, true},
                         Case{false, false, true}}) {
        SCOPED_TRACE(c.enabled * 10 + c.noDialog);
        doc.preferencesEnabled = c.enabled;
        doc.noDialogAfterUpload = c.noDialog;
        doc.noDialogAfterDownload = c.noDialog;
        user.messages.clear();
        user.panes.clear();
        ASSERT_TRUE(UploadAll(doc));
        EXPECT_EQ(user.messages.size(), c.shown ? 1u : 0u);
        EXPECT_EQ(user.panes[StatusPane::Upload], "Uploaded KVR 100");
        user.messages.clear();
        sent.clear();
        ASSERT_TRUE(DownloadCommand(doc).complete);
        EXPECT_EQ(user.messages.size(), c.shown ? 1u : 0u);
        EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded KVR 100");
        EXPECT_FALSE(Sends(0x83));  // no main board to read again
    }
}

TEST_F(TransferTest, MissingAcknowledgeFailsTheBoardButKeepsTheConfiguration) {
    Uploaded();
    doc.Channel(1).record.SetName("Edited 1");
    doc.Channel(1).record.SetSignature(0);
    hook = [this](const uint8_t* data, size_t n) {
        if (n == 117 && data[0] == 0xA1) {
            units->GetFaults().dropNextReply = true;
        }
    };
    DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(r.mask, 1u);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(doc.Channel(1).record.GetName(), "Edited 1");
    EXPECT_EQ(doc.Channel(1).record.GetSignature(), 7502);    // holds what was sent
    EXPECT_FALSE(Sends(0x82));                                // stopped at the first failure
    EXPECT_FALSE(Sends(0x83));                                // and no re-read
    EXPECT_EQ(Shown(), Texts{Msg("Downloaded to KVR 100")});  // with the stop icon

    // Continue mode: every board tried; a failure never shows the information icon.
    doc.stopAtFirstFailure = false;
    user.messages.clear();
    r = DownloadCommand(doc);
    EXPECT_EQ(r.mask, 13u);
    EXPECT_EQ(r.count, 4);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(Shown(), Texts{Msg("Downloaded to KVR 300")});
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded Ch 1,3,3Ph");
}

TEST_F(TransferTest, FailedMainBoardWriteIsNotOverwrittenByTheReread) {
    Uploaded();
    doc.stopAtFirstFailure = false;
    doc.Channel(3).record.SetName("Main edited");
    hook = [this](const uint8_t* data, size_t n) {
        if (n == 117 && data[0] == 0xA3) {
            units->GetFaults().dropNextReply = true;
        }
    };
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_EQ(r.mask, 7u);
    EXPECT_FALSE(r.complete);
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(sent.back().command, 0x83);
    EXPECT_EQ(doc.Channel(3).record.GetName(), "Main edited");
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
                     Msg("2 Channel(s) Downloaded")}));
    EXPECT_EQ(user.panes[StatusPane::Download], "Downloaded Ch 1,2");
    EXPECT_EQ(user.lamp, std::vector<bool>{true});
    EXPECT_TRUE(doc.configurationPresent);
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
    user.passwordPrompts.clear();
    sent.clear();
    const DownloadOutcome cancelled = DownloadCommand(doc);  // no answers: Cancel
    EXPECT_EQ(cancelled.count, 0);
    EXPECT_EQ(user.passwordPrompts.size(), 1u);
    EXPECT_TRUE(sent.empty());  // not even the read-back

    doc.stopAtFirstFailure = false;
    user.passwordPrompts.clear();
    user.messages.clear();
    user.lamp.clear();
    const DownloadOutcome none = DownloadCommand(doc);
    EXPECT_EQ(none.mask, 0u);
    EXPECT_EQ(user.passwordPrompts.size(), 4u);  // each board asks again
    // Every board tried and none written: nothing is counted.
    EXPECT_EQ(none.count, 0);
    EXPECT_EQ(Shown(), Texts{Msg("0 Channel(s) Downloaded")});
    EXPECT_EQ(user.lamp, std::vector<bool>{false});
}

TEST_F(TransferTest, CancelledQuestionAbandonsTheDownload) {
    Uploaded();
    doc.stopAtFirstFailure = false;
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

TEST_F(TransferTest, BusyDeviceLeavesTheDownloadUndoneAndTheUploadEmpty) {
    Uploaded();
    std::atomic<bool> held{false}, release{false};
    std::thread reader([&] {
        DeviceLock lock(doc);
        ASSERT_TRUE(lock.Lock());
        held = true;
        while (!release) {
            std::this_thread::yield();
        }
    });
    while (!held) {
        std::this_thread::yield();
    }
    const DownloadOutcome r = DownloadCommand(doc);
    EXPECT_FALSE(r.locked);
    EXPECT_TRUE(user.paneHistory.empty());
    EXPECT_FALSE(UploadCommand(doc));
    EXPECT_EQ(user.panes[StatusPane::Upload], "NO UPLOAD COMPLETE");
    release = true;
    reader.join();
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(user.messages.empty());
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
    user.messages.clear();
    sent.clear();
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
