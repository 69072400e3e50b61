// The whole link against simulated units on a pseudo-terminal, through the real termios
// path: every board read, a record written and read back, values decoded, and every
// injected fault failing cleanly with the channel's record unchanged. Program waits (the
// Attention pause, the download delay) run on the virtual clock; line timeouts are real.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <memory>

#include "link/ChannelLink.h"
#include "link/Clock.h"
#include "link/IniFile.h"
#include "sim/PtyHost.h"
#include "sim/SimUnits.h"
#include "support/ScriptedUser.h"

namespace kvr {
namespace {

constexpr unsigned kBaud = 38400;

class LinkEndToEnd : public ::testing::Test {
  protected:
    void Start(sim::SimOptions options) {
        options.baud = kBaud;
        options.turnaroundUs = 500;
        units = std::make_unique<sim::SimUnits>(options);
        host = std::make_unique<sim::PtyHost>(*units);
        std::string error;
        ASSERT_TRUE(host->Start("", error)) << error;
        port.Settings().device = host->SlavePath();
        port.Settings().baud = std::to_string(kBaud);
        ASSERT_TRUE(port.EnsureOpen()) << port.LastError();
        for (uint8_t a = 0; a < 4; ++a) {
            boards.push_back(std::make_unique<CChannelLink>(&port, a));
        }
    }
    void SetUp() override { Start({}); }
    void TearDown() override {
        port.Close();
        host.reset();
    }
    ParameterRecord UnitRecord(int address) {
        std::lock_guard<std::mutex> lock(units->Mutex());
        return units->Board(address)->record;
    }

    VirtualClock clock;
    ScopedClock useClock{clock};
    test::ScriptedUser user;
    ScopedUserSeam useUser{user};
    std::unique_ptr<sim::SimUnits> units;
    std::unique_ptr<sim::PtyHost> host;
    CSerialPort port;
    std::vector<std::unique_ptr<CChannelLink>> boards;
};

TEST_F(LinkEndToEnd, ReadsEveryBoardOfAKvr300) {
    for (int a = 0; a < 4; ++a) {
        ASSERT_TRUE(boards[a]->ReadParameters()) << "board " << a;
        EXPECT_TRUE(boards[a]->record.IsValid());
        EXPECT_EQ(boards[a]->record.GetUnitAddress(), a);
        EXPECT_EQ(boards[a]->record, UnitRecord(a));
    }
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(LinkEndToEnd, WrittenRecordReadsBackEqual) {
    CChannelLink& ch = *boards[1];
    ASSERT_TRUE(ch.ReadParameters());
    ch.record.SetName("Feeder 7");
    ch.record.SetDirect(false, false);
    ch.record.SetPrimary(false, false, 33000);
    ch.record.SetScaleMax(2, 12345);
    const ParameterRecord written = ch.record;
    const uint64_t slept = clock.SleptMs();
    ASSERT_TRUE(ch.WriteParameters());
    EXPECT_EQ(clock.SleptMs() - slept, 1000u + DownloadDelayMs());
    EXPECT_EQ(UnitRecord(1), written);

    ch.record.ResetToDefaults(1);
    ASSERT_TRUE(ch.ReadParameters());
    EXPECT_EQ(ch.record, written);
    EXPECT_EQ(ch.record.GetName(), "Feeder 7");
}

TEST_F(LinkEndToEnd, ValuesOfEveryBoardDecode) {
    for (auto& b : boards) {
        ASSERT_TRUE(b->ReadParameters());
        b->UpdateExtendedFromFirmware();
        EXPECT_TRUE(b->Extended());  // firmware 1.89 and later
    }
    ASSERT_TRUE(boards[0]->Sample());
    for (auto& b : boards) {
        ASSERT_TRUE(b->ReadValues()) << "board " << int(b->Address());
        EXPECT_EQ(b->valuesLength, 42u);
        double v = 0, i = 0, p = 0, pf = 0, f = 0;
        ASSERT_TRUE(b->GetValue(1, false, v));
        ASSERT_TRUE(b->GetValue(2, false, i));
        ASSERT_TRUE(b->GetValue(3, false, p));
        ASSERT_TRUE(b->GetValue(6, false, pf));
        ASSERT_TRUE(b->GetValue(7, false, f));
        EXPECT_NEAR(f, 50.0, 0.5);
        EXPECT_GT(v, 10.0);
        EXPECT_GT(i, 0.0);
        EXPECT_GT(pf, 0.5);
        EXPECT_LE(pf, 1.0);
        const double phases = b->Address() == 3 ? 3.0 : 1.0;  // the main board sums
        EXPECT_NEAR(p, phases * v * i * pf, 0.03 * phases * v * i + 1.0) << int(b->Address());
    }
}

TEST_F(LinkEndToEnd, SampleIsNeverLostToTheNextPurge) {
    CChannelLink& ch = *boards[0];
    ASSERT_TRUE(ch.ReadParameters());
    ch.UpdateExtendedFromFirmware();
    for (int cycle = 0; cycle < 10; ++cycle) {
        ASSERT_TRUE(ch.Sample());
        ASSERT_TRUE(ch.ReadValues());  // purges first: the sample must already be out
        double v = 0;
        EXPECT_TRUE(ch.GetValue(1, false, v)) << "cycle " << cycle;
    }
}

TEST_F(LinkEndToEnd, OlderFirmwareGivesTheShortValuesReply) {
    TearDown();
    boards.clear();
    sim::SimOptions options;
    options.firmware = 180;
    Start(options);
    CChannelLink& ch = *boards[2];
    ASSERT_TRUE(ch.ReadParameters());
    ch.UpdateExtendedFromFirmware();
    EXPECT_FALSE(ch.Extended());
    ASSERT_TRUE(ch.Sample());
    ASSERT_TRUE(ch.ReadValues());
    EXPECT_EQ(ch.valuesLength, 30u);
    double v = 0;
    EXPECT_TRUE(ch.GetValue(1, false, v));
}

TEST_F(LinkEndToEnd, EveryInjectedFaultFailsCleanly) {
    CChannelLink& ch = *boards[0];
    ASSERT_TRUE(ch.ReadParameters());
    ch.record.SetName("Kept");
    const ParameterRecord kept = ch.record;
    sim::Faults& faults = units->GetFaults();

    struct Case {
        const char* name;
        std::function<void()> inject;
    };
    const Case cases[] = {
        {"drop", [&] { faults.dropNextReply = true; }},
        {"corrupt", [&] { faults.corruptChecksum = true; }},
        {"short", [&] { faults.shortReply = 40; }},
        {"echo", [&] { faults.wrongEcho = true; }},
    };
    for (const Case& c : cases) {
        c.inject();
        EXPECT_FALSE(ch.ReadParameters()) << c.name;
        EXPECT_EQ(ch.record, kept) << c.name;
        // One-shot: the next exchange works again.
        ParameterRecord fresh;
        EXPECT_TRUE(ch.CTalkLink::ReadParameters(fresh)) << c.name;
    }

    faults.silent = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.ReadParameters());
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    EXPECT_GE(ms, 1000 + 5 * 117 - 20);  // the read's total timeout
    EXPECT_LT(ms, 2500);
    EXPECT_EQ(ch.record, kept);
    faults.silent = false;

    // A write whose acknowledge is swallowed reports failure.
    faults.dropNextReply = true;
    EXPECT_FALSE(ch.WriteParameters());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(LinkEndToEnd, HungUpLineFailsAtOnceAndIsReportedOnTheNextCommand) {
    CChannelLink& ch = *boards[3];
    ASSERT_TRUE(ch.ReadParameters());
    const ParameterRecord kept = ch.record;
    units->GetFaults().hangUp = true;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count(),
              700);
    EXPECT_EQ(ch.record, kept);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(ch.ReadParameters());  // the device has gone with the simulator's line
    ASSERT_FALSE(user.messages.empty());
    EXPECT_EQ(user.messages.back().text, "Failed to open Communications Port");
}

TEST_F(LinkEndToEnd, SingleKvr100AnswersOnlyAtItsAddress) {
    TearDown();
    boards.clear();
    sim::SimOptions options;
    options.kind = sim::UnitKind::Kvr100;
    options.kvr100Address = 1;
    Start(options);
    EXPECT_TRUE(boards[1]->ReadParameters());
    ParameterRecord scratch;
    EXPECT_FALSE(boards[3]->CTalkLink::ReadParameters(scratch));  // no main board
}

}  // namespace
}  // namespace kvr
