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

TEST(SimValues, ChannelReadingsBehaveLikeA50HzFeeder) {
    SimUnits units(Options());
    units.SetTimeSeconds(1234.5);
    uint16_t lastCounter = 0;
    for (int a = 0; a < 3; ++a) {
        const RawValues raw = SampleAndRead(units, a);
        EXPECT_EQ(raw.mask, kSimValidityMask);
        EXPECT_GT(raw.counter, lastCounter);
        const Reading m = Engineering(raw, true);
        EXPECT_NEAR(m.v, 110.0, 3.0) << a;      // near the VT secondary
        EXPECT_NEAR(m.i, 0.7 * 5.0, 0.6) << a;  // 60-80 % of the CT secondary
        EXPECT_NEAR(m.pf, 0.85, 0.05) << a;
        EXPECT_NEAR(m.f, 50.0, 0.05) << a;
        EXPECT_NEAR(m.p, m.v * m.i * m.pf, 1.5) << a;
        EXPECT_NEAR(m.s, m.v * m.i, 1.5) << a;
        EXPECT_NEAR(m.q, std::sqrt(m.s * m.s - m.p * m.p), 3.0) << a;
    }
    // The drift is slow: a second later the voltage has barely moved, minutes later the
    // load has.
    const RawValues a0 = SampleAndRead(units, 0);
    units.SetTimeSeconds(1235.5);
    const RawValues a1 = SampleAndRead(units, 0);
    EXPECT_NEAR(a1.v, a0.v, 10);
    units.SetTimeSeconds(1234.5 + 150);
    EXPECT_NE(SampleAndRead(units, 0).i, a0.i);
}

TEST(SimValues, PowersAreSentInTenthsOnHigherCurrentRanges) {
    SimUnits units(Options());
    units.SetTimeSeconds(500);
    const RawValues range2 = SampleAndRead(units, 0);
    ParameterRecord r = RecordOf(units, 0);
    r.SetRanges(0, 0);
    Write(units, 0, r);
    const RawValues range0 = SampleAndRead(units, 0);
    EXPECT_EQ(range0.v, range2.v);  // same instant, same input
    EXPECT_NEAR(range0.p, 10 * range2.p, 10);
    EXPECT_NEAR(range0.s, 10 * range2.s, 10);
    EXPECT_NEAR(range0.q, 10 * range2.q, 10);
    const Reading m = Engineering(range0, false);
    EXPECT_NEAR(m.p, m.v * m.i * m.pf, 0.5);
}

TEST(SimValues, CalibrationGainsScaleTheReadings) {
    SimUnits plain(Options());
    SimUnits tuned(Options());
    ParameterRecord r = RecordOf(tuned, 1);
    r.ApplyGainFactor(1.1, false);
    r.ApplyGainFactor(0.9, true);
    Write(tuned, 1, r);
    plain.SetTimeSeconds(77);
    tuned.SetTimeSeconds(77);
    const RawValues a = SampleAndRead(plain, 1);
    const RawValues b = SampleAndRead(tuned, 1);
    EXPECT_NEAR(static_cast<double>(b.v) / a.v, 1.1, 0.002);
    EXPECT_NEAR(static_cast<double>(b.i) / a.i, 0.9, 0.002);
    EXPECT_NEAR(static_cast<double>(b.p) / a.p, 0.99, 0.006);
    EXPECT_EQ(b.pf, a.pf);
}

TEST(SimValues, DirectCouplingMeasuresAtTheRangesNominal) {
    SimUnits units(Options(UnitKind::Kvr100));
    ParameterRecord r = RecordOf(units, 0);
    r.SetDirect(false, true);
    r.SetDirect(true, true);
    r.SetRanges(1, 3);  // "220 V", "10.000  A"
    Write(units, 0, r);
    const Reading m = Engineering(SampleAndRead(units, 0), true);
    EXPECT_NEAR(m.v, 220.0, 6.0);
    EXPECT_NEAR(m.i, 7.0, 1.2);
}

TEST(SimValues, MainBoardReportsThreePhaseTotals) {
    SimUnits units(Options());
    units.SetTimeSeconds(4000);
    Feed(units, {0xE3});
    RawValues ch[3];
    for (int a = 0; a < 3; ++a) {
        ch[a] = DecodeValues(Feed(units, {static_cast<uint8_t>(0xC0 | a)}));
    }
    const RawValues m = DecodeValues(Feed(units, {0xC3}));
    EXPECT_EQ(m.mask, kSimValidityMask);
    EXPECT_NEAR(m.p, ch[0].p + ch[1].p + ch[2].p, 2);
    EXPECT_NEAR(m.s, ch[0].s + ch[1].s + ch[2].s, 2);
    EXPECT_NEAR(m.q, ch[0].q + ch[1].q + ch[2].q, 2);
    EXPECT_NEAR(m.v, (ch[0].v + ch[1].v + ch[2].v) / 3.0, 1);
    EXPECT_NEAR(m.i, (ch[0].i + ch[1].i + ch[2].i) / 3.0, 1);
    EXPECT_NEAR(m.pf / 32767.0, static_cast<double>(m.p) / m.s, 0.005);
    EXPECT_NEAR(m.f, ch[0].f, 1);
    EXPECT_NEAR(static_cast<double>(m.ep), ch[0].ep + ch[1].ep + ch[2].ep, 2);
    EXPECT_GT(m.ep, 0);
}

TEST(SimValues, EnergiesIntegrateThePowers) {
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
    const double activeWh = (end.ep - start.ep) / 10.0;
    EXPECT_NEAR(activeWh, wh, 0.01 * wh + 1.0);
    EXPECT_GT(end.es - start.es, end.ep - start.ep);
    EXPECT_GT(end.eq - start.eq, 0);

    // Time never runs backwards.
    units.SetTimeSeconds(50);
    EXPECT_EQ(SampleAndRead(units, 2).ep, end.ep);
}

TEST(SimValues, FrequencyWandersCloseTo50Hz) {
    SimUnits units(Options());
    int lo = 1 << 30, hi = -(1 << 30);
    for (int t = 0; t < 120; t += 3) {
        units.SetTimeSeconds(t + 0.5);
        const int f = SampleAndRead(units, 1).f;
        lo = std::min(lo, f);
        hi = std::max(hi, f);
    }
    EXPECT_GE(lo, 4990);
    EXPECT_LE(hi, 5010);
    EXPECT_GT(hi, lo);
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
    const std::string text = ReadText(o.stateFile);
    EXPECT_NE(text.find("kvr-sim-state 1 kvr300\n"), std::string::npos);
    EXPECT_NE(text.find("\nboard 3 "), std::string::npos);
    {
        SimUnits units(o);
        EXPECT_EQ(units.StateError(), "");
        EXPECT_EQ(RecordOf(units, 2), written);
        EXPECT_EQ(RecordOf(units, 1).GetName(), "Channel 2");
        Feed(units, talk::Frame(0xAA, {0x5A}));
    }
    {
        SimUnits units(o);
        EXPECT_EQ(RecordOf(units, 2).GetName(), "Channel 3");  // factory again
    }
    // Saved through a temporary file that the rename consumed.
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST(SimState, Kvr100KeepsItsNewAddress) {
    kvr::test::TempDir dir;
    SimOptions o = Options(UnitKind::Kvr100);
    o.stateFile = dir.File("kvr100.state");
    {
        SimUnits units(o);
        ParameterRecord r = RecordOf(units, 0);
        r.SetUnitAddress(2);
        Write(units, 0, r);
    }
    SimUnits units(o);
    EXPECT_EQ(units.Addresses(), std::vector<int>{2});
    EXPECT_EQ(Feed(units, {0x82}).size(), 117u);
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
    std::string missing = good.substr(0, good.find("board 3 "));
    std::string twice = good + good.substr(good.find("board 3 "));
    std::string kvr100 = good;
    kvr100.replace(good.find("kvr300"), 6, "kvr100");

    const std::string cases[] = {
        "",           "garbage\n", badHex,
        badSignature, shortRecord, missing,
        twice,        kvr100,      std::string("kvr-sim-state 1 kvr300\n\0\0\0", 26)};
    for (const std::string& text : cases) {
        {
            std::ofstream out(o.stateFile, std::ios::binary | std::ios::trunc);
            out << text;
        }
        SimUnits units(o);
        const std::string error = units.StateError();
        EXPECT_NE(error.find(o.stateFile), std::string::npos) << error;
        // The units run on factory records and never overwrite the file.
        EXPECT_EQ(RecordOf(units, 1).GetName(), "Channel 2");
        Write(units, 1, RecordOf(units, 1));
        EXPECT_EQ(ReadText(o.stateFile), text);
    }
}

}  // namespace
}  // namespace kvr::sim::test
