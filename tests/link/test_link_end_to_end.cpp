// The whole link against simulated units on a pseudo-terminal, through the real termios
// path: every board's values decoded, values replies of both lengths, and a reply that
// arrives late. Program waits run on the virtual clock; line timeouts are real.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kvr
