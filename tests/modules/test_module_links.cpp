// The modules' protocols against simulated modules on an in-process line, every wait on
// the virtual clock: the display's synchronisation and its give-up, reads with their
// attempts and questions, and the Com record's frame and its read attempts.
#include <gtest/gtest.h>

#include "modules/ComSetup.h"
#include "modules/DisplayEditor.h"
#include "modules/ModuleTestUtil.h"
#include "modules/QueryDevice.h"
#include "sim/SimModules.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

class ModuleLinks : public test::SimDocumentTest {
  protected:
    void SetUp() override {
        sim::SimOptions options;
        options.withDisplay = true;
        options.withCom = true;
        StartUnits(options);
    }
    CDisplayLink display{&doc.Port()};
    CComLink com{&doc.Port()};
};

TEST(ComFrame, WriteFrameCarriesTheRecordAndItsChecksum) {
    ComFields f;
    f.serialNumber = 1000;
    f.slaveId = 17;
    f.choice = {1, 1, 2, 1, 1, 0, 1};  // KVR 300, 9600, Even, 8 bits, 1 stop, none, Modbus RTU
    const auto frame = ComWriteFrame(ComRecordFromFields(f, {}));
    EXPECT_EQ(std::vector<uint8_t>(frame.begin(), frame.end()),
              (std::vector<uint8_t>{0xA4, 0xE8, 0x03, 0x00, 0x00, 0x11, 0x03, 0x01, 0x01, 0x02,
                                    0x08, 0x00, 0x01, 0x50}));
    // Bytes outside their lists show no choice and are written back as they came.
    ComSetupRecord odd;
    odd.bytes = {0x55, 0x1D, 0x03, 0x00, 9, 2, 7, 1, 5, 7, 0, 9};  // serial 204117
    ComFields shown = ComFieldsFromRecord(odd);
    EXPECT_EQ(shown.Choice(ComChoice::AttachedUnit), -1);
    EXPECT_EQ(shown.Choice(ComChoice::Baud), -1);
    EXPECT_EQ(shown.Choice(ComChoice::DataBits), 0);  // "7"
    EXPECT_EQ(ComRecordFromFields(shown, odd), odd);
    int id = 0;
    EXPECT_TRUE(ParseSlaveId(" 255", id));
    EXPECT_EQ(id, 255);
    EXPECT_FALSE(ParseSlaveId("256", id));
    EXPECT_FALSE(ParseSlaveId("-1", id));
}

TEST_F(ModuleLinks, DisplayReadRetriesAShortAnswerAndGivesUpAfterFourAttempts) {
    DisplaySetupRecord record{};
    units->GetFaults().shortReply = 387;
    ASSERT_TRUE(display.ReadDisplaySetup(record, true, false));
    EXPECT_EQ(record[0], 0xA5);
    EXPECT_TRUE(user.messages.empty());

    units->GetFaults().slowMs = 5000;  // every answer too late for the read
    EXPECT_FALSE(display.ReadDisplaySetup(record, false, false));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Failed to Read KVR Display Parameters Correctly!");
    EXPECT_EQ(user.messages[0].icon, MsgIcon::Warning);
}

TEST_F(ModuleLinks, NoCueGivesUpAfter2500MsAndAsksAbortRetryIgnore) {
    units->GetFaults().noCue = true;
    ASSERT_TRUE(doc.Port().EnsureOpen());
    const uint64_t start = clock.NowMs();
    EXPECT_FALSE(display.Synchronise());
    EXPECT_GE(clock.NowMs() - start, kDisplaySyncMs);
    EXPECT_LT(clock.NowMs() - start, kDisplaySyncMs + 1100);

    DisplaySetupRecord record{};
    record[10] = 0x42;
    EXPECT_FALSE(display.ReadDisplaySetup(record, true, true));  // quiet: nothing asked
    EXPECT_TRUE(user.messages.empty());
    user.answers = {MsgAnswer::Ignore};
    EXPECT_TRUE(display.ReadDisplaySetup(record, true, false));
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].title, "KVR Display communications error");
    EXPECT_EQ(user.messages[0].buttons, MsgButtons::AbortRetryIgnore);
    EXPECT_EQ(record[10], 0x42);  // Ignore reads nothing
    user.answers = {MsgAnswer::Abort};
    EXPECT_FALSE(display.ReadDisplaySetup(record, true, false));

    DisplayEditor editor = test::MakeDisplayEditor();
    editor.Open(DisplaySetupRecord{});
    EXPECT_FALSE(editor.Download(display));
    EXPECT_EQ(user.messages.back().text,
              "An error occurred while writing the KVR Display Configuration!\nPlease try again.");
    EXPECT_EQ(user.messages[user.messages.size() - 2].text, "Failed to detect KVR Display unit!");
}

TEST_F(ModuleLinks, ComReadRetriesAShortAnswerAndGivesUpAfterFourAttempts) {
    // A 13-byte answer is a failed attempt; four of them fail the read.
    ComSetupRecord back;
    units->GetFaults().shortReply = 13;
    ASSERT_TRUE(com.ReadComSetup(back, false));
    units->GetFaults().silent = true;
    const uint64_t slept = clock.SleptMs();
    EXPECT_FALSE(com.ReadComSetup(back, false));
    EXPECT_GE(clock.SleptMs() - slept, 4u * kModuleReplyWaitMs);
    ASSERT_EQ(user.Texts(),
              std::vector<std::string>{"Failed to Read KVR Com Parameters Correctly!"});
}

TEST_F(ModuleLinks, QueryDeviceFindsTheDisplayThenTheComThenTheMeasuringUnits) {
    auto query = [&](DeviceType expected, const char* text, int channels) {
        user.messages.clear();
        EXPECT_EQ(QueryDeviceType(doc), expected);
        ASSERT_EQ(user.messages.size(), 1u);
        EXPECT_EQ(user.messages[0].text, text);
        EXPECT_EQ(user.messages[0].title, "Query Device");
        EXPECT_EQ(doc.GetChannels(), channels);
    };
    query(DeviceType::KvrDisplay, "A KVR Display was detected", 0);
    units->GetFaults().noCue = true;
    doc.Port().Purge();  // cues already received
    query(DeviceType::KvrCom, "A KVR Com was detected", 0);
    StartUnits();
    query(DeviceType::Kvr300, "A KVR 300 was detected", 4);
}

// The display's cues pile up during the pause after Attention and the download delay, and
// come before a reply that is late: acknowledges and echoes pass over them.
TEST_F(ModuleLinks, MeasuringUnitsWorkBesideABroadcastingDisplay) {
    CChannelLink& board = doc.Channel(1);
    ASSERT_TRUE(board.ReadParameters());
    board.UpdateExtendedFromFirmware();
    board.record.SetName("Feeder 9");
    ASSERT_TRUE(board.WriteParameters());
    ParameterRecord back;
    ASSERT_TRUE(board.CTalkLink::ReadParameters(back));
    EXPECT_EQ(back.GetName(), "Feeder 9");
    units->GetFaults().slowMs = 300;  // a cue comes first
    ASSERT_TRUE(board.Sample());
    clock.SleepMs(1000);
    talk::ValuesData values{};
    size_t length = 0;
    EXPECT_TRUE(board.ReadValues(values, length));
    EXPECT_TRUE(board.CTalkLink::ReadParameters(back));
    EXPECT_TRUE(user.messages.empty());
}

}  // namespace
}  // namespace kvr
