// The in-process line: replies at once, every timeout spent on the virtual clock.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "base/Clock.h"
#include "base/Seams.h"
#include "sim/SimLine.h"

namespace kvr::sim::test {
namespace {

constexpr unsigned kInterval = 500;
constexpr unsigned kTotal = 1000 + 5 * 117;

class SimLineTest : public ::testing::Test {
  protected:
    static SimOptions Opts() {
        SimOptions o;
        o.pace = false;
        return o;
    }
    long Send(const Bytes& b) { return line.Write(b.data(), b.size(), 1000); }
    long Receive(Bytes& into, size_t n) {
        into.assign(n, 0);
        const long got = line.Read(into.data(), n, kInterval, kTotal);
        into.resize(got > 0 ? static_cast<size_t>(got) : 0);
        return got;
    }

    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    SimUnits units{Opts()};
    SimLine line{units};
    Bytes reply;
};

TEST_F(SimLineTest, CompleteReplyCostsNoTime) {
    ASSERT_EQ(Send({0x81}), 1);
    ASSERT_EQ(Receive(reply, 117), 117);
    EXPECT_EQ(reply[0], 0x81);
    EXPECT_TRUE(talk::SumsToZero(reply.data(), reply.size()));
    EXPECT_EQ(clock.SleptMs(), 0u);

    // Two replies queue in order and can be read in pieces.
    Send({0x00, 0x01});
    ASSERT_EQ(Receive(reply, 3), 3);
    EXPECT_EQ(reply[0], 0x03);
    ASSERT_EQ(Receive(reply, 7), 7);
    EXPECT_EQ(reply[2], 0x03);  // the second reply's device code
    EXPECT_EQ(clock.SleptMs(), 0u);
}

TEST_F(SimLineTest, ShortReplyWaitsTheIntervalAndSilenceTheTotal) {
    units.GetFaults().shortReply = 5;
    Send({0x80});
    EXPECT_EQ(Receive(reply, 117), 5);
    EXPECT_EQ(clock.SleptMs(), kInterval);

    units.GetFaults().silent = true;
    Send({0x80});
    const uint64_t before = clock.SleptMs();
    EXPECT_EQ(Receive(reply, 117), 0);
    EXPECT_EQ(clock.SleptMs() - before, kTotal);
}

TEST_F(SimLineTest, SlowRepliesArriveLateOrNotAtAll) {
    units.GetFaults().slowMs = 300;
    Send({0x82});
    EXPECT_EQ(Receive(reply, 117), 117);
    EXPECT_EQ(clock.SleptMs(), 300u);

    units.GetFaults().slowMs = 3000;  // beyond the read's total timeout
    Send({0x82});
    const uint64_t before = clock.SleptMs();
    EXPECT_EQ(Receive(reply, 117), 0);
    EXPECT_EQ(clock.SleptMs() - before, kTotal);
    EXPECT_TRUE(line.Purge());
    clock.Advance(5000);
    EXPECT_EQ(Receive(reply, 117), 0);  // the purge took the late reply too
}

TEST_F(SimLineTest, StallMidReplyEndsTheReadAfterTheInterval) {
    units.GetFaults().gapAfterBytes = 10;
    units.GetFaults().slowGapMs = 800;
    Send({0x83});
    EXPECT_EQ(Receive(reply, 117), 10);
    EXPECT_EQ(clock.SleptMs(), kInterval);
    EXPECT_EQ(Receive(reply, 107), 107);  // the rest comes after the stall
    EXPECT_EQ(clock.SleptMs(), 800u);

    units.GetFaults().slowGapMs = 200;  // a stall shorter than the interval is bridged
    Send({0x83});
    EXPECT_EQ(Receive(reply, 117), 117);
}

TEST_F(SimLineTest, HangUpFailsTheLineUntilReopened) {
    units.GetFaults().hangUp = true;
    EXPECT_TRUE(line.HungUp());
    EXPECT_EQ(Send({0x80}), -1);
    EXPECT_EQ(Receive(reply, 117), -1);

    std::string error;
    std::unique_ptr<ISerialLine> reopened = SimLineOpener(units)("ignored", LineSettings{}, error);
    ASSERT_NE(reopened, nullptr);
    uint8_t buffer[117] = {0x80};
    EXPECT_EQ(reopened->Write(buffer, 1, 100), 1);
    EXPECT_EQ(reopened->Read(buffer, 117, kInterval, kTotal), 117);
}

TEST_F(SimLineTest, PurgeDtrAndAFrameLeftHalfWritten) {
    Send({0x80});
    EXPECT_TRUE(line.Purge());
    EXPECT_EQ(Receive(reply, 1), 0);
    EXPECT_FALSE(line.Dtr());
    EXPECT_TRUE(line.SetDtr(true));
    EXPECT_TRUE(line.Dtr());

    Send({0xA0, 1, 2});  // forgotten after the frame gap
    clock.Advance(kFrameGapMs + 50);
    Send({0x80});
    EXPECT_EQ(Receive(reply, 117), 117);
}

TEST_F(SimLineTest, ValuesFollowTheClock) {
    Send({0xE3, 0xC0});
    ASSERT_EQ(Receive(reply, 44), 44);
    const RawValues first = DecodeValues(reply);
    clock.Advance(uint64_t{3600} * 1000);
    Send({0xE3, 0xC0});
    ASSERT_EQ(Receive(reply, 44), 44);
    const RawValues later = DecodeValues(reply);
    // About an hour of a few hundred watts.
    EXPECT_GT(later.ep - first.ep, 2000);
    EXPECT_LT(later.ep - first.ep, 5000);
    EXPECT_NEAR(units.TimeSeconds(), 3600.0, 1.0);
}

}  // namespace
}  // namespace kvr::sim::test
