// The trends of the monitors: every value the display shows, kept over time for plotting
// and export. Recent readings are kept as read; older ones are folded into buckets of a
// fixed width that keep the first, last, smallest and largest reading (so a curve drawn
// from them still shows every peak), which bounds the memory for a day at any read rate.
// An invalid reading is held as such: it makes a gap in a curve, never a zero.
//
// The model belongs to the user-interface thread: the view's timer feeds it with the
// texts it takes from the reading thread's table (FeedTrends), so it needs no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "document/QRLDoc.h"

namespace kvr {

inline constexpr int64_t kTrendWindowMinMs = 60'000;
inline constexpr int64_t kTrendWindowMaxMs = 24 * 3'600'000LL;

struct TrendLimits {
    int64_t rawSpanMs = 600'000;  // the newest readings are kept as read ...
    size_t rawMaxPoints = 8192;   // ... but never more of them than this
    int64_t bucketMs = 30'000;    // older readings: one bucket per 30 s
    int64_t retentionMs = kTrendWindowMaxMs;
};

// A reading: wall-clock time in ms since 1970 (UTC), value in the entity's base unit;
// NaN for an invalid reading.
struct TrendPoint {
    int64_t t = 0;
    double v = 0;
    bool Invalid() const { return v != v; }
};

// The readings of one bucket's time span, reduced to what a curve needs.
struct TrendBucket {
    int64_t start = 0;
    TrendPoint first, last, min, max;
    uint32_t count = 0;    // valid readings
    uint32_t invalid = 0;  // invalid readings
    int64_t firstInvalidT = 0;

    void Add(const TrendPoint& p);
    // First, minimum, maximum and last in time order, one point per distinct time, and a
    // NaN point at the first invalid reading: what a curve through the bucket passes.
    void AppendPoints(std::vector<TrendPoint>& out) const;
};

// One monitor's readings over time.
class TrendSeries {
  public:
    explicit TrendSeries(const TrendLimits& limits = {});
    // Times run forward: an earlier time than the newest held is taken as the newest
    // (a clock set back must not reorder the curve).
    void Add(int64_t t, double v);
    void Clear();

    const std::deque<TrendBucket>& Buckets() const { return buckets_; }
    const std::deque<TrendPoint>& Recent() const { return recent_; }
    bool Empty() const { return recent_.empty() && buckets_.empty(); }
    // Every point held from `from` to `to` (inclusive) in time order, at most maxPoints
    // (at least 8): beyond it, equal time slices are reduced as buckets are.
    std::vector<TrendPoint> Points(int64_t from, int64_t to, size_t maxPoints) const;

  private:
    void Fold(const TrendPoint& p);

    TrendLimits limits_;
    std::deque<TrendBucket> buckets_;
    std::deque<TrendPoint> recent_;
};

struct TrendMonitor {
    uint16_t key = 0;   // MonitorKey
    std::string label;  // the display's label
    std::string unit;   // the entity's base unit
    bool operator==(const TrendMonitor&) const = default;
};

// The series of every monitor of the document, on one time line.
class TrendModel {
  public:
    explicit TrendModel(const TrendLimits& limits = {});

    // A list that differs from the one held (other monitors, or primaries against
    // secondaries) starts every series afresh: old readings are not another monitor's.
    void SetMonitors(const std::vector<TrendMonitor>& monitors, bool secondaries);
    // One reading cycle: values[i] of monitor i (NaN: invalid); missing values are invalid.
    void Add(int64_t t, const std::vector<double>& values);
    // Contact lost: one invalid reading of every monitor, so the curves break there
    // instead of joining the readings on both sides of the silence.
    void NoteContact(bool contact, int64_t t);
    void Clear();

    const std::vector<TrendMonitor>& Monitors() const { return monitors_; }
    bool Secondaries() const { return secondaries_; }
    size_t Size() const { return series_.size(); }
    const TrendSeries& Series(size_t i) const { return series_.at(i); }
    // Readings added since construction (a view compares it to see new ones).
    uint64_t Readings() const { return readings_; }
    int64_t Newest() const { return newest_; }
    bool Empty() const { return readings_ == 0 || series_.empty(); }

    // Everything held as comma-separated text: "Time" then one column per monitor, headed
    // by its label and unit ("Voltage : Channel 1 (V)"); a row per time at which any series
    // holds a point, the time in ISO 8601 UTC with milliseconds, "Invalid" for an invalid
    // reading, an empty cell where a monitor holds nothing at that time (its older
    // readings are kept only as their bucket's first, last, minimum and maximum).
    std::string Csv() const;

  private:
    TrendLimits limits_;
    std::vector<TrendMonitor> monitors_;
    bool secondaries_ = false;
    std::vector<TrendSeries> series_;
    uint64_t readings_ = 0;
    int64_t newest_ = 0;
    bool contact_ = true;
};

// "2026-12-07T04:22:14.123Z"
std::string IsoUtcTime(int64_t ms);
// Milliseconds since 1970 now (the wall clock: trends are dated, not timed).
int64_t WallClockMs();

// The document's monitors as the trends name them.
std::vector<TrendMonitor> TrendMonitors(const CQRLDoc& doc);
// One timer tick for the trends: with fresh texts (the display's cells, as the reading
// thread wrote them), their values added at time t; without, contact noted.
void FeedTrends(const CQRLDoc& doc, bool secondaries, const std::vector<std::string>* texts,
                bool contact, int64_t t, TrendModel& model);

// "Trends Shown" in the preferences: the trends view was open when the program ended.
bool ReadTrendsShown();
bool WriteTrendsShown(bool shown);

}  // namespace kvr
