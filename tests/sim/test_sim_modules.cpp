// The simulated KVR Display and KVR Com: what they answer, what they keep, and the
// display's cue on a quiet line, on the virtual clock.
#include <gtest/gtest.h>

#include "base/Clock.h"
#include "base/Seams.h"
#include "sim/SimLine.h"
#include "sim/SimModules.h"
#include "sim/SimTestUtil.h"

namespace kvr::sim {
namespace {

using test::Bytes;
using test::Feed;

SimOptions WithModules() {
    SimOptions o;
    o.pace = false;
    o.withDisplay = true;
    o.withCom = true;
    return o;
}

TEST(SimModules, AnswerQueriesReadsAndKeepOnlyGoodWrites) {
    SimUnits units(WithModules());
    EXPECT_EQ(Feed(units, {0x04}).at(0), kSimComDeviceCode);
    EXPECT_EQ(Feed(units, {0x05}).at(0), kSimDisplayDeviceCode);
    EXPECT_EQ(Feed(units, {0x03}).at(0), SimBoards::DeviceCode(true, true, 189));

    Bytes display = Feed(units, {0x85});
    ASSERT_EQ(display.size(), 388u);
    EXPECT_EQ(ByteSum(display.data(), display.size()), 0);
    display[3] = 0x20;  // line 0 shown with 2 decimals
    display[387] = Checksum(display.data(), 387);
    Bytes bad = display;
    bad[4] ^= 1;
    EXPECT_TRUE(Feed(units, bad).empty());
    EXPECT_NE(Feed(units, {0x85}), display);
    EXPECT_TRUE(Feed(units, display).empty());  // written: no answer
    EXPECT_EQ(Feed(units, {0x85}), display);

    Bytes com = Feed(units, {0x84});
    ASSERT_EQ(com.size(), 14u);
    Bytes frame = {0xA4, 0xE8, 0x03, 0x00, 0x00, 0x11, 0x03,
                   0x01, 0x01, 0x02, 0x08, 0x00, 0x01, 0x50};
    EXPECT_TRUE(Feed(units, frame).empty());
    com = Feed(units, {0x84});
    EXPECT_EQ(Bytes(com.begin() + 1, com.end() - 1), Bytes(frame.begin() + 1, frame.end() - 1));
}

TEST(SimModules, DisplayCuesWheneverTheLineIsQuiet) {
    VirtualClock clock;
    ScopedSeams useClock{Seams{.clock = &clock}};
    SimUnits units(WithModules());
    SimLine line(units);
    const uint64_t start = clock.NowMs();
    uint8_t got[3] = {};
    ASSERT_EQ(line.Read(got, 3, 1000, 5000), 3);
    EXPECT_EQ(Bytes(got, got + 3), (Bytes{0xE2, 0xE2, 0xE2}));
    EXPECT_EQ(clock.NowMs() - start, 600u);  // one every 200 ms of quiet

    // A command's answer comes first; the next cue waits for the line to be quiet again.
    const uint8_t query = 0x04;
    line.Purge();
    line.Write(&query, 1, 100);
    uint8_t answer[6] = {};
    ASSERT_EQ(line.Read(answer, 6, 1000, 5000), 6);
    EXPECT_EQ(answer[0], kSimComDeviceCode);
    EXPECT_EQ(answer[5], 0xE2);

    units.GetFaults().noCue = true;
    EXPECT_EQ(line.Read(got, 1, 1000, 1000), 0);
}

}  // namespace
}  // namespace kvr::sim
