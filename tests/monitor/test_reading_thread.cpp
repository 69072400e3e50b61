// The monitor reading thread against simulated units on a virtual clock: what one pass
// reads and writes, contact and its beeps, pacing, and starting and stopping the thread.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "base/Seams.h"
#include "link/PortSetup.h"
#include "measure/MeasuredValue.h"
#include "monitor/LogFile.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/ReadingThread.h"
#include "support/SimDocument.h"

namespace kvr {
namespace {

using Pass = ReadingThread::Pass;
using Beep = std::pair<unsigned, unsigned>;

// Waits in real time (the reading thread runs on its own) until the condition holds.
template <typename Condition>
bool Eventually(Condition condition, int seconds = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class ReadingTest : public test::SimDocTest {
  protected:
    void SetUp() override { Attach(); }
    std::vector<std::string> Texts(size_t n) const { return shared.texts.First(n); }
    // The reading thread is inside a cycle: it holds the device lock.
    bool ReaderHoldsTheLock() const {
        const std::thread::id owner = DeviceLock::Owner(doc);
        return owner != std::thread::id() && owner != std::this_thread::get_id();
    }

    MonitorShared shared;
    ReadingThread reading{doc, shared};
};

TEST_F(ReadingTest, ACycleFormatsEveryMonitorAndFlagsNewValues) {
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

// One lost and one regained contact is the fault matrix's test; here contact that stays
// lost, or stays, beeps only once.
TEST_F(ReadingTest, ContactBeepsOncePerChange) {
    SetMonitors({{0, entity::kVoltage}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    const std::string before = Texts(1)[0];
    units->GetFaults().silent = true;
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);
    EXPECT_EQ(Texts(1)[0], before);  // the last texts stay
    EXPECT_EQ(user.beeps, (std::vector<Beep>{{2000, 100}, {2000, 1000}}));
}

TEST_F(ReadingTest, SecondariesShowTheInputValue) {
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
    SetMonitors({{3, entity::kVoltage}, {2, entity::kVoltage}});
    doc.SetChannels(3);
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(reading.BoardReplies(b), 1u) << b;
    }
    EXPECT_NE(Texts(2)[0], "Invalid");

    // With one channel only board 0 is read; a board not read in a cycle has no value.
    doc.SetChannels(1);
    SetMonitors({{3, entity::kVoltage}, {0, entity::kVoltage}, {1, entity::kCurrent}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(reading.BoardReplies(0), 2u);
    EXPECT_EQ(reading.BoardReplies(1), 1u);
    EXPECT_EQ(Texts(3)[0], "Invalid");
    EXPECT_NE(Texts(3)[1], "Invalid");
    EXPECT_EQ(Texts(3)[2], "Invalid");
    // A stored channel beyond the boards, or an unknown entity: no value, and no crash.
    SetMonitors({{7, entity::kVoltage}, {0, EntityFromCode(99)}});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_EQ(Texts(2), (std::vector<std::string>{"Invalid", "Invalid"}));
    EXPECT_EQ(BoardsToRead(2), 2);
    EXPECT_EQ(BoardsToRead(9), 4);
}

TEST_F(ReadingTest, IdleWithoutUnitOrMonitorsPollsEvery100MsAndTheReadIntervalPaces) {
    uint64_t t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::Idle);  // no monitors
    EXPECT_EQ(clock.NowMs() - t, 100u);
    SetMonitors({{0, entity::kVoltage}});
    doc.SetChannels(0);
    t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::Idle);
    EXPECT_EQ(clock.NowMs() - t, 100u);
    doc.SetChannels(4);
    shared.splashShowing = true;
    EXPECT_EQ(reading.RunPass(), Pass::Idle);
    shared.splashShowing = false;

    // The read interval paces the starts of cycles.
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

TEST_F(ReadingTest, AnUnpluggedLineIsNoContactAtOnceAndRetriedQuietly) {
    SetMonitors({{0, entity::kVoltage}, {3, entity::kVoltage}});
    // Once the cable is out every open fails, as a vanished USB adapter's would, until it
    // is plugged back in; the settings form would answer OK each time it is shown.
    std::atomic<bool> unplugged{false};
    doc.Port().Close();
    doc.Port().SetLineOpener(test::UnpluggableOpener(*units, unplugged));
    std::atomic<int> formsShown{0};
    ScopedSeams editor(
        Seams{.portSettingsEditor = [&](PortSettings&) { return ++formsShown > 0; }});
    ASSERT_EQ(reading.RunPass(), Pass::Read);
    ASSERT_TRUE(shared.contact);

    unplugged = true;
    units->GetFaults().hangUp = true;
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);  // the cycle it happens in
    EXPECT_FALSE(shared.contact);
    EXPECT_FALSE(doc.Port().IsOpen());
    const uint64_t t = clock.NowMs();
    EXPECT_EQ(reading.RunPass(), Pass::NoContact);
    EXPECT_EQ(clock.NowMs() - t, kIdlePollMs);  // retried like an idle pass

    // The same on the thread itself, which is stopped at once whatever the line does.
    reading.Start(0);
    ASSERT_TRUE(Eventually([&] { return reading.Cycles() > 6; }));
    EXPECT_TRUE(reading.Stop());
    EXPECT_EQ(formsShown, 0);
    EXPECT_TRUE(user.messages.empty());

    unplugged = false;  // plugged back in
    EXPECT_EQ(reading.RunPass(), Pass::Read);
    EXPECT_TRUE(shared.contact);
}

// A line whose next read, once armed, holds on until a command waits for the device lock,
// and which counts its reads: what the reading thread did on the line while the command
// waited.
class GatedLine final : public ISerialLine {
  public:
    GatedLine(std::unique_ptr<ISerialLine> line, const CQRLDoc& doc, std::atomic<bool>& armed,
              std::atomic<int>& reads)
        : line_(std::move(line)), doc_(doc), armed_(armed), reads_(reads) {}
    long Read(uint8_t* buffer, size_t n, unsigned intervalMs, unsigned totalMs) override {
        if (armed_.exchange(false)) {
            Eventually([&] { return doc_.CommandWaiting(); });
        }
        ++reads_;
        return line_->Read(buffer, n, intervalMs, totalMs);
    }
    long Write(const uint8_t* data, size_t n, unsigned totalMs) override {
        return line_->Write(data, n, totalMs);
    }
    bool Purge() override { return line_->Purge(); }
    bool SetDtr(bool on) override { return line_->SetDtr(on); }
    bool HungUp() const override { return line_->HungUp(); }

  private:
    std::unique_ptr<ISerialLine> line_;
    const CQRLDoc& doc_;
    std::atomic<bool>& armed_;
    std::atomic<int>& reads_;
};

TEST_F(ReadingTest, ACommandGetsThePortWithinOneExchangeWhileTheUnitIsSilent) {
    SetMonitors({{0, entity::kVoltage}, {3, entity::kVoltage}});
    std::atomic<bool> armed{false};
    std::atomic<int> reads{0};
    doc.Port().Close();
    doc.Port().SetLineOpener([&, open = sim::SimLineOpener(*units)](
                                 const std::string& device, const LineSettings& settings,
                                 std::string& error) -> std::unique_ptr<ISerialLine> {
        return std::make_unique<GatedLine>(open(device, settings, error), doc, armed, reads);
    });
    units->GetFaults().silent = true;  // a cycle of four unanswered exchanges
    reading.Start(0);
    for (int command = 0; command < 3; ++command) {
        ASSERT_TRUE(Eventually([&] { return ReaderHoldsTheLock(); })) << command;
        reads = 0;
        armed = true;
        DeviceLock lock(doc);
        ASSERT_TRUE(lock.Lock()) << command;
        // The exchange in flight (its reply read and the drain after it), then the port.
        EXPECT_LE(reads, 2) << command;
        EXPECT_EQ(doc.Channel(0).QueryDevice(), -1);  // the command has the port
    }
    armed = false;
    {
        DeviceLock lock(doc);  // lets a read held at the gate go on
        EXPECT_TRUE(lock.Lock());
    }
    EXPECT_TRUE(reading.Stop());
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(ReadingTest, TheThreadReadsUntilStoppedWithinTheLimit) {
    SetMonitors({{0, entity::kVoltage}, {3, entity::kFrequency}});
    reading.Start(0);
    EXPECT_TRUE(reading.Running());
    EXPECT_TRUE(Eventually([&] { return reading.Cycles() >= 5; }));
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
    EXPECT_TRUE(Eventually([&] { return reading.Cycles() > before; }));
    EXPECT_TRUE(reading.Stop());
}

}  // namespace
}  // namespace kvr
