// The simulated units' side of KVR Talk that the link tests over the simulator cannot
// see: what a unit stores or refuses, address handling, frames split and merged across
// receives, what each injected fault does to a reply, and arbitrary input.
#include <gtest/gtest.h>

#include <random>

#include "SimTestUtil.h"

namespace kvr::sim::test {
namespace {

SimOptions Kvr300(uint8_t firmware = 189) {
    SimOptions o;
    o.firmware = firmware;
    o.pace = false;
    return o;
}

SimOptions Kvr100(int address, uint8_t firmware = 189) {
    SimOptions o = Kvr300(firmware);
    o.kind = UnitKind::Kvr100;
    o.kvr100Address = address;
    return o;
}

TEST(SimFrames, QueryDeviceAndFactoryRecords) {
    SimUnits units(Kvr300());
    for (uint8_t a = 0; a < 4; ++a) {
        const Bytes reply = Feed(units, {static_cast<uint8_t>(talk::kQueryDevice | a)});
        const uint8_t code = a == 3 ? 0x07 : 0x03;  // extended, KVR 300, main board
        EXPECT_EQ(reply, (Bytes{code, 1, 73, 189, static_cast<uint8_t>(-(code + 1 + 73 + 189))}))
            << int(a);
        EXPECT_EQ(RecordOf(units, a).GetSerialNumber(), 204117u + a);
        EXPECT_EQ(RecordOf(units, a).IsBalanced(), a == 3);
    }
    EXPECT_TRUE(Feed(units, {0x04}).empty());  // no KVR Com here
    // A demo installation: 11 kV / 110 V VTs, 400 A / 5 A CTs.
    EXPECT_DOUBLE_EQ(RecordOf(units, 2).VtRatio(), 100.0);
    EXPECT_DOUBLE_EQ(RecordOf(units, 2).CtRatio(), 80.0);

    SimUnits single(Kvr100(2));
    EXPECT_EQ(Feed(single, {0x02})[0], 0x01);  // extended values, not a KVR 300
    SimUnits older(Kvr100(0, 188));
    EXPECT_EQ(Feed(older, {0x00})[0], 0x00);
}

TEST(SimFrames, WriteParametersIsStoredOrRefusedWhole) {
    SimUnits units(Kvr300());
    ParameterRecord r = RecordOf(units, 1);
    r.SetName("Feeder 7");
    EXPECT_EQ(Feed(units, WriteFrame(1, r)), Bytes{0xE9});
    EXPECT_EQ(RecordOf(units, 1), r);

    ParameterRecord other = r;
    other.SetName("Never");
    Bytes bad = WriteFrame(1, other);
    bad.back() ^= 1;
    EXPECT_TRUE(Feed(units, bad).empty());  // a bad checksum: no reply, nothing stored
    other.SetSignature(0);  // a record without its signature would make the board unreadable
    EXPECT_TRUE(Feed(units, WriteFrame(1, other)).empty());
    EXPECT_EQ(RecordOf(units, 1), r);

    // A KVR 300 board keeps its address whatever the record says.
    ParameterRecord moved = RecordOf(units, 0);
    moved.SetUnitAddress(2);
    EXPECT_EQ(Feed(units, WriteFrame(0, moved)), Bytes{0xE8});
    EXPECT_EQ(Feed(units, {0x80}).size(), 117u);

    // The values reply follows the firmware byte of the board's present record.
    r.SetFirmwareVersion(150);
    ASSERT_EQ(Feed(units, WriteFrame(1, r)), Bytes{0xE9});
    Feed(units, {0xE1});
    EXPECT_EQ(Feed(units, {0xC1}).size(), 32u);
    EXPECT_EQ(Feed(units, {0xC2}).size(), 44u);
}

TEST(SimFrames, Kvr100AnswersAtItsAddressAndAdoptsAWrittenOne) {
    SimUnits units(Kvr100(1));
    EXPECT_TRUE(Feed(units, {0x80}).empty());
    ASSERT_EQ(Feed(units, {0x81}).size(), 117u);
    ParameterRecord r = RecordOf(units, 1);
    r.SetUnitAddress(2);
    EXPECT_EQ(Feed(units, WriteFrame(1, r)), Bytes{0xE9});  // acknowledged at the old one
    EXPECT_TRUE(Feed(units, {0x81}).empty());
    EXPECT_EQ(units.Addresses(), std::vector<int>{2});
    r.SetUnitAddress(5);  // outside 0 to 2: stored but not adopted
    EXPECT_EQ(Feed(units, WriteFrame(2, r)), Bytes{0xEA});
    EXPECT_EQ(Feed(units, {0x82}).size(), 117u);
}

TEST(SimFrames, RestoreFactorySettingsNeedsKeyAndChecksum) {
    SimUnits units(Kvr300());
    const ParameterRecord factory = RecordOf(units, 1);
    ParameterRecord r = factory;
    r.SetName("Changed");
    ASSERT_EQ(Feed(units, WriteFrame(1, r)), Bytes{0xE9});
    EXPECT_TRUE(Feed(units, talk::Frame(0xA9, {0x5B})).empty());  // wrong key
    EXPECT_TRUE(Feed(units, {0xA9, 0x5A, 0x00}).empty());         // bad checksum
    EXPECT_EQ(RecordOf(units, 1), r);
    EXPECT_TRUE(Feed(units, talk::Frame(0xA9, {0x5A})).empty());
    EXPECT_EQ(RecordOf(units, 1), factory);
}

TEST(SimFrames, ModesRelaysAndDacBecomeBoardState) {
    SimUnits units(Kvr300());
    EXPECT_TRUE(Feed(units, {0x88, 0x11, 0x67}).empty());  // factory mode, address 0
    EXPECT_TRUE(Feed(units, talk::Frame(0x8B, {2, 10, 20, 30, 40})).empty());
    EXPECT_TRUE(Feed(units, talk::Frame(0x89, {0x21})).empty());
    EXPECT_TRUE(Feed(units, {0xDB, 0xDB}).empty());  // pulse output 2 of address 3, twice
    EXPECT_TRUE(Feed(units, {0x95}).empty());        // make output 1 of address 1
    EXPECT_TRUE(Feed(units, {0x9E}).empty());        // make output 3 of address 2
    EXPECT_TRUE(Feed(units, {0xBE}).empty());        // break it again
    EXPECT_TRUE(Feed(units, {0xF4, 0x34, 0x12, 0xC6}).empty());
    EXPECT_TRUE(Feed(units, {0xF4, 0x78, 0x56, 0x00}).empty());  // bad checksum

    std::lock_guard<std::mutex> lock(units.Mutex());
    EXPECT_EQ(units.Board(0)->mode, 0x11);
    EXPECT_EQ(units.Board(3)->loopbackMode, 2);
    EXPECT_EQ(units.Board(3)->loopbackBytes, (std::array<uint8_t, 4>{10, 20, 30, 40}));
    EXPECT_TRUE(units.Board(1)->outputTest);
    EXPECT_FALSE(units.Board(0)->outputTest);
    EXPECT_EQ(units.Board(3)->relayPulses[2], 2);
    EXPECT_EQ(units.Board(1)->relay[1], 1);
    EXPECT_EQ(units.Board(2)->relay[3], 0);
    EXPECT_EQ(units.Board(0)->dac[1], 0x1234);
    EXPECT_EQ(units.FramesHandled(), 9u);  // the bad DAC frame is not counted
}

TEST(SimFrames, SplitMergedAndUnknownBytes) {
    SimUnits units(Kvr300());
    ParameterRecord r = RecordOf(units, 3);
    r.SetName("Split");
    const Bytes frame = WriteFrame(3, r);
    for (size_t i = 0; i + 1 < frame.size(); ++i) {
        EXPECT_TRUE(Feed(units, {frame[i]}).empty()) << i;
    }
    EXPECT_EQ(Feed(units, {frame.back()}), Bytes{0xEB});
    EXPECT_EQ(RecordOf(units, 3), r);

    // Several frames in one receive, the last one cut in two.
    const Bytes replies = Feed(units, {0xE1, 0x01, 0xF0, 0x01, 0x00, 0x0F, 0x83, 0xE3, 0xC0, 0x88});
    ASSERT_EQ(replies.size(), 5u + 117u + 44u);
    EXPECT_EQ(replies[5], 0x83);
    EXPECT_EQ(replies[5 + 117], 0xC0);
    EXPECT_TRUE(Feed(units, {0x10, 0x68}).empty());  // completes 0x88 0x10 0x68: user mode
    {
        std::lock_guard<std::mutex> lock(units.Mutex());
        EXPECT_EQ(units.Board(0)->mode, 0x10);
        EXPECT_EQ(units.Board(0)->dac[0], 1);
    }

    EXPECT_TRUE(Feed(units, {0x08, 0x7F, 0xE0, 0xC4, 0xE8, 0x88, 0x42}).empty());
    EXPECT_EQ(Feed(units, {0x42, 0x80}).size(), 117u);  // resynchronised
    EXPECT_TRUE(Feed(units, {0xA0, 1, 2, 3}).empty());  // a write abandoned midway
    units.DiscardPartialFrame();
    EXPECT_EQ(Feed(units, {0x81}).size(), 117u);
}

TEST(SimFrames, FaultsSpoilRepliesButNotWhatWasStored) {
    // (That each fault makes the link fail cleanly, the end-to-end test proves.)
    SimUnits units(Kvr300());
    Faults& f = units.GetFaults();
    f.wrongEcho = true;
    const Bytes r = Feed(units, {0x80});
    ASSERT_EQ(r.size(), 117u);
    EXPECT_NE(r[0], 0x80);
    EXPECT_TRUE(talk::SumsToZero(r.data(), r.size()));  // only the echo check can see it

    ParameterRecord w = RecordOf(units, 0);
    w.SetName("Unacknowledged");
    f.dropNextReply = true;  // the acknowledge is lost, the write is still stored
    EXPECT_TRUE(Feed(units, WriteFrame(0, w)).empty());
    EXPECT_EQ(RecordOf(units, 0), w);
    f.silent = true;  // a silent unit hears nothing
    w.SetName("Unheard");
    EXPECT_TRUE(Feed(units, WriteFrame(0, w)).empty());
    EXPECT_EQ(RecordOf(units, 0).GetName(), "Unacknowledged");
}

TEST(SimFrames, ArbitraryInputNeverBreaksTheUnits) {
    SimUnits units(Kvr300());
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> chunk(0, 150);
    for (int round = 0; round < 3000; ++round) {
        Bytes in(static_cast<size_t>(chunk(rng)));
        for (uint8_t& b : in) {
            b = static_cast<uint8_t>(byte(rng));
        }
        if (round % 7 == 0 && !in.empty()) {
            // Valid frames mixed in, so the parser also meets them at odd positions.
            const Bytes dac = talk::Frame(0xF5, {in[0], 0x00});
            in.insert(in.begin() + static_cast<long>(in.size() / 2), dac.begin(), dac.end());
        }
        for (const Reply& r : units.Receive(in.data(), in.size())) {
            ASSERT_FALSE(r.bytes.empty());
            ASSERT_LE(r.bytes.size(), 117u);
        }
    }
    // Still a working unit afterwards, with every record readable.
    units.DiscardPartialFrame();
    for (uint8_t a = 0; a < 4; ++a) {
        const Bytes r = Feed(units, {static_cast<uint8_t>(0x80 | a)});
        ASSERT_EQ(r.size(), 117u);
        EXPECT_TRUE(talk::SumsToZero(r.data(), r.size()));
        EXPECT_TRUE(RecordOf(units, a).IsValid());
    }
    EXPECT_GT(units.FramesHandled(), 1000u);
}

}  // namespace
}  // namespace kvr::sim::test
