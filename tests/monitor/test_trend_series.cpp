// The trends model: old readings folded into buckets that keep their extremes, bounded
// memory, invalid readings as gaps, the comma-separated export and the feed from the
// display's texts.
#include <gtest/gtest.h>

#include <cmath>

#include "measure/EntityChannel.h"
#include "monitor/MonitorTestUtil.h"
#include "monitor/TrendSeries.h"

namespace kvr {
namespace {

using namespace entity;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::pair<int64_t, double>> Pairs(const std::vector<TrendPoint>& points) {
    std::vector<std::pair<int64_t, double>> pairs;
    for (const TrendPoint& p : points) {
        pairs.emplace_back(p.t, p.v);
    }
    return pairs;
}

TEST(TrendSeriesTest, OldReadingsFoldIntoBucketsKeepingFirstLastMinMax) {
    TrendSeries s({/*rawSpanMs=*/1000, /*rawMaxPoints=*/100, /*bucketMs=*/1000,
                   /*retentionMs=*/10'000});
    const double first[] = {5, 9, -3, 7, 4, 12, 6, -1, 2, 8};  // t = 0 .. 900
    for (int i = 0; i < 10; ++i) {
        s.Add(i * 100, first[i]);
    }
    for (int i = 10; i < 30; ++i) {
        s.Add(i * 100, 0.5);
    }
    ASSERT_FALSE(s.Buckets().empty());
    const TrendBucket& b = s.Buckets().front();
    EXPECT_EQ(b.start, 0);
    EXPECT_EQ(b.count, 10u);
    // first, last, min and max, each as (time, value)
    EXPECT_EQ(Pairs({b.first, b.last, b.min, b.max}),
              (std::vector<std::pair<int64_t, double>>{{0, 5}, {900, 8}, {200, -3}, {500, 12}}));
    // A curve through the bucket passes its four readings in time order.
    EXPECT_EQ(Pairs(s.Points(0, 999, 1000)),
              (std::vector<std::pair<int64_t, double>>{{0, 5}, {200, -3}, {500, 12}, {900, 8}}));
    // The newest second stays as read.
    EXPECT_EQ(s.Recent().back().t, 2900);
    EXPECT_GE(s.Recent().front().t, 1900);
}

TEST(TrendSeriesTest, MemoryStaysBoundedAndOldBucketsLeave) {
    TrendSeries s({1000, 16, 500, 5000});
    for (int i = 0; i < 100'000; ++i) {
        s.Add(i * 10, std::sin(i / 50.0));
    }
    EXPECT_LE(s.Recent().size(), 16u);
    EXPECT_LE(s.Buckets().size(), 5000u / 500u + 2);
    EXPECT_GE(s.Buckets().front().start, 999'990 - 5000 - 500);
    // A clock set back does not reorder the curve.
    s.Add(0, 1.0);
    EXPECT_EQ(s.Recent().back().t, 999'990);
}

TEST(TrendSeriesTest, InvalidReadingsAreGapsNeverZeros) {
    TrendSeries s({1000, 100, 1000, 60'000});
    s.Add(0, 3);
    s.Add(100, kNaN);
    s.Add(200, 4);
    std::vector<TrendPoint> p = s.Points(0, 10'000, 100);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_TRUE(p[1].Invalid());
    // Folded into a bucket, the invalid reading still breaks the curve after the valid ones
    // before it; a bucket of invalid readings only is a gap alone.
    for (int t = 300; t < 1000; t += 100) {
        s.Add(t, 4);
    }
    for (int t = 1000; t < 2000; t += 100) {
        s.Add(t, kNaN);
    }
    s.Add(5000, 1);
    p = s.Points(0, 2999, 100);
    int gaps = 0;
    for (const TrendPoint& q : p) {
        EXPECT_NE(q.v, 0.0);
        gaps += q.Invalid() ? 1 : 0;
    }
    EXPECT_EQ(gaps, 2);
    EXPECT_EQ(s.Buckets().at(1).count, 0u);
    EXPECT_EQ(s.Buckets().at(1).invalid, 10u);

    // Drawn with a cap, the extremes and the gap survive the reduction.
    TrendSeries dense;
    for (int i = 0; i < 5000; ++i) {
        dense.Add(i, i == 2500 ? kNaN : (i == 1234 ? 99.0 : (i == 4321 ? -99.0 : 1.0)));
    }
    p = dense.Points(0, 4999, 100);
    EXPECT_LE(p.size(), 100u);
    bool high = false, low = false, gap = false;
    for (const TrendPoint& q : p) {
        high = high || q.v == 99.0;
        low = low || q.v == -99.0;
        gap = gap || q.Invalid();
    }
    EXPECT_TRUE(high && low && gap);
}

TEST(TrendModelTest, CsvHasUnitsIsoTimesAndInvalidCells) {
    TrendModel m;
    m.SetMonitors({{1, "Voltage : Channel 1", "V"}, {2, "Power, total", "W"}}, false);
    const int64_t t0 = 1'796'615'534'123;  // 2026-12-07T03:52:14.123Z
    m.Add(t0, {230.5, 1500});
    m.Add(t0 + 1000, {kNaN, 12000000});
    m.NoteContact(false, t0 + 2000);
    m.NoteContact(false, t0 + 3000);  // only the loss itself is a gap
    EXPECT_EQ(m.Csv(),
              "Time,Voltage : Channel 1 (V),\"Power, total (W)\"\r\n"
              "2026-12-07T03:52:14.123Z,230.5,1500\r\n"
              "2026-12-07T03:52:15.123Z,Invalid,12000000\r\n"
              "2026-12-07T03:52:16.123Z,Invalid,Invalid\r\n");
    EXPECT_EQ(IsoUtcTime(-1), "1969-12-31T23:59:59.999Z");
    // Another list of monitors, or secondaries instead of primaries, starts afresh.
    m.SetMonitors({{1, "Voltage : Channel 1", "V"}, {2, "Power, total", "W"}}, true);
    EXPECT_TRUE(m.Empty());
    EXPECT_TRUE(m.Series(0).Empty());
}

class TrendFeedTest : public test::SimDocTest {};

TEST_F(TrendFeedTest, DisplayTextsBecomeBaseUnitValues) {
    Attach();
    SetMonitors({{0, kVoltage}, {1, kActivePower}, {2, kCurrent}});
    TrendModel m;
    const std::vector<std::string> texts = {"11.00 kV", "Invalid", ""};
    FeedTrends(doc, false, &texts, true, 1000, m);
    ASSERT_EQ(m.Size(), 3u);
    EXPECT_EQ(m.Monitors()[0].unit, "V");
    EXPECT_EQ(m.Monitors()[1].unit, "W");
    const std::vector<TrendPoint> v = m.Series(0).Points(0, 2000, 100);
    ASSERT_EQ(v.size(), 1u);
    EXPECT_DOUBLE_EQ(v[0].v, 11000.0);
    EXPECT_TRUE(m.Series(1).Points(0, 2000, 100).at(0).Invalid());
    EXPECT_TRUE(m.Series(2).Points(0, 2000, 100).at(0).Invalid());
}

}  // namespace
}  // namespace kvr
