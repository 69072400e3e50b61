// The monitor reading thread against simulated units on a virtual clock: what one pass
// reads and writes, contact and its beeps, pacing, and starting and stopping the thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/ReadingThread.h"

namespace kvr {
namespace {

using Pass = ReadingThread::Pass;
using Beep = std::pair<unsigned, unsigned>;

class ReadingTest : public test::SimDocTest {
  protected:
    std::vector<std::string> Texts(size_t n) const { return shared.texts.First(n); }

    MonitorShared shared;
    ReadingThread reading{doc, shared};
};

TEST_F(ReadingTest, ACycleFormatsEveryMonitorAndFlagsNewValues) {
    Attach();
    SetMonitors({{0, entity::kVoltage},
                 {0, entity::kPowerFactor},
                 {0, entity::kActiveDemandPower},  // not in the values reply
                 {3, entity::kActivePower},
                 {2, entity::kFrequency}});
    const uint64_t start = clock.NowMs();
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_TRUE(shared.newValues);
    EXPECT_TRUE(shared.contact);
    const auto texts = Texts(5);
    EXPECT_NE(texts[0].find(" kV"), std::string::npos) << texts[0];  // primary: about 11 kV
    EXPECT_EQ(texts[0].size(), 8u) << texts[0];                      // 4 digits: "11.00 kV"
    double pf = 0;
    size_t end = 0;
    ASSERT_TRUE(ParseLeadingNumber(texts[1], pf, end)) << texts[1];
    EXPECT_GT(pf, 0.5);
    EXPECT_LE(pf, 1.0);
    EXPECT_EQ(texts[2], "Invalid");
    EXPECT_NE(texts[3].find("W"), std::string::npos) << texts[3];
    EXPECT_NE(texts[4].find(" Hz"), std::string::npos) << texts[4];
    EXPECT_EQ(clock.NowMs(), start);  // read interval 0 and instant replies: no wait
    EXPECT_EQ(reading.Cycles(), 1u);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(ReadingTest, ContactBeepsOncePerChange) {
    Attach();
    SetMonitors({{0, entity::kVoltage}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(user.beeps, (std::vector<Beep>{{2000, 100}}));
    const std::string before = Texts(1)[0];

    shared.newValues = false;
    units->GetFaults().silent = true;
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);  // no second beep
    EXPECT_FALSE(shared.contact);
    EXPECT_FALSE(shared.newValues);
    EXPECT_EQ(Texts(1)[0], before);  // the last texts stay
    EXPECT_EQ(user.beeps, (std::vector<Beep>{{2000, 100}, {2000, 1000}}));

    units->GetFaults().silent = false;
    EXPECT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(user.beeps, (std::vector<Beep>{{2000, 100}, {2000, 1000}, {2000, 100}}));
}

TEST_F(ReadingTest, SecondariesShowTheInputValue) {
    Attach();
    SetMonitors({{1, entity::kVoltage}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    MeasuredValue primary(Texts(1)[0], entity::kVoltage);
    shared.secondaries = true;
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    MeasuredValue secondary(Texts(1)[0], entity::kVoltage);
    ASSERT_TRUE(primary.IsValid() && secondary.IsValid()) << Texts(1)[0];
    // An 11 kV / 110 V transformer.
    EXPECT_NEAR(secondary.GetValue(), 110, 15);
    EXPECT_NEAR(primary.GetValue() / secondary.GetValue(), 100, 1);
}

TEST_F(ReadingTest, ChannelCountThreeReadsTheMainBoardToo) {
    Attach();
    SetMonitors({{3, entity::kVoltage}, {2, entity::kVoltage}});
    doc.channelCount = 3;
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(reading.BoardReplies(b), 1u) << b;
    }
    EXPECT_NE(Texts(2)[0], "Invalid");

    // With one channel only board 0 is read; a board not read in a cycle has no value.
    doc.channelCount = 1;
    SetMonitors({{3, entity::kVoltage}, {0, entity::kVoltage}, {1, entity::kCurrent}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(reading.BoardReplies(0), 2u);
    EXPECT_EQ(reading.BoardReplies(1), 1u);
    EXPECT_EQ(Texts(3)[0], "Invalid");
    EXPECT_NE(Texts(3)[1], "Invalid");
    EXPECT_EQ(Texts(3)[2], "Invalid");
    // A stored channel beyond the boards, or an unknown entity: no value, and no crash.
    SetMonitors({{7, entity::kVoltage}, {0, 99}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(Texts(2), (std::vector<std::string>{"Invalid", "Invalid"}));
    EXPECT_EQ(BoardsToRead(2), 2);
    EXPECT_EQ(BoardsToRead(9), 4);
}

TEST_F(ReadingTest, IdleWithoutUnitOrMonitorsPollsEvery100Ms) {
    Attach();
    uint64_t t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::Idle);  // no monitors
    EXPECT_EQ(clock.NowMs() - t, 100u);
    SetMonitors({{0, entity::kVoltage}});
    doc.channelCount = 0;
    t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::Idle);
    EXPECT_EQ(clock.NowMs() - t, 100u);
    doc.channelCount = 4;
    shared.splashShowing = true;
    EXPECT_EQ(reading.RunPass(), Pass::Idle);
    shared.splashShowing = false;
    EXPECT_EQ(reading.RunPass(), Pass::Read);
}

TEST_F(ReadingTest, ReadIntervalPacesTheStartsOfCycles) {
    Attach();
    SetMonitors({{0, entity::kVoltage}});
    reading.SetReadIntervalMs(1000);
    const uint64_t t0 = clock.NowMs();
    ASSERT_EQ(reading.RunPass(), Pass::Read);  // the first cycle at once
    EXPECT_EQ(clock.NowMs(), t0);
    clock.Advance(300);  // the rest of the interval is waited
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(clock.NowMs(), t0 + 1000);
    clock.Advance(2500);  // already late: at once
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(clock.NowMs(), t0 + 3500);
}

TEST_F(ReadingTest, APortThatWillNotOpenIsNoContactWithoutMessages) {
    Attach();
    SetMonitors({{0, entity::kVoltage}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    doc.Port().Close();
    doc.Port().Settings().device.clear();  // port number 0: nothing to open
    const uint64_t t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);
    EXPECT_EQ(clock.NowMs() - t, 100u);  // retried like an idle pass
    EXPECT_TRUE(user.messages.empty());

    // A port closed by the user-interface thread (the monitor form's "C&lose") is
    // opened again by the next cycle.
    doc.Port().Settings().device = "/dev/kvr-sim";
    EXPECT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_TRUE(doc.Port().IsOpen());
}

TEST_F(ReadingTest, TheThreadReadsUntilStoppedWithinTheLimit) {
    Attach();
    SetMonitors({{0, entity::kVoltage}, {3, entity::kFrequency}});
    reading.Start(0);
    EXPECT_TRUE(reading.Running());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (reading.Cycles() < 5 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(reading.Cycles(), 5u);
    const uint64_t stopAt = clock.NowMs();
    EXPECT_TRUE(reading.Stop());
    EXPECT_LT(clock.NowMs() - stopAt, kReadingStopWaitMs);
    EXPECT_FALSE(reading.Running());
    EXPECT_NE(Texts(2)[1], "Invalid");
    EXPECT_EQ(user.beeps, (std::vector<Beep>{{2000, 100}}));  // contact once, kept
    EXPECT_TRUE(reading.Stop());  // stopping a stopped thread is harmless

    // Started again (as after a new first showing of the view), it goes on reading.
    const uint64_t before = reading.Cycles();
    reading.Start(0);
    while (reading.Cycles() == before && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(reading.Stop());
    EXPECT_GT(reading.Cycles(), before);
}

}  // namespace
}  // namespace kvr
