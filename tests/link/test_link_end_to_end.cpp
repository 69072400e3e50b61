// The whole link against simulated units on a pseudo-terminal, through the real termios
// path: every board's values decoded, values replies of both lengths, replies that arrive late or
// broken, and every injected fault failing cleanly with the channel's record unchanged. Program
// waits (the Attention pause, the download delay) run on the virtual clock; line timeouts are real.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "base/Clock.h"
#include "base/IniFile.h"
#include "base/Seams.h"
#include "link/ChannelLink.h"
#include "support/ScriptedUser.h"
#include "support/SimOnPty.h"

namespace kvr {
namespace {

class LinkEndToEnd : public ::testing::Test {
  protected:
    void Start(sim::SimOptions options = {}) {
        options.baud = 38400;
        options.turnaroundUs = 500;
        boards.clear();
        sim.reset();
        sim = std::make_unique<test::SimOnPty>(options);
        ASSERT_EQ(sim->error, "");
        for (uint8_t a = 0; a < 4; ++a) {
            boards.push_back(std::make_unique<CChannelLink>(&sim->port, a));
        }
    }
    void SetUp() override { Start(); }
    long MsSince(std::chrono::steady_clock::time_point start) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
    }

    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    test::ScriptedUser user;
    ScopedSeams useUser{Seams{.user = &user}};
    std::unique_ptr<test::SimOnPty> sim;
    std::vector<std::unique_ptr<CChannelLink>> boards;
};

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
        ASSERT_TRUE(b->GetValue(EntityFromCode(1), Winding::Primary, v) &&
                    b->GetValue(EntityFromCode(2), Winding::Primary, i) &&
                    b->GetValue(EntityFromCode(3), Winding::Primary, p) &&
                    b->GetValue(EntityFromCode(6), Winding::Primary, pf) &&
                    b->GetValue(EntityFromCode(7), Winding::Primary, f));
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
        EXPECT_TRUE(ch.GetValue(EntityFromCode(1), Winding::Primary, v)) << "cycle " << cycle;
    }
}

TEST_F(LinkEndToEnd, AReplyTailStillArrivingAfterAFailureNeverBecomesTheNextReply) {
    CChannelLink& ch = *boards[1];
    ASSERT_TRUE(ch.ReadParameters());
    sim::Faults& faults = sim->units.GetFaults();
    // The unit stalls mid-reply a little longer than the gap a read waits for: the read
    // gives up, and the rest of the record comes in just after.
    faults.gapAfterBytes = 10;
    faults.slowGapMs = kReadIntervalMs + 50;
    EXPECT_FALSE(ch.ReadParameters());
    faults.gapAfterBytes = 0;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(ch.ReadParameters()) << i;  // the line is in step again at once
    }
}

TEST_F(LinkEndToEnd, OlderFirmwareGivesTheShortValuesReply) {
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
    EXPECT_TRUE(ch.GetValue(EntityFromCode(1), Winding::Primary, v));
}

TEST_F(LinkEndToEnd, EveryInjectedFaultFailsCleanly) {
    CChannelLink& ch = *boards[0];
    ASSERT_TRUE(ch.ReadParameters());
    ch.record.SetName("Kept");
    const ParameterRecord kept = ch.record;
    sim::Faults& faults = sim->units.GetFaults();
    for (int c = 0; c < 4; ++c) {
        faults.dropNextReply = c == 0;
        faults.corruptChecksum = c == 1;
        faults.shortReply = c == 2 ? 40 : 0;
        faults.wrongEcho = c == 3;
        EXPECT_FALSE(ch.ReadParameters()) << c;
        EXPECT_EQ(ch.record, kept) << c;
        ParameterRecord fresh;  // one-shot: the next exchange works again
        EXPECT_TRUE(ch.CTalkLink::ReadParameters(fresh)) << c;
    }

    faults.silent = true;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_GE(MsSince(start), 1000 + 5 * 117 - 20);  // the read's total timeout
    EXPECT_EQ(ch.record, kept);
    faults.silent = false;

    faults.dropNextReply = true;  // a write whose acknowledge is swallowed fails
    EXPECT_FALSE(ch.WriteParameters());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(LinkEndToEnd, HungUpLineFailsAtOnceAndIsReportedOnTheNextCommand) {
    CChannelLink& ch = *boards[3];
    ASSERT_TRUE(ch.ReadParameters());
    const ParameterRecord kept = ch.record;
    sim->units.GetFaults().hangUp = true;
    EXPECT_FALSE(ch.ReadParameters());
    EXPECT_EQ(ch.record, kept);
    EXPECT_FALSE(sim->port.IsOpen());   // seen as a hang-up, not waited out as a silence
    EXPECT_FALSE(ch.ReadParameters());  // the device has gone with the simulator's line
    ASSERT_FALSE(user.messages.empty());
    EXPECT_EQ(user.messages.back().text, "Failed to open Communications Port");
}

}  // namespace
}  // namespace kvr
