// The simulated installation behind the values reply, and the state file that keeps the
// boards' records across restarts.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTestUtil.h"
#include "support/TempDir.h"

namespace kvr::sim::test {
namespace {

SimOptions Options(UnitKind kind = UnitKind::Kvr300) {
    SimOptions o;
    o.kind = kind;
    o.pace = false;
    return o;
}

// Engineering values of a reply from a board on a current range above 0 (powers in W).
struct Reading {
    double v, i, p, s, q, pf, f;
};

Reading Engineering(const RawValues& r, bool highRange) {
    const double k = highRange ? 10.0 : 1.0;
    return {r.v / 10.0,     r.i / 1000.0,   r.p * k / 10.0, r.s * k / 10.0,
            r.q * k / 10.0, r.pf / 32767.0, r.f / 100.0};
}

void Write(SimUnits& units, int address, const ParameterRecord& r) {
    ASSERT_EQ(Feed(units, WriteFrame(static_cast<uint8_t>(address), r)),
              Bytes{static_cast<uint8_t>(0xE8 | address)});
}

TEST(SimValues, ChannelReadingsDriftSlowlyAroundA50HzFeeder) {
    // (That every board's power is its voltage, current and power factor, and the main
    // board's the three phases', the link's end-to-end test checks over the line.)
    SimUnits units(Options());
    units.SetTimeSeconds(1234.5);
    const RawValues a0 = SampleAndRead(units, 0);
    EXPECT_EQ(a0.mask, kSimValidityMask);
    const Reading m = Engineering(a0, true);
    EXPECT_NEAR(m.v, 110.0, 3.0);      // near the VT secondary
    EXPECT_NEAR(m.i, 0.7 * 5.0, 0.6);  // 60-80 % of the CT secondary
    EXPECT_NEAR(m.q, std::sqrt(m.s * m.s - m.p * m.p), 3.0);
    // A second later the voltage has barely moved, minutes later the load has; the
    // frequency wanders, but stays within 0.1 Hz of 50 Hz.
    units.SetTimeSeconds(1235.5);
    const RawValues a1 = SampleAndRead(units, 0);
    EXPECT_GT(a1.counter, a0.counter);
    EXPECT_NEAR(a1.v, a0.v, 10);
    units.SetTimeSeconds(1234.5 + 150);
    EXPECT_NE(SampleAndRead(units, 0).i, a0.i);
    int lo = 1 << 30, hi = -(1 << 30);
    for (int t = 0; t < 120; t += 3) {
        units.SetTimeSeconds(2000 + t + 0.5);
        const int f = SampleAndRead(units, 1).f;
        lo = std::min(lo, f);
        hi = std::max(hi, f);
    }
    EXPECT_GE(lo, 4990);
    EXPECT_LE(hi, 5010);
    EXPECT_GT(hi, lo);
}

TEST(SimValues, RangesGainsAndCouplingOfTheRecordShapeTheReadings) {
    SimUnits plain(Options());
    SimUnits tuned(Options());
    plain.SetTimeSeconds(500);
    tuned.SetTimeSeconds(500);
    const RawValues a = SampleAndRead(plain, 1);
    ParameterRecord r = RecordOf(tuned, 1);
    r.SetRanges(0, 0);  // powers in watts, not tenths: the same input reads ten times larger
    r.ApplyGainFactor(1.1, InputKind::Voltage);
    r.ApplyGainFactor(0.9, InputKind::Current);
    Write(tuned, 1, r);
    const RawValues b = SampleAndRead(tuned, 1);
    EXPECT_NEAR(static_cast<double>(b.v) / a.v, 1.1, 0.002);
    EXPECT_NEAR(static_cast<double>(b.i) / a.i, 0.9, 0.002);
    EXPECT_NEAR(static_cast<double>(b.p) / a.p, 9.9, 0.06);
    EXPECT_NEAR(static_cast<double>(b.s) / a.s, 9.9, 0.06);
    EXPECT_EQ(b.pf, a.pf);

    // Direct coupling measures at the ranges' nominal: "220 V", "10.000  A".
    SimUnits single(Options(UnitKind::Kvr100));
    r = RecordOf(single, 0);
    r.SetDirect(InputKind::Voltage, true);
    r.SetDirect(InputKind::Current, true);
    r.SetRanges(1, 3);
    Write(single, 0, r);
    const Reading d = Engineering(SampleAndRead(single, 0), true);
    EXPECT_NEAR(d.v, 220.0, 6.0);
    EXPECT_NEAR(d.i, 7.0, 1.2);
}

TEST(SimValues, EnergiesIntegrateThePowersAndTheMainBoardSumsThem) {
    SimUnits units(Options());
    units.SetTimeSeconds(100);
    const RawValues start = SampleAndRead(units, 2);
    // Trapezoids over the reported power, one sample every ten seconds for an hour.
    double wh = 0;
    double lastP = Engineering(start, true).p;
    for (int t = 110; t <= 3700; t += 10) {
        units.SetTimeSeconds(t);
        const double p = Engineering(SampleAndRead(units, 2), true).p;
        wh += (lastP + p) / 2 * 10 / 3600.0;
        lastP = p;
    }
    const RawValues end = SampleAndRead(units, 2);
    EXPECT_NEAR((end.ep - start.ep) / 10.0, wh, 0.01 * wh + 1.0);
    EXPECT_GT(end.es - start.es, end.ep - start.ep);
    EXPECT_GT(end.eq - start.eq, 0);
    int64_t channels = 0;
    for (int a = 0; a < 3; ++a) {
        channels += DecodeValues(Feed(units, {static_cast<uint8_t>(0xC0 | a)})).ep;
    }
    const RawValues main = DecodeValues(Feed(units, {0xC3}));
    EXPECT_NEAR(static_cast<double>(main.ep), static_cast<double>(channels), 2);
    EXPECT_NEAR(main.pf / 32767.0, static_cast<double>(main.p) / main.s, 0.005);

    units.SetTimeSeconds(50);  // time never runs backwards
    EXPECT_EQ(SampleAndRead(units, 2).ep, end.ep);
}

// --- state file ------------------------------------------------------------------------

std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SimState, RecordsSurviveARestart) {
    kvr::test::TempDir dir;
    SimOptions o = Options();
    o.stateFile = dir.File("units.state");
    ParameterRecord written;
    {
        SimUnits units(o);
        EXPECT_EQ(units.StateError(), "");
        written = RecordOf(units, 2);
        written.SetName("Kept");
        Write(units, 2, written);
    }
    EXPECT_NE(ReadText(o.stateFile).find("kvr-sim-state 1 kvr300\n"), std::string::npos);
    {
        SimUnits units(o);
        EXPECT_EQ(units.StateError(), "");
        EXPECT_EQ(RecordOf(units, 2), written);
        EXPECT_EQ(RecordOf(units, 1).GetName(), "Channel 2");
        Feed(units, talk::Frame(0xAA, {0x5A}));  // restore factory settings
    }
    EXPECT_EQ(SimUnits(o).Board(2)->record.GetName(), "Channel 3");
    // Saved through a temporary file that the rename consumed.
    const auto entries = std::filesystem::directory_iterator(dir.Path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 1);

    // A KVR 100 keeps the new address it was given.
    SimOptions single = Options(UnitKind::Kvr100);
    single.stateFile = dir.File("kvr100.state");
    {
        SimUnits units(single);
        ParameterRecord r = RecordOf(units, 0);
        r.SetUnitAddress(2);
        Write(units, 0, r);
    }
    EXPECT_EQ(SimUnits(single).Addresses(), std::vector<int>{2});
}

TEST(SimState, ABadStateFileIsRefusedAndLeftAlone) {
    kvr::test::TempDir dir;
    SimOptions o = Options();
    o.stateFile = dir.File("units.state");
    std::string good;
    {
        SimUnits units(o);
        Write(units, 0, RecordOf(units, 0));
        good = ReadText(o.stateFile);
    }
    const size_t hexStart = good.find("board 1 ") + 8;
    std::string badHex = good;
    badHex[hexStart + 7] = 'g';
    std::string badSignature = good;
    badSignature.replace(good.find('\n', hexStart) - 4, 4, "0000");
    std::string shortRecord = good;
    shortRecord.erase(hexStart, 2);
    std::string kvr100 = good;
    kvr100.replace(good.find("kvr300"), 6, "kvr100");
    const size_t board3 = good.find("board 3 ");
    const std::string cases[] = {"",
                                 "garbage\n",
                                 badHex,
                                 badSignature,
                                 shortRecord,
                                 good.substr(0, board3),      // a board missing
                                 good + good.substr(board3),  // a board twice
                                 kvr100,
                                 std::string("kvr-sim-state 1 kvr300\n\0\0\0", 26)};
    for (const std::string& text : cases) {
        std::ofstream(o.stateFile, std::ios::binary | std::ios::trunc) << text;
        SimUnits units(o);
        EXPECT_NE(units.StateError().find(o.stateFile), std::string::npos) << units.StateError();
        // The units run on factory records and never overwrite the file.
        EXPECT_EQ(RecordOf(units, 1).GetName(), "Channel 2");
        Write(units, 1, RecordOf(units, 1));
        EXPECT_EQ(ReadText(o.stateFile), text);
    }
}

}  // namespace
}  // namespace kvr::sim::test
